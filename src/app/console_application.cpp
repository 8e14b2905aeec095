#include "app/console_application.h"

#include "link/line_port.h"

namespace mivo {

ConsoleApplication::ConsoleApplication(std::unique_ptr<SerialPort> port)
    : port_(port ? std::move(port) : std::make_unique<LinePort>()), console_(*port_), window_(console_)
{
    console_.set_view(&window_.view());
}

ConsoleApplication::~ConsoleApplication()
{
    // A port that closes as it goes must not reach the console's handlers.
    console_.shut_down();
}

}  // namespace mivo

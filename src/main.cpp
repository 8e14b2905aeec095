#include "app/close_on_signal.h"
#include "app/console_application.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    int status = 0;
    int signal_number = 0;
    {
        QApplication app(argc, argv);
        mivo::ConsoleApplication console;
        mivo::CloseOnSignal closer(console.window());
        console.window().show();
        status = app.exec();
        signal_number = closer.signal_number();
    }
    mivo::CloseOnSignal::end_by(signal_number);
    return status;
}

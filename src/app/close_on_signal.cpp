#include "app/close_on_signal.h"

#include <QWidget>

namespace mivo {

CloseOnSignal::CloseOnSignal(QWidget& window)
{
    // A second signal while a run winds down changes nothing: the window
    // already closes once the motor is off.
    connect(&wake_, &SignalWake::woke, &window, &QWidget::close);
}

}  // namespace mivo

#pragma once

#include "console/console_view.h"

class QWidget;

namespace mivo {

// The window's messages and questions: message boxes over the window, none
// once it is closing. What the console's state shows, StateFollower paints.
class WindowView : public ConsoleView {
public:
    explicit WindowView(QWidget& window) : window_(window) {}

    // The window is going away: no more boxes come up.
    void set_closing() { closing_ = true; }

    void show_message(const QString& text) override;
    bool ask(const QString& question) override;

private:
    QWidget& window_;
    bool closing_ = false;
};

}  // namespace mivo

#pragma once

#include <QString>
#include <QtGlobal>

namespace mivo {

// Page indices of the tab control.
enum Page : int { kTerminalPage = 0, kMotionPage = 1, kSetupPage = 2, kConfigPage = 3 };

// lb_rv_feedback(3), "CFG": the configuration word as the "Config" page read
// it. The other value boxes carry the number of the live value they show.
constexpr qint16 kConfigWordBox = 3;

// What only a front end can do: tell the user something and ask a question.
// Everything else the console shows, views follow in ConsoleState. The
// window implements it with message boxes, the command-line tool with
// standard error; without a view nothing is shown and every answer is No.
class ConsoleView {
public:
    virtual ~ConsoleView() = default;

    // A message with an OK button; returns when the user has closed it.
    virtual void show_message(const QString& text) { Q_UNUSED(text); }
    // A question with Yes and No; true for Yes.
    virtual bool ask(const QString& question) { Q_UNUSED(question); return false; }
};

}  // namespace mivo

#pragma once

#include "console/console_view.h"

#include <QString>

namespace mivo::cli {

// Text to standard output (data) or standard error (messages), flushed.
void print_out(const QString& text);
void print_err(const QString& text);
// A write to standard output has failed (a full disk, /dev/full, a closed
// file): the reason, else empty. The data a script relies on is not there.
QString standard_output_failure();

// The console's view for a shell: messages go to standard error, and the
// answers the command line gave beforehand. The commands take what the core
// did from the operations' results, not from here.
class CliView : public ConsoleView {
public:
    // ask()'s answer, printed beside the question.
    bool answer = false;
    // Both "FeedBack" boxes ticked: the poll reads position, states, inputs.
    bool watching = false;

    void show_message(const QString& text) override;
    bool ask(const QString& question) override;
    bool ask_position() const override { return watching; }
    bool ask_states() const override { return watching; }
};

}  // namespace mivo::cli

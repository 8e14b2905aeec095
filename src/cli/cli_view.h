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

// The console's view for a shell: messages go to standard error. The
// command line gives its answers to the core as values before it starts,
// and the commands take what the core did from the operations' results,
// not from here.
class CliView : public ConsoleView {
public:
    void show_message(const QString& text) override;
};

}  // namespace mivo::cli

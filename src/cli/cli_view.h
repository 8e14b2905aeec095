#pragma once

#include "console/console_view.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace mivo::cli {

// Text to standard output (data) or standard error (messages), flushed.
void print_out(const QString& text);
void print_err(const QString& text);
// A write to standard output has failed (a full disk, /dev/full, a closed
// file): the reason, else empty. The data a script relies on is not there.
QString standard_output_failure();

// The console's view for a shell: messages go to standard error, what the
// user would have typed comes from the command line, and what the core shows
// is kept for the command to print.
class CliView : public ConsoleView {
public:
    // What would be typed into "Comm", "Station" and "Command".
    QString comm;
    QString station;
    QString command;
    // ask()'s answer, printed beside the question.
    bool answer = false;
    // Both "FeedBack" boxes ticked: the poll reads position, states, inputs.
    bool watching = false;

    QList<int> station_list;
    QString transcript;

    void show_message(const QString& text) override;
    bool ask(const QString& question) override;
    void clear_station_list() override { station_list.clear(); }
    void append_station(int n) override { station_list.append(n); }
    void append_transcript(const QString& text) override { transcript += text; }
    void clear_transcript() override { transcript.clear(); }

    QString comm_text() const override { return comm; }
    QString station_text() const override { return station; }
    QString command_text() const override { return command; }
    bool ask_position() const override { return watching; }
    bool ask_states() const override { return watching; }
};

}  // namespace mivo::cli

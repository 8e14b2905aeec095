#pragma once

#include <QString>
#include <QtGlobal>

namespace mivo {

class ConsoleContext;
class DriveOperations;

// The "Terminal" page: raw command lines to the drive and a transcript of
// what came back. Each line goes out through DriveOperations::send_line,
// whose wait processes no events, so no other exchange can come between.
class Terminal {
public:
    static constexpr qint16 kEnter = 13;

    Terminal(ConsoleContext& context, DriveOperations& operations) : c_(context), operations_(operations) {}

    void send(const QString& line);  // "Send", with what "Command" holds
    // A character typed into "Command", which holds line; Enter sends it.
    void key_press(qint16 key_ascii, const QString& line);
    void clean();                        // "Clean Response"

private:
    ConsoleContext& c_;
    DriveOperations& operations_;
};

}  // namespace mivo

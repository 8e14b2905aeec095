#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

namespace mivo {

// A serial line carried in a telnet connection with the COM-PORT option
// (RFC 854, RFC 2217), as a device server or ser2net gives it. The client
// never waits for an answer: servers differ in which options they
// acknowledge, and some (ser2net in front of a pseudo-terminal) leave some
// requests unanswered. Pure byte work, no socket.
class TelnetFraming {
public:
    struct Line {
        quint32 baud_rate = 115200;
        quint8 data_size = 8;
        quint8 parity = 1;     // RFC 2217: 1 none, 2 odd, 3 even, 4 mark, 5 space
        quint8 stop_size = 1;  // RFC 2217: 1 one, 2 two, 3 one and a half
    };

    // Sent once, before the first byte of the line: the options the client
    // takes part in, then the line's settings.
    QByteArray opening(const Line& line);

    // The line's bytes as they go into the connection (0xFF doubled).
    static QByteArray encode(const QByteArray& line_bytes);

    // The line's bytes out of what the connection brought; commands,
    // negotiations and subnegotiations are taken out, also when they are
    // split between reads. Answers owed to the server collect in answers().
    QByteArray decode(const QByteArray& received);
    // What must go back to the server; empty once taken.
    QByteArray take_answers();

private:
    enum class State { Data, Command, Option, Sub, SubCommand };
    static constexpr int kOptions = 256;

    void negotiate(quint8 verb, quint8 option);
    void ask(quint8 verb, quint8 option);

    State state_ = State::Data;
    quint8 verb_ = 0;
    QByteArray answers_;
    // Per option: whether it is on for us (WILL) and for the server (DO),
    // and whether we asked and still wait for the answer.
    std::array<bool, kOptions> ours_{};
    std::array<bool, kOptions> theirs_{};
    std::array<bool, kOptions> asked_will_{};
    std::array<bool, kOptions> asked_do_{};
};

}  // namespace mivo

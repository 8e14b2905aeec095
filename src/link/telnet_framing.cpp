#include "link/telnet_framing.h"

namespace mivo {

namespace {

constexpr quint8 kIac = 255;
constexpr quint8 kDont = 254;
constexpr quint8 kDo = 253;
constexpr quint8 kWont = 252;
constexpr quint8 kWill = 251;
constexpr quint8 kSb = 250;
constexpr quint8 kSe = 240;

constexpr quint8 kBinary = 0;
constexpr quint8 kEcho = 1;
constexpr quint8 kSga = 3;
constexpr quint8 kComPort = 44;

constexpr quint8 kSetBaudRate = 1;
constexpr quint8 kSetDataSize = 2;
constexpr quint8 kSetParity = 3;
constexpr quint8 kSetStopSize = 4;

// What this client takes part in: both ways binary and without go-ahead;
// the server may echo (a server that offers it is answered, as telnet
// clients do; the line's own echo is the drive's business); the COM-PORT
// option is ours to use.
bool we_do(quint8 option)
{
    return option == kBinary || option == kSga || option == kComPort;
}

bool they_may(quint8 option)
{
    return option == kBinary || option == kSga || option == kEcho || option == kComPort;
}

void append_command(QByteArray& out, quint8 verb, quint8 option)
{
    out.append(char(kIac)).append(char(verb)).append(char(option));
}

void append_setting(QByteArray& out, quint8 command, const QByteArray& value)
{
    out.append(char(kIac)).append(char(kSb)).append(char(kComPort)).append(char(command));
    out += TelnetFraming::encode(value);
    out.append(char(kIac)).append(char(kSe));
}

}  // namespace

void TelnetFraming::ask(quint8 verb, quint8 option)
{
    if (verb == kWill)
        asked_will_[option] = true;
    else
        asked_do_[option] = true;
    append_command(answers_, verb, option);
}

QByteArray TelnetFraming::opening(const Line& line)
{
    ask(kWill, kComPort);
    ask(kWill, kBinary);
    ask(kDo, kBinary);
    ask(kWill, kSga);
    ask(kDo, kSga);
    ask(kDo, kEcho);
    QByteArray out = take_answers();
    const quint32 baud = line.baud_rate;
    const char baud_bytes[] = {char(baud >> 24), char((baud >> 16) & 0xFF), char((baud >> 8) & 0xFF), char(baud & 0xFF)};
    append_setting(out, kSetBaudRate, QByteArray(baud_bytes, sizeof baud_bytes));
    append_setting(out, kSetDataSize, QByteArray(1, char(line.data_size)));
    append_setting(out, kSetParity, QByteArray(1, char(line.parity)));
    append_setting(out, kSetStopSize, QByteArray(1, char(line.stop_size)));
    return out;
}

QByteArray TelnetFraming::encode(const QByteArray& line_bytes)
{
    if (!line_bytes.contains(char(kIac)))
        return line_bytes;
    QByteArray out;
    out.reserve(line_bytes.size() + 8);
    for (const char c : line_bytes) {
        out.append(c);
        if (quint8(c) == kIac)
            out.append(c);
    }
    return out;
}

QByteArray TelnetFraming::decode(const QByteArray& received)
{
    QByteArray out;
    out.reserve(received.size());
    for (const char ch : received) {
        const quint8 c = quint8(ch);
        switch (state_) {
        case State::Data:
            if (c == kIac)
                state_ = State::Command;
            else
                out.append(ch);
            break;
        case State::Command:
            if (c == kIac) {
                out.append(ch);  // an escaped 0xFF of the line
                state_ = State::Data;
            } else if (c >= kWill) {
                verb_ = c;
                state_ = State::Option;
            } else if (c == kSb) {
                state_ = State::Sub;
            } else {
                state_ = State::Data;  // NOP, GA and the like carry nothing
            }
            break;
        case State::Option:
            negotiate(verb_, c);
            state_ = State::Data;
            break;
        case State::Sub:
            // A server's subnegotiations (its settings as taken, line and
            // modem state) are for information only, and are not kept.
            if (c == kIac)
                state_ = State::SubCommand;
            break;
        case State::SubCommand:
            if (c == kSe)
                state_ = State::Data;
            else if (c == kIac)
                state_ = State::Sub;  // an escaped 0xFF inside
            else
                state_ = State::Data;  // broken framing: back to the line
            break;
        }
    }
    return out;
}

void TelnetFraming::negotiate(quint8 verb, quint8 option)
{
    // Answer only what changes an option's state, so that two parties that
    // disagree never answer each other forever.
    switch (verb) {
    case kWill:
        if (they_may(option)) {
            if (!theirs_[option] && !asked_do_[option])
                append_command(answers_, kDo, option);
            theirs_[option] = true;
        } else {
            append_command(answers_, kDont, option);
        }
        asked_do_[option] = false;
        break;
    case kWont:
        if (theirs_[option] && !asked_do_[option])
            append_command(answers_, kDont, option);
        theirs_[option] = false;
        asked_do_[option] = false;
        break;
    case kDo:
        if (we_do(option)) {
            if (!ours_[option] && !asked_will_[option])
                append_command(answers_, kWill, option);
            ours_[option] = true;
        } else {
            append_command(answers_, kWont, option);
        }
        asked_will_[option] = false;
        break;
    case kDont:
        if (ours_[option] && !asked_will_[option])
            append_command(answers_, kWont, option);
        ours_[option] = false;
        asked_will_[option] = false;
        break;
    default:
        break;
    }
}

QByteArray TelnetFraming::take_answers()
{
    QByteArray out;
    out.swap(answers_);
    return out;
}

}  // namespace mivo

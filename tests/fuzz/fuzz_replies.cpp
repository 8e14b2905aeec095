// libFuzzer target for the reply parsers, the light mapping and the
// configuration word: whatever a drive (or line noise) sends must never
// crash the console, and the conversions must agree with each other. Built and run by scripts/fuzz-replies.
//
// Input layout: the first byte gives the length (0..7) of a removal target
// taken from the following bytes; the rest is the received text. All bytes
// are read as Latin-1, one character per byte, as the serial port hands them
// over.

#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

using namespace mivo::protocol;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool is_blank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QStringView trimmed(QStringView s)
{
    while (!s.isEmpty() && is_blank(s.front()))
        s = s.mid(1);
    while (!s.isEmpty() && is_blank(s.back()))
        s.chop(1);
    return s;
}

bool all_hex(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

// Same rounding rule as the library, written differently: nearest, ties to
// even, via the distance to both neighbours.
double reference_round(double x)
{
    const double lo = std::floor(x);
    const double hi = lo + 1.0;
    if (x - lo < hi - x)
        return lo;
    if (hi - x < x - lo)
        return hi;
    return std::fmod(lo, 2.0) == 0.0 ? lo : hi;
}

template <typename Int>
void check_int(const std::optional<double>& d, const std::optional<Int>& i)
{
    if (!d) {
        check(!i);
        return;
    }
    const double r = reference_round(*d);
    const bool in_range = r >= double(std::numeric_limits<Int>::min())
        && r <= double(std::numeric_limits<Int>::max());
    check(i.has_value() == in_range);
    if (i)
        check(double(*i) == r);
}

// The decimal grammar written as a pattern, and the C library's strtod as
// the reference value. This process never calls setlocale, so strtod runs
// in the "C" locale here.
void check_decimal_reference(QStringView text, const std::optional<double>& d)
{
    static const QRegularExpression grammar(QStringLiteral(
        "\\A[ \\t]*[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?[ \\t]*\\z"));
    if (!grammar.match(text).hasMatch()) {
        check(!d);
        return;
    }
    const QByteArray ascii = trimmed(text).toLatin1();
    const double reference = std::strtod(ascii.constData(), nullptr);
    if (std::isinf(reference))
        check(!d);
    else
        check(d.has_value() && *d == reference);
}

// The lights show the low bits of exactly the words the hex readers accept.
void check_lights(QStringView text, const std::optional<qint32>& h32, const std::optional<qint16>& h16)
{
    const auto states = state_lights(text);
    const auto inputs = input_lights(text);
    check(states.has_value() == h32.has_value());
    check(inputs.has_value() == h16.has_value());
    for (int i = 0; states && i < 8; ++i)
        check((*states)[i] == (((*h32 >> i) & 1) != 0));
    for (int i = 0; inputs && i < 4; ++i)
        check((*inputs)[i] == (((*h16 >> i) & 1) != 0));
}

// Decoding picks an item of every box, and composing it back gives the low
// eight bits of the word.
void check_config(const std::optional<qint16>& word)
{
    if (!word)
        return;
    const ConfigIndexes boxes = decode_config(*word);
    for (int b = 0; b < kConfigBoxes; ++b)
        check(boxes[b] >= 0 && boxes[b] < kConfigBoxItems[b]);
    check(compose_config(boxes) == (*word & 0xFF));
}

void check_numbers(QStringView text)
{
    const std::optional<double> d = parse_decimal(text);
    check_decimal_reference(text, d);
    if (d) {
        check(std::isfinite(*d));
        // A number has at least one ASCII digit and no character outside
        // the grammar's alphabet.
        bool digit = false;
        for (QChar c : text) {
            const char16_t u = c.unicode();
            digit = digit || (u >= '0' && u <= '9');
            check((u >= '0' && u <= '9') || u == '+' || u == '-' || u == '.' || u == 'e'
                  || u == 'E' || u == ' ' || u == '\t');
        }
        check(digit);
        // Blanks around never change the value.
        QString padded = QStringLiteral(" \t");
        padded += text;
        padded += QStringLiteral("\t ");
        const std::optional<double> again = parse_decimal(padded);
        check(again.has_value() && *again == *d);
    }
    check_int<qint16>(d, to_int16(text));
    check_int<qint32>(d, to_int32(text));

    const std::optional<qint32> h32 = hex_to_int32(text);
    const std::optional<qint16> h16 = hex_to_int16(text);
    check_lights(text, h32, h16);
    check_config(to_int16(text));
    const QStringView digits = trimmed(text);
    if (!all_hex(digits)) {
        check(!h32 && !h16);
        return;
    }
    // Within four digits both widths see the same bit pattern.
    if (digits.size() <= 4) {
        check(h32.has_value() && h16.has_value());
        check(*h16 == qint16(quint16(quint32(*h32))));
        if (digits.size() < 4)
            check(*h16 == *h32 && *h16 >= 0);
    }
    // Any 16-bit value that is not a four-digit pattern is also the 32-bit value.
    if (h16 && digits.size() > 4)
        check(h32.has_value() && *h32 == *h16 && *h16 >= 0);
    if (digits.size() > 8 && h32)
        check(*h32 >= 0);
    if (h32 && digits.size() <= 8) {
        // Cross-check against Qt's own hex conversion of the bit pattern.
        bool ok = false;
        const uint expected = digits.toString().toUInt(&ok, 16);
        check(ok && quint32(*h32) == expected);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        check(value_line(QString()).isEmpty());
        return 0;
    }
    const size_t target_len = std::min<size_t>(data[0] % 8, size - 1);
    const QString target = QString::fromLatin1(
        reinterpret_cast<const char*>(data + 1), qsizetype(target_len));
    const QString received = QString::fromLatin1(
        reinterpret_cast<const char*>(data + 1 + target_len), qsizetype(size - 1 - target_len));

    // value_line: the text before the first CR, or nothing at all.
    const QString line = value_line(received);
    const qsizetype cr = received.indexOf(QLatin1Char('\r'));
    if (cr < 0)
        check(line.isEmpty());
    else
        check(line == received.left(cr));
    check(!line.contains(QLatin1Char('\r')));

    // remove_target: one left-to-right pass, same as Qt's QString::remove.
    const QString value = remove_target(line, target);
    if (target.isEmpty())
        check(value == line);
    else
        check(value == QString(line).remove(target, Qt::CaseSensitive));
    check(value.size() <= line.size());

    // Whatever the port hands over is one byte per character, and so could
    // go back on the wire as it is.
    check(unsendable_character(received).isEmpty());
    // A raw line switches the motor off only when it is "EN" and zeros, and
    // blanks in front change nothing of what it does.
    const RawLineEffect effect = raw_line_effect(line);
    if (effect == RawLineEffect::MotorOff) {
        const QString t = line.trimmed();
        check(t.left(2).compare(QLatin1String("EN"), Qt::CaseInsensitive) == 0 && t.contains(QLatin1Char('0')));
        for (const QChar c : t.mid(2))
            check(c == QLatin1Char('0') || c.isSpace());
    }
    check(raw_line_effect(QLatin1Char(' ') + line) == effect);
    check_numbers(received);
    check_numbers(line);
    check_numbers(value);
    return 0;
}

#include "protocol/reply_values.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace mivo::protocol {

namespace {

constexpr char16_t kCr = 13;

bool is_blank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// ASCII digits only: other scripts' digits are not numbers on this line.
bool is_digit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

int hex_digit_value(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

QStringView trim_blanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && is_blank(text[begin]))
        ++begin;
    while (end > begin && is_blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Round half to even without relying on the floating-point environment.
double round_half_even(double x)
{
    const double lower = std::floor(x);
    const double diff = x - lower; // exact for every finite double
    if (diff > 0.5)
        return lower + 1.0;
    if (diff < 0.5)
        return lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

template <typename Int>
std::optional<Int> to_int(QStringView text)
{
    const std::optional<double> value = parse_decimal(text);
    if (!value)
        return std::nullopt;
    const double rounded = round_half_even(*value);
    // Both limits are exactly representable as doubles for 16 and 32 bits.
    if (rounded < double(std::numeric_limits<Int>::min())
        || rounded > double(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

// Reads hexadecimal digits into an unsigned value of width_digits digits.
// Returns the value and the number of digits, or nothing when the text is
// not a hexadecimal number or its value needs more than width_digits digits.
struct HexDigits {
    quint32 value;
    qsizetype digits;
};

std::optional<HexDigits> read_hex(QStringView text, int width_digits)
{
    const QStringView digits = trim_blanks(text);
    if (digits.isEmpty())
        return std::nullopt;
    quint32 value = 0;
    int significant = 0;
    for (QChar c : digits) {
        const int d = hex_digit_value(c);
        if (d < 0)
            return std::nullopt;
        if (significant == 0 && d == 0)
            continue; // leading zero
        if (++significant > width_digits)
            return std::nullopt;
        value = (value << 4) | quint32(d);
    }
    return HexDigits{value, digits.size()};
}

} // namespace

QString value_line(const QString& received)
{
    const qsizetype cr = received.indexOf(QChar(kCr));
    if (cr < 0)
        return {};
    return received.left(cr);
}

QString remove_target(QString line, const QString& target)
{
    if (target.isEmpty())
        return line;
    QString result;
    result.reserve(line.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = line.indexOf(target, from, Qt::CaseSensitive);
        if (at < 0)
            break;
        result += QStringView(line).mid(from, at - from);
        from = at + target.size();
    }
    result += QStringView(line).mid(from);
    return result;
}

std::optional<double> parse_decimal(QStringView text)
{
    const QStringView t = trim_blanks(text);
    const qsizetype n = t.size();
    qsizetype i = 0;

    // The validated number as ASCII for std::from_chars, which is locale
    // independent but takes no leading '+'.
    std::string ascii;
    ascii.reserve(size_t(n));

    bool negative = false;
    if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        if (negative)
            ascii += '-';
        ++i;
    }

    // Decimal order of the first significant digit before the exponent is
    // applied; tells overflow from underflow when from_chars gives up.
    qint64 int_significant = 0;   // integer digits from the first non-zero
    qint64 frac_zeros = 0;        // fraction zeros before the first non-zero
    bool seen_nonzero = false;
    qsizetype mantissa_digits = 0;

    while (i < n && is_digit(t[i])) {
        if (t[i] != QLatin1Char('0'))
            seen_nonzero = true;
        if (seen_nonzero)
            ++int_significant;
        ascii += char(t[i].unicode());
        ++mantissa_digits;
        ++i;
    }
    if (i < n && t[i] == QLatin1Char('.')) {
        ascii += '.';
        ++i;
        while (i < n && is_digit(t[i])) {
            if (t[i] != QLatin1Char('0'))
                seen_nonzero = true;
            else if (!seen_nonzero)
                ++frac_zeros;
            ascii += char(t[i].unicode());
            ++mantissa_digits;
            ++i;
        }
    }
    if (mantissa_digits == 0)
        return std::nullopt;

    qint64 exponent = 0;
    if (i < n && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ascii += 'e';
        ++i;
        bool exp_negative = false;
        if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
            exp_negative = t[i] == QLatin1Char('-');
            if (exp_negative)
                ascii += '-';
            ++i;
        }
        qsizetype exp_digits = 0;
        while (i < n && is_digit(t[i])) {
            // Saturate: anything this large is far outside a double anyway.
            if (exponent < 1'000'000'000'000'000)
                exponent = exponent * 10 + (t[i].unicode() - '0');
            ascii += char(t[i].unicode());
            ++exp_digits;
            ++i;
        }
        if (exp_digits == 0)
            return std::nullopt;
        if (exp_negative)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;

    if (!seen_nonzero)
        return negative ? -0.0 : 0.0;

    double value = 0.0;
    const char* first = ascii.data();
    const char* last = first + ascii.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        const qint64 order =
            (int_significant > 0 ? int_significant - 1 : -(frac_zeros + 1)) + exponent;
        if (order > 0)
            return std::nullopt; // too large for a double
        return negative ? -0.0 : 0.0; // too small to tell from zero
    }
    if (ec != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint16> to_int16(QStringView text)
{
    return to_int<qint16>(text);
}

std::optional<qint32> to_int32(QStringView text)
{
    return to_int<qint32>(text);
}

std::optional<qint32> hex_to_int32(QStringView text)
{
    const std::optional<HexDigits> hex = read_hex(text, 8);
    if (!hex)
        return std::nullopt;
    if (hex->digits > 8 && hex->value > quint32(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return static_cast<qint32>(hex->value); // two's complement (C++20)
}

std::optional<qint16> hex_to_int16(QStringView text)
{
    const std::optional<HexDigits> hex = read_hex(text, 4);
    if (!hex)
        return std::nullopt;
    if (hex->digits > 4 && hex->value > quint32(std::numeric_limits<qint16>::max()))
        return std::nullopt;
    return static_cast<qint16>(quint16(hex->value)); // two's complement (C++20)
}

namespace {

template <std::size_t N>
std::array<bool, N> low_bits(qint32 word)
{
    std::array<bool, N> bits{};
    for (std::size_t i = 0; i < N; ++i)
        bits[i] = (word & (qint32(1) << i)) != 0;
    return bits;
}

// Where each box's bits sit in the word: its lower bit, and whether it has a
// second one above it.
struct ConfigField {
    int lower_bit;
    bool two_bits;
};
constexpr std::array<ConfigField, kConfigBoxes> kConfigFields{
    {{0, true}, {2, false}, {3, false}, {4, false}, {5, false}, {6, true}}};

} // namespace

std::optional<std::array<bool, 8>> state_lights(QStringView value_line)
{
    const std::optional<qint32> word = hex_to_int32(value_line);
    if (!word)
        return std::nullopt;
    return low_bits<8>(*word);
}

std::optional<std::array<bool, 4>> input_lights(QStringView value_line)
{
    const std::optional<qint16> word = hex_to_int16(value_line);
    if (!word)
        return std::nullopt;
    return low_bits<4>(*word);
}

ConfigIndexes decode_config(qint16 word)
{
    const auto bit = [word](int i) { return (word >> i) & 1; };
    ConfigIndexes indexes{};
    for (int box = 0; box < kConfigBoxes; ++box) {
        const ConfigField f = kConfigFields[box];
        // The lower bit of a pair is the more significant bit of the index.
        indexes[box] = f.two_bits ? 2 * bit(f.lower_bit) + bit(f.lower_bit + 1) : bit(f.lower_bit);
    }
    return indexes;
}

int compose_config(const ConfigIndexes& indexes)
{
    int word = 0;
    for (int box = 0; box < kConfigBoxes; ++box) {
        const int index = indexes[box];
        if (index < 0 || index >= kConfigBoxItems[box])
            continue;
        const ConfigField f = kConfigFields[box];
        if (f.two_bits)
            word |= ((index >> 1) << f.lower_bit) | ((index & 1) << (f.lower_bit + 1));
        else
            word |= index << f.lower_bit;
    }
    return word;
}

} // namespace mivo::protocol

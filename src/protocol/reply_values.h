#pragma once

// Reading values out of what a drive sent back.
//
// A reply is zero or more lines, each ended by CR, then the prompt '>'. The
// value of a read is its first line; parameter replies carry a prefix such
// as "P3=" that is removed before the number is converted. None of these
// functions throws; std::nullopt means "no value".

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <array>
#include <optional>

namespace mivo::protocol {

// The text before the first CR. When the received text holds no CR at all
// the reply is missing or incomplete and the result is empty: a fragment of
// a line is never taken as a value.
QString value_line(const QString& received);

// Removes every occurrence of target from line, case-sensitive, in one pass
// from the first character (text that only comes together after a removal
// is kept). An empty target leaves the line unchanged.
QString remove_target(QString line, const QString& target);

// A decimal number: optional blanks (space, tab) around; optional sign;
// digits with an optional decimal point ("5." and ".5" are numbers); an
// optional exponent (e or E, optional sign, digits). Independent of the C
// locale. A number too large for a double is no value; one too small to be
// told apart from zero reads as zero.
std::optional<double> parse_decimal(QStringView text);

// parse_decimal, rounded to the nearest integer with halves going to the
// even neighbour, then range-checked.
std::optional<qint16> to_int16(QStringView text);
std::optional<qint32> to_int32(QStringView text);

// Hexadecimal digits without prefix or suffix, either case, optional blanks
// around. Up to the full width (8 digits for 32 bits, 4 for 16 bits) the
// digits are a two's-complement bit pattern ("FFFF" -> -1 for 16 bits,
// "FFF" -> 4095). Longer digit strings are accepted only while their value
// fits the positive range ("00010" -> 16, "0FFFF" -> no value).
std::optional<qint32> hex_to_int32(QStringView text);
std::optional<qint16> hex_to_int16(QStringView text);

// The lights of the state word ("RV 2", bits 0..7) and of the input word
// ("RV 5", bits 0..3), from the value line: true for a set bit. Higher bits
// are ignored. Nothing when the line is not a hexadecimal number of the
// word's width, so that the lights keep what they showed.
std::optional<std::array<bool, 8>> state_lights(QStringView value_line);
std::optional<std::array<bool, 4>> input_lights(QStringView value_line);

// The configuration word (V5) and the list indexes of its six option boxes:
// box 0 bits 0-1, box 1 bit 2, box 2 bit 3, box 3 bit 4, box 4 bit 5, box 5
// bits 6-7. A two-bit box's index is 2 x lower bit + higher bit. Bits 8-15
// have no box.
constexpr int kConfigBoxes = 6;
constexpr std::array<int, kConfigBoxes> kConfigBoxItems{4, 2, 2, 2, 2, 4};
using ConfigIndexes = std::array<int, kConfigBoxes>;

ConfigIndexes decode_config(qint16 word);
// 0..255. An index outside its box's list contributes no bits.
int compose_config(const ConfigIndexes& indexes);

} // namespace mivo::protocol

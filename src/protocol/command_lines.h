#pragma once

// Builders for every line the console sends to a drive.
//
// A line is returned without its end: the exchange appends the CR when it
// writes the line. Numbers are written in plain decimal: a minus sign for
// negative values, no plus sign, no leading zeros, no blanks or grouping.
// Text the user typed (station text, speed) is passed through unchanged.

#include <QString>
#include <QStringView>
#include <QtGlobal>

namespace mivo::protocol {

// Parameter groups of "RD" and "WT".
constexpr int kGroupP = 0;
constexpr int kGroupV = 1;
constexpr int kGroupPSize = 16; // P0 .. P15
constexpr int kGroupVSize = 7;  // V0 .. V6

// Number of parameters in a group, 0 for an unknown group.
constexpr int group_size(int group)
{
    return group == kGroupP ? kGroupPSize : group == kGroupV ? kGroupVSize : 0;
}

// The configuration word is V5.
constexpr int kConfigGroup = kGroupV;
constexpr int kConfigIndex = 5;

// Value numbers of "RV".
constexpr qint16 kValuePosition = 0; // text
constexpr qint16 kValueState = 2;    // hexadecimal, 32 bits
constexpr qint16 kValueVersion = 4;  // text
constexpr qint16 kValueInputs = 5;   // hexadecimal, 16 bits

// Station numbers: 0..31 address one drive, 32 addresses all of them.
constexpr int kFirstStation = 0;
constexpr int kLastStation = 31;
constexpr int kBroadcastStation = 32;

QString format_number(qint64 v);

// A line goes on the wire one byte per character. The first character that
// has no byte of its own (outside Latin-1; a surrogate pair whole), or an
// empty string when every one has.
QString unsendable_character(QStringView text);
// Why the text cannot go out, in one sentence without its full stop; empty
// when it can.
QString unsendable_reason(QStringView text);

// "ST " + the station text exactly as typed (no trimming, no check).
QString station_select_line(const QString& station_text);
// "ST " + n, used by the station search.
QString station_probe_line(int n);

// "RV " + n.
QString read_value_line(qint16 n);
inline QString read_state_line() { return read_value_line(kValueState); }   // "RV 2"
inline QString read_inputs_line() { return read_value_line(kValueInputs); } // "RV 5"

// "RD " + group + " " + index.
QString read_parameter_line(int group, int index);
// What the drive puts before the value of a parameter reply: "P3=" for
// group 0 index 3, "V5=" for group 1 index 5. Empty for an unknown group.
QString parameter_target(int group, int index);
// "WT " + group + " " + index + " " + value.
QString write_parameter_line(int group, int index, qint16 value);
// "WT 1 5 " + value: writes the configuration word.
QString write_config_line(int value);

QString save_line();                          // "SV"
QString enable_line(bool on);                 // "EN 1" / "EN 0"
QString home_line();                          // "HM"
QString speed_line(const QString& speed_text); // "VA " + text as typed
QString move_line(qint32 position);           // "MA " + position


// What a raw line (typed, or a recipe's) may do to the line's state, read
// as leniently as a drive might read it: the command word is the first two
// characters after any blanks, in either case, and a number may have blanks
// and leading zeros ("EN  1", "en 01"). Only "EN" followed by a lone number
// that is 0 counts as switching the motor off; any other "EN" may switch it
// on.
enum class RawLineEffect { None, SelectsStation, MotorOn, MotorOff };
RawLineEffect raw_line_effect(QStringView line);

} // namespace mivo::protocol

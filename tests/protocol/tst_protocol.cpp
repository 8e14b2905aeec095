#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <QLocale>
#include <QObject>
#include <QtTest>

#include <algorithm>
#include <limits>
#include <optional>

using namespace mivo::protocol;

namespace {

constexpr qint32 kInt32Max = std::numeric_limits<qint32>::max();
constexpr qint32 kInt32Min = std::numeric_limits<qint32>::min();
constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();
constexpr qint64 kInt64Min = std::numeric_limits<qint64>::min();

template <typename T>
QString describe(const std::optional<T>& v)
{
    return v ? QString::number(*v) : QStringLiteral("no value");
}

// Rows of the integer conversion tables: a missing value is written as
// std::nullopt so the table reads like the behaviour it checks.
template <typename T>
void add_int_row(const char* name, const QString& text, std::optional<T> expected)
{
    QTest::newRow(name) << text << expected.has_value() << qint64(expected.value_or(0));
}

} // namespace

class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void command_lines_data();
    void command_lines();

    void parameter_target_data();
    void parameter_target();

    void value_line_data();
    void value_line();

    void remove_target_data();
    void remove_target();

    void parameter_reply_data();
    void parameter_reply();

    void parse_decimal_data();
    void parse_decimal();

    void to_int16_data();
    void to_int16();

    void to_int32_data();
    void to_int32();

    void hex_to_int32_data();
    void hex_to_int32();

    void hex_to_int16_data();
    void hex_to_int16();

    void numbers_ignore_default_locale();

    void config_word_data();
    void config_word();
};

void TestProtocol::command_lines_data()
{
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");

    // Positions: plain decimal, minus for negatives, never a plus sign.
    QTest::newRow("move negative") << move_line(-1000) << "MA -1000";
    QTest::newRow("move zero") << move_line(0) << "MA 0";
    QTest::newRow("move positive") << move_line(250) << "MA 250";
    QTest::newRow("move max") << move_line(kInt32Max) << "MA 2147483647";
    QTest::newRow("move min") << move_line(kInt32Min) << "MA -2147483648";

    // Typed text goes out exactly as typed.
    QTest::newRow("station as typed") << station_select_line("32.0") << "ST 32.0";
    QTest::newRow("station broadcast") << station_select_line("32") << "ST 32";
    QTest::newRow("station blanks kept") << station_select_line(" 7 ") << "ST  7 ";
    QTest::newRow("station letters") << station_select_line("abc") << "ST abc";
    QTest::newRow("station empty") << station_select_line("") << "ST ";
    QTest::newRow("speed as typed") << speed_line("1000") << "VA 1000";
    QTest::newRow("speed text kept") << speed_line(" 12,5 rpm") << "VA  12,5 rpm";
    QTest::newRow("speed empty") << speed_line("") << "VA ";

    QTest::newRow("probe first") << station_probe_line(kFirstStation) << "ST 0";
    QTest::newRow("probe 7") << station_probe_line(7) << "ST 7";
    QTest::newRow("probe last") << station_probe_line(kLastStation) << "ST 31";

    QTest::newRow("read position") << read_value_line(kValuePosition) << "RV 0";
    QTest::newRow("read version") << read_value_line(kValueVersion) << "RV 4";
    QTest::newRow("read state") << read_state_line() << "RV 2";
    QTest::newRow("read inputs") << read_inputs_line() << "RV 5";

    QTest::newRow("read P0") << read_parameter_line(kGroupP, 0) << "RD 0 0";
    QTest::newRow("read P15") << read_parameter_line(kGroupP, kGroupPSize - 1) << "RD 0 15";
    QTest::newRow("read V6") << read_parameter_line(kGroupV, kGroupVSize - 1) << "RD 1 6";
    QTest::newRow("read config word") << read_parameter_line(kConfigGroup, kConfigIndex)
                                      << "RD 1 5";

    QTest::newRow("write P15 -1") << write_parameter_line(kGroupP, 15, -1) << "WT 0 15 -1";
    QTest::newRow("write P0 min") << write_parameter_line(kGroupP, 0, -32768) << "WT 0 0 -32768";
    QTest::newRow("write V6 max") << write_parameter_line(kGroupV, 6, 32767) << "WT 1 6 32767";
    QTest::newRow("write V0 zero") << write_parameter_line(kGroupV, 0, 0) << "WT 1 0 0";
    QTest::newRow("write config 255") << write_config_line(255) << "WT 1 5 255";
    QTest::newRow("write config 0") << write_config_line(0) << "WT 1 5 0";

    QTest::newRow("save") << save_line() << "SV";
    QTest::newRow("enable on") << enable_line(true) << "EN 1";
    QTest::newRow("enable off") << enable_line(false) << "EN 0";
    QTest::newRow("home") << home_line() << "HM";

    QTest::newRow("number zero") << format_number(0) << "0";
    QTest::newRow("number no grouping") << format_number(1234567) << "1234567";
    QTest::newRow("number 64-bit max") << format_number(kInt64Max) << "9223372036854775807";
    QTest::newRow("number 64-bit min") << format_number(kInt64Min) << "-9223372036854775808";
}

void TestProtocol::command_lines()
{
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
    // The exchange adds the line end; a builder never does.
    QVERIFY(!built.contains(QLatin1Char('\r')));
    QVERIFY(!built.contains(QLatin1Char('\n')));
}

void TestProtocol::parameter_target_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");

    QTest::newRow("P3") << kGroupP << 3 << "P3=";
    QTest::newRow("P0") << kGroupP << 0 << "P0=";
    QTest::newRow("P15") << kGroupP << 15 << "P15=";
    QTest::newRow("V5") << kGroupV << 5 << "V5=";
    QTest::newRow("V6") << kGroupV << 6 << "V6=";
    QTest::newRow("unknown group") << 2 << 0 << "";
}

void TestProtocol::parameter_target()
{
    QFETCH(int, group);
    QFETCH(int, index);
    QFETCH(QString, expected);
    QCOMPARE(mivo::protocol::parameter_target(group, index), expected);
}

void TestProtocol::value_line_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("expected");

    QTest::newRow("parameter reply") << "P3=120\r>" << "P3=120";
    QTest::newRow("hex reply") << "1F\r>" << "1F";
    QTest::newRow("first line only") << "12\r34\r>" << "12";
    QTest::newRow("blanks kept") << " 5 \r>" << " 5 ";
    QTest::newRow("empty line") << "\r>" << "";
    QTest::newRow("line feed kept") << "\n7\r\n>" << "\n7";
    QTest::newRow("prompt only") << ">" << "";
    QTest::newRow("nothing") << "" << "";
    QTest::newRow("fragment") << "12" << "";
    QTest::newRow("fragment with prompt") << "P3=120>" << "";
    QTest::newRow("line feed is no line end") << "12\n>" << "";
}

void TestProtocol::value_line()
{
    QFETCH(QString, received);
    QFETCH(QString, expected);
    QCOMPARE(mivo::protocol::value_line(received), expected);
}

void TestProtocol::remove_target_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");

    QTest::newRow("prefix") << "P3=120" << "P3=" << "120";
    QTest::newRow("every occurrence") << "P3=1P3=2P3=" << "P3=" << "12";
    QTest::newRow("inside") << "12P3=34" << "P3=" << "1234";
    QTest::newRow("case-sensitive") << "p3=120" << "P3=" << "p3=120";
    QTest::newRow("other index kept") << "P13=120" << "P3=" << "P13=120";
    QTest::newRow("one pass") << "PP3==7" << "P3=" << "P=7";
    QTest::newRow("overlap from the left") << "aaa" << "aa" << "a";
    QTest::newRow("whole line") << "V5=" << "V5=" << "";
    QTest::newRow("longer target") << "V5" << "V5=" << "V5";
    QTest::newRow("empty target") << "P3=120" << "" << "P3=120";
    QTest::newRow("empty line") << "" << "P3=" << "";
}

void TestProtocol::remove_target()
{
    QFETCH(QString, line);
    QFETCH(QString, target);
    QFETCH(QString, expected);
    QCOMPARE(mivo::protocol::remove_target(line, target), expected);
}

void TestProtocol::parameter_reply_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("has_value");
    QTest::addColumn<int>("expected");

    QTest::newRow("P3=120") << "P3=120\r>" << kGroupP << 3 << true << 120;
    QTest::newRow("V5=-7") << "V5=-7\r>" << kGroupV << 5 << true << -7;
    QTest::newRow("P15 min") << "P15=-32768\r>" << kGroupP << 15 << true << -32768;
    QTest::newRow("P15 too large") << "P15=32768\r>" << kGroupP << 15 << false << 0;
    QTest::newRow("other parameter") << "P4=120\r>" << kGroupP << 3 << false << 0;
    QTest::newRow("no line end") << "P3=120" << kGroupP << 3 << false << 0;
    QTest::newRow("prompt only") << ">" << kGroupP << 3 << false << 0;
    QTest::newRow("empty value") << "V0=\r>" << kGroupV << 0 << false << 0;
}

void TestProtocol::parameter_reply()
{
    QFETCH(QString, received);
    QFETCH(int, group);
    QFETCH(int, index);
    QFETCH(bool, has_value);
    QFETCH(int, expected);

    const std::optional<qint16> v = mivo::protocol::to_int16(mivo::protocol::remove_target(
        mivo::protocol::value_line(received), mivo::protocol::parameter_target(group, index)));
    QCOMPARE(v.has_value(), has_value);
    if (has_value)
        QCOMPARE(int(*v), expected);
}

void TestProtocol::parse_decimal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("has_value");
    QTest::addColumn<double>("expected");

    QTest::newRow("zero") << "0" << true << 0.0;
    QTest::newRow("integer") << "120" << true << 120.0;
    QTest::newRow("negative") << "-7" << true << -7.0;
    QTest::newRow("plus sign") << "+7" << true << 7.0;
    QTest::newRow("leading zeros") << "0012" << true << 12.0;
    QTest::newRow("fraction") << "12.25" << true << 12.25;
    QTest::newRow("trailing point") << "5." << true << 5.0;
    QTest::newRow("leading point") << ".5" << true << 0.5;
    QTest::newRow("negative leading point") << "-.5" << true << -0.5;
    QTest::newRow("exponent") << "1e3" << true << 1000.0;
    QTest::newRow("upper exponent") << "1E3" << true << 1000.0;
    QTest::newRow("exponent plus") << "1e+3" << true << 1000.0;
    QTest::newRow("exponent minus") << "2.5e-1" << true << 0.25;
    QTest::newRow("point then exponent") << "5.e1" << true << 50.0;
    QTest::newRow("blanks around") << " \t12.5\t " << true << 12.5;
    QTest::newRow("largest double") << "1.7976931348623157e308" << true
                                    << std::numeric_limits<double>::max();
    QTest::newRow("underflow to zero") << "1e-400" << true << 0.0;
    QTest::newRow("zero huge exponent") << "0e999999" << true << 0.0;

    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blanks only") << " \t " << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("trailing letter") << "12a" << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 0.0;
    QTest::newRow("exponent sign only") << "1e+" << false << 0.0;
    QTest::newRow("fractional exponent") << "1e5.5" << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("infinity") << "-Infinity" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("hex prefix") << "0x10" << false << 0.0;
    QTest::newRow("decimal comma") << "1,5" << false << 0.0;
    QTest::newRow("grouped digits") << "1 000" << false << 0.0;
    QTest::newRow("blank after sign") << "- 5" << false << 0.0;
    QTest::newRow("sign only") << "-" << false << 0.0;
    QTest::newRow("point only") << "." << false << 0.0;
    QTest::newRow("exponent only") << "e5" << false << 0.0;
    QTest::newRow("point exponent") << ".e5" << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("two signs") << "--1" << false << 0.0;
    QTest::newRow("line feed") << "12\n" << false << 0.0;
    QTest::newRow("carriage return") << "12\r" << false << 0.0;
    QTest::newRow("overflow") << "1e400" << false << 0.0;
    QTest::newRow("overflow by digits") << QString(400, QLatin1Char('9')) << false << 0.0;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662") << false << 0.0;
    QTest::newRow("fullwidth digits") << QString::fromUtf8("\uFF11\uFF12") << false << 0.0;
}

void TestProtocol::parse_decimal()
{
    QFETCH(QString, text);
    QFETCH(bool, has_value);
    QFETCH(double, expected);

    const std::optional<double> v = mivo::protocol::parse_decimal(text);
    QCOMPARE(v.has_value(), has_value);
    if (has_value)
        QVERIFY2(*v == expected, qPrintable(QString::number(*v, 'g', 17)));
}

void TestProtocol::to_int16_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("has_value");
    QTest::addColumn<qint64>("expected");
    using R = std::optional<qint16>;

    add_int_row<qint16>("plain", "-7", R(-7));
    add_int_row<qint16>("leading zeros", "0012", R(12));
    add_int_row<qint16>("exponent", "1e3", R(1000));
    add_int_row<qint16>("blanks", " 42\t", R(42));
    add_int_row<qint16>("half down to even", "12.5", R(12));
    add_int_row<qint16>("half up to even", "13.5", R(14));
    add_int_row<qint16>("negative half to even", "-2.5", R(-2));
    add_int_row<qint16>("negative half away to even", "-3.5", R(-4));
    add_int_row<qint16>("half to zero", "0.5", R(0));
    add_int_row<qint16>("negative half to zero", "-0.5", R(0));
    add_int_row<qint16>("half to two", "1.5", R(2));
    add_int_row<qint16>("below half", "12.4999", R(12));
    add_int_row<qint16>("above half", "12.5001", R(13));
    add_int_row<qint16>("negative above half", "-12.5001", R(-13));
    add_int_row<qint16>("tiny", "1e-400", R(0));
    add_int_row<qint16>("max", "32767", R(32767));
    add_int_row<qint16>("min", "-32768", R(-32768));
    add_int_row<qint16>("max with fraction", "32767.4", R(32767));
    add_int_row<qint16>("min half to even", "-32768.5", R(-32768));
    add_int_row<qint16>("max half rounds out", "32767.5", R());
    add_int_row<qint16>("min rounds out", "-32768.6", R());
    add_int_row<qint16>("above max", "32768", R());
    add_int_row<qint16>("below min", "-32769", R());
    add_int_row<qint16>("far above", "40000", R());
    add_int_row<qint16>("exponent out of range", "1e5", R());
    add_int_row<qint16>("huge exponent", "1e400", R());
    add_int_row<qint16>("empty", "", R());
    add_int_row<qint16>("letters", "abc", R());
    add_int_row<qint16>("hex", "1F", R());
}

void TestProtocol::to_int16()
{
    QFETCH(QString, text);
    QFETCH(bool, has_value);
    QFETCH(qint64, expected);

    const std::optional<qint16> v = mivo::protocol::to_int16(text);
    QVERIFY2(v.has_value() == has_value, qPrintable(describe(v)));
    if (has_value)
        QCOMPARE(qint64(*v), expected);
}

void TestProtocol::to_int32_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("has_value");
    QTest::addColumn<qint64>("expected");
    using R = std::optional<qint32>;

    add_int_row<qint32>("plain", "-7", R(-7));
    add_int_row<qint32>("beyond 16 bits", "40000", R(40000));
    add_int_row<qint32>("half to even", "12.5", R(12));
    add_int_row<qint32>("half up to even", "13.5", R(14));
    add_int_row<qint32>("negative half", "-2.5", R(-2));
    add_int_row<qint32>("max", "2147483647", R(kInt32Max));
    add_int_row<qint32>("min", "-2147483648", R(kInt32Min));
    add_int_row<qint32>("max by exponent", "2.147483647e9", R(kInt32Max));
    add_int_row<qint32>("below max half to even", "2147483646.5", R(2147483646));
    add_int_row<qint32>("max with fraction", "2147483647.4", R(kInt32Max));
    add_int_row<qint32>("min half to even", "-2147483648.5", R(kInt32Min));
    add_int_row<qint32>("min plus half to even", "-2147483647.5", R(kInt32Min));
    add_int_row<qint32>("max half rounds out", "2147483647.5", R());
    add_int_row<qint32>("above max", "2147483648", R());
    add_int_row<qint32>("below min", "-2147483649", R());
    add_int_row<qint32>("exponent out of range", "1e10", R());
    add_int_row<qint32>("largest double", "1e308", R());
    add_int_row<qint32>("huge exponent", "-1e99999", R());
    add_int_row<qint32>("decimal comma", "1,5", R());
}

void TestProtocol::to_int32()
{
    QFETCH(QString, text);
    QFETCH(bool, has_value);
    QFETCH(qint64, expected);

    const std::optional<qint32> v = mivo::protocol::to_int32(text);
    QVERIFY2(v.has_value() == has_value, qPrintable(describe(v)));
    if (has_value)
        QCOMPARE(qint64(*v), expected);
}

void TestProtocol::hex_to_int32_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("has_value");
    QTest::addColumn<qint64>("expected");
    using R = std::optional<qint32>;

    add_int_row<qint32>("upper", "1F", R(31));
    add_int_row<qint32>("lower", "1f", R(31));
    add_int_row<qint32>("mixed", "aBcD", R(0xABCD));
    add_int_row<qint32>("zero", "0", R(0));
    add_int_row<qint32>("blanks", " \t1F \t", R(31));
    add_int_row<qint32>("all ones", "FFFFFFFF", R(-1));
    add_int_row<qint32>("sign bit", "80000000", R(kInt32Min));
    add_int_row<qint32>("max", "7FFFFFFF", R(kInt32Max));
    add_int_row<qint32>("seven digits", "FFFFFFF", R(0x0FFFFFFF));
    add_int_row<qint32>("leading zeros", "0000000001F", R(31));
    add_int_row<qint32>("leading zero max", "07FFFFFFF", R(kInt32Max));
    add_int_row<qint32>("leading zero sign bit", "0FFFFFFFF", R());
    add_int_row<qint32>("nine digits", "100000000", R());
    add_int_row<qint32>("empty", "", R());
    add_int_row<qint32>("blanks only", "  ", R());
    add_int_row<qint32>("not a digit", "G1", R());
    add_int_row<qint32>("prefix", "0x1F", R());
    add_int_row<qint32>("suffix", "1Fh", R());
    add_int_row<qint32>("inner blank", "1 F", R());
    add_int_row<qint32>("minus", "-1", R());
    add_int_row<qint32>("plus", "+1", R());
    add_int_row<qint32>("fullwidth digit", QString::fromUtf8("\uFF11"), R());
}

void TestProtocol::hex_to_int32()
{
    QFETCH(QString, text);
    QFETCH(bool, has_value);
    QFETCH(qint64, expected);

    const std::optional<qint32> v = mivo::protocol::hex_to_int32(text);
    QVERIFY2(v.has_value() == has_value, qPrintable(describe(v)));
    if (has_value)
        QCOMPARE(qint64(*v), expected);
}

void TestProtocol::hex_to_int16_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("has_value");
    QTest::addColumn<qint64>("expected");
    using R = std::optional<qint16>;

    add_int_row<qint16>("upper", "1F", R(31));
    add_int_row<qint16>("lower", "ffff", R(-1));
    add_int_row<qint16>("single digit", "5", R(5));
    add_int_row<qint16>("blanks", " 1F\t", R(31));
    add_int_row<qint16>("all ones", "FFFF", R(-1));
    add_int_row<qint16>("sign bit", "8000", R(-32768));
    add_int_row<qint16>("max", "7FFF", R(32767));
    add_int_row<qint16>("three digits stay positive", "FFF", R(4095));
    add_int_row<qint16>("leading zeros", "00010", R(16));
    add_int_row<qint16>("leading zero max", "07FFF", R(32767));
    add_int_row<qint16>("leading zero all ones", "0FFFF", R());
    add_int_row<qint16>("leading zero sign bit", "08000", R());
    add_int_row<qint16>("five digits", "10000", R());
    add_int_row<qint16>("eight digits", "FFFFFFFF", R());
    add_int_row<qint16>("empty", "", R());
    add_int_row<qint16>("not a digit", "G1", R());
    add_int_row<qint16>("prefix", "0x1F", R());
    add_int_row<qint16>("inner blank", "1 F", R());
}

void TestProtocol::hex_to_int16()
{
    QFETCH(QString, text);
    QFETCH(bool, has_value);
    QFETCH(qint64, expected);

    const std::optional<qint16> v = mivo::protocol::hex_to_int16(text);
    QVERIFY2(v.has_value() == has_value, qPrintable(describe(v)));
    if (has_value)
        QCOMPARE(qint64(*v), expected);
}

void TestProtocol::numbers_ignore_default_locale()
{
    // A console run in a German locale must still speak the drive's
    // language: no digit grouping out, decimal point (not comma) in.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto restore = qScopeGuard([&] { QLocale::setDefault(saved); });

    QCOMPARE(move_line(-1000000), QStringLiteral("MA -1000000"));
    QCOMPARE(mivo::protocol::parse_decimal(u"1.5"), std::optional<double>(1.5));
    QCOMPARE(mivo::protocol::parse_decimal(u"1,5"), std::optional<double>());
    QCOMPARE(mivo::protocol::to_int32(u"1.000"), std::optional<qint32>(1));
}

void TestProtocol::config_word_data()
{
    // The word read and the box indexes it gives; the word those indexes
    // write back. A row without a word read only composes.
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<int>("read");
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<int>("written");

    QTest::newRow("0") << true << 0 << QList<int>{0, 0, 0, 0, 0, 0} << 0;
    QTest::newRow("1: lower bit is the index's high bit") << true << 1 << QList<int>{2, 0, 0, 0, 0, 0} << 1;
    QTest::newRow("2: higher bit is the index's low bit") << true << 2 << QList<int>{1, 0, 0, 0, 0, 0} << 2;
    QTest::newRow("64") << true << 64 << QList<int>{0, 0, 0, 0, 0, 2} << 64;
    QTest::newRow("128") << true << 128 << QList<int>{0, 0, 0, 0, 0, 1} << 128;
    QTest::newRow("255") << true << 255 << QList<int>{3, 1, 1, 1, 1, 3} << 255;
    QTest::newRow("256: bit 8 has no box") << true << 256 << QList<int>{0, 0, 0, 0, 0, 0} << 0;
    QTest::newRow("-1: two's complement, high bits dropped") << true << -1 << QList<int>{3, 1, 1, 1, 1, 3} << 255;
    QTest::newRow("94") << true << 94 << QList<int>{1, 1, 1, 1, 0, 2} << 94;
    QTest::newRow("index outside its list gives no bits") << false << 0 << QList<int>{4, 1, 2, -1, 0, 1} << 132;
}

void TestProtocol::config_word()
{
    QFETCH(bool, decodes);
    QFETCH(int, read);
    QFETCH(QList<int>, indexes);
    QFETCH(int, written);

    ConfigIndexes boxes{};
    std::copy(indexes.begin(), indexes.end(), boxes.begin());
    if (decodes)
        QCOMPARE(decode_config(qint16(read)), boxes);
    QCOMPARE(compose_config(boxes), written);
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"

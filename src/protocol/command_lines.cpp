#include "protocol/command_lines.h"

#include <initializer_list>

namespace mivo::protocol {

namespace {

QString with_args(const char* word, std::initializer_list<qint64> args)
{
    QString line = QLatin1String(word);
    for (qint64 a : args) {
        line += QLatin1Char(' ');
        line += format_number(a);
    }
    return line;
}

} // namespace

QString format_number(qint64 v)
{
    // QString::number ignores the locale: no grouping, ASCII digits, '-' only.
    return QString::number(v);
}

QString unsendable_character(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].unicode() > 0xFF)
            return text.mid(i, text[i].isHighSurrogate() ? 2 : 1).toString();
    return {};
}

QString unsendable_reason(QStringView text)
{
    const QString bad = unsendable_character(text);
    return bad.isEmpty()
        ? QString()
        : QStringLiteral("\"%1\" cannot be sent: a command line takes Latin-1 characters only").arg(bad);
}

QString station_select_line(const QString& station_text)
{
    return QStringLiteral("ST ") + station_text;
}

QString station_probe_line(int n)
{
    return with_args("ST", {n});
}

QString read_value_line(qint16 n)
{
    return with_args("RV", {n});
}

QString read_parameter_line(int group, int index)
{
    return with_args("RD", {group, index});
}

QString parameter_target(int group, int index)
{
    QChar letter;
    if (group == kGroupP)
        letter = QLatin1Char('P');
    else if (group == kGroupV)
        letter = QLatin1Char('V');
    else
        return {};
    return letter + format_number(index) + QLatin1Char('=');
}

QString write_parameter_line(int group, int index, qint16 value)
{
    return with_args("WT", {group, index, value});
}

QString write_config_line(int value)
{
    // The configuration word is 0..255 but is passed on as given.
    return with_args("WT", {kConfigGroup, kConfigIndex, value});
}

QString save_line()
{
    return QStringLiteral("SV");
}

QString enable_line(bool on)
{
    return on ? QStringLiteral("EN 1") : QStringLiteral("EN 0");
}

QString home_line()
{
    return QStringLiteral("HM");
}

QString speed_line(const QString& speed_text)
{
    return QStringLiteral("VA ") + speed_text;
}

QString move_line(qint32 position)
{
    return with_args("MA", {position});
}

RawLineEffect raw_line_effect(QStringView line)
{
    const QStringView text = line.trimmed();
    const QStringView word = text.left(2);
    if (word.compare(QLatin1String("ST"), Qt::CaseInsensitive) == 0)
        return RawLineEffect::SelectsStation;
    if (word.compare(QLatin1String("EN"), Qt::CaseInsensitive) != 0)
        return RawLineEffect::None;
    // "EN0" may be no command at all to a drive: the motor stays as it was.
    const bool separated = text.size() > 2 && (text[2] == u' ' || text[2] == u'\t');
    const QStringView argument = text.mid(2).trimmed();
    bool all_zeros = separated && !argument.isEmpty();
    for (const QChar c : argument)
        all_zeros = all_zeros && c == u'0';
    return all_zeros ? RawLineEffect::MotorOff : RawLineEffect::MotorOn;
}

} // namespace mivo::protocol

#include "console/settings_file.h"

#include "protocol/command_lines.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace mivo::settings_file {

namespace {
constexpr std::array<const char*, protocol::kGroupVSize> kVCaptions{"MSP", "HSP", "IDN", "IAC", "ISL", "CFG", "ACC"};

// Text from the file quoted in a message: a line of any length must not make
// a message of that length.
QString quoted(const QString& text)
{
    constexpr qsizetype kQuotedChars = 40;
    return text.size() <= kQuotedChars ? text : text.left(kQuotedChars) + QStringLiteral("...");
}

// A header field kept on its comment line: a line end (or any other control
// character) from the drive's reply would otherwise start a line of its own.
QString one_line(const QString& text)
{
    constexpr qsizetype kMaxChars = 200;
    QString out;
    for (const QChar ch : QStringView(text).left(kMaxChars)) {
        const QChar::Category c = ch.category();
        if (c == QChar::Other_Control || c == QChar::Separator_Line || c == QChar::Separator_Paragraph)
            out += QStringLiteral("\\x%1").arg(ch.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += ch;
    }
    return text.size() > kMaxChars ? out + QStringLiteral("...") : out;
}
}  // namespace

int group_of(int entry)
{
    return entry < protocol::kGroupPSize ? protocol::kGroupP : protocol::kGroupV;
}

int index_of(int entry)
{
    return entry < protocol::kGroupPSize ? entry : entry - protocol::kGroupPSize;
}

int entry_of(int group, int index)
{
    if (index < 0 || index >= protocol::group_size(group))
        return -1;
    return group == protocol::kGroupP ? index : protocol::kGroupPSize + index;
}

QString name_of(int entry)
{
    return (group_of(entry) == protocol::kGroupP ? QLatin1Char('P') : QLatin1Char('V'))
           + QString::number(index_of(entry));
}

int entry_named(const QString& name)
{
    for (int e = 0; e < kEntries; ++e)
        if (name_of(e) == name)
            return e;
    return -1;
}

QString caption_of(int entry)
{
    if (group_of(entry) != protocol::kGroupV)
        return {};
    return QLatin1String(kVCaptions[std::size_t(index_of(entry))]);
}

std::variant<Values, Error> parse(const QString& text)
{
    // Blanks are spaces and tabs; a line may end in CR LF.
    static const QRegularExpression entry_line(
        QStringLiteral("^[ \\t]*([PV])([0-9]+)[ \\t]*=[ \\t]*(\\S*)[ \\t]*$"));
    static const QRegularExpression whole_number(QStringLiteral("^[+-]?[0-9]+$"));

    Values values{};
    bool any = false;
    const QStringList lines = text.split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(u'\r'))
            line.chop(1);
        const int number = int(n + 1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
            continue;
        const auto match = entry_line.match(line);
        if (!match.hasMatch())
            return Error{number, QStringLiteral("not an entry such as P3=120, nor a comment")};
        // Names as the drive writes them: "P3", never "P03".
        const QString name = match.captured(1) + match.captured(2);
        const int entry = entry_named(name);
        if (entry < 0)
            return Error{number, QStringLiteral("%1 is no entry of the drive (P0 to P15, V0 to V6)").arg(quoted(name))};
        const QString value = match.captured(3);
        bool value_ok = whole_number.match(value).hasMatch();
        const int v = value_ok ? value.toInt(&value_ok) : 0;
        if (!value_ok || v < -32768 || v > 32767)
            return Error{number, QStringLiteral("%1: \"%2\" is no whole number from -32768 to 32767").arg(name, quoted(value))};
        if (values[std::size_t(entry)])
            return Error{number, QStringLiteral("%1 is given twice").arg(name)};
        values[std::size_t(entry)] = qint16(v);
        any = true;
    }
    // An empty or cut-off copy would compare as "the same" and restore as
    // nothing to do.
    if (!any)
        return Error{0, QStringLiteral("the file holds no entries (P0 to P15, V0 to V6)")};
    return values;
}

std::variant<Values, Error> load(const QString& path)
{
    // Only a regular file: a FIFO would hold the open, a device could stream
    // without end. The size is checked before anything is read.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return Error{0, QStringLiteral("cannot read it: not a regular file")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error{0, QStringLiteral("cannot read it: %1").arg(file.errorString())};
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes)
        return Error{0, QStringLiteral("the file is larger than %1 KiB: no settings file").arg(kMaxFileBytes / 1024)};
    if (file.error() != QFileDevice::NoError)
        return Error{0, QStringLiteral("cannot read it: %1").arg(file.errorString())};
    return parse(QString::fromUtf8(bytes));
}

QString error_text(const QString& path, const Error& error)
{
    return error.line > 0 ? QStringLiteral("%1:%2: %3").arg(path).arg(error.line).arg(error.what)
                          : QStringLiteral("%1: %2").arg(path, error.what);
}

Header header_now(const QString& writer, int station, const QString& drive_version)
{
    const QDateTime now = QDateTime::currentDateTime();
    return {writer, station, drive_version, now.toOffsetFromUtc(now.offsetFromUtc())};
}

QString format(const Values& values, const Header& header)
{
    QString out;
    out += QStringLiteral("# MIVO drive settings, written by %1\n").arg(one_line(header.writer));
    out += QStringLiteral("# station: %1\n").arg(header.station);
    out += QStringLiteral("# drive: %1\n").arg(one_line(header.drive_version));
    out += QStringLiteral("# written: %1\n").arg(header.written_at.toString(Qt::ISODate));
    for (int e = 0; e < kEntries; ++e) {
        const std::optional<qint16>& v = values[std::size_t(e)];
        if (v)
            out += QStringLiteral("%1=%2\n").arg(name_of(e)).arg(*v);
    }
    return out;
}

}  // namespace mivo::settings_file

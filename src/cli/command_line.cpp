#include "cli/command_line.h"

#include "cli/cli_view.h"
#include "protocol/command_lines.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include <cstdio>

namespace mivo::cli {

namespace {

enum class Station { None, Drive, DriveOrAll };

struct CommandInfo {
    const char* name;
    const char* argument;  // the one argument's name, or nullptr for none
    Station station;
};

constexpr CommandInfo kCommands[] = {
    {"scan", nullptr, Station::None},
    {"read", nullptr, Station::Drive},
    {"backup", "FILE", Station::Drive},
    {"compare", "FILE", Station::Drive},
    {"restore", "FILE", Station::Drive},
    {"send", "LINE", Station::DriveOrAll},
    {"watch", nullptr, Station::Drive},
};

const char* const kDescription =
    "Commissioning MIVO stepper drives on an RS-485 line from a shell or a script:\n"
    "the console's own logic, without its window.\n"
    "\n"
    "Commands:\n"
    "  scan             the stations that answer, one number a line\n"
    "  read             the P and V groups, in the settings file format\n"
    "  backup FILE      the P and V groups into FILE\n"
    "  compare FILE     the entries where the drive holds other values than FILE\n"
    "  restore FILE     writes the entries of FILE that differ and reads them\n"
    "                   back; with --save the drive keeps them (\"SV\")\n"
    "  send LINE        one command line; prints what came back (station 32: all)\n"
    "  watch            the poll's reads as CSV, until Ctrl-C or --count rows\n"
    "\n"
    "PORT is what the console's \"Comm\" box takes: a number N (/dev/ttyS<N-1>) or\n"
    "a device path. Data goes to standard output, messages to standard error.\n"
    "\n"
    "Exit status:\n"
    "  0  success; compare: the drive holds the file's values\n"
    "  1  compare found differences, or a restored value did not read back\n"
    "  2  bad usage, or a file that cannot be read, parsed or written;\n"
    "     nothing was written to the drive\n"
    "  3  the port could not be opened, or was lost\n"
    "  4  the drive did not answer";

void tell(const QString& text)
{
    std::fprintf(stderr, "mivo-cli: %s\n", qPrintable(text));
}

int usage_error(const QString& text)
{
    tell(text);
    std::fprintf(stderr, "Try 'mivo-cli --help'.\n");
    return kBadUsage;
}

// --help and --version: their text on standard output, which must take it.
int answered(const QString& text)
{
    print_out(text);
    if (const QString failure = standard_output_failure(); !failure.isEmpty()) {
        tell(QStringLiteral("cannot write standard output: %1").arg(failure));
        return kBadUsage;
    }
    return kSuccess;
}

std::optional<int> whole_number(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toInt();
}

}  // namespace

std::variant<Invocation, int> parse_command_line(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("The serial port: a number or a device path."),
                                  QStringLiteral("PORT"));
    const QCommandLineOption station({QStringLiteral("s"), QStringLiteral("station")},
                                     QStringLiteral("The station, 0 to 31 (send also takes 32, all stations)."),
                                     QStringLiteral("N"));
    const QCommandLineOption fast(QStringLiteral("fast"),
                                  QStringLiteral("Take each reply as soon as the drive's prompt has come, instead "
                                                 "of the window's fixed 50 ms wait."));
    const QCommandLineOption save(QStringLiteral("save"),
                                  QStringLiteral("restore: make the drive keep what was written."));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("watch: stop after N rows."),
                                   QStringLiteral("N"));
    parser.addOptions({port, station, fast, save, count});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do, see above."),
                                 QStringLiteral("COMMAND [ARG]"));

    if (!parser.parse(arguments))
        return usage_error(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
        return answered(parser.helpText());
    if (parser.isSet(version))
        return answered(QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                      QCoreApplication::applicationVersion()));

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usage_error(QStringLiteral("no command given"));
    Invocation inv;
    inv.command = positional.first();
    inv.args = positional.mid(1);
    const CommandInfo* info = nullptr;
    for (const CommandInfo& c : kCommands)
        if (inv.command == QLatin1String(c.name))
            info = &c;
    if (!info)
        return usage_error(QStringLiteral("unknown command \"%1\"").arg(inv.command));
    const qsizetype wanted = info->argument ? 1 : 0;
    if (inv.args.size() != wanted) {
        return usage_error(info->argument ? QStringLiteral("%1 takes one argument, %2").arg(inv.command, info->argument)
                                          : QStringLiteral("%1 takes no argument").arg(inv.command));
    }

    // One command line: a CR or LF inside would send two.
    if (inv.command == u"send" && (inv.args.first().contains(u'\r') || inv.args.first().contains(u'\n')))
        return usage_error(QStringLiteral("send takes one line: LINE holds a line end"));

    inv.port = parser.value(port);
    if (inv.port.trimmed().isEmpty())
        return usage_error(QStringLiteral("--port PORT is needed"));

    if (parser.isSet(station)) {
        if (info->station == Station::None)
            return usage_error(QStringLiteral("%1 takes no --station").arg(inv.command));
        const int last = info->station == Station::DriveOrAll ? protocol::kBroadcastStation : protocol::kLastStation;
        inv.station = whole_number(parser.value(station));
        if (!inv.station || *inv.station > last)
            return usage_error(QStringLiteral("--station takes %1, not \"%2\"")
                                   .arg(last == protocol::kBroadcastStation ? QStringLiteral("0 to 31, or 32 for all")
                                                                            : QStringLiteral("0 to 31"),
                                        parser.value(station)));
    } else if (info->station != Station::None) {
        return usage_error(QStringLiteral("%1 needs --station N").arg(inv.command));
    }

    inv.fast = parser.isSet(fast);
    inv.save = parser.isSet(save);
    if (inv.save && inv.command != u"restore")
        return usage_error(QStringLiteral("--save is for restore only"));
    if (parser.isSet(count)) {
        if (inv.command != u"watch")
            return usage_error(QStringLiteral("--count is for watch only"));
        inv.count = whole_number(parser.value(count));
        if (!inv.count || *inv.count < 1)
            return usage_error(QStringLiteral("--count takes a number of rows from 1, not \"%1\"").arg(parser.value(count)));
    }
    return inv;
}

}  // namespace mivo::cli

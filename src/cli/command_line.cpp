#include "cli/command_line.h"

#include "cli/bridge_options_cli.h"
#include "cli/cli_view.h"
#include "cli/results_options.h"
#include "console/settings_file.h"
#include "link/command_exchange.h"
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
    const char* arguments;  // their names, space-separated; "" for none
    Station station;
    bool several = false;   // takes --stations LIST
};

constexpr CommandInfo kCommands[] = {
    {"scan", "", Station::None},
    {"read", "", Station::Drive, true},
    {"backup", "FILE", Station::Drive, true},
    {"compare", "FILE", Station::Drive, true},
    {"restore", "FILE", Station::Drive, true},
    {"send", "LINE", Station::DriveOrAll},
    {"watch", "", Station::Drive, true},
    {"status", "", Station::Drive, true},
    {"servo", "on|off", Station::DriveOrAll},
    {"home", "", Station::DriveOrAll},
    {"move", "POS", Station::DriveOrAll},
    {"write", "ENTRY VALUE", Station::Drive},
    {"save", "", Station::Drive},
    {"run", "FILE", Station::Drive, true},
    {"results", "", Station::None},
    {"bridge", "", Station::None, true},
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
    "  watch            the poll's reads as CSV, until Ctrl-C or --count rows;\n"
    "                   --reconnect: a lost line is opened again when it is back\n"
    "  status           position, state and input words, with the set bits' names\n"
    "  servo on|off     switches the motor on (\"EN 1\") or off (\"EN 0\")\n"
    "  home             homes the drive (\"HM\") and waits for it, --timeout S\n"
    "                   (default 600)\n"
    "  move POS         moves the drive to POS (\"MA\"), after \"VA V\" with --speed V;\n"
    "                   --wait: reads the position until it is within T of POS\n"
    "                   (--tolerance T, default 0) or S seconds pass (--timeout S,\n"
    "                   60 unless given);\n"
    "                   --trace FILE: the position read back to back from \"MA\" on\n"
    "                   (time_ms,position) until settled, stalled or out of time\n"
    "  write ENTRY VALUE  one entry (P3, V1) written and read back\n"
    "  save             makes the drive keep its settings (\"SV\")\n"
    "  run FILE         runs the test recipe FILE (JavaScript) on the station;\n"
    "                   \"name: passed\" or \"FAILED\" a step on standard error,\n"
    "                   --junit REPORT: a JUnit XML report as well,\n"
    "                   --artifacts DIR: each traced move's CSV under DIR/station-N/;\n"
    "                   --results STORE --serial SN: the run kept, by serial number\n"
    "                   (STORE: a SQLite file, made when missing, or\n"
    "                   postgresql://[USER@]HOST[:PORT]/DB)\n"
    "  results          the runs kept in --results STORE, newest first, one line a\n"
    "                   run (--json, --csv); --serial, --failed, --recipe, --since,\n"
    "                   --until and --limit narrow them; --id ID --pdf FILE or\n"
    "                   --junit FILE writes that run's report (no port needed)\n"
    "  bridge           the line on an MQTT broker (--mqtt URL) until SIGINT or\n"
    "                   SIGTERM: each station's state on P/station/N/state,\n"
    "                   commands from P/station/N/cmd (status and read; others as\n"
    "                   --allow names them);\n"
    "                   --stations LIST: the stations it reads (else a scan's)\n"
    "\n"
    "home and move MOVE THE DRIVE. The tool never switches the servo on by itself:\n"
    "that is \"servo on\", when you mean it, or a recipe that does so; whatever ends\n"
    "a recipe that left the motor on, \"EN 0\" follows while the line is up.\n"
    "\n"
    "PORT is what the console's \"Comm\" box takes: a number N (/dev/ttyS<N-1>), a\n"
    "device path, tcp://HOST:PORT (a device server's raw TCP port, ser2net's raw\n"
    "mode) or rfc2217://HOST:PORT (telnet with RFC 2217).\n"
    "Data goes to standard output, messages to standard error; --json makes the\n"
    "data one JSON document (watch: one object a line).\n"
    "\n"
    "Exit status:\n"
    "  0  success; compare: the drive holds the file's values\n"
    "  1  the drive answered but did not do what was asked: compare found\n"
    "     differences, an entry was not taken (a restore then saves nothing),\n"
    "     a move did not reach its position in time; run: a check or a step\n"
    "     failed, or the recipe was aborted (its time limit, an exception)\n"
    "  2  bad usage, or a file that cannot be read, parsed or written\n"
    "     (nothing was written to the drive), or standard output failed;\n"
    "     run: an error in the recipe, told as FILE:LINE: message; a serial\n"
    "     number the recipe refuses; a results store that cannot be used\n"
    "     (at the end: the reports are still written); results: a store\n"
    "     that does not exist. results --id: 1 when there is no such run\n"
    "  3  the port could not be opened (another program has it), or was lost\n"
    "  4  the drive did not answer\n"
    "  SIGINT, SIGTERM or SIGHUP stop it after the line in flight and its\n"
    "     clean-up; it then ends by that signal (the shell shows 130 or 143)";

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

// "1,2,5", "0-3,7" or "all": the stations in the order given, each once.
std::optional<QList<int>> station_list(const QString& text, bool& all)
{
    all = text == u"all";
    if (all)
        return QList<int>{};
    QList<int> out;
    for (const QString& part : text.split(u',')) {
        const QStringList ends = part.split(u'-');
        if (ends.size() > 2)
            return std::nullopt;
        const std::optional<int> first = whole_number(ends.first());
        const std::optional<int> last = ends.size() == 2 ? whole_number(ends.last()) : first;
        if (!first || !last || *first > *last || *last > protocol::kLastStation)
            return std::nullopt;
        for (int n = *first; n <= *last; ++n)
            if (!out.contains(n))
                out << n;
    }
    return out;
}

// A number of the command line: whole ("250", "-250") or not ("0.5").
std::optional<double> number(const QString& text, bool whole)
{
    static const QRegularExpression whole_form(QStringLiteral("^[+-]?[0-9]{1,10}$"));
    static const QRegularExpression decimal_form(QStringLiteral("^[+-]?([0-9]{1,10}(\\.[0-9]*)?|\\.[0-9]+)$"));
    if (!(whole ? whole_form : decimal_form).match(text).hasMatch())
        return std::nullopt;
    return text.toDouble();
}

// A negative number is a value ("move -250"), not an option: it goes behind
// "--", where the parser takes it as it is, unless it is an option's value.
QStringList negative_numbers_as_values(const QStringList& arguments, const QStringList& options_with_values)
{
    static const QRegularExpression negative(QStringLiteral("^-[0-9.]"));
    QStringList options, values;
    bool after_dashes = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        const bool option_value = i > 0 && options_with_values.contains(arguments[i - 1]);
        if (after_dashes || (negative.match(a).hasMatch() && !option_value && i > 0))
            values << a;
        else if (a == u"--")
            after_dashes = true;
        else
            options << a;
    }
    return values.isEmpty() ? arguments : options + QStringList{QStringLiteral("--")} + values;
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
                                     QStringLiteral("The station, 0 to 31 (send, servo, home and move also take 32, "
                                                    "all stations)."),
                                     QStringLiteral("N"));
    const QCommandLineOption fast(QStringLiteral("fast"),
                                  QStringLiteral("Take each reply as soon as the drive's prompt has come, with the "
                                                 "reply wait as the limit; a scan's probes too (a silent station "
                                                 "costs one reply wait)."));
    const QCommandLineOption reply_wait(QStringLiteral("reply-wait"),
                                        QStringLiteral("How long each line waits for its reply, 1 to 5000 ms "
                                                       "(default 50): more for a converter or a radio link."),
                                        QStringLiteral("MS"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("The data as JSON."));
    const QCommandLineOption save(QStringLiteral("save"),
                                  QStringLiteral("restore: make the drive keep what was written."));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("watch: stop after N rows."),
                                   QStringLiteral("N"));
    const QCommandLineOption reconnect(QStringLiteral("reconnect"),
                                       QStringLiteral("watch: open a lost line again when it is back, and go on."));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("home, move --wait: the limit in seconds, from \"HM\" or \"MA\"."),
                                     QStringLiteral("S"));
    const QCommandLineOption speed(QStringLiteral("speed"), QStringLiteral("move: the speed (\"VA V\") first."),
                                   QStringLiteral("V"));
    const QCommandLineOption wait(QStringLiteral("wait"), QStringLiteral("move: until the position is reached."));
    const QCommandLineOption tolerance(QStringLiteral("tolerance"),
                                       QStringLiteral("move --wait: how close counts as reached (default 0)."),
                                       QStringLiteral("T"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("move --wait: the position read back to back from \"MA\" on, "
                                                  "written to FILE as CSV (time_ms,position)."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption artifacts(QStringLiteral("artifacts"),
                                       QStringLiteral("run: write every traced move's CSV under DIR/station-N/."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption junit(QStringLiteral("junit"),
                                   QStringLiteral("run: write a JUnit XML report of the steps to REPORT."),
                                   QStringLiteral("REPORT"));
    const QCommandLineOption memory_limit(QStringLiteral("memory-limit"),
                                          QStringLiteral("run: the memory the recipe's JavaScript may hold, in MiB "
                                                         "(default 1024); beyond it the run is aborted."),
                                          QStringLiteral("MIB"));
    const QCommandLineOption stations(QStringLiteral("stations"),
                                      QStringLiteral("status, read, backup DIR, compare, restore, watch, run: several "
                                                     "stations in turn, as 1,2,5 or 0-3,7, or all (those that "
                                                     "answer a scan); bridge: the stations it reads."),
                                      QStringLiteral("LIST"));
    parser.addOptions(
        {port, station, stations, fast, reply_wait, json, save, count, reconnect, timeout, speed, wait, tolerance, trace,
         artifacts, junit, memory_limit});
    const ResultsOptions station_options;
    station_options.add_to(parser);
    const BridgeOptionsCli bridge_options;
    bridge_options.add_to(parser);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do, see above."),
                                 QStringLiteral("COMMAND [ARG...]"));

    QStringList with_values;
    for (const QCommandLineOption* o :
         {&port, &station, &stations, &reply_wait, &count, &timeout, &speed, &tolerance, &trace, &artifacts, &junit,
          &memory_limit})
        for (const QString& name : o->names())
            with_values << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    with_values << station_options.with_values();
    with_values << bridge_options.with_values();
    if (!parser.parse(negative_numbers_as_values(arguments, with_values)))
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
    const QString argument_names = QLatin1String(info->arguments);
    const qsizetype wanted = argument_names.isEmpty() ? 0 : argument_names.count(u' ') + 1;
    if (inv.args.size() != wanted) {
        return usage_error(wanted == 0 ? QStringLiteral("%1 takes no argument").arg(inv.command)
                                       : QStringLiteral("%1 takes %2").arg(inv.command, argument_names));
    }

    // One command line: a CR or LF inside would send two.
    if (inv.command == u"send" && (inv.args.first().contains(u'\r') || inv.args.first().contains(u'\n')))
        return usage_error(QStringLiteral("send takes one line: LINE holds a line end"));
    if (inv.command == u"servo") {
        if (inv.args.first() != u"on" && inv.args.first() != u"off")
            return usage_error(QStringLiteral("servo takes on or off, not \"%1\"").arg(inv.args.first()));
        inv.servo_on = inv.args.first() == u"on";
    }
    if (inv.command == u"write") {
        inv.entry = settings_file::entry_named(inv.args[0]);
        if (inv.entry < 0)
            return usage_error(QStringLiteral("write takes an entry P0 to P15 or V0 to V6, not \"%1\"").arg(inv.args[0]));
        const std::optional<double> v = number(inv.args[1], true);
        if (!v || *v < -32768 || *v > 32767)
            return usage_error(QStringLiteral("write takes a whole number from -32768 to 32767, not \"%1\"")
                                   .arg(inv.args[1]));
        inv.value = qint16(*v);
    }
    if (inv.command == u"move") {
        const std::optional<double> p = number(inv.args.first(), true);
        if (!p || *p < -2147483648.0 || *p > 2147483647.0)
            return usage_error(QStringLiteral("move takes a whole 32-bit position, not \"%1\"").arg(inv.args.first()));
        inv.position = qint32(*p);
    }

    inv.port = parser.value(port);
    // The runs kept are found without the line.
    if (inv.command == u"results" && parser.isSet(port))
        return usage_error(QStringLiteral("results takes no --port"));
    if (inv.command != u"results" && inv.port.trimmed().isEmpty())
        return usage_error(QStringLiteral("--port PORT is needed"));

    if (parser.isSet(stations)) {
        if (!info->several)
            return usage_error(QStringLiteral("%1 takes no --stations").arg(inv.command));
        if (parser.isSet(station))
            return usage_error(QStringLiteral("--station and --stations do not go together"));
        const std::optional<QList<int>> list = station_list(parser.value(stations), inv.all_stations);
        if (!list)
            return usage_error(QStringLiteral("--stations takes a list such as 1,2,5 or 0-3,7 (0 to 31), or all, "
                                              "not \"%1\"")
                                   .arg(parser.value(stations)));
        inv.stations = *list;
    } else if (parser.isSet(station)) {
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

    // Each option belongs to its commands.
    const auto only_for = [&](const QCommandLineOption& o, std::initializer_list<const char*> commands) {
        if (!parser.isSet(o))
            return true;
        for (const char* c : commands)
            if (inv.command == QLatin1String(c))
                return true;
        return false;
    };
    const struct {
        const QCommandLineOption* option;
        std::initializer_list<const char*> commands;
        const char* said;
    } kOwners[] = {
        {&save, {"restore"}, "--save is for restore only"},
        {&count, {"watch"}, "--count is for watch only"},
        {&reconnect, {"watch"}, "--reconnect is for watch only"},
        {&timeout, {"home", "move"}, "--timeout is for home and move only"},
        {&speed, {"move"}, "--speed is for move only"},
        {&wait, {"move"}, "--wait is for move only"},
        {&tolerance, {"move"}, "--tolerance is for move only"},
        {&trace, {"move"}, "--trace is for move only"},
        {&artifacts, {"run"}, "--artifacts is for run only"},
        {&junit, {"run", "results"}, "--junit is for run and results only"},
        {&memory_limit, {"run"}, "--memory-limit is for run only"},
    };
    for (const auto& owner : kOwners)
        if (!only_for(*owner.option, owner.commands))
            return usage_error(QLatin1String(owner.said));

    inv.fast = parser.isSet(fast);
    inv.json = parser.isSet(json);
    inv.save = parser.isSet(save);
    inv.wait = parser.isSet(wait);
    inv.reconnect = parser.isSet(reconnect);
    inv.junit = parser.value(junit);
    if (parser.isSet(junit) && inv.junit.isEmpty())
        return usage_error(QStringLiteral("--junit takes the report's file name"));
    inv.trace = parser.value(trace);
    if (parser.isSet(trace) && (inv.trace.isEmpty() || !inv.wait))
        return usage_error(QStringLiteral("--trace takes a file name, and goes with --wait"));
    // Under broadcast no drive answers: there would be nothing to trace.
    if (parser.isSet(trace) && inv.station == protocol::kBroadcastStation)
        return usage_error(QStringLiteral("--trace needs one station, not 32"));
    inv.artifacts = parser.value(artifacts);
    if (parser.isSet(artifacts) && inv.artifacts.isEmpty())
        return usage_error(QStringLiteral("--artifacts takes a folder"));
    if (parser.isSet(memory_limit)) {
        const std::optional<int> mib = whole_number(parser.value(memory_limit));
        if (!mib || *mib < 64 || *mib > 1024 * 1024)
            return usage_error(
                QStringLiteral("--memory-limit takes 64 to 1048576 MiB, not \"%1\"").arg(parser.value(memory_limit)));
        inv.memory_limit_mib = *mib;
    }
    if (parser.isSet(reply_wait)) {
        inv.reply_wait_ms = whole_number(parser.value(reply_wait));
        if (!inv.reply_wait_ms || *inv.reply_wait_ms < 1 || *inv.reply_wait_ms > 5000)
            return usage_error(QStringLiteral("--reply-wait takes 1 to 5000 ms, not \"%1\"").arg(parser.value(reply_wait)));
    }
    if (parser.isSet(count)) {
        inv.count = whole_number(parser.value(count));
        if (!inv.count || *inv.count < 1)
            return usage_error(QStringLiteral("--count takes a number of rows from 1, not \"%1\"").arg(parser.value(count)));
    }
    inv.timeout_ms = inv.command == u"home" ? 600'000 : 60'000;
    if (parser.isSet(timeout)) {
        const std::optional<double> s = number(parser.value(timeout), false);
        if (!s || *s <= 0 || *s > 86400)
            return usage_error(QStringLiteral("--timeout takes seconds, more than 0 and at most 86400, not \"%1\"")
                                   .arg(parser.value(timeout)));
        inv.timeout_ms = qint32(*s * 1000);
    }
    // "HM" then waits less than its own reply could take: it would fail
    // whatever the drive did, after sending the drive off homing.
    const int wait_ms = inv.reply_wait_ms.value_or(CommandExchange::kReplyWaitMs);
    if (inv.command == u"home" && inv.timeout_ms < wait_ms)
        return usage_error(QStringLiteral("--timeout %1 is shorter than the reply wait (%2 ms): the drive's prompt "
                                          "could not come in time")
                               .arg(parser.value(timeout))
                               .arg(wait_ms));
    if (parser.isSet(tolerance)) {
        const std::optional<double> t = number(parser.value(tolerance), false);
        if (!t || *t < 0)
            return usage_error(QStringLiteral("--tolerance takes a number from 0, not \"%1\"").arg(parser.value(tolerance)));
        inv.tolerance = *t;
    }
    if (parser.isSet(speed)) {
        const QString v = parser.value(speed);
        if (v.isEmpty() || v.contains(u'\r') || v.contains(u'\n') || !protocol::unsendable_character(v).isEmpty())
            return usage_error(QStringLiteral("--speed takes one line of Latin-1 text, not \"%1\"").arg(v));
        inv.speed = v;
    }
    if (const QString refused = station_options.read(parser, inv); !refused.isEmpty())
        return usage_error(refused);
    if (const QString refused = bridge_options.read(parser, inv); !refused.isEmpty())
        return usage_error(refused);
    return inv;
}

}  // namespace mivo::cli

#include "cli/session.h"

#include "link/whole_file.h"
#include "protocol/command_lines.h"

#include <QCoreApplication>

#include <csignal>
#include <utility>
#include <variant>

namespace mivo::cli {

namespace {

void tell(const QString& text)
{
    print_err(QStringLiteral("mivo-cli: ") + text + u'\n');
}

// The whole file checked before anything goes to the drive.
std::variant<settings_file::Values, int> load(const QString& path)
{
    const auto loaded = settings_file::load(path);
    if (const auto* error = std::get_if<settings_file::Error>(&loaded)) {
        tell(settings_file::error_text(path, *error));
        return kBadUsage;
    }
    return std::get<settings_file::Values>(loaded);
}

// Each CR, LF or CR LF as one line break, as the transcript shows them.
QString as_lines(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(u'\r', u'\n');
    return out;
}

QString entry_label(int entry)
{
    const QString caption = settings_file::caption_of(entry);
    return caption.isEmpty() ? settings_file::name_of(entry)
                             : QStringLiteral("%1 (%2)").arg(settings_file::name_of(entry), caption);
}

}  // namespace

Session::Session(const Invocation& invocation)
    : inv_(invocation), console_(port_), interruption_(console_.exchange())
{
    console_.set_view(&view_);
    console_.Form_Load();
    console_.exchange().set_fast(inv_.fast);
}

Session::~Session()
{
    console_.shut_down();
    // A loss is told through the event loop; let it reach standard error.
    QCoreApplication::processEvents();
    console_.set_view(nullptr);
}

bool Session::linked()
{
    return console_.vars().is_linked == kTrue;
}

QString Session::writer() const
{
    return QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion());
}

int Session::run()
{
    std::optional<settings_file::Values> file;
    if (inv_.command == u"compare" || inv_.command == u"restore") {
        auto loaded = load(inv_.args.first());
        if (const int* status = std::get_if<int>(&loaded))
            return *status;
        file = std::get<settings_file::Values>(loaded);
    }
    if (inv_.command == u"backup") {
        // Refused before the drive is read: nothing would be written anyway.
        if (const QString refused = WholeFile::refusal(inv_.args.first()); !refused.isEmpty()) {
            tell(QStringLiteral("cannot write %1").arg(refused));
            return kBadUsage;
        }
    }
    if (inv_.command == u"send") {
        const QString bad = protocol::unsendable_character(inv_.args.first());
        if (!bad.isEmpty()) {
            tell(QStringLiteral("\"%1\" cannot be sent: a command line takes Latin-1 characters only").arg(bad));
            return kBadUsage;
        }
    }

    int status = open_and_select();
    if (status == kSuccess)
        status = run_command(file);
    if (interruption_.signal_number() && !signal_ends_run_) {
        tell(QStringLiteral("stopped by %1").arg(interruption_.signal_number() == SIGINT ? "SIGINT" : "SIGTERM"));
        return interruption_.exit_status();
    }
    // The data a script reads is not there: as bad as a file not written.
    if (const QString failure = standard_output_failure(); !failure.isEmpty()) {
        tell(QStringLiteral("cannot write standard output: %1").arg(failure));
        if (status == kSuccess || status == kDifferences)
            status = kBadUsage;
    }
    return status;
}

int Session::run_command(const std::optional<settings_file::Values>& file)
{
    int status = kSuccess;
    if (inv_.command == u"scan")
        status = scan();
    else if (inv_.command == u"read")
        status = read();
    else if (inv_.command == u"backup")
        status = back_up();
    else if (inv_.command == u"compare")
        status = compare(*file);
    else if (inv_.command == u"restore")
        status = restore(*file);
    else if (inv_.command == u"send")
        status = send();
    else if (inv_.command == u"watch")
        status = watch();
    // Whatever the command made of it, a port gone is a port gone.
    return linked() ? status : kPortFailed;
}

int Session::open_and_select()
{
    view_.comm = inv_.port;
    console_.port_control().open();
    if (!linked())
        return kPortFailed;
    if (!inv_.station)
        return kSuccess;
    view_.station = QString::number(*inv_.station);
    view_.drive_version.reset();
    console_.stations().set_station_click();
    if (!linked())
        return kPortFailed;
    // The selection reads the drive's version; without one the station is
    // selected but nobody is there (the core has said so).
    if (*inv_.station != protocol::kBroadcastStation && !view_.drive_version)
        return kNoAnswer;
    return kSuccess;
}

int Session::status_of(const DriveSettings::Report& report, const QString& what) const
{
    const QString said = DriveSettings::summary(report, what);
    if (!said.isEmpty())
        print_err(said + u'\n');
    switch (report.outcome) {
    case DriveSettings::Outcome::Done: return kSuccess;
    case DriveSettings::Outcome::Differences: return kDifferences;
    case DriveSettings::Outcome::NoAnswer: return kNoAnswer;
    case DriveSettings::Outcome::LinkLost: return kPortFailed;
    case DriveSettings::Outcome::Interrupted: return interruption_.exit_status();
    case DriveSettings::Outcome::FileError: return kBadUsage;
    case DriveSettings::Outcome::BadFile: return kBadUsage;
    }
    return kBadUsage;
}

int Session::scan()
{
    if (!console_.stations().search_and_show_all_station())
        return kPortFailed;
    QString out;
    for (int n : std::as_const(view_.station_list))
        if (n >= protocol::kFirstStation && n <= protocol::kLastStation)
            out += QString::number(n) + u'\n';
    print_out(out);
    return kSuccess;
}

int Session::read()
{
    DriveSettings::Report report;
    const settings_file::Values values = console_.drive_settings().read_drive(report);
    if (const int status = status_of(report, QStringLiteral("Read")); status != kSuccess)
        return status;
    settings_file::Header header;
    header.writer = writer();
    header.station = *inv_.station;
    header.drive_version = view_.drive_version.value_or(QString());
    const QDateTime now = QDateTime::currentDateTime();
    header.written_at = now.toOffsetFromUtc(now.offsetFromUtc());
    print_out(settings_file::format(values, header));
    return kSuccess;
}

int Session::back_up()
{
    const QString& path = inv_.args.first();
    const int status = status_of(console_.drive_settings().back_up(path, writer()), QStringLiteral("Backup"));
    if (status == kSuccess)
        print_err(QStringLiteral("Station %1 backed up to %2.\n").arg(*inv_.station).arg(path));
    return status;
}

int Session::compare(const settings_file::Values& file)
{
    const DriveSettings::Report report = console_.drive_settings().compare(file);
    const int status = status_of(report, QStringLiteral("Compare"));
    if (status == kSuccess) {
        print_out(QStringLiteral("Station %1 holds the values of %2.\n").arg(*inv_.station).arg(inv_.args.first()));
    } else if (status == kDifferences) {
        QString out;
        for (const DriveSettings::Entry& e : report.differences)
            out += QStringLiteral("%1: drive %2, file %3\n").arg(entry_label(e.entry)).arg(e.drive).arg(e.file);
        print_out(out);
    }
    return status;
}

int Session::restore(const settings_file::Values& file)
{
    view_.answer = inv_.save;
    const DriveSettings::Report report = console_.drive_settings().restore(file);
    const int status = status_of(report, QStringLiteral("Restore"));
    if (status == kSuccess && report.written.isEmpty())
        print_err(QStringLiteral("Nothing to write: station %1 holds the values of %2.\n")
                      .arg(*inv_.station)
                      .arg(inv_.args.first()));
    return status;
}

int Session::send()
{
    view_.command = inv_.args.first();
    view_.transcript.clear();
    console_.terminal().send();
    if (!linked())
        return kPortFailed;
    // The transcript has the line as sent, CR LF, then what came back.
    const QString received = view_.transcript.mid(view_.command.size() + 2);
    QString shown = as_lines(received);
    if (!shown.isEmpty() && !shown.endsWith(u'\n'))
        shown += u'\n';
    print_out(shown);
    if (received.isEmpty() && *inv_.station != protocol::kBroadcastStation) {
        tell(QStringLiteral("no reply from station %1").arg(*inv_.station));
        return kNoAnswer;
    }
    return kSuccess;
}

int Session::watch()
{
    int rows = 0;
    Recorder& recorder = console_.recorder();
    recorder.clear();
    print_out(Recorder::csv_header() + u'\n');
    view_.on_recorded = [&](const Recorder::Sample& sample) {
        print_out(recorder.csv_row(sample) + u'\n');
        if (!standard_output_failure().isEmpty())
            QCoreApplication::exit(kBadUsage);
        else if (inv_.count && ++rows >= *inv_.count)
            QCoreApplication::exit(kSuccess);
    };
    view_.watching = true;

    // Ctrl-C is how a watch ends: between ticks' rows, not in the middle of
    // the output, and not as a failure.
    interruption_.set_stops_exchange(false);
    QObject::connect(&interruption_, &Interruption::interrupted, &interruption_,
                     [] { QCoreApplication::exit(kSuccess); });
    QObject::connect(&port_, &SerialPort::lost, &interruption_, [] { QCoreApplication::exit(kPortFailed); });

    // A signal before the watch began interrupted the selection.
    if (interruption_.signal_number())
        return interruption_.exit_status();
    signal_ends_run_ = true;
    const int status = QCoreApplication::exec();
    interruption_.disconnect();
    view_.watching = false;
    view_.on_recorded = nullptr;
    return status;
}

}  // namespace mivo::cli

#include "cli/session.h"

#include "link/whole_file.h"
#include "protocol/command_lines.h"
#include "recipe/recipe_run.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <utility>
#include <variant>

namespace mivo::cli {

namespace {

using Failure = DriveOperations::Failure;

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

// A number, or null for a value that did not come.
template <typename T>
QJsonValue json_or_null(const std::optional<T>& v)
{
    return v ? QJsonValue(double(*v)) : QJsonValue(QJsonValue::Null);
}

QString number_text(const std::optional<double>& v)
{
    return v ? QString::number(*v, 'g', 15) : QStringLiteral("-");
}

// A watch row as one JSON object on its own line.
QString watch_json_line(qint64 time_ms, int station, const Recorder::Sample& sample)
{
    const QJsonObject row{{QStringLiteral("time_ms"), time_ms},
                          {QStringLiteral("station"), station},
                          {QStringLiteral("position"), json_or_null(sample.position)},
                          {QStringLiteral("state"), json_or_null(sample.state)},
                          {QStringLiteral("inputs"), json_or_null(sample.inputs)}};
    return QString::fromUtf8(QJsonDocument(row).toJson(QJsonDocument::Compact)) + u'\n';
}

QString word_text(const std::optional<quint32>& word, const QStringList& names)
{
    if (!word)
        return QStringLiteral("-");
    const QString hex = QString::number(*word, 16).toUpper();
    return names.isEmpty() ? hex : QStringLiteral("%1 (%2)").arg(hex, names.join(u' '));
}

}  // namespace

Session::Session(const Invocation& invocation)
    : inv_(invocation), console_(port_), interruption_(console_.exchange())
{
    console_.set_view(&view_);
    console_.Form_Load();
    console_.exchange().set_fast(inv_.fast);
    // A write the drive did not acknowledge was not done.
    console_.operations().set_write_replies(true);
    if (inv_.reply_wait_ms)
        console_.exchange().set_reply_wait_ms(*inv_.reply_wait_ms);
    // A network port still resolving or connecting gives up at once.
    QObject::connect(&interruption_, &Interruption::interrupted, &port_, [this] {
        if (!linked())
            port_.close();
    });
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
    if (inv_.command == u"backup" && inv_.several()) {
        // One file a station in the folder, made when missing.
        const QString& dir = inv_.args.first();
        if (QFileInfo(dir).exists() ? !QFileInfo(dir).isDir() : !QDir().mkpath(dir)) {
            tell(QStringLiteral("cannot write into %1: not a folder that can be made").arg(dir));
            return kBadUsage;
        }
        // The files of the stations named are refused before the port opens.
        for (const int station : std::as_const(inv_.stations)) {
            if (const QString refused = WholeFile::refusal(backup_path(station)); !refused.isEmpty()) {
                tell(QStringLiteral("cannot write %1").arg(refused));
                return kBadUsage;
            }
        }
    } else if (inv_.command == u"backup") {
        // Refused before the drive is read: nothing would be written anyway.
        if (const QString refused = WholeFile::refusal(inv_.args.first()); !refused.isEmpty()) {
            tell(QStringLiteral("cannot write %1").arg(refused));
            return kBadUsage;
        }
    }
    if (inv_.command == u"run") {
        // A recipe with a syntax error sends nothing, and a report that
        // could not be written would lose the run.
        recipe_ = std::make_unique<recipe::RecipeRun>(console_);
        recipe_->set_memory_limit_mib(inv_.memory_limit_mib);
        if (const QString error = recipe_->load(inv_.args.first()); !error.isEmpty()) {
            print_err(error + u'\n');
            return kBadUsage;
        }
        if (!inv_.junit.isEmpty()) {
            if (const QString refused = WholeFile::refusal(inv_.junit); !refused.isEmpty()) {
                tell(QStringLiteral("cannot write %1").arg(refused));
                return kBadUsage;
            }
        }
    }
    if (inv_.command == u"send") {
        if (const QString reason = protocol::unsendable_reason(inv_.args.first()); !reason.isEmpty()) {
            tell(reason);
            return kBadUsage;
        }
    }

    int status = open_and_select();
    if (status == kPortFailed && !linked() && not_run_.isEmpty())
        not_run_ = QStringLiteral("cannot open %1: %2").arg(inv_.port, port_.errorText());
    if (status == kSuccess)
        status = inv_.several() ? run_each(file) : run_command(file);
    if (recipe_)
        status = write_reports(status);
    if (interruption_.signal_number() && !signal_ends_run_) {
        tell(QStringLiteral("stopped by %1").arg(interruption_.signal_name()));
        return interruption_.exit_status();
    }
    // The document says what happened also when the drive did not do all
    // that was asked.
    // With several stations it says which did and which did not.
    if (document_ && (status == kSuccess || status == kDifferences || inv_.several() || recipe_))
        print_out(QString::fromUtf8(QJsonDocument(*document_).toJson(QJsonDocument::Indented)));
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
    const QString& c = inv_.command;
    if (c == u"scan")
        status = scan();
    else if (c == u"read")
        status = read();
    else if (c == u"backup")
        status = back_up();
    else if (c == u"compare")
        status = compare(*file);
    else if (c == u"restore")
        status = restore(*file);
    else if (c == u"send")
        status = send();
    else if (c == u"watch")
        status = watch();
    else if (c == u"status")
        status = status_command();
    else if (c == u"servo")
        status = servo();
    else if (c == u"home")
        status = home();
    else if (c == u"move")
        status = move();
    else if (c == u"write")
        status = write();
    else if (c == u"save")
        status = save();
    else if (c == u"run")
        status = run_recipe();
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
    return select(*inv_.station);
}

QList<int> Session::answering_stations()
{
    QList<int> found;
    if (!console_.stations().search_and_show_all_station())
        return found;
    for (int n : std::as_const(view_.station_list))
        if (n >= protocol::kFirstStation && n <= protocol::kLastStation)
            found << n;
    return found;
}

int Session::run_each(const std::optional<settings_file::Values>& file)
{
    const QList<int> stations = inv_.all_stations ? answering_stations() : inv_.stations;
    if (!linked())
        return kPortFailed;
    if (stations.isEmpty()) {
        not_run_ = QStringLiteral("no station answered the scan");
        tell(not_run_);
        if (inv_.json && !recipe_)
            document_ = QJsonObject{{QStringLiteral("stations"), QJsonArray()}};
        return kNoAnswer;
    }
    if (inv_.command == u"watch")
        return watch_each(stations);
    QJsonArray documents;
    int worst = kSuccess;
    for (const int station : stations) {
        if (interruption_.signal_number())
            break;
        // A recipe's progress names its station on standard error.
        if (!inv_.json && !recipe_)
            print_out(QStringLiteral("# station %1\n").arg(station));
        document_.reset();
        error_.clear();
        int status = select(station);
        if (status == kSuccess)
            status = run_command(file);
        // Every station has its document, also one that failed half-way.
        if (inv_.json && !document_ && status != kSuccess)
            document_ = failed_document(error_.isEmpty() ? failure_text(status) : error_);
        if (document_)
            documents.append(*document_);
        worst = std::max(worst, status);
        // One that does not answer does not stop the others; a lost line does.
        if (!linked()) {
            for (qsizetype rest = stations.indexOf(station) + 1; rest < stations.size(); ++rest) {
                station_ = stations[rest];
                documents.append(failed_document(QStringLiteral("not reached: the line was lost")));
            }
            break;
        }
    }
    if (inv_.json && !recipe_)
        document_ = QJsonObject{{QStringLiteral("stations"), documents}};
    return worst;
}

QString Session::failure_text(int status) const
{
    if (interruption_.signal_number())
        return QStringLiteral("stopped by ") + interruption_.signal_name();
    switch (status) {
    case kPortFailed: return QStringLiteral("the line was lost");
    case kNoAnswer: return QStringLiteral("station %1 did not answer").arg(station_);
    default: return QStringLiteral("failed with exit status %1").arg(status);
    }
}

QJsonObject Session::failed_document(const QString& error) const
{
    static const QHash<QString, QStringList> kValues{
        {QStringLiteral("status"), {"position", "state", "inputs", "state_bits", "input_bits"}},
        {QStringLiteral("read"), {"drive", "entries"}},
        {QStringLiteral("backup"), {"file", "entries"}},
        {QStringLiteral("compare"), {"same", "differences"}},
        {QStringLiteral("restore"), {"written", "not_taken", "saved", "reset_needed"}},
    };
    QJsonObject d = station_document();
    for (const QString& key : kValues.value(inv_.command))
        d.insert(key, QJsonValue::Null);
    d.insert(QStringLiteral("error"), error);
    return d;
}

int Session::watch_each(const QList<int>& stations)
{
    if (!inv_.json)
        print_out(QStringLiteral("time_ms,station,position,state,inputs\n"));
    // Ctrl-C ends the watch after the row under way, as a single watch.
    interruption_.set_stops_exchange(false);
    signal_ends_run_ = true;
    std::optional<int> status;
    QObject::connect(&interruption_, &Interruption::interrupted, &interruption_, [&] { status = kSuccess; });
    console_.reconnection().set_enabled(inv_.reconnect);
    QElapsedTimer clock;
    int rows = 0;
    while (!status) {
        QElapsedTimer round;
        round.start();
        for (const int station : stations) {
            station_ = station;
            console_.operations().select_station(QString::number(station));
            console_.Timer1().stop();
            const DriveOperations::Status s = console_.operations().read_status();
            // The loss reaches the console through the event loop.
            QCoreApplication::processEvents();
            if (!linked()) {
                if (!wait_for_line())
                    status = interruption_.signal_number() ? kSuccess : kPortFailed;
                break;
            }
            if (!clock.isValid())
                clock.start();
            const qint64 time_ms = clock.elapsed();
            const Recorder::Sample sample{0, s.position, s.state, s.inputs};
            if (inv_.json) {
                print_out(watch_json_line(time_ms, station, sample));
            } else {
                // The recorder's row with the station after the time.
                const QString values = console_.recorder().csv_row(sample).section(u',', 1);
                print_out(QStringLiteral("%1,%2,%3\n").arg(time_ms).arg(station).arg(values));
            }
            if (!standard_output_failure().isEmpty())
                status = kBadUsage;
            else if (inv_.count && ++rows >= *inv_.count)
                status = kSuccess;
            QCoreApplication::processEvents();
            if (status)
                break;
        }
        // A round at most as often as the window's poll ticks.
        const qint64 left = console_.Timer1().interval() - round.elapsed();
        if (!status && left >= 0) {
            QEventLoop pause;
            QTimer::singleShot(int(left) + 1, &pause, &QEventLoop::quit);
            QObject::connect(&interruption_, &Interruption::interrupted, &pause, &QEventLoop::quit);
            pause.exec();
        }
    }
    interruption_.disconnect(&interruption_);
    return *status;
}

bool Session::wait_for_line()
{
    if (!console_.reconnection().trying())
        return false;
    QEventLoop gap;
    QObject::connect(&console_.reconnection(), &Reconnection::reconnected, &gap, &QEventLoop::quit);
    QObject::connect(&interruption_, &Interruption::interrupted, &gap, &QEventLoop::quit);
    if (!interruption_.signal_number())
        gap.exec();
    // The console selected its station again and polls: the rounds select their own.
    console_.Timer1().stop();
    return linked() && !interruption_.signal_number();
}

int Session::select(int station)
{
    station_ = station;
    drive_version_.clear();
    const DriveOperations::Selection s = console_.operations().select_station(QString::number(station_));
    // Nothing polls unless asked to: a command's lines are its own.
    console_.Timer1().stop();
    if (!linked() || s.failure == Failure::LinkLost || s.failure == Failure::Interrupted)
        return kPortFailed;
    if (s.failure == Failure::NoAnswer) {
        error_ = QStringLiteral("station %1 did not answer").arg(station_);
        print_err(QStringLiteral("Station %1 did not answer.\n").arg(station_));
        // The report names the station the recipe could not run on.
        if (recipe_) {
            recipe::StationRun silent;
            silent.station = station_;
            silent.aborted = QStringLiteral("station %1 did not answer").arg(station_);
            silent.aborted_outside_steps = true;
            runs_.append(silent);
        }
        return kNoAnswer;
    }
    drive_version_ = s.version.value_or(QString());
    return kSuccess;
}

int Session::status_of(const DriveSettings::Report& report, const QString& what)
{
    const QString said = DriveSettings::summary(report, what);
    if (!said.isEmpty()) {
        print_err(said + u'\n');
        error_ = said;
    }
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

int Session::status_of(Failure failure, const QString& what)
{
    switch (failure) {
    case Failure::None: return kSuccess;
    case Failure::NoAnswer:
        error_ = QStringLiteral("%1: no answer from station %2").arg(what).arg(station_);
        tell(error_);
        return kNoAnswer;
    case Failure::LinkLost: return kPortFailed;
    case Failure::Refused: return kBadUsage;
    case Failure::Interrupted: return interruption_.exit_status();
    }
    return kBadUsage;
}

QJsonObject Session::station_document() const
{
    return QJsonObject{{QStringLiteral("station"), station_}};
}

int Session::scan()
{
    const QList<int> found = answering_stations();
    // A sweep that the line's loss cut short lists nothing.
    if (!linked())
        return kPortFailed;
    QString out;
    QJsonArray stations;
    for (const int n : found) {
        out += QString::number(n) + u'\n';
        stations.append(n);
    }
    if (inv_.json)
        document_ = QJsonObject{{QStringLiteral("stations"), stations}};
    else
        print_out(out);
    return kSuccess;
}

int Session::read()
{
    DriveSettings::Report report;
    const settings_file::Values values = console_.drive_settings().read_drive(report);
    const int status = status_of(report, QStringLiteral("Read"));
    if (inv_.json) {
        // A read cut short shows the entries that came, the others null.
        QJsonObject entries;
        for (int e = 0; e < settings_file::kEntries; ++e)
            entries.insert(settings_file::name_of(e), json_or_null(values[std::size_t(e)]));
        document_ = station_document();
        document_->insert(QStringLiteral("drive"), drive_version_);
        document_->insert(QStringLiteral("entries"), entries);
        if (status != kSuccess)
            document_->insert(QStringLiteral("error"), error_);
        return status;
    }
    if (status != kSuccess)
        return status;
    print_out(settings_file::format(values, settings_file::header_now(writer(), station_, drive_version_)));
    return kSuccess;
}

QString Session::backup_path(int station) const
{
    return inv_.several() ? QDir(inv_.args.first()).filePath(QStringLiteral("station-%1.mivo").arg(station))
                          : inv_.args.first();
}

int Session::back_up()
{
    const QString path = backup_path(station_);
    const int status = status_of(console_.drive_settings().back_up(path, writer()), QStringLiteral("Backup"));
    if (status != kSuccess)
        return status;
    print_err(DriveSettings::backed_up_text(station_, path) + u'\n');
    if (inv_.json) {
        document_ = station_document();
        document_->insert(QStringLiteral("file"), path);
        document_->insert(QStringLiteral("entries"), settings_file::kEntries);
    }
    return kSuccess;
}

int Session::compare(const settings_file::Values& file)
{
    const DriveSettings::Report report = console_.drive_settings().compare(file);
    const int status = status_of(report, QStringLiteral("Compare"));
    if (status != kSuccess && status != kDifferences)
        return status;
    if (inv_.json) {
        QJsonArray differences;
        for (const DriveSettings::Entry& e : report.differences)
            differences.append(QJsonObject{{QStringLiteral("entry"), settings_file::name_of(e.entry)},
                                           {QStringLiteral("drive"), e.drive},
                                           {QStringLiteral("file"), e.file}});
        document_ = station_document();
        document_->insert(QStringLiteral("same"), status == kSuccess);
        document_->insert(QStringLiteral("differences"), differences);
    } else if (status == kSuccess) {
        print_out(QStringLiteral("Station %1 holds the values of %2.\n").arg(station_).arg(inv_.args.first()));
    } else {
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
                      .arg(station_)
                      .arg(inv_.args.first()));
    if (inv_.json) {
        QJsonArray written;
        for (const DriveSettings::Entry& e : report.written)
            written.append(settings_file::name_of(e.entry));
        document_ = station_document();
        document_->insert(QStringLiteral("written"), written);
        document_->insert(QStringLiteral("not_taken"), QJsonArray::fromStringList(report.not_taken));
        document_->insert(QStringLiteral("saved"), report.saved);
        document_->insert(QStringLiteral("reset_needed"), report.reset_needed);
        if (status != kSuccess && status != kDifferences)
            document_->insert(QStringLiteral("error"), error_);
    }
    return status;
}

int Session::send()
{
    const DriveOperations::Sent reply = console_.operations().send_line(inv_.args.first());
    if (!reply.ok())
        return status_of(reply.failure, QStringLiteral("send"));
    if (inv_.json) {
        document_ = QJsonObject{{QStringLiteral("lines"), QJsonArray::fromStringList(reply.lines)}};
    } else {
        QString shown = as_lines(reply.received);
        if (!shown.isEmpty() && !shown.endsWith(u'\n'))
            shown += u'\n';
        print_out(shown);
    }
    if (reply.received.isEmpty() && station_ != protocol::kBroadcastStation) {
        tell(QStringLiteral("no reply from station %1").arg(station_));
        document_.reset();
        return kNoAnswer;
    }
    return kSuccess;
}

int Session::watch()
{
    int rows = 0;
    Recorder& recorder = console_.recorder();
    recorder.clear();
    if (!inv_.json)
        print_out(Recorder::csv_header() + u'\n');
    QObject::connect(&console_.state(), &ConsoleState::sample_recorded, &interruption_, [&](const Recorder::Sample& sample) {
        if (inv_.json) {
            print_out(watch_json_line(recorder.csv_row(sample).section(u',', 0, 0).toLongLong(), station_, sample));
        } else {
            print_out(recorder.csv_row(sample) + u'\n');
        }
        if (!standard_output_failure().isEmpty())
            QCoreApplication::exit(kBadUsage);
        else if (inv_.count && ++rows >= *inv_.count)
            QCoreApplication::exit(kSuccess);
    });
    view_.watching = true;

    // Ctrl-C is how a watch ends: between ticks' rows, not in the middle of
    // the output, and not as a failure.
    interruption_.set_stops_exchange(false);
    QObject::connect(&interruption_, &Interruption::interrupted, &interruption_,
                     [] { QCoreApplication::exit(kSuccess); });
    // The console has begun its tries when it will reconnect.
    console_.reconnection().set_enabled(inv_.reconnect);
    QObject::connect(&port_, &SerialPort::lost, &interruption_, [this] {
        if (!console_.reconnection().trying())
            QCoreApplication::exit(kPortFailed);
    });

    // A signal before the watch began interrupted the selection.
    if (interruption_.signal_number())
        return interruption_.exit_status();
    signal_ends_run_ = true;
    console_.Timer1().start();
    const int status = QCoreApplication::exec();
    interruption_.disconnect();
    console_.state().disconnect(&interruption_);
    view_.watching = false;
    return status;
}

int Session::status_command()
{
    const DriveOperations::Status s = console_.operations().read_status();
    if (const int status = status_of(s.failure, QStringLiteral("status")); status != kSuccess)
        return status;
    const QStringList state_bits = s.state ? DriveOperations::state_bit_names(*s.state) : QStringList();
    const QStringList input_bits = s.inputs ? DriveOperations::input_bit_names(*s.inputs) : QStringList();
    if (inv_.json) {
        document_ = station_document();
        document_->insert(QStringLiteral("position"), json_or_null(s.position));
        document_->insert(QStringLiteral("state"), json_or_null(s.state));
        document_->insert(QStringLiteral("inputs"), json_or_null(s.inputs));
        document_->insert(QStringLiteral("state_bits"), QJsonArray::fromStringList(state_bits));
        document_->insert(QStringLiteral("input_bits"), QJsonArray::fromStringList(input_bits));
    } else {
        print_out(QStringLiteral("position %1\nstate %2\ninputs %3\n")
                      .arg(number_text(s.position), word_text(s.state, state_bits),
                           word_text(s.inputs ? std::optional<quint32>(*s.inputs) : std::nullopt, input_bits)));
    }
    return kSuccess;
}

int Session::servo()
{
    const DriveOperations::Result r = console_.operations().servo(inv_.servo_on);
    if (const int status = status_of(r.failure, QStringLiteral("servo")); status != kSuccess)
        return status;
    if (inv_.json) {
        document_ = station_document();
        document_->insert(QStringLiteral("servo"), inv_.servo_on);
        // Under broadcast it was sent; no drive acknowledges.
        document_->insert(QStringLiteral("acknowledged"), r.acknowledged);
    }
    return kSuccess;
}

int Session::home()
{
    const DriveOperations::Homed h = console_.operations().home(inv_.timeout_ms);
    if (h.failure == Failure::NoAnswer) {
        tell(QStringLiteral("home: no prompt from station %1 within %2 s")
                 .arg(station_)
                 .arg(inv_.timeout_ms / 1000.0));
        return kNoAnswer;
    }
    if (const int status = status_of(h.failure, QStringLiteral("home")); status != kSuccess)
        return status;
    if (inv_.json) {
        document_ = station_document();
        document_->insert(QStringLiteral("done"), h.done);
        document_->insert(QStringLiteral("time_ms"), h.time_ms);
    } else {
        print_out(QStringLiteral("homed in %1 ms\n").arg(h.time_ms));
    }
    return kSuccess;
}

int Session::move()
{
    DriveOperations::MoveRequest request;
    request.position = inv_.position;
    request.speed = inv_.speed;
    request.wait = inv_.wait;
    request.tolerance = inv_.tolerance;
    request.timeout_ms = inv_.timeout_ms;
    const DriveOperations::Moved m = console_.operations().move(request);
    if (m.speed_refused) {
        tell(QStringLiteral("the drive refused the speed %1").arg(*inv_.speed));
        return kDifferences;
    }
    if (const int status = status_of(m.failure, QStringLiteral("move")); status != kSuccess)
        return status;
    const bool reached = !inv_.wait || m.reached;
    if (inv_.json) {
        document_ = station_document();
        document_->insert(QStringLiteral("target"), inv_.position);
        document_->insert(QStringLiteral("acknowledged"), m.acknowledged);
        if (inv_.wait) {
            document_->insert(QStringLiteral("position"), json_or_null(m.position));
            document_->insert(QStringLiteral("reached"), m.reached);
            document_->insert(QStringLiteral("time_ms"), m.time_ms);
        }
    } else if (inv_.wait) {
        print_out(m.reached ? QStringLiteral("reached %1 in %2 ms\n").arg(number_text(m.position)).arg(m.time_ms)
                            : QStringLiteral("stopped at %1, short of %2, after %3 ms\n")
                                  .arg(number_text(m.position))
                                  .arg(inv_.position)
                                  .arg(m.time_ms));
    }
    return reached ? kSuccess : kDifferences;
}

int Session::write()
{
    const DriveOperations::Written w = console_.operations().write_entry(inv_.entry, inv_.value);
    if (const int status = status_of(w.failure, QStringLiteral("write")); status != kSuccess)
        return status;
    const QString name = settings_file::name_of(inv_.entry);
    if (inv_.json) {
        document_ = station_document();
        document_->insert(QStringLiteral("entry"), name);
        document_->insert(QStringLiteral("value"), inv_.value);
        document_->insert(QStringLiteral("taken"), w.taken);
    } else {
        print_out(w.taken ? QStringLiteral("%1=%2 taken\n").arg(name).arg(inv_.value)
                          : QStringLiteral("%1=%2 not taken: the drive holds %3\n")
                                .arg(name)
                                .arg(inv_.value)
                                .arg(number_text(w.read_back)));
    }
    return w.taken ? kSuccess : kDifferences;
}

int Session::save()
{
    const DriveOperations::Saved s = console_.operations().save();
    if (const int status = status_of(s.failure, QStringLiteral("save")); status != kSuccess)
        return status;
    if (inv_.json) {
        document_ = station_document();
        document_->insert(QStringLiteral("saved"), s.answered);
    } else {
        print_out(QStringLiteral("saved\n"));
    }
    return kSuccess;
}

int Session::run_recipe()
{
    // Ctrl-C stops the recipe, whose run then switches the motor off on the
    // same line and reports the abort: a failed run, not a killed one.
    interruption_.set_stop_resumable(true);
    signal_ends_run_ = true;
    recipe_->set_outside_stop([this] {
        return interruption_.signal_number() ? QStringLiteral("stopped by ") + interruption_.signal_name() : QString();
    });
    const int station = station_;
    const auto progress = QObject::connect(recipe_.get(), &recipe::RecipeRun::step_ended, &interruption_,
                                           [station](const recipe::Step& step) {
                                               print_err(recipe::progress_line(station, step) + u'\n');
                                           });
    const auto logs = QObject::connect(recipe_.get(), &recipe::RecipeRun::logged, &interruption_,
                                       [station](const QString& text) {
                                           print_err(QStringLiteral("station %1: %2\n").arg(station).arg(text));
                                       });
    const recipe::StationRun run = recipe_->run(station);
    QObject::disconnect(progress);
    QObject::disconnect(logs);
    runs_.append(run);

    if (run.motor_switched_off)
        print_err(QStringLiteral("station %1: the motor was switched off (\"EN 0\")\n").arg(station));
    else if (run.motor_off_unacknowledged())
        print_err(QStringLiteral("station %1: %2\n").arg(station).arg(recipe::motor_off_unacknowledged_text()));
    // The recipe's own error as FILE:LINE: message, on a line of its own.
    if (run.recipe_error)
        print_err(*run.aborted + u'\n');
    else if (run.aborted)
        print_err(QStringLiteral("station %1: aborted: %2\n").arg(station).arg(*run.aborted));
    print_err(run.passed() ? QStringLiteral("station %1: PASSED, %2 steps\n").arg(station).arg(run.steps.size())
                           : QStringLiteral("station %1: FAILED%2, %3 of %4 steps failed\n")
                                 .arg(station)
                                 .arg(run.recipe_error ? QStringLiteral(" (an error in the recipe)")
                                      : run.aborted    ? QStringLiteral(" (aborted)")
                                                       : QString())
                                 .arg(run.failed_steps())
                                 .arg(run.steps.size()));
    if (run.recipe_error)
        return kBadUsage;
    return run.passed() ? kSuccess : kDifferences;
}

int Session::write_reports(int status)
{
    // A run that never started still replaces an older report, with why.
    QString not_run;
    if (runs_.isEmpty())
        not_run = not_run_.isEmpty() ? failure_text(status) : not_run_;
    if (inv_.json)
        document_ = recipe::json_document(runs_, not_run);
    if (!inv_.junit.isEmpty()) {
        WholeFile report(inv_.junit);
        const QString name = QFileInfo(inv_.args.first()).fileName();
        if (!report.open() || !report.write(recipe::junit_xml(runs_, name, not_run)) || !report.commit()) {
            tell(QStringLiteral("cannot write %1: %2").arg(inv_.junit, report.error()));
            return std::max<int>(status, kBadUsage);
        }
    }
    return status;
}

}  // namespace mivo::cli

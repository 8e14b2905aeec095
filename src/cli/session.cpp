#include "cli/session.h"

#include "cli/command_table.h"
#include "cli/commands/commands.h"
#include "link/port_name.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace mivo::cli {

Session::Session(const Invocation& invocation)
    : inv_(invocation),
      command_(find_command(QLatin1StringView(invocation.command.toLatin1()))),
      console_(port_),
      interruption_(console_.exchange()),
      job_(invocation, console_, interruption_)
{
    console_.set_view(&view_);
    console_.Form_Load();
    // A poll reads nothing but in a watch, which ticks both "FeedBack" boxes.
    console_.monitoring().set_feedback(false, false);
    console_.exchange().set_fast(inv_.fast);
    // A write the drive did not acknowledge was not done.
    console_.operations().set_write_replies(true);
    if (inv_.reply_wait_ms)
        console_.exchange().set_reply_wait_ms(*inv_.reply_wait_ms);
    // A network port still resolving or connecting gives up at once.
    QObject::connect(&interruption_, &Interruption::interrupted, &port_, [this] {
        if (!job_.linked())
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

int Session::run()
{
    if (command_->prepare) {
        if (const int status = command_->prepare(job_); status != kSuccess)
            return status;
    }
    int status = open_and_select();
    if (status == kPortFailed && !job_.linked() && job_.not_run.isEmpty())
        job_.not_run = QStringLiteral("cannot open %1: %2").arg(inv_.port, port_.errorText());
    if (status == kSuccess)
        status = inv_.several() ? run_each() : run_command();
    if (job_.recipe)
        status = write_reports(job_, status);
    if (interruption_.signal_number() && !job_.signal_ends_run) {
        tell(QStringLiteral("stopped by %1").arg(interruption_.signal_name()));
        return interruption_.exit_status();
    }
    // The document says what happened also when the drive did not do all
    // that was asked.
    // With several stations it says which did and which did not.
    if (job_.document && (status == kSuccess || status == kDifferences || inv_.several() || job_.recipe))
        print_out(QString::fromUtf8(QJsonDocument(*job_.document).toJson(QJsonDocument::Indented)));
    // The data a script reads is not there: as bad as a file not written.
    if (const QString failure = standard_output_failure(); !failure.isEmpty()) {
        tell(QStringLiteral("cannot write standard output: %1").arg(failure));
        if (status == kSuccess || status == kDifferences)
            status = kBadUsage;
    }
    return status;
}

int Session::run_command()
{
    const int status = command_->run(job_);
    return job_.linked() ? status : kPortFailed;
}

int Session::open_and_select()
{
    console_.port_control().open_named(system_port_name(inv_.port), false);
    if (!job_.linked())
        return kPortFailed;
    if (!inv_.station)
        return kSuccess;
    // Selecting leaves the poll off: a command's lines are its own.
    const DriveOperations::Selection s = console_.operations().select_station(QString::number(*inv_.station));
    return job_.take_selection(*inv_.station, s);
}

int Session::run_each()
{
    const QList<int> stations = inv_.all_stations ? job_.answering_stations() : inv_.stations;
    if (!job_.linked())
        return kPortFailed;
    if (stations.isEmpty()) {
        job_.not_run = QStringLiteral("no station answered the scan");
        tell(job_.not_run);
        if (inv_.json && !job_.recipe)
            job_.document = QJsonObject{{QStringLiteral("stations"), QJsonArray()}};
        return kNoAnswer;
    }
    if (command_->each)
        return command_->each(job_, stations);
    QJsonArray documents;
    int worst = kSuccess;
    const qsizetype selected = console_.station_batch().each(
        stations,
        [&](int station, const DriveOperations::Selection& selection) {
            int status = job_.take_selection(station, selection);
            if (status == kSuccess)
                status = run_command();
            // Every station has its document, also one that failed half-way.
            if (inv_.json && !job_.document && status != kSuccess)
                job_.document =
                    failed_document(job_.error.isEmpty() ? job_.failure_text(status) : job_.error);
            if (job_.document)
                documents.append(*job_.document);
            worst = std::max(worst, status);
            // One that does not answer does not stop the others; a lost line does.
            return job_.linked();
        },
        [&](int station) {
            if (interruption_.signal_number())
                return false;
            // A recipe's progress names its station on standard error.
            if (!inv_.json && !job_.recipe)
                print_out(QStringLiteral("# station %1\n").arg(station));
            job_.document.reset();
            job_.error.clear();
            return true;
        });
    if (!job_.linked()) {
        for (qsizetype rest = selected; rest < stations.size(); ++rest) {
            job_.station = stations[rest];
            documents.append(failed_document(QStringLiteral("not reached: the line was lost")));
        }
    }
    if (inv_.json && !job_.recipe)
        job_.document = QJsonObject{{QStringLiteral("stations"), documents}};
    return worst;
}

QJsonObject Session::failed_document(const QString& error) const
{
    QJsonObject d = job_.station_document();
    for (const QString& key : command_->values)
        d.insert(key, QJsonValue::Null);
    d.insert(QStringLiteral("error"), error);
    return d;
}

}  // namespace mivo::cli

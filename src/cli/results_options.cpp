#include "cli/results_options.h"

#include "cli/command_line.h"
#include "results/run_document.h"
#include "results/station_record.h"

namespace mivo::cli {

namespace {

QString only_for(const QCommandLineParser& parser, const QCommandLineOption& o, const QString& command,
                 const QStringList& commands)
{
    if (!parser.isSet(o) || commands.contains(command))
        return {};
    return QStringLiteral("--%1 is for %2 only").arg(o.names().constLast(), commands.join(QStringLiteral(" and ")));
}

}  // namespace

ResultsOptions::ResultsOptions()
    : results_(QStringLiteral("results"),
               QStringLiteral("run, results: the store of test runs, a SQLite file or "
                              "postgresql://[USER@]HOST[:PORT]/DB."),
               QStringLiteral("STORE")),
      serial_(QStringLiteral("serial"),
              QStringLiteral("run: the unit's serial number (one per station with --stations); results: the unit "
                             "looked for."),
              QStringLiteral("SN")),
      operator_(QStringLiteral("operator"), QStringLiteral("run --results: who tests (default: the login name)."),
                QStringLiteral("NAME")),
      snapshot_(QStringLiteral("snapshot"), QStringLiteral("run --results: keep the P and V groups at the run's end.")),
      failed_(QStringLiteral("failed"), QStringLiteral("results: only runs that did not pass.")),
      recipe_(QStringLiteral("recipe"), QStringLiteral("results: only runs of the recipe file NAME."),
              QStringLiteral("NAME")),
      since_(QStringLiteral("since"), QStringLiteral("results: runs started at or after T (ISO 8601, local time)."),
             QStringLiteral("T")),
      until_(QStringLiteral("until"), QStringLiteral("results: runs started at or before T."), QStringLiteral("T")),
      limit_(QStringLiteral("limit"), QStringLiteral("results: the N newest runs."), QStringLiteral("N")),
      csv_(QStringLiteral("csv"), QStringLiteral("results: as CSV.")),
      id_(QStringLiteral("id"), QStringLiteral("results: the run ID, for its --pdf or --junit report."),
          QStringLiteral("ID")),
      pdf_(QStringLiteral("pdf"), QStringLiteral("results --id: the run's report as PDF into FILE."),
           QStringLiteral("FILE"))
{
}

void ResultsOptions::add_to(QCommandLineParser& parser) const
{
    parser.addOptions({results_, serial_, operator_, snapshot_, failed_, recipe_, since_, until_, limit_, csv_, id_, pdf_});
}

QStringList ResultsOptions::with_values() const
{
    QStringList out;
    for (const QCommandLineOption* o : {&results_, &serial_, &operator_, &recipe_, &since_, &until_, &limit_, &id_, &pdf_})
        out << QStringLiteral("--") + o->names().constLast();
    return out;
}

QString ResultsOptions::read(const QCommandLineParser& parser, Invocation& inv) const
{
    const QStringList run{QStringLiteral("run")};
    const QStringList both{QStringLiteral("run"), QStringLiteral("results")};
    const QStringList finding{QStringLiteral("results")};
    for (const auto& [option, commands] : {std::pair{&results_, both}, {&serial_, both}, {&operator_, run},
                                           {&snapshot_, run}, {&failed_, finding}, {&recipe_, finding},
                                           {&since_, finding}, {&until_, finding}, {&limit_, finding},
                                           {&csv_, finding}, {&id_, finding}, {&pdf_, finding}})
        if (const QString refused = only_for(parser, *option, inv.command, commands); !refused.isEmpty())
            return refused;
    inv.results = parser.value(results_);
    if (parser.isSet(results_) && inv.results.isEmpty())
        return QStringLiteral("--results takes the store: a file or postgresql://[USER@]HOST[:PORT]/DB");
    inv.serials = parser.values(serial_);
    for (const QString& serial : inv.serials)
        if (const QString refused = results::StationRecord::serial_refusal(serial); !refused.isEmpty())
            return QStringLiteral("--serial \"%1\": %2").arg(serial, refused);
    if (inv.command == u"run")
        return read_run(parser, inv);
    if (inv.command == u"results")
        return read_results(parser, inv);
    return {};
}

QString ResultsOptions::read_run(const QCommandLineParser& parser, Invocation& inv) const
{
    if (!inv.results.isEmpty() && inv.serials.isEmpty())
        return QStringLiteral("run --results needs the unit's --serial SN");
    if (parser.isSet(snapshot_) && inv.results.isEmpty())
        return QStringLiteral("--snapshot goes with --results");
    if (parser.isSet(operator_) && inv.results.isEmpty())
        return QStringLiteral("--operator goes with --results");
    if (!inv.serials.isEmpty()) {
        // Each unit is named before its station's run: which serial number
        // belongs to which station cannot depend on who answers a scan.
        if (inv.all_stations)
            return QStringLiteral("--serial needs the stations listed, not --stations all");
        const qsizetype wanted = inv.several() ? inv.stations.size() : 1;
        if (inv.serials.size() != wanted)
            return QStringLiteral("run takes one --serial per station: %1 given for %2").arg(inv.serials.size()).arg(wanted);
    }
    inv.operator_name = parser.isSet(operator_) ? parser.value(operator_) : results::StationRecord::login_name();
    if (const QString refused = results::StationRecord::serial_refusal(inv.operator_name); !refused.isEmpty())
        return QStringLiteral("--operator \"%1\": %2").arg(inv.operator_name, QString(refused).replace(
                                                                                   QStringLiteral("a serial number"),
                                                                                   QStringLiteral("a name")));
    inv.snapshot = parser.isSet(snapshot_);
    return {};
}

QString ResultsOptions::read_results(const QCommandLineParser& parser, Invocation& inv) const
{
    if (inv.results.isEmpty())
        return QStringLiteral("results needs --results STORE");
    if (inv.serials.size() > 1)
        return QStringLiteral("results takes one --serial");
    inv.failed = parser.isSet(failed_);
    inv.recipe = parser.value(recipe_);
    inv.csv = parser.isSet(csv_);
    if (inv.csv && inv.json)
        return QStringLiteral("--json and --csv do not go together");
    for (const auto& [option, until] : {std::pair{&since_, false}, {&until_, true}}) {
        if (!parser.isSet(*option))
            continue;
        const std::optional<QDateTime> t = results::time_bound(parser.value(*option), until);
        if (!t)
            return QStringLiteral("--%1 takes an ISO 8601 date or date-time (2026-03-01, 2026-03-01T14:30), not \"%2\"")
                .arg(option->names().constLast(), parser.value(*option));
        (until ? inv.until : inv.since) = t;
    }
    if (parser.isSet(limit_)) {
        bool ok = false;
        const int n = parser.value(limit_).toInt(&ok);
        if (!ok || n < 1)
            return QStringLiteral("--limit takes a number of runs from 1, not \"%1\"").arg(parser.value(limit_));
        inv.limit = n;
    }
    if (parser.isSet(id_)) {
        bool ok = false;
        const qint64 id = parser.value(id_).toLongLong(&ok);
        if (!ok || id < 1)
            return QStringLiteral("--id takes a run's number, not \"%1\"").arg(parser.value(id_));
        inv.id = id;
    }
    inv.pdf = parser.value(pdf_);
    if (parser.isSet(pdf_) && inv.pdf.isEmpty())
        return QStringLiteral("--pdf takes the report's file name");
    if ((!inv.pdf.isEmpty() || !inv.junit.isEmpty()) && !inv.id)
        return QStringLiteral("--pdf and --junit need the run's --id");
    return {};
}

}  // namespace mivo::cli

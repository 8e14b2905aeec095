// The commands that ask the line or the drive and change nothing: scan,
// status, send.
#include "cli/commands/commands.h"
#include "cli/job.h"
#include "console/status_fields.h"
#include "protocol/command_lines.h"

#include <QJsonArray>

namespace mivo::cli {

namespace {

QString word_text(const std::optional<quint32>& word, const QStringList& names)
{
    if (!word)
        return QStringLiteral("-");
    const QString hex = QString::number(*word, 16).toUpper();
    return names.isEmpty() ? hex : QStringLiteral("%1 (%2)").arg(hex, names.join(u' '));
}

// Each CR, LF or CR LF as one line break, as the transcript shows them.
QString as_lines(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(u'\r', u'\n');
    return out;
}

}  // namespace

QString number_text(const std::optional<double>& v)
{
    return v ? QString::number(*v, 'g', 15) : QStringLiteral("-");
}

int scan(Job& job)
{
    const QList<int> found = job.answering_stations();
    // A sweep that the line's loss cut short lists nothing.
    if (!job.linked())
        return kPortFailed;
    QString out;
    QJsonArray stations;
    for (const int n : found) {
        out += QString::number(n) + u'\n';
        stations.append(n);
    }
    if (job.inv.json)
        job.document = QJsonObject{{QStringLiteral("stations"), stations}};
    else
        print_out(out);
    return kSuccess;
}

int status_command(Job& job)
{
    const DriveOperations::Status s = job.console.operations().read_status();
    if (const int status = job.status_of(s.failure, QStringLiteral("status")); status != kSuccess)
        return status;
    const QStringList state_bits = s.state ? DriveOperations::state_bit_names(*s.state) : QStringList();
    const QStringList input_bits = s.inputs ? DriveOperations::input_bit_names(*s.inputs) : QStringList();
    if (job.inv.json) {
        QJsonObject document = status_fields(s);
        document.insert(QStringLiteral("station"), job.station);
        job.document = document;
    } else {
        print_out(QStringLiteral("position %1\nstate %2\ninputs %3\n")
                      .arg(number_text(s.position), word_text(s.state, state_bits),
                           word_text(s.inputs ? std::optional<quint32>(*s.inputs) : std::nullopt, input_bits)));
    }
    return kSuccess;
}

int prepare_send(Job& job)
{
    if (const QString reason = protocol::unsendable_reason(job.inv.args.first()); !reason.isEmpty()) {
        tell(reason);
        return kBadUsage;
    }
    return kSuccess;
}

int send(Job& job)
{
    const DriveOperations::Sent reply = job.console.operations().send_line(job.inv.args.first());
    if (!reply.ok())
        return job.status_of(reply.failure, QStringLiteral("send"));
    if (job.inv.json) {
        job.document = QJsonObject{{QStringLiteral("lines"), QJsonArray::fromStringList(reply.lines)}};
    } else {
        // Everything that came, prompts and empty lines too.
        QString shown = as_lines(reply.received);
        if (!shown.isEmpty() && !shown.endsWith(u'\n'))
            shown += u'\n';
        print_out(shown);
    }
    if (reply.received.isEmpty() && job.station != protocol::kBroadcastStation) {
        tell(QStringLiteral("no reply from station %1").arg(job.station));
        job.document.reset();
        return kNoAnswer;
    }
    return kSuccess;
}

}  // namespace mivo::cli

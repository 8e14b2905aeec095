#include "results/report_pdf.h"

#include <QFont>
#include <QFontMetricsF>
#include <QJsonArray>
#include <QPageSize>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>

namespace mivo::results {

namespace {

QString text_of(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: return QStringLiteral("-");
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: return QString::number(v.toDouble(), 'g', 12);
    default: return v.toString();
    }
}

QString limits_of(const QJsonObject& check)
{
    const QJsonValue min = check.value(QStringLiteral("min"));
    const QJsonValue max = check.value(QStringLiteral("max"));
    QStringList parts;
    if (!min.isNull() && !max.isNull())
        parts << QStringLiteral("%1 to %2").arg(text_of(min), text_of(max));
    else if (!min.isNull())
        parts << QStringLiteral("at least %1").arg(text_of(min));
    else if (!max.isNull())
        parts << QStringLiteral("at most %1").arg(text_of(max));
    if (check.contains(QStringLiteral("equals")))
        parts << QStringLiteral("= %1").arg(text_of(check.value(QStringLiteral("equals"))));
    return parts.isEmpty() ? QStringLiteral("no limits") : parts.join(QStringLiteral(", "));
}

// Lines down the page, a new page when one is full.
class Pages {
public:
    Pages(QPdfWriter& writer, QPainter& painter) : writer_(writer), painter_(painter)
    {
        width_ = painter.viewport().width();
        height_ = painter.viewport().height();
    }

    void line(const QString& text, int point_size = 10, bool bold = false, qreal indent = 0)
    {
        QFont font(QStringLiteral("DejaVu Sans"), point_size);
        font.setBold(bold);
        painter_.setFont(font);
        const QRectF room(indent, 0, width_ - indent, height_);
        QRectF needed = painter_.boundingRect(room, Qt::TextWordWrap, text);
        if (y_ + needed.height() > height_ && y_ > 0) {
            writer_.newPage();
            y_ = 0;
        }
        needed.moveTop(y_);
        painter_.drawText(QRectF(indent, y_, width_ - indent, needed.height()), Qt::TextWordWrap, text);
        y_ += needed.height() + QFontMetricsF(font, &writer_).leading();
    }
    void gap(int points = 6) { y_ += points * writer_.resolution() / 72.0; }

    // A traced move: position over time, the target dashed, the ends of
    // both axes named.
    void plot(const QJsonArray& samples, double target)
    {
        const qreal mm = writer_.resolution() / 25.4;
        const qreal height = 55 * mm;
        if (y_ + height + 8 * mm > height_) {
            writer_.newPage();
            y_ = 0;
        }
        QFont font(QStringLiteral("DejaVu Sans"), 8);
        painter_.setFont(font);
        const qreal label = QFontMetricsF(font, &writer_).horizontalAdvance(QStringLiteral("-00000000")) + 2 * mm;
        const QRectF box(label, y_, width_ - label, height);
        double t_max = 1, p_min = target, p_max = target;
        for (const QJsonValue& v : samples) {
            const QJsonArray s = v.toArray();
            t_max = std::max(t_max, s.at(0).toDouble());
            p_min = std::min(p_min, s.at(1).toDouble());
            p_max = std::max(p_max, s.at(1).toDouble());
        }
        if (p_max - p_min < 1) {
            p_min -= 1;
            p_max += 1;
        }
        const auto at = [&](double t, double p) {
            return QPointF(box.left() + box.width() * t / t_max, box.bottom() - box.height() * (p - p_min) / (p_max - p_min));
        };
        painter_.setPen(QPen(Qt::black, 0.2 * mm));
        painter_.drawRect(box);
        painter_.setPen(QPen(Qt::darkGray, 0.2 * mm, Qt::DashLine));
        painter_.drawLine(at(0, target), at(t_max, target));
        QPolygonF line;
        for (const QJsonValue& v : samples)
            line << at(v.toArray().at(0).toDouble(), v.toArray().at(1).toDouble());
        painter_.setPen(QPen(QColor(0x1f, 0x5f, 0xbf), 0.3 * mm));
        painter_.drawPolyline(line);
        painter_.setPen(Qt::black);
        const qreal text_h = QFontMetricsF(font, &writer_).height();
        painter_.drawText(QRectF(0, box.top(), label - mm, text_h), Qt::AlignRight, QString::number(p_max, 'g', 8));
        painter_.drawText(QRectF(0, box.bottom() - text_h, label - mm, text_h), Qt::AlignRight,
                          QString::number(p_min, 'g', 8));
        painter_.drawText(QRectF(box.left(), box.bottom(), box.width(), text_h), Qt::AlignLeft, QStringLiteral("0 ms"));
        painter_.drawText(QRectF(box.left(), box.bottom(), box.width(), text_h), Qt::AlignRight,
                          QStringLiteral("%1 ms").arg(t_max, 0, 'f', 0));
        y_ = box.bottom() + text_h + 2 * mm;
    }

private:
    QPdfWriter& writer_;
    QPainter& painter_;
    qreal width_ = 0;
    qreal height_ = 0;
    qreal y_ = 0;
};

void draw(const QJsonObject& run, QPdfWriter& writer, QPainter& painter)
{
    Pages pages(writer, painter);
    const auto field = [&](const char* name) { return text_of(run.value(QLatin1String(name))); };
    const qreal indent = writer.resolution() / 4.0;
    pages.line(QStringLiteral("Unit %1").arg(field("serial")), 16, true);
    pages.line(field("verdict"), 40, true);
    if (const QJsonValue aborted = run.value(QStringLiteral("aborted")); !aborted.isNull())
        pages.line(QStringLiteral("Aborted: %1").arg(text_of(aborted)), 11, true);
    pages.gap();
    pages.line(QStringLiteral("Station %1 on %2, %3").arg(field("station"), field("port"), field("host")));
    pages.line(QStringLiteral("Operator: %1").arg(field("operator")));
    pages.line(QStringLiteral("Started: %1   Ended: %2").arg(field("started"), field("ended")));
    pages.line(QStringLiteral("Recipe: %1").arg(field("recipe")));
    pages.line(QStringLiteral("SHA-256: %1").arg(field("recipe_sha256")), 8);
    pages.line(QStringLiteral("Drive version: %1").arg(field("drive")));
    pages.line(QStringLiteral("Motor switched off by the console: %1").arg(field("motor_switched_off")));
    pages.line(QStringLiteral("Run ID %1").arg(field("id")), 8);
    pages.gap(12);

    pages.line(QStringLiteral("Steps"), 13, true);
    for (const QJsonValue& sv : run.value(QStringLiteral("steps")).toArray()) {
        const QJsonObject step = sv.toObject();
        pages.gap(3);
        pages.line(QStringLiteral("%1   %2   (%3 ms)")
                       .arg(text_of(step.value(QStringLiteral("name"))),
                            step.value(QStringLiteral("passed")).toBool() ? QStringLiteral("passed")
                                                                           : QStringLiteral("FAILED"),
                            text_of(step.value(QStringLiteral("time_ms")))),
                   11, true);
        for (const QJsonValue& cv : step.value(QStringLiteral("checks")).toArray()) {
            const QJsonObject check = cv.toObject();
            pages.line(QStringLiteral("check %1 = %2, %3: %4")
                           .arg(text_of(check.value(QStringLiteral("name"))), text_of(check.value(QStringLiteral("value"))),
                                limits_of(check),
                                check.value(QStringLiteral("passed")).toBool() ? QStringLiteral("passed")
                                                                                : QStringLiteral("FAILED")),
                       10, false, indent);
        }
        if (step.contains(QStringLiteral("error")))
            pages.line(QStringLiteral("error: %1").arg(text_of(step.value(QStringLiteral("error")))), 10, false, indent);
        for (const QJsonValue& line : step.value(QStringLiteral("log")).toArray())
            pages.line(QStringLiteral("log: %1").arg(line.toString()), 9, false, indent);
    }
    if (const QJsonArray log = run.value(QStringLiteral("log")).toArray(); !log.isEmpty()) {
        pages.gap(12);
        pages.line(QStringLiteral("Log"), 13, true);
        for (const QJsonValue& line : log)
            pages.line(line.toString(), 9);
    }
    const QJsonArray traces = run.value(QStringLiteral("traces")).toArray();
    if (!traces.isEmpty()) {
        pages.gap(12);
        pages.line(QStringLiteral("Traced moves"), 13, true);
    }
    for (const QJsonValue& tv : traces) {
        const QJsonObject trace = tv.toObject();
        const QJsonArray samples = trace.value(QStringLiteral("samples")).toArray();
        pages.line(QStringLiteral("Move to %1%2, %3 readings")
                       .arg(text_of(trace.value(QStringLiteral("target"))),
                            trace.value(QStringLiteral("step")).isString()
                                ? QStringLiteral(" in \"%1\"").arg(trace.value(QStringLiteral("step")).toString())
                                : QString())
                       .arg(samples.size()),
                   10, true);
        pages.plot(samples, trace.value(QStringLiteral("target")).toDouble());
    }
    pages.gap(12);
    pages.line(QStringLiteral("Writes"), 13, true);
    const QJsonArray writes = run.value(QStringLiteral("writes")).toArray();
    if (writes.isEmpty())
        pages.line(QStringLiteral("none"));
    for (const QJsonValue& wv : writes) {
        const QJsonObject w = wv.toObject();
        const QString entry = text_of(w.value(QStringLiteral("entry")));
        const QString taken = w.value(QStringLiteral("taken")).toBool() ? QStringLiteral("taken") : QStringLiteral("NOT taken");
        pages.line(entry == u"SV" ? QStringLiteral("SV: %1").arg(taken)
                                  : QStringLiteral("%1 = %2, read back %3: %4")
                                        .arg(entry, text_of(w.value(QStringLiteral("value"))),
                                             text_of(w.value(QStringLiteral("read_back"))), taken));
    }
    if (run.contains(QStringLiteral("snapshot"))) {
        pages.gap(12);
        pages.line(QStringLiteral("Settings at the end of the run"), 13, true);
        const QJsonObject snapshot = run.value(QStringLiteral("snapshot")).toObject();
        // In the drive's order, P0 to P15 then V0 to V6, not the text's.
        QStringList names = snapshot.keys();
        std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
            return std::pair(a.left(1), a.mid(1).toInt()) < std::pair(b.left(1), b.mid(1).toInt());
        });
        QStringList entries;
        for (const QString& name : names)
            entries << QStringLiteral("%1 = %2").arg(name, text_of(snapshot.value(name)));
        pages.line(entries.join(QStringLiteral("   ")));
    }
}

}  // namespace

QString write_report_pdf(const QJsonObject& run, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("Test report %1").arg(run.value(QStringLiteral("serial")).toString()));
        writer.setCreator(QStringLiteral("MIVO drive console"));
        QPainter painter;
        if (!painter.begin(&writer))
            return QStringLiteral("cannot draw the PDF");
        draw(run, writer, painter);
        painter.end();
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

}  // namespace mivo::results

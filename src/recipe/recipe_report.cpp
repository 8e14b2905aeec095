#include "recipe/recipe_report.h"

#include <QJsonArray>
#include <QXmlStreamWriter>

#include <algorithm>

namespace mivo::recipe {

namespace {

QString value_text(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Double: return QString::number(v.toDouble(), 'g', 15);
    case QJsonValue::String: return QStringLiteral("\"%1\"").arg(v.toString());
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default: return QStringLiteral("nothing");
    }
}

QString number_text(double v)
{
    return QString::number(v, 'g', 15);
}

QJsonValue json_or_null(const std::optional<double>& v)
{
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

// An abort or a recipe error outside every step is reported as a case of
// its own, so that a reader counting cases sees the run as not passed.
bool has_outside_case(const StationRun& run)
{
    return run.aborted && run.aborted_outside_steps;
}

QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 3);
}

}  // namespace

QString Check::limits_text() const
{
    if (!equals.isUndefined())
        return QStringLiteral("= %1").arg(value_text(equals));
    if (min && max)
        return QStringLiteral("%1 to %2").arg(number_text(*min), number_text(*max));
    if (min)
        return QStringLiteral("at least %1").arg(number_text(*min));
    if (max)
        return QStringLiteral("at most %1").arg(number_text(*max));
    return {};
}

QString Check::description() const
{
    const QString head = QStringLiteral("check \"%1\" = %2").arg(name, value_text(value));
    if (!equals.isUndefined())
        return head + QStringLiteral(", expected %1").arg(value_text(equals));
    if (min && max)
        return head + QStringLiteral(", limits ") + limits_text();
    return min || max ? head + QStringLiteral(", ") + limits_text() : head;
}

QString Step::failure_message() const
{
    QStringList parts;
    for (const Check& c : checks)
        if (!c.passed)
            parts << c.description();
    if (!error.isEmpty())
        parts << error;
    return parts.join(QStringLiteral("; "));
}

bool StationRun::passed() const
{
    return !aborted && !recipe_error && failed_steps() == 0;
}

int StationRun::failed_steps() const
{
    return int(std::count_if(steps.begin(), steps.end(), [](const Step& s) { return !s.passed; }));
}

QByteArray junit_xml(const QList<StationRun>& runs, const QString& recipe_name)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();

    int all_tests = 0, all_failures = 0, all_errors = 0;
    qint64 all_ms = 0;
    for (const StationRun& run : runs) {
        all_tests += int(run.steps.size()) + (has_outside_case(run) ? 1 : 0);
        all_failures += run.failed_steps();
        all_errors += has_outside_case(run) ? 1 : 0;
        all_ms += run.time_ms;
    }
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeAttribute(QStringLiteral("name"), recipe_name);
    xml.writeAttribute(QStringLiteral("tests"), QString::number(all_tests));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(all_failures));
    xml.writeAttribute(QStringLiteral("errors"), QString::number(all_errors));
    xml.writeAttribute(QStringLiteral("time"), seconds(all_ms));

    for (const StationRun& run : runs) {
        const QString suite = QStringLiteral("station %1").arg(run.station);
        const bool outside = has_outside_case(run);
        xml.writeStartElement(QStringLiteral("testsuite"));
        xml.writeAttribute(QStringLiteral("name"), suite);
        xml.writeAttribute(QStringLiteral("tests"), QString::number(run.steps.size() + (outside ? 1 : 0)));
        xml.writeAttribute(QStringLiteral("failures"), QString::number(run.failed_steps()));
        xml.writeAttribute(QStringLiteral("errors"), QString::number(outside ? 1 : 0));
        xml.writeAttribute(QStringLiteral("skipped"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("time"), seconds(run.time_ms));

        xml.writeStartElement(QStringLiteral("properties"));
        const auto property = [&](const QString& name, const QString& value) {
            xml.writeEmptyElement(QStringLiteral("property"));
            xml.writeAttribute(QStringLiteral("name"), name);
            xml.writeAttribute(QStringLiteral("value"), value);
        };
        property(QStringLiteral("recipe"), recipe_name);
        property(QStringLiteral("station"), QString::number(run.station));
        if (run.aborted)
            property(QStringLiteral("aborted"), *run.aborted);
        if (run.motor_switched_off)
            property(QStringLiteral("motor"), QStringLiteral("switched off (\"EN 0\") after the recipe"));
        xml.writeEndElement();

        for (const Step& step : run.steps) {
            xml.writeStartElement(QStringLiteral("testcase"));
            xml.writeAttribute(QStringLiteral("name"), step.name);
            xml.writeAttribute(QStringLiteral("classname"), suite);
            xml.writeAttribute(QStringLiteral("time"), seconds(step.time_ms));
            if (!step.passed) {
                xml.writeStartElement(QStringLiteral("failure"));
                xml.writeAttribute(QStringLiteral("message"), step.failure_message());
                xml.writeAttribute(QStringLiteral("type"), step.error.isEmpty() ? QStringLiteral("check")
                                                                                : QStringLiteral("exception"));
                QStringList lines;
                for (const Check& c : step.checks)
                    lines << (c.passed ? QStringLiteral("passed: ") : QStringLiteral("FAILED: ")) + c.description();
                if (!step.error.isEmpty())
                    lines << step.error;
                xml.writeCharacters(lines.join(u'\n'));
                xml.writeEndElement();
            }
            if (!step.log.isEmpty())
                xml.writeTextElement(QStringLiteral("system-out"), step.log.join(u'\n'));
            xml.writeEndElement();
        }
        if (outside) {
            xml.writeStartElement(QStringLiteral("testcase"));
            xml.writeAttribute(QStringLiteral("name"), QStringLiteral("(recipe)"));
            xml.writeAttribute(QStringLiteral("classname"), suite);
            xml.writeAttribute(QStringLiteral("time"), seconds(0));
            xml.writeStartElement(QStringLiteral("error"));
            xml.writeAttribute(QStringLiteral("message"), QStringLiteral("aborted: %1").arg(*run.aborted));
            xml.writeEndElement();
            xml.writeEndElement();
        }
        if (!run.log.isEmpty())
            xml.writeTextElement(QStringLiteral("system-out"), run.log.join(u'\n'));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

QJsonObject json_document(const QList<StationRun>& runs)
{
    QJsonArray stations;
    bool all_passed = true;
    for (const StationRun& run : runs) {
        QJsonArray steps;
        for (const Step& step : run.steps) {
            QJsonArray checks;
            for (const Check& c : step.checks) {
                QJsonObject check{{QStringLiteral("name"), c.name},
                                  {QStringLiteral("value"), c.value},
                                  {QStringLiteral("min"), json_or_null(c.min)},
                                  {QStringLiteral("max"), json_or_null(c.max)},
                                  {QStringLiteral("passed"), c.passed}};
                if (!c.equals.isUndefined())
                    check.insert(QStringLiteral("equals"), c.equals);
                checks.append(check);
            }
            QJsonObject s{{QStringLiteral("name"), step.name},
                          {QStringLiteral("passed"), step.passed},
                          {QStringLiteral("time_ms"), step.time_ms},
                          {QStringLiteral("checks"), checks}};
            if (!step.error.isEmpty())
                s.insert(QStringLiteral("error"), step.error);
            steps.append(s);
        }
        all_passed = all_passed && run.passed();
        stations.append(QJsonObject{
            {QStringLiteral("station"), run.station},
            {QStringLiteral("passed"), run.passed()},
            {QStringLiteral("aborted"), run.aborted ? QJsonValue(*run.aborted) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("motor_switched_off"), run.motor_switched_off},
            {QStringLiteral("time_ms"), run.time_ms},
            {QStringLiteral("steps"), steps}});
    }
    return QJsonObject{{QStringLiteral("passed"), all_passed && !runs.isEmpty()},
                       {QStringLiteral("stations"), stations}};
}

QString progress_line(int station, const Step& step)
{
    const QString head = QStringLiteral("station %1: %2: ").arg(station).arg(step.name);
    if (step.passed)
        return head + QStringLiteral("passed (%1 ms)").arg(step.time_ms);
    return head + QStringLiteral("FAILED (%1 ms): %2").arg(step.time_ms).arg(step.failure_message());
}

}  // namespace mivo::recipe

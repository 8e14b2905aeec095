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

bool xml_char(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

// A name or a message from a recipe may hold anything a JavaScript string
// can; a report that a parser refuses would lose the whole run.
QString xml_safe(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else {
            out += xml_char(c.unicode()) ? c : QChar(QChar::ReplacementCharacter);
        }
    }
    return out;
}

// The writer with every text made safe on its way in.
class SafeXml {
public:
    explicit SafeXml(QByteArray* out) : xml_(out) { xml_.setAutoFormatting(true); }
    QXmlStreamWriter& raw() { return xml_; }
    void start(const QString& element) { xml_.writeStartElement(element); }
    void empty(const QString& element) { xml_.writeEmptyElement(element); }
    void end() { xml_.writeEndElement(); }
    void attribute(const QString& name, const QString& value) { xml_.writeAttribute(name, xml_safe(value)); }
    void characters(const QString& text) { xml_.writeCharacters(xml_safe(text)); }
    void text_element(const QString& element, const QString& text) { xml_.writeTextElement(element, xml_safe(text)); }

private:
    QXmlStreamWriter xml_;
};

// The log, then each attachment in the form CI servers' attachment readers
// look for.
QString system_out(const QStringList& log, const QStringList& attachments)
{
    QStringList lines = log;
    for (const QString& path : attachments)
        lines << QStringLiteral("[[ATTACHMENT|%1]]").arg(path);
    return lines.join(u'\n');
}

// A testcase of its own that holds only an <error>.
void error_case(SafeXml& xml, const QString& classname, const QString& message)
{
    xml.start(QStringLiteral("testcase"));
    xml.attribute(QStringLiteral("name"), QStringLiteral("(recipe)"));
    xml.attribute(QStringLiteral("classname"), classname);
    xml.attribute(QStringLiteral("time"), seconds(0));
    xml.start(QStringLiteral("error"));
    xml.attribute(QStringLiteral("message"), message);
    xml.end();
    xml.end();
}

}  // namespace

QString motor_off_unacknowledged_text()
{
    return QStringLiteral("EN 0 was sent but not acknowledged");
}

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

QByteArray junit_xml(const QList<StationRun>& runs, const QString& recipe_name, const QString& not_run)
{
    QByteArray out;
    SafeXml xml(&out);
    xml.raw().writeStartDocument();

    const bool ran_nowhere = !not_run.isEmpty();
    int all_tests = ran_nowhere ? 1 : 0, all_failures = 0, all_errors = ran_nowhere ? 1 : 0;
    qint64 all_ms = 0;
    for (const StationRun& run : runs) {
        all_tests += int(run.steps.size()) + (has_outside_case(run) ? 1 : 0);
        all_failures += run.failed_steps();
        all_errors += has_outside_case(run) ? 1 : 0;
        all_ms += run.time_ms;
    }
    xml.start(QStringLiteral("testsuites"));
    xml.attribute(QStringLiteral("name"), recipe_name);
    xml.attribute(QStringLiteral("tests"), QString::number(all_tests));
    xml.attribute(QStringLiteral("failures"), QString::number(all_failures));
    xml.attribute(QStringLiteral("errors"), QString::number(all_errors));
    xml.attribute(QStringLiteral("time"), seconds(all_ms));

    if (ran_nowhere) {
        const QString suite = QStringLiteral("not run");
        xml.start(QStringLiteral("testsuite"));
        xml.attribute(QStringLiteral("name"), suite);
        xml.attribute(QStringLiteral("tests"), QStringLiteral("1"));
        xml.attribute(QStringLiteral("failures"), QStringLiteral("0"));
        xml.attribute(QStringLiteral("errors"), QStringLiteral("1"));
        xml.attribute(QStringLiteral("skipped"), QStringLiteral("0"));
        xml.attribute(QStringLiteral("time"), seconds(0));
        error_case(xml, suite, QStringLiteral("not run: %1").arg(not_run));
        xml.end();
    }

    for (const StationRun& run : runs) {
        const QString suite = QStringLiteral("station %1").arg(run.station);
        const bool outside = has_outside_case(run);
        xml.start(QStringLiteral("testsuite"));
        xml.attribute(QStringLiteral("name"), suite);
        xml.attribute(QStringLiteral("tests"), QString::number(run.steps.size() + (outside ? 1 : 0)));
        xml.attribute(QStringLiteral("failures"), QString::number(run.failed_steps()));
        xml.attribute(QStringLiteral("errors"), QString::number(outside ? 1 : 0));
        xml.attribute(QStringLiteral("skipped"), QStringLiteral("0"));
        xml.attribute(QStringLiteral("time"), seconds(run.time_ms));

        xml.start(QStringLiteral("properties"));
        const auto property = [&](const QString& name, const QString& value) {
            xml.empty(QStringLiteral("property"));
            xml.attribute(QStringLiteral("name"), name);
            xml.attribute(QStringLiteral("value"), value);
        };
        property(QStringLiteral("recipe"), recipe_name);
        property(QStringLiteral("station"), QString::number(run.station));
        if (run.aborted)
            property(QStringLiteral("aborted"), *run.aborted);
        if (run.motor_switched_off)
            property(QStringLiteral("motor"), QStringLiteral("switched off (\"EN 0\") after the recipe"));
        else if (run.motor_off_unacknowledged())
            property(QStringLiteral("motor"), motor_off_unacknowledged_text());
        xml.end();

        for (const Step& step : run.steps) {
            xml.start(QStringLiteral("testcase"));
            xml.attribute(QStringLiteral("name"), step.name);
            xml.attribute(QStringLiteral("classname"), suite);
            xml.attribute(QStringLiteral("time"), seconds(step.time_ms));
            if (!step.passed) {
                xml.start(QStringLiteral("failure"));
                xml.attribute(QStringLiteral("message"), step.failure_message());
                xml.attribute(QStringLiteral("type"), step.error.isEmpty() ? QStringLiteral("check")
                                                                           : QStringLiteral("exception"));
                QStringList lines;
                for (const Check& c : step.checks)
                    lines << (c.passed ? QStringLiteral("passed: ") : QStringLiteral("FAILED: ")) + c.description();
                if (!step.error.isEmpty())
                    lines << step.error;
                xml.characters(lines.join(u'\n'));
                xml.end();
            }
            if (!step.log.isEmpty() || !step.attachments.isEmpty())
                xml.text_element(QStringLiteral("system-out"), system_out(step.log, step.attachments));
            xml.end();
        }
        if (outside)
            error_case(xml, suite, QStringLiteral("aborted: %1").arg(*run.aborted));
        if (!run.log.isEmpty() || !run.attachments.isEmpty())
            xml.text_element(QStringLiteral("system-out"), system_out(run.log, run.attachments));
        xml.end();
    }
    xml.end();
    xml.raw().writeEndDocument();
    return out;
}

QJsonObject json_document(const QList<StationRun>& runs, const QString& not_run)
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
            if (!step.attachments.isEmpty())
                s.insert(QStringLiteral("attachments"), QJsonArray::fromStringList(step.attachments));
            steps.append(s);
        }
        all_passed = all_passed && run.passed();
        stations.append(QJsonObject{
            {QStringLiteral("station"), run.station},
            {QStringLiteral("passed"), run.passed()},
            {QStringLiteral("aborted"), run.aborted ? QJsonValue(*run.aborted) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("motor_switched_off"), run.motor_switched_off},
            {QStringLiteral("motor_off_sent"), run.motor_off_sent},
            {QStringLiteral("time_ms"), run.time_ms},
            {QStringLiteral("steps"), steps}});
    }
    QJsonObject document{{QStringLiteral("passed"), all_passed && !runs.isEmpty() && not_run.isEmpty()},
                         {QStringLiteral("stations"), stations}};
    if (!not_run.isEmpty())
        document.insert(QStringLiteral("error"), not_run);
    return document;
}

QString progress_line(int station, const Step& step)
{
    const QString head = QStringLiteral("station %1: %2: ").arg(station).arg(step.name);
    if (step.passed)
        return head + QStringLiteral("passed (%1 ms)").arg(step.time_ms);
    return head + QStringLiteral("FAILED (%1 ms): %2").arg(step.time_ms).arg(step.failure_message());
}

}  // namespace mivo::recipe

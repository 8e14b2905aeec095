// mivo-report-pdf FILE: a stored run's report as PDF, the run as JSON on
// standard input. The tool runs it so that it needs neither Qt Gui nor a
// display itself.
#include "results/report_pdf.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Drawing a PDF needs no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: mivo-report-pdf FILE < run.json\n");
        return 2;
    }
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return 2;
    QJsonParseError error{};
    const QJsonDocument run = QJsonDocument::fromJson(in.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !run.isObject()) {
        std::fprintf(stderr, "mivo-report-pdf: the run is not a JSON object: %s\n", qPrintable(error.errorString()));
        return 2;
    }
    if (const QString failed = mivo::results::write_report_pdf(run.object(), app.arguments().at(1)); !failed.isEmpty()) {
        std::fprintf(stderr, "mivo-report-pdf: %s\n", qPrintable(failed));
        return 1;
    }
    return 0;
}

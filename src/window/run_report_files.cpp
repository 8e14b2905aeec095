#include "window/run_report_files.h"

#include "link/whole_file.h"
#include "results/report_pdf.h"
#include "results/run_document.h"
#include "results/run_finder.h"
#include "results/results_store.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace mivo {

void save_run_report(QWidget& parent, results::ResultsStore& store, qint64 id, RunReportKind kind)
{
    const bool pdf = kind == RunReportKind::Pdf;
    const QString title = pdf ? QStringLiteral("Save Report") : QStringLiteral("Save JUnit Report");
    results::RunFinder finder(store);
    const std::optional<results::StoredRun> run = finder.load(id);
    if (!run) {
        QMessageBox::warning(&parent, title,
                             store.error().isEmpty() ? QStringLiteral("Run %1 is not in the store.").arg(id)
                                                     : QStringLiteral("The store cannot be read: %1").arg(store.error()));
        return;
    }
    const QString suffix = pdf ? QStringLiteral("pdf") : QStringLiteral("xml");
    QString path = QFileDialog::getSaveFileName(
        &parent, title, QStringLiteral("%1-%2.%3").arg(run->start.serial).arg(id).arg(suffix),
        pdf ? QStringLiteral("PDF (*.pdf)") : QStringLiteral("JUnit XML (*.xml)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += u'.' + suffix;
    QString error;
    if (pdf) {
        error = results::write_report_pdf(results::run_json(*run), path);
    } else {
        WholeFile file(path);
        if (!file.open() || !file.write(results::run_junit(*run)) || !file.commit())
            error = file.error();
    }
    if (!error.isEmpty())
        QMessageBox::warning(&parent, title, QStringLiteral("The report was not saved: %1").arg(error));
}

}  // namespace mivo

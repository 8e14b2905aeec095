#pragma once

#include <QString>

class QWidget;

namespace mivo {

namespace results {
class ResultsStore;
}

// A stored run's report saved where the user says: "Report..." of the
// station panel and the results' "Save PDF..." and "Save JUnit...".
enum class RunReportKind { Pdf, Junit };
void save_run_report(QWidget& parent, results::ResultsStore& store, qint64 id, RunReportKind kind);

}  // namespace mivo

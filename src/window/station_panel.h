#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace mivo {

class Console;
namespace recipe {
class RecipeRun;
}
namespace results {
class ResultsStore;
}

// Station mode: a unit's serial number scanned into the box (a barcode
// scanner types it and Enter) runs the recipe on the selected station and
// records the run. The verdict stays in large letters with the serial
// number and the first failed check until the next unit; the session's
// units are listed, each with its PDF report. A number entered while a unit
// is under test is refused with a message: the scan of a unit that is not
// yet on the bench would otherwise run later without anyone watching.
class StationPanel : public QDialog {
    Q_OBJECT
    // The verdict shown: PASSED, FAILED, ABORTED, or empty before the first.
    Q_PROPERTY(QString verdict READ verdict)
public:
    struct Setup {
        QString recipe;
        QString operator_name;
        std::function<QString()> port;  // what "Comm" holds
        // Told the run under way, and nullptr when it has ended: the window
        // stops it before it closes.
        std::function<void(recipe::RecipeRun*)> running;
    };
    StationPanel(Console& console, std::unique_ptr<results::ResultsStore> store, Setup setup, QWidget* parent = nullptr);
    ~StationPanel() override;

    QString verdict() const { return verdict_text_; }
    // Closing the panel while a unit is under test stops the run instead.
    void reject() override;

private:
    void entered();
    void run_unit(const QString& serial);
    void show_verdict(const QString& verdict, const QString& serial, const QString& detail, bool passed);
    void report();

    Console& console_;
    std::unique_ptr<results::ResultsStore> store_;
    Setup setup_;
    recipe::RecipeRun* run_ = nullptr;
    QString verdict_text_;
    QLineEdit* serial_;
    QLabel* verdict_;
    QLabel* unit_;
    QLabel* note_;
    QTreeWidget* units_;
    QPushButton* report_;
};

}  // namespace mivo

#pragma once

#include <QDialog>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace mivo {

namespace results {
class ResultsStore;
}

// "Results...": runs found in a store by serial number, recipe, verdict
// and time; a run's steps and checks, and its PDF or JUnit report.
class ResultsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ResultsDialog(const QString& store, QWidget* parent = nullptr);
    ~ResultsDialog() override;

private:
    void find();
    void show_run();
    void save(bool pdf);
    qint64 current_id() const;

    std::unique_ptr<results::ResultsStore> store_;
    QLineEdit* address_;
    QLineEdit* serial_;
    QLineEdit* recipe_;
    QLineEdit* since_;
    QLineEdit* until_;
    QCheckBox* failed_;
    QLabel* note_;
    QTreeWidget* runs_;
    QTreeWidget* steps_;
    QPushButton* pdf_;
    QPushButton* junit_;
};

}  // namespace mivo

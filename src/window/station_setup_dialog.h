#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace mivo {

// "Station Mode...": the recipe (an existing file), the results store (a
// new or existing file, or a postgresql:// address) and the operator.
class StationSetupDialog : public QDialog {
    Q_OBJECT
public:
    explicit StationSetupDialog(QWidget* parent = nullptr);

    QString recipe() const;
    QString store() const;
    QString operator_name() const;

    // Refuses what cannot work and says why.
    void accept() override;

private:
    QLineEdit* recipe_;
    QLineEdit* store_;
    QLineEdit* operator_;
};

}  // namespace mivo

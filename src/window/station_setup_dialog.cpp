#include "window/station_setup_dialog.h"

#include "results/station_record.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace mivo {

namespace {

QWidget* with_browse(QLineEdit* edit, const QString& name, const std::function<void()>& browse, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* button = new QPushButton(QStringLiteral("Browse..."), row);
    button->setObjectName(name);
    QObject::connect(button, &QPushButton::clicked, row, browse);
    layout->addWidget(edit, 1);
    layout->addWidget(button);
    return row;
}

}  // namespace

StationSetupDialog::StationSetupDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("station_setup"));
    setWindowTitle(QStringLiteral("Station Mode"));
    recipe_ = new QLineEdit(this);
    recipe_->setObjectName(QStringLiteral("station_recipe"));
    store_ = new QLineEdit(this);
    store_->setObjectName(QStringLiteral("station_store"));
    store_->setPlaceholderText(QStringLiteral("a file, or postgresql://[USER@]HOST[:PORT]/DB"));
    operator_ = new QLineEdit(results::StationRecord::login_name(), this);
    operator_->setObjectName(QStringLiteral("station_operator"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Recipe:"), with_browse(recipe_, QStringLiteral("cmd_station_recipe_browse"), [this] {
                     const QString path = QFileDialog::getOpenFileName(
                         this, QStringLiteral("Recipe"), recipe_->text(), QStringLiteral("Test recipes (*.js);;All files (*)"));
                     if (!path.isEmpty())
                         recipe_->setText(path);
                 }, this));
    form->addRow(QStringLiteral("Results store:"), with_browse(store_, QStringLiteral("cmd_station_store_browse"), [this] {
                     const QString path = QFileDialog::getSaveFileName(
                         this, QStringLiteral("Results Store"), store_->text(),
                         QStringLiteral("Results stores (*.db *.sqlite);;All files (*)"), nullptr,
                         QFileDialog::DontConfirmOverwrite);
                     if (!path.isEmpty())
                         store_->setText(path);
                 }, this));
    form->addRow(QStringLiteral("Operator:"), operator_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(520);
}

QString StationSetupDialog::recipe() const
{
    return recipe_->text().trimmed();
}

QString StationSetupDialog::store() const
{
    return store_->text().trimmed();
}

QString StationSetupDialog::operator_name() const
{
    return operator_->text().trimmed();
}

void StationSetupDialog::accept()
{
    QString refused;
    if (!QFileInfo(recipe()).isFile())
        refused = QStringLiteral("The recipe \"%1\" is not a file.").arg(recipe());
    else if (store().isEmpty())
        refused = QStringLiteral("Name the results store: a file, or postgresql://[USER@]HOST[:PORT]/DB.");
    else if (const QString why = results::StationRecord::serial_refusal(operator_name()); !why.isEmpty())
        refused = QStringLiteral("The operator's name is 1 to 64 printable characters.");
    if (!refused.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Station Mode"), refused);
        return;
    }
    QDialog::accept();
}

}  // namespace mivo

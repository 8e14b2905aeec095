#pragma once

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <functional>

// Reads and closes the console's message boxes as a user would: whenever a
// modal box is up, its text is recorded and its OK button clicked.
class MessageCatcher : public QObject {
public:
    MessageCatcher()
    {
        timer_.setInterval(2);
        connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start();
    }

    QStringList texts;
    // Called with each message while its box is still up.
    std::function<void(const QString&)> on_message;
    // The answer to a question box (Yes or No).
    bool answer_yes = true;
    // The file chosen in a file dialog.
    QString file_to_choose;
    // A dialog the test itself reads and closes (by object name).
    QString leave_open;

    QStringList take()
    {
        QStringList t = texts;
        texts.clear();
        return t;
    }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal == handled_
            || (!leave_open.isEmpty() && modal->objectName() == leave_open))
            return;
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            handled_ = modal;
            files->selectFile(file_to_choose);
            static_cast<QDialog*>(files)->accept();  // as the Save or Open button does
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(modal);
        // Another dialog (a report) is read by its "summary" property or its
        // title, and accepted.
        const QString text = box ? box->text()
                             : modal->property("summary").isValid() ? modal->property("summary").toString()
                                                                    : modal->windowTitle();
        handled_ = modal;
        texts << text;
        if (on_message)
            on_message(text);
        if (!box) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->accept();
        } else if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
            ok->click();
        } else {
            box->button(answer_yes ? QMessageBox::Yes : QMessageBox::No)->click();
        }
    }

    QTimer timer_;
    QPointer<QWidget> handled_;
};

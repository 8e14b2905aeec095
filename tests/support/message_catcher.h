#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

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

    QStringList take()
    {
        QStringList t = texts;
        texts.clear();
        return t;
    }

private:
    void poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box == handled_)
            return;
        handled_ = box;
        texts << box->text();
        box->button(QMessageBox::Ok)->click();
    }

    QTimer timer_;
    QPointer<QMessageBox> handled_;
};

#pragma once

#include <QApplication>
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
        if (on_message)
            on_message(box->text());
        box->button(QMessageBox::Ok)->click();
    }

    QTimer timer_;
    QPointer<QMessageBox> handled_;
};

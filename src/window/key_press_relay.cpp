#include "window/key_press_relay.h"

#include <QKeyEvent>
#include <QObject>
#include <QWidget>

namespace mivo {

namespace {

class KeyPressRelay : public QObject {
public:
    KeyPressRelay(QWidget* box, std::function<void(qint16)> handler) : QObject(box), handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        qint16 code = 0;
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            return false;  // moves the focus on; not typed into the box
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            code = 13;
        else if (!key->text().isEmpty())
            code = static_cast<qint16>(key->text().at(0).unicode());
        else
            return false;  // not a character key
        handler_(code);
        return false;  // the box still gets the key
    }

private:
    std::function<void(qint16)> handler_;
};

}  // namespace

void relay_key_presses(QWidget* box, std::function<void(qint16)> handler)
{
    box->installEventFilter(new KeyPressRelay(box, std::move(handler)));
}

}  // namespace mivo

#include "link/line_port.h"

#include "link/network_port.h"
#include "link/port_name.h"
#include "link/system_serial_port.h"

namespace mivo {

LinePort::LinePort(QObject* parent) : SerialPort(parent) {}

LinePort::~LinePort() = default;

bool LinePort::open(const QString& port_name, const QString& settings)
{
    if (port_ && port_->isOpen()) {
        error_text_ = QStringLiteral("The port is open already");
        return false;
    }
    const bool network = names_network_line(port_name);
    if (!port_ || network != network_) {
        // The old one may be inside its own open (a cancelled one): it goes
        // once control is back in the event loop.
        if (port_)
            port_.release()->deleteLater();
        if (network)
            port_ = std::make_unique<NetworkPort>();
        else
            port_ = std::make_unique<SystemSerialPort>();
        connect(port_.get(), &SerialPort::lost, this, &SerialPort::lost);
        network_ = network;
    }
    const bool opened = port_->open(port_name, settings);
    error_text_ = opened ? QString() : port_->errorText();
    return opened;
}

void LinePort::close()
{
    if (port_)
        port_->close();
}

bool LinePort::isOpen() const
{
    return port_ && port_->isOpen();
}

void LinePort::write(const QByteArray& bytes)
{
    if (port_)
        port_->write(bytes);
}

QByteArray LinePort::readAll()
{
    return port_ ? port_->readAll() : QByteArray();
}

bool LinePort::waitForInput(std::chrono::nanoseconds limit)
{
    return port_ && port_->waitForInput(limit);
}

QString LinePort::errorText() const
{
    return error_text_;
}

}  // namespace mivo

#pragma once

#include "link/serial_port.h"

#include <memory>

class QSerialPort;

namespace mivo {

// SerialPort on top of QSerialPort, usable without a running event loop:
// the console reads and writes from inside waits that process no events.
class SystemSerialPort final : public SerialPort {
    Q_OBJECT
public:
    explicit SystemSerialPort(QObject* parent = nullptr);
    ~SystemSerialPort() override;

    bool open(const QString& port_name, const QString& settings) override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    bool waitForInput(std::chrono::nanoseconds limit) override;
    QString errorText() const override;

private:
    void on_error(int error);
    // False when another program holds the device.
    bool lock_device(const QString& port_name);
    void unlock_device();

    std::unique_ptr<QSerialPort> port_;
    QString error_text_;
    int lock_fd_ = -1;  // a descriptor of the device that holds its lock
};

}  // namespace mivo

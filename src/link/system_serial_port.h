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
    QString errorText() const override;

private:
    void on_error(int error);

    std::unique_ptr<QSerialPort> port_;
    QString error_text_;
};

}  // namespace mivo

#pragma once

#include "link/serial_port.h"

#include <memory>

namespace mivo {

// The port a name stands for: "tcp://HOST:PORT" and "rfc2217://HOST:PORT"
// a device server on the network, any other name a local device. The rest
// of the program holds this one object and never learns which it is.
class LinePort final : public SerialPort {
    Q_OBJECT
public:
    explicit LinePort(QObject* parent = nullptr);
    ~LinePort() override;

    bool open(const QString& port_name, const QString& settings) override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    bool waitForInput(std::chrono::nanoseconds limit) override;
    QString errorText() const override;

    // Whether the port last opened (or being opened) is on the network.
    bool on_network() const { return network_; }

private:
    std::unique_ptr<SerialPort> port_;
    bool network_ = false;
    QString error_text_;
};

}  // namespace mivo

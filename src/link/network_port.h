#pragma once

#include "link/port_name.h"
#include "link/serial_port.h"
#include "link/telnet_framing.h"

#include <memory>

class QTcpSocket;

namespace mivo {

// SerialPort on a TCP connection to a device server: the line's bytes raw,
// or in telnet with the COM-PORT option. Like the local port it reads and
// writes from inside waits that process no events; opening processes them,
// so that a window stays alive while a name resolves or a server is slow.
class NetworkPort final : public SerialPort {
    Q_OBJECT
public:
    static constexpr int kLookupLimitMs = 10000;
    static constexpr int kConnectLimitMs = 5000;
    // A server that goes away without a word (power, cable) is noticed
    // within about this much.
    static constexpr int kSilentLossMs = 3000;

    explicit NetworkPort(QObject* parent = nullptr);
    ~NetworkPort() override;

    bool open(const QString& port_name, const QString& settings) override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    bool waitForInput(std::chrono::nanoseconds limit) override;
    QString errorText() const override;

private:
    bool connect_to(const NetworkAddress& address);
    void lose(const QString& reason);
    // Sends what the telnet side owes the server.
    void answer_server();

    std::unique_ptr<QTcpSocket> socket_;
    bool telnet_ = false;
    bool open_ = false;
    bool opening_ = false;
    TelnetFraming framing_;
    QString error_text_;
};

}  // namespace mivo

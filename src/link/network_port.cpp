#include "link/network_port.h"

#include "link/line_settings.h"
#include "link/pending_input.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace mivo {

namespace {

// A server that goes away without closing the connection is noticed by the
// system within NetworkPort::kSilentLossMs, whether data waits to go out or
// the line is quiet.
void notice_silent_loss(QTcpSocket& socket)
{
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const int fd = static_cast<int>(socket.socketDescriptor());
    const int idle_s = 1, interval_s = 1, probes = 2, unacked_ms = NetworkPort::kSilentLossMs;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle_s, sizeof idle_s);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval_s, sizeof interval_s);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacked_ms, sizeof unacked_ms);
#endif
}

TelnetFraming::Line telnet_line(const LineSettings& s)
{
    TelnetFraming::Line line;
    line.baud_rate = quint32(s.baud_rate);
    line.data_size = quint8(s.data_bits);
    switch (s.parity) {
    case QSerialPort::OddParity: line.parity = 2; break;
    case QSerialPort::EvenParity: line.parity = 3; break;
    case QSerialPort::MarkParity: line.parity = 4; break;
    case QSerialPort::SpaceParity: line.parity = 5; break;
    default: line.parity = 1; break;
    }
    line.stop_size = s.stop_bits == QSerialPort::TwoStop ? 2 : s.stop_bits == QSerialPort::OneAndHalfStop ? 3 : 1;
    return line;
}

}  // namespace

NetworkPort::NetworkPort(QObject* parent) : SerialPort(parent) {}

NetworkPort::~NetworkPort()
{
    open_ = false;
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
    }
}

bool NetworkPort::open(const QString& port_name, const QString& settings)
{
    error_text_.clear();
    if (open_ || opening_) {
        error_text_ = QStringLiteral("The port is open already");
        return false;
    }
    QString why;
    const std::optional<NetworkAddress> address = network_address(port_name, &why);
    if (!address) {
        error_text_ = QStringLiteral("Bad network address: %1").arg(why);
        return false;
    }
    const auto line = parse_line_settings(settings);
    if (!line) {
        error_text_ = QStringLiteral("Bad line settings \"%1\"").arg(settings);
        return false;
    }
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
    }
    socket_ = std::make_unique<QTcpSocket>();
    socket_->setReadBufferSize(kReadCapBytes);
    telnet_ = address->telnet;
    if (!connect_to(*address))
        return false;

    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    notice_silent_loss(*socket_);
    connect(socket_.get(), &QAbstractSocket::disconnected, this, [this] {
        // The system gave up on a server that stopped taking our bytes (its
        // window stayed shut) or answering its probes: it did not hang up.
        // That timeout is the one error the handler below lets pass.
        const bool timed_out = socket_->error() == QAbstractSocket::SocketTimeoutError;
        const bool unsent = socket_->bytesToWrite() > 0;
        lose(timed_out || unsent ? QStringLiteral("the server stopped answering")
                                 : QStringLiteral("the server closed the connection"));
    });
    connect(socket_.get(), &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // Every empty waitForReadyRead(0) raises the timeout error.
        if (error != QAbstractSocket::SocketTimeoutError)
            lose(socket_->errorString());
    });
    open_ = true;
    if (telnet_) {
        framing_ = TelnetFraming();
        // Before the first byte of the line; no answer is awaited.
        const QByteArray opening = framing_.opening(telnet_line(*line));
        socket_->write(opening);
        while (open_ && socket_->bytesToWrite() > 0 && socket_->waitForBytesWritten(kWriteDrainLimitMs)) {
        }
        if (!open_)
            error_text_ = QStringLiteral("The server ended the connection at once");
    }
    return open_;
}

bool NetworkPort::connect_to(const NetworkAddress& address)
{
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    // A coarse timer may fire early; the limits are promised.
    limit.setTimerType(Qt::PreciseTimer);
    bool timed_out = false;
    connect(&limit, &QTimer::timeout, &loop, [&] {
        timed_out = true;
        loop.quit();
    });
    connect(socket_.get(), &QAbstractSocket::stateChanged, &loop, [&](QAbstractSocket::SocketState state) {
        // The name has its own limit; the connection's counts from here.
        if (state == QAbstractSocket::ConnectingState)
            limit.start(kConnectLimitMs);
        else if (state == QAbstractSocket::ConnectedState || state == QAbstractSocket::UnconnectedState)
            loop.quit();
    });
    const QAbstractSocket::SocketState start_state = QAbstractSocket::HostLookupState;
    limit.start(kLookupLimitMs);
    opening_ = true;
    socket_->connectToHost(address.host, address.port);
    // Events are processed meanwhile: a window stays alive, and "Close" or
    // the end of the program can still cancel.
    if (socket_->state() != QAbstractSocket::ConnectedState && socket_->state() != QAbstractSocket::UnconnectedState)
        loop.exec();
    opening_ = false;
    const QAbstractSocket::SocketState reached = socket_->state();
    socket_->disconnect(&loop);
    if (reached == QAbstractSocket::ConnectedState)
        return true;
    const QString where = address.host.contains(u':') ? QStringLiteral("[%1]:%2").arg(address.host).arg(address.port)
                                                       : QStringLiteral("%1:%2").arg(address.host).arg(address.port);
    if (timed_out && reached == start_state)
        error_text_ = QStringLiteral("The name %1 did not resolve within %2 s").arg(address.host).arg(kLookupLimitMs / 1000);
    else if (timed_out)
        error_text_ = QStringLiteral("%1 did not accept a connection within %2 s").arg(where).arg(kConnectLimitMs / 1000);
    else if (error_text_.isEmpty())
        error_text_ = QStringLiteral("%1: %2").arg(where, socket_->errorString());
    socket_->abort();
    return false;
}

void NetworkPort::close()
{
    const bool was_opening = opening_;
    open_ = false;
    if (!socket_)
        return;
    if (was_opening)
        error_text_ = QStringLiteral("The opening was cancelled");
    socket_->disconnect(this);
    socket_->abort();
}

bool NetworkPort::isOpen() const
{
    return open_;
}

void NetworkPort::lose(const QString& reason)
{
    if (!open_)
        return;
    open_ = false;
    socket_->disconnect(this);
    socket_->abort();
    emit lost(reason);
}

void NetworkPort::write(const QByteArray& bytes)
{
    if (!open_)
        return;
    socket_->write(telnet_ ? TelnetFraming::encode(bytes) : bytes);
    // The caller waits without the event loop that would send them.
    while (open_ && socket_->bytesToWrite() > 0) {
        if (!socket_->waitForBytesWritten(kWriteDrainLimitMs))
            break;
    }
}

QByteArray NetworkPort::readAll()
{
    if (!open_)
        return {};
    QByteArray data = socket_->read(kReadCapBytes);
    // What arrived since the last event-loop pass is still in the system;
    // fetch it without waiting. waitForReadyRead(0) also notices the end of
    // the connection, which then reports the loss through disconnected.
    while (open_ && data.size() < kReadCapBytes && system_has_input(socket_->socketDescriptor()) && socket_->waitForReadyRead(0))
        data += socket_->read(kReadCapBytes - data.size());
    if (!telnet_)
        return data;
    const QByteArray line = framing_.decode(data);
    answer_server();
    return line;
}

bool NetworkPort::waitForInput(std::chrono::nanoseconds limit)
{
    if (!open_)
        return false;
    if (socket_->bytesAvailable() > 0)
        return true;
#ifdef Q_OS_UNIX
    // On the descriptor: an empty waitForReadyRead() would leave the timeout
    // error behind, which a later loss would be taken for.
    return wait_for_system_input(socket_->socketDescriptor(), limit);
#else
    return socket_->waitForReadyRead(int(std::chrono::ceil<std::chrono::milliseconds>(limit).count()));
#endif
}

void NetworkPort::answer_server()
{
    const QByteArray answers = framing_.take_answers();
    if (answers.isEmpty() || !open_)
        return;
    socket_->write(answers);
    while (open_ && socket_->bytesToWrite() > 0 && socket_->waitForBytesWritten(kWriteDrainLimitMs)) {
    }
}

QString NetworkPort::errorText() const
{
    return error_text_;
}

}  // namespace mivo

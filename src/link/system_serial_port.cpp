#include "link/system_serial_port.h"

#include "link/line_settings.h"
#include "link/pending_input.h"

#include <QFile>
#include <QSerialPort>

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace mivo {

bool SystemSerialPort::lock_device(const QString& port_name)
{
#ifdef Q_OS_UNIX
    // One program on a port at a time: the lock is on the device itself, so
    // a second name for it (a symbolic link, /dev/serial/by-id/...) meets it
    // too, and it holds against root as well, which TIOCEXCL does not. It is
    // taken before the port is set up, so that a refused second program
    // changes nothing of the first one's line.
    const QString path = port_name.startsWith(u'/') ? port_name : QStringLiteral("/dev/") + port_name;
    unlock_device();
    lock_fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (lock_fd_ < 0)
        return true;  // the port's own open tells why it cannot be had
    if (::flock(lock_fd_, LOCK_EX | LOCK_NB) == 0)
        return true;
    const bool busy = errno == EWOULDBLOCK;
    unlock_device();
    return !busy;
#else
    Q_UNUSED(port_name);
    return true;  // the system opens a port for one program only
#endif
}

void SystemSerialPort::unlock_device()
{
#ifdef Q_OS_UNIX
    if (lock_fd_ >= 0)
        ::close(lock_fd_);
    lock_fd_ = -1;
#endif
}

SystemSerialPort::SystemSerialPort(QObject* parent) : SerialPort(parent), port_(std::make_unique<QSerialPort>())
{
    connect(port_.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) { on_error(error); });
}

SystemSerialPort::~SystemSerialPort()
{
    port_->disconnect(this);
    port_->close();
    unlock_device();
}

bool SystemSerialPort::open(const QString& port_name, const QString& settings)
{
    error_text_.clear();
    const auto line = parse_line_settings(settings);
    if (!line) {
        error_text_ = QStringLiteral("Bad line settings \"%1\"").arg(settings);
        return false;
    }
    if (!lock_device(port_name)) {
        error_text_ = QStringLiteral("The port is in use by another program");
        return false;
    }
    port_->setPortName(port_name);
    port_->setBaudRate(line->baud_rate);
    port_->setParity(line->parity);
    port_->setDataBits(line->data_bits);
    port_->setStopBits(line->stop_bits);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    // Unsolicited bytes (a streaming drive, a noisy cable) stop at this
    // buffer instead of growing the console; a drive's replies are tiny.
    port_->setReadBufferSize(kReadCapBytes);
    if (!port_->open(QIODevice::ReadWrite)) {
        error_text_ = port_->errorString();
        unlock_device();
        return false;
    }
    return true;
}

void SystemSerialPort::close()
{
    if (port_->isOpen())
        port_->close();
    unlock_device();
}

bool SystemSerialPort::isOpen() const
{
    return port_->isOpen();
}

void SystemSerialPort::write(const QByteArray& bytes)
{
    if (!port_->isOpen())
        return;
    port_->write(bytes);
    // QSerialPort only buffers; push the bytes out now, since the caller
    // waits without running the event loop that would otherwise send them.
    while (port_->isOpen() && port_->bytesToWrite() > 0) {
        if (!port_->waitForBytesWritten(kWriteDrainLimitMs))
            break;
    }
}

QByteArray SystemSerialPort::readAll()
{
    if (!port_->isOpen())
        return {};
    QByteArray data = port_->read(kReadCapBytes);
    // Bytes that arrived since the last event-loop pass are still in the
    // system; fetch them without waiting, but only what is there now and up
    // to the cap. waitForReadyRead(0) also notices a hang-up, which then
    // closes the port through on_error.
    while (data.size() < kReadCapBytes && port_->isOpen() && system_has_input(qintptr(port_->handle()))
           && port_->waitForReadyRead(0))
        data += port_->read(kReadCapBytes - data.size());
    return data;
}

bool SystemSerialPort::waitForInput(std::chrono::nanoseconds limit)
{
    if (!port_->isOpen())
        return false;
    if (port_->bytesAvailable() > 0)
        return true;
#ifdef Q_OS_UNIX
    // On the descriptor itself: no timeout error when nothing comes.
    return wait_for_system_input(qintptr(port_->handle()), limit);
#else
    return port_->waitForReadyRead(int(std::chrono::ceil<std::chrono::milliseconds>(limit).count()));
#endif
}

QString SystemSerialPort::errorText() const
{
    return error_text_;
}

void SystemSerialPort::on_error(int error)
{
    // NoError comes with every open, TimeoutError with every empty
    // waitForReadyRead(0): neither says anything about the line.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (!port_->isOpen())
        return;
    // A vanished device keeps raising this error on every event-loop pass
    // until the port is closed, so close it at once.
    const QString reason = port_->errorString();
    port_->close();
    unlock_device();
    emit lost(reason);
}

}  // namespace mivo

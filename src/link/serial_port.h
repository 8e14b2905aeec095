#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>

namespace mivo {

// The console's view of a serial port: everything the rest of the program
// uses of it. The window holds one instance, named MSComm1.
class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // Opens the port with a settings text such as "115200,N,8,1". On failure
    // returns false and leaves the system's reason in errorText().
    virtual bool open(const QString& port_name, const QString& settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // The bytes are on the line when this returns: callers go on to wait
    // without processing events, and nothing would send them meanwhile.
    virtual void write(const QByteArray& bytes) = 0;

    // What has been received since the previous read, up to kReadCapBytes;
    // never waits. A line that keeps sending cannot hold a read, nor grow
    // the console: beyond the cap the bytes wait for the next read.
    static constexpr qsizetype kReadCapBytes = 16 * 1024;
    virtual QByteArray readAll() = 0;

    // Blocks until there is something for readAll() (bytes, or the line's
    // end, which that read then notices) or limit has passed, and tells
    // whether something came; processes no events. The fast exchange waits
    // here, so that a reply is taken the moment it arrives without a loop
    // that looks for it. Something that readAll() turns into no bytes (a
    // telnet server's negotiation) may also end the wait.
    virtual bool waitForInput(std::chrono::nanoseconds limit) = 0;

    virtual QString errorText() const = 0;

signals:
    // The port went away under us (adapter pulled, peer hung up). It is
    // already closed when this is emitted, and it is emitted once per loss.
    void lost(const QString& reason);
};

}  // namespace mivo

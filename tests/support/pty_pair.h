#pragma once

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal whose slave side the console opens as its serial port;
// the test plays the line on the master side.
class PtyPair {
public:
    PtyPair()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) == 0) {
            termios t{};
            ::tcgetattr(slave, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(slave, TCSANOW, &t);
            ::close(slave);
            path_ = QString::fromLocal8Bit(name);
        }
    }
    ~PtyPair() { hang_up(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && !path_.isEmpty(); }
    const QString& path() const { return path_; }

    void send(const QByteArray& bytes) { [[maybe_unused]] auto n = ::write(master_, bytes.data(), bytes.size()); }

    // What the console wrote, waiting up to timeout_ms for the first byte.
    QByteArray receive(int timeout_ms = 200)
    {
        QByteArray out;
        pollfd pfd{master_, POLLIN, 0};
        while (::poll(&pfd, 1, out.isEmpty() ? timeout_ms : 20) > 0 && (pfd.revents & POLLIN)) {
            char buf[512];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, n);
        }
        return out;
    }

    // The far end goes away, as when a USB adapter is pulled.
    void hang_up()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    QString path_;
};

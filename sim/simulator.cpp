#include "simulator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace mivo::sim {

namespace {

// A drive keeps at most this much of a line; the rest of an overlong line is dropped.
constexpr std::size_t kMaxLine = 4096;

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void close_fd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

Simulator::Simulator(SimOptions options, bool keep_log_in_memory)
    : options_(std::move(options)),
      log_(options_.log_file, keep_log_in_memory),
      store_(options_.state_file)
{
    for (const int number : options_.stations) {
        stations_.push_back(Station{number, Drive(options_.home_ms, options_.save_ms, options_.motion), {}, 0, 0});
        store_.restore(number, stations_.back().drive);
    }
    try {
        open_line();
        if (!options_.link.empty())
            publish_link();
    } catch (...) {
        close_line();
        close_fd(stop_fd_);
        throw;
    }
}

Simulator::~Simulator()
{
    close();
    close_fd(stop_fd_);
}

void Simulator::close()
{
    remove_link();
    close_line();
}

void Simulator::open_line()
{
    stop_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (stop_fd_ < 0)
        fail("eventfd");
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        fail("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0)
        fail("cannot unlock the pseudo-terminal");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0)
        fail("ptsname");
    device_ = name;

    // Raw before anyone can open it: no echo of what the drives send, no CR/LF mapping.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0)
        fail("cannot open " + device_);
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0)
        fail("tcgetattr");
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(slave_, TCSANOW, &tio) != 0)
        fail("tcsetattr");

    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) < 0)
        fail("fcntl");

    // Without it the line still works; only stale output is not dropped on reopen.
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ >= 0 && inotify_add_watch(inotify_, name, IN_OPEN | IN_CLOSE) < 0)
        close_fd(inotify_);
}

void Simulator::publish_link()
{
    const std::string& link = options_.link;
    struct stat st{};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        throw std::runtime_error(link + " exists and is not a symbolic link");
    static std::atomic<unsigned> serial{0};
    const std::string tmp = link + ".new." + std::to_string(getpid()) + "." + std::to_string(serial++);
    ::unlink(tmp.c_str());
    if (symlink(device_.c_str(), tmp.c_str()) != 0)
        fail("cannot create " + tmp);
    if (std::rename(tmp.c_str(), link.c_str()) != 0) {
        const int saved = errno;
        ::unlink(tmp.c_str());
        errno = saved;
        fail("cannot publish " + link);
    }
    link_published_ = true;
}

void Simulator::remove_link()
{
    if (!link_published_)
        return;
    link_published_ = false;
    char target[256];
    const ssize_t n = readlink(options_.link.c_str(), target, sizeof target);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == device_)
        ::unlink(options_.link.c_str());  // only if nobody has put another line there
}

void Simulator::close_line()
{
    close_fd(master_);
    close_fd(slave_);
    close_fd(inotify_);
}

void Simulator::hang_up()
{
    // The pts name may be reused by another terminal once the master is closed, so
    // the link goes first. Closing the master hangs up the slave: the client's reads
    // end and its writes fail.
    remove_link();
    close_line();
    replies_.clear();
    out_.clear();
    for (auto& station : stations_)
        station.inbox.clear();
    hung_up_ = true;
}

void Simulator::request_stop() noexcept
{
    const std::uint64_t one = 1;
    if (::write(stop_fd_, &one, sizeof one) < 0) {
        // Only fails when the counter is already full: a stop is pending anyway.
    }
}

void Simulator::run()
{
    while (!hung_up_) {
        // Before anything is sent: a client that opened the port before its line
        // was read is known by the time the reply to that line is due.
        read_client_events();
        const double now = monotonic_ms();
        for (auto& station : stations_)
            work(station, now);
        send_due_replies(now);

        pollfd fds[3]{};
        fds[0] = {stop_fd_, POLLIN, 0};
        fds[1] = {master_, static_cast<short>(POLLIN | (out_.empty() ? 0 : POLLOUT)), 0};
        nfds_t count = 2;
        if (inotify_ >= 0)
            fds[count++] = {inotify_, POLLIN, 0};

        timespec wait{};
        timespec* timeout = nullptr;  // nothing due: sleep until something happens
        if (const double deadline = next_deadline(); deadline >= 0) {
            const auto us = static_cast<long long>(std::ceil(std::max(0.0, deadline - monotonic_ms()) * 1000.0));
            wait.tv_sec = us / 1'000'000;
            wait.tv_nsec = (us % 1'000'000) * 1000;
            timeout = &wait;
        }
        if (ppoll(fds, count, timeout, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            fail("poll");
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t value = 0;
            if (::read(stop_fd_, &value, sizeof value) < 0) {
                // Nothing to do: we are stopping either way.
            }
            return;
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            read_client_events();  // the open of the client that wrote comes first
            read_line_bytes();
        }
        if (!hung_up_ && (fds[1].revents & POLLOUT))
            write_out();
    }
}

void Simulator::read_client_events()
{
    if (inotify_ < 0)
        return;
    alignas(inotify_event) char buf[4096];
    while (true) {
        const ssize_t n = ::read(inotify_, buf, sizeof buf);
        if (n <= 0)
            return;
        for (const char* p = buf; p < buf + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            if (event->mask & IN_OPEN)
                ++client_opens_;
            if ((event->mask & IN_CLOSE) && client_opens_ > 0 && --client_opens_ == 0) {
                // What the client had not read yet goes with it, and the next
                // client starts with an empty receive buffer, as on a real port.
                tcflush(slave_, TCIFLUSH);
                out_.clear();
            }
            p += sizeof(inotify_event) + event->len;
        }
    }
}

void Simulator::read_line_bytes()
{
    char buf[4096];
    while (true) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            const double t = monotonic_ms();
            for (ssize_t i = 0; i < n; ++i) {
                const char c = buf[i];
                if (c == '\r') {
                    std::string line;
                    line.swap(partial_);
                    take_line(std::move(line), t);
                    if (hung_up_)
                        return;
                } else if (c != '\n' && partial_.size() < kMaxLine) {
                    partial_ += c;
                }
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // The master only fails when the terminal itself is gone.
        fail("the pseudo-terminal " + device_ + " was lost");
    }
}

void Simulator::take_line(std::string line, double t_ms)
{
    log_.add(WireEvent::Rx, line, t_ms);
    ++lines_received_;
    if (options_.hangup_after > 0 && lines_received_ >= static_cast<std::uint64_t>(options_.hangup_after)) {
        hang_up();
        return;
    }
    if (options_.fault_after > 0 && lines_received_ == static_cast<std::uint64_t>(options_.fault_after)) {
        for (auto& station : stations_)
            station.drive.report_fault();
    }
    if (lines_received_ == 1 && options_.burst > 0)
        transmit(std::string(static_cast<std::size_t>(options_.burst), 'U'));

    const auto find = [&](int number) -> Station* {
        for (auto& station : stations_)
            if (station.number == number)
                return &station;
        return nullptr;
    };
    const auto deliver = [&](Station& station, bool answer) {
        station.inbox.push_back({line, t_ms, answer, lines_received_});
        work(station, t_ms);
    };

    if (const auto selected = station_selected_by(line)) {
        selected_ = *selected;  // only the newly selected drive answers "ST"
        if (Station* station = selected_ < 32 ? find(selected_) : nullptr)
            deliver(*station, true);
    } else if (selected_ == 32) {
        for (auto& station : stations_)
            deliver(station, false);
    } else if (Station* station = find(selected_)) {
        deliver(*station, true);
    }
}

void Simulator::work(Station& station, double now_ms)
{
    while (!station.inbox.empty() && station.busy_until <= now_ms) {
        const PendingLine line = std::move(station.inbox.front());
        station.inbox.pop_front();
        const double t = std::max(line.rx_ms, station.busy_until);
        const Drive::Result result =
            refused(line.text) ? Drive::Result{{"ERR"}, 0, false} : station.drive.execute(line.text, t);
        if (result.save) {
            std::string error;
            if (!store_.save(station.number, station.drive, error))
                std::fprintf(stderr, "mivo-drive-sim: station %d: %s\n", station.number, error.c_str());
        }
        station.busy_until = t + result.busy_ms;

        const bool muted = options_.mute_after > 0 && line.number > static_cast<std::uint64_t>(options_.mute_after);
        const bool answers = line.answer && !muted && !options_.silent.count(station.number)
                             && !(options_.mute_empty.count(station.number) && is_empty_line(line.text));
        if (!answers)
            continue;
        const double latency = options_.late_ms ? *options_.late_ms : options_.latency_ms;
        const double due = std::max(station.busy_until + latency, station.last_due);
        station.last_due = due;
        replies_.emplace(std::pair{due, reply_order_++}, reply_bytes(result.lines));
    }
}

bool Simulator::refused(const std::string& line) const
{
    // "WT g i v": the entry is P i for group 0, V i for group 1.
    if (options_.refused.empty() || line.rfind("WT ", 0) != 0)
        return false;
    std::istringstream words(line.substr(3));
    int group = -1, index = -1;
    if (!(words >> group >> index) || (group != 0 && group != 1))
        return false;
    return options_.refused.count((group == 0 ? "P" : "V") + std::to_string(index)) > 0;
}

std::string Simulator::reply_bytes(const std::vector<std::string>& lines)
{
    std::string bytes;
    for (int i = 0; i < options_.garbage; ++i) {
        char c;
        do {  // xorshift32
            noise_ ^= noise_ << 13;
            noise_ ^= noise_ >> 17;
            noise_ ^= noise_ << 5;
            c = static_cast<char>(noise_ & 0xFF);
        } while (c == '>' || c == '\r');
        bytes += c;
    }
    for (const auto& line : lines) {
        bytes += line;
        if (!options_.no_cr)
            bytes += '\r';
    }
    bytes += '>';
    return bytes;
}

void Simulator::send_due_replies(double now_ms)
{
    while (!replies_.empty() && replies_.begin()->first.first <= now_ms) {
        std::string bytes = std::move(replies_.begin()->second);
        replies_.erase(replies_.begin());
        transmit(std::move(bytes));
    }
}

void Simulator::transmit(std::string bytes)
{
    // Logged before it is written, so a client that has the bytes finds them in the log.
    log_.add(WireEvent::Tx, bytes, monotonic_ms());
    // The drive sends whether or not anyone listens; with the port closed it is lost.
    if (inotify_ < 0 || client_opens_ > 0) {
        out_ += bytes;
        write_out();
    }
}

void Simulator::write_out()
{
    while (!out_.empty()) {
        const ssize_t n = ::write(master_, out_.data(), out_.size());
        if (n > 0) {
            out_.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;  // the client is not reading: POLLOUT tells when to go on
    }
}

double Simulator::next_deadline() const
{
    double deadline = replies_.empty() ? -1 : replies_.begin()->first.first;
    for (const auto& station : stations_)
        if (!station.inbox.empty() && (deadline < 0 || station.busy_until < deadline))
            deadline = station.busy_until;
    return deadline;
}

}  // namespace mivo::sim

#include "wire_log.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace mivo::sim {

double monotonic_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

std::string escape_bytes(std::string_view bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default:
            if (u < 0x20 || u >= 0x7F) {
                out += "\\x";
                out += hex[u >> 4];
                out += hex[u & 0x0F];
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string format_event(const WireEvent& event)
{
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%.3f %s \"", event.t_ms,
                  event.dir == WireEvent::Rx ? "rx" : "tx");
    return stamp + escape_bytes(event.bytes) + '"';
}

WireLog::WireLog(const std::string& file, bool keep_in_memory) : keep_in_memory_(keep_in_memory)
{
    if (!file.empty()) {
        // Never write through a symbolic link: in a shared directory another
        // account could point it at one of ours.
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0)
            file_ = ::fdopen(fd, "w");
        if (!file_) {
            const std::string reason = errno == ELOOP ? "it is a symbolic link" : std::strerror(errno);
            if (fd >= 0)
                ::close(fd);
            throw std::runtime_error("cannot open log file " + file + ": " + reason);
        }
    }
}

WireLog::~WireLog()
{
    if (file_)
        std::fclose(file_);
}

void WireLog::add(WireEvent::Dir dir, std::string bytes, double t_ms)
{
    WireEvent event{t_ms, dir, std::move(bytes)};
    const std::lock_guard lock(mutex_);
    if (file_) {
        const std::string line = format_event(event) + '\n';
        std::fwrite(line.data(), 1, line.size(), file_);
        std::fflush(file_);
    }
    if (keep_in_memory_)
        events_.push_back(std::move(event));
}

std::vector<WireEvent> WireLog::events() const
{
    const std::lock_guard lock(mutex_);
    return events_;
}

void WireLog::clear()
{
    const std::lock_guard lock(mutex_);
    events_.clear();
}

}  // namespace mivo::sim

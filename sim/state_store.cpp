#include "state_store.h"

#include "drive.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mivo::sim {

StateStore::StateStore(std::string path) : path_(std::move(path))
{
    if (path_.empty())
        return;
    std::ifstream in(path_);
    if (!in) {
        if (errno == ENOENT)
            return;  // nothing saved yet
        throw std::runtime_error("cannot read state file " + path_ + ": " + std::strerror(errno));
    }
    Drive check(0, 0);  // validates ranges exactly as "WT" does
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#')
            continue;
        int station = -1, index = -1;
        long long value = 0;
        char group = 0;
        char tail = 0;
        if (std::sscanf(line.c_str(), "%d %c%d=%lld %c", &station, &group, &index, &value, &tail) != 4
            || station < 0 || station > 31 || (group != 'P' && group != 'V')
            || !check.set_param(group == 'P' ? 0 : 1, index, value))
            throw std::runtime_error("state file " + path_ + ", line " + std::to_string(number)
                                     + ": cannot use '" + line + "'");
        saved_[station][{group == 'P' ? 0 : 1, index}] = static_cast<int>(value);
    }
}

void StateStore::restore(int station, Drive& drive) const
{
    const auto it = saved_.find(station);
    if (it == saved_.end())
        return;
    for (const auto& [key, value] : it->second)
        drive.set_param(key.first, key.second, value);
}

bool StateStore::save(int station, const Drive& drive, std::string& error)
{
    auto& values = saved_[station];
    for (int group = 0; group < 2; ++group)
        for (int index = 0; index < Drive::kGroupSize[group]; ++index)
            values[{group, index}] = drive.param(group, index);
    if (path_.empty())
        return true;

    std::ostringstream text;
    text << "# MIVO drive simulator: saved parameters, <station> P|V<index>=<value>\n";
    for (const auto& [st, params] : saved_)
        for (const auto& [key, value] : params)
            text << st << ' ' << (key.first == 0 ? 'P' : 'V') << key.second << '=' << value << '\n';

    // Write a sibling and rename it, so a crash never leaves half a file.
    // The sibling is made anew and never through a symbolic link, which in
    // a shared directory another account could have put there.
    const std::string tmp = path_ + ".tmp";
    struct stat st{};
    if (::lstat(tmp.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::unlink(tmp.c_str());  // left over from a crash
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + tmp + ": " + (errno == EEXIST ? "something else is there" : std::strerror(errno));
        return false;
    }
    const std::string bytes = text.str();
    const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    const int saved = errno;
    ::close(fd);
    if (!written) {
        error = "cannot write " + tmp + ": " + std::strerror(saved);
        ::unlink(tmp.c_str());
        return false;
    }
    if (std::rename(tmp.c_str(), path_.c_str()) != 0) {
        error = "cannot replace " + path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace mivo::sim

// The drives' non-volatile memory: the P and V values kept by "SV".
//
// File format, one value a line, "#" starts a comment:
//     <station> P<index>=<value>
//     <station> V<index>=<value>
// Values of stations absent in this run are kept when the file is rewritten.
#pragma once

#include <map>
#include <string>
#include <utility>

namespace mivo::sim {

class Drive;

class StateStore {
public:
    // path empty: values live only as long as the process. Throws std::runtime_error
    // when the file exists but cannot be read or is malformed.
    explicit StateStore(std::string path);

    // Loads the saved values of a station into a drive.
    void restore(int station, Drive& drive) const;
    // Keeps the drive's values and rewrites the file; false and a message on failure.
    bool save(int station, const Drive& drive, std::string& error);

private:
    std::string path_;
    std::map<int, std::map<std::pair<int, int>, int>> saved_;  // station -> (group, index) -> value
};

}  // namespace mivo::sim

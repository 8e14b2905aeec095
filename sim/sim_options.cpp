#include "sim_options.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace mivo::sim {

namespace {

long long parse_number(const std::string& option, const std::string& text, long long lo, long long hi)
{
    const bool digits = !text.empty() && text.size() <= 12
                        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const long long value = digits ? std::stoll(text) : -1;
    if (!digits || value < lo || value > hi)
        throw OptionError(option + ": expected a number from " + std::to_string(lo) + " to "
                          + std::to_string(hi) + ", got '" + text + "'");
    return value;
}

int parse_station(const std::string& option, const std::string& text)
{
    return static_cast<int>(parse_number(option, text, 0, 31));
}

std::vector<int> parse_station_list(const std::string& option, const std::string& text)
{
    std::set<int> stations;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        stations.insert(parse_station(option, text.substr(start, comma - start)));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return {stations.begin(), stations.end()};
}

long long parse_signed(const std::string& option, const std::string& text, long long lo, long long hi)
{
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    try {
        const long long magnitude = parse_number(option, digits, 0, negative ? -lo : hi);
        return negative ? -magnitude : magnitude;
    } catch (const OptionError&) {
        throw OptionError(option + ": expected a number from " + std::to_string(lo) + " to " + std::to_string(hi)
                          + ", got '" + text + "'");
    }
}

// "A,P,D": amplitude in counts, period and decay in ms.
Ringing parse_ringing(const std::string& option, const std::string& text)
{
    const auto first = text.find(',');
    const auto second = first == std::string::npos ? first : text.find(',', first + 1);
    if (second == std::string::npos || text.find(',', second + 1) != std::string::npos)
        throw OptionError(option + ": expected A,P,D (amplitude in counts, period and decay in ms), got '" + text + "'");
    Ringing r;
    r.amplitude = static_cast<double>(parse_number(option, text.substr(0, first), 0, 1'000'000));
    r.period_ms = static_cast<double>(parse_number(option, text.substr(first + 1, second - first - 1), 1, 3'600'000));
    r.decay_ms = static_cast<double>(parse_number(option, text.substr(second + 1), 1, 3'600'000));
    return r;
}

}  // namespace

SimOptions parse_options(const std::vector<std::string>& args)
{
    constexpr long long kMaxMs = 3'600'000;
    constexpr long long kMaxBytes = 100'000'000;
    SimOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inline_value;
        if (name.rfind("--", 0) == 0) {
            if (const auto eq = name.find('='); eq != std::string::npos) {
                inline_value = name.substr(eq + 1);
                name.resize(eq);
            }
        }
        const auto value = [&]() -> std::string {
            if (inline_value)
                return *inline_value;
            if (i + 1 >= args.size())
                throw OptionError(name + ": missing value");
            return args[++i];
        };
        const auto number = [&](long long lo, long long hi) {
            return static_cast<int>(parse_number(name, value(), lo, hi));
        };
        const auto path = [&]() {
            std::string p = value();
            if (p.empty())
                throw OptionError(name + ": empty path");
            return p;
        };

        if (name == "--stations") o.stations = parse_station_list(name, value());
        else if (name == "--link") o.link = path();
        else if (name == "--log") o.log_file = path();
        else if (name == "--state") o.state_file = path();
        else if (name == "--latency-ms") o.latency_ms = number(0, kMaxMs);
        else if (name == "--home-ms") o.home_ms = number(0, kMaxMs);
        else if (name == "--save-ms") o.save_ms = number(0, kMaxMs);
        else if (name == "--accel") o.motion.accel = static_cast<double>(parse_number(name, value(), 1, 1'000'000'000));
        else if (name == "--ringing") o.motion.ringing = parse_ringing(name, value());
        else if (name == "--stall-at") o.motion.stall_at = parse_signed(name, value(), INT32_MIN, INT32_MAX);
        else if (name == "--mute-empty") o.mute_empty.insert(parse_station(name, value()));
        else if (name == "--silent") o.silent.insert(parse_station(name, value()));
        else if (name == "--late-ms") o.late_ms = number(0, kMaxMs);
        else if (name == "--garbage") o.garbage = number(0, kMaxBytes);
        else if (name == "--burst") o.burst = number(0, kMaxBytes);
        else if (name == "--hangup-after") o.hangup_after = number(1, 1'000'000'000);
        else if (name == "--mute-after") o.mute_after = number(1, 1'000'000'000);
        else if (name == "--fault-after") o.fault_after = number(1, 1'000'000'000);
        else if (name == "--refuse") {
            const std::string entry = value();
            if (entry.size() < 2 || (entry[0] != 'P' && entry[0] != 'V')
                || entry.find_first_not_of("0123456789", 1) != std::string::npos)
                throw OptionError(name + ": an entry such as P3 or V5, not '" + entry + "'");
            o.refused.insert(entry);
        }
        else if (name == "--no-cr") {
            if (inline_value)
                throw OptionError(name + " takes no value");
            o.no_cr = true;
        } else {
            throw OptionError("unknown option '" + args[i] + "'");
        }
    }

    const auto present = [&](int s) { return std::find(o.stations.begin(), o.stations.end(), s) != o.stations.end(); };
    for (const auto* faulty : {&o.mute_empty, &o.silent})
        for (const int s : *faulty)
            if (!present(s))
                throw OptionError("station " + std::to_string(s) + " is given a fault but is not in --stations");
    return o;
}

std::string usage_text()
{
    return R"(usage: mivo-drive-sim --link PATH [options]

Simulates a multi-drop RS-485 line of MIVO drives on a pseudo-terminal,
published under the symbolic link PATH. Prints "ready: PATH" once it serves;
serves until SIGINT or SIGTERM, then removes the link.

  --stations LIST     present stations, e.g. 0,5,7 (0..31; default 0)
  --link PATH         symlink to the pseudo-terminal (required; an old symlink is replaced)
  --log FILE          wire log: one line per event, "<ms> rx|tx \"<bytes>\""
  --state FILE        P and V values kept by "SV" across restarts
  --latency-ms N      reply latency (default 3)
  --home-ms N         length of a homing run (default 2000)
  --save-ms N         time "SV" takes before its prompt (default 300)
motion model (off by default: a move runs at its speed at once and stops dead;
with any of these a new "VA" applies from the next "MA"):
  --accel N           moves follow a trapezoidal profile, N counts/s^2 up to the
                      speed "VA" set and down again
  --ringing A,P,D     on reaching the target the position rings about it:
                      A counts, period P ms, decaying with time constant D ms,
                      starting past the target; readings rounded to counts
  --stall-at POS      a move that would pass POS stops there, as against a hard
                      stop, and goes no further that way
faults:
  --mute-empty N      station N answers "ST N" but not the empty line (repeatable)
  --silent N          station N never answers; it still acts (repeatable)
  --late-ms N         every reply comes N ms after the command (replaces the latency)
  --no-cr             value lines end without CR; the prompt still comes
  --garbage N         N random bytes (never '>' or CR) before every reply, fixed seed
  --burst N           N filler bytes ('U') sent at once after the first line received
  --hangup-after N    close the line after receiving N lines (the client sees a hang-up)
  --mute-after N      no drive answers once N lines were received (they still act)
  --fault-after N     every drive's state word has Fault set once N lines were
                      received (and keeps it)
  --refuse ENTRY      "WT" of ENTRY (P3, V5...) is answered "ERR" and changes nothing (repeatable)

Exit status: 0 after a signal or a hang-up, 1 when the line cannot be set up,
2 for bad options.
)";
}

}  // namespace mivo::sim

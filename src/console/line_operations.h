#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace mivo {

class ConsoleContext;
class LinkGuard;

// What a front end can ask of the line as a whole rather than of the
// selected drive: the search for the stations, and the Line pane's quick
// round of one station. With DriveOperations it is the console's only way to
// the wire.
class LineOperations {
public:
    // What a search says while it sweeps, for a box that shows its progress.
    struct SweepSteps {
        std::function<void(int station)> probing;  // before the station's probe
        std::function<void(int station)> found;    // the station answered
    };
    // One station as the Line pane reads it.
    struct Round {
        bool selected = false;  // the station's prompt came after its select line
        // Out of time before the three reads were done: nothing is known of
        // the station this time.
        bool cut_short = false;
        std::optional<QString> position;  // value lines as the drive sent them
        std::optional<QString> state;
        std::optional<QString> inputs;
        std::optional<QString> version;    // read only when asked for and in time
    };

    explicit LineOperations(ConsoleContext& context) : c_(context) {}

    // Probes every station number, switching the poll off for good; gives
    // those that answered, or nothing when the link went away under the
    // sweep (also a "Close" and a new "Open" between two probes end it: the
    // new link gets no probe of the old one). The window's events are
    // processed between two probes. With the exchange in fast mode (the
    // tool's --fast) each probe is quick_probe, else the window's paced one.
    std::optional<QList<int>> search(const SweepSteps& steps = {});
    // The station's probe line, the reply wait, then a CR alone: a present
    // drive answers the empty line with its prompt.
    static bool probe(LinkGuard& link, qint32 reply_wait_ms, int station);
    // The same lines as probe, each ended by its prompt (the exchange in fast
    // mode), and the CR only after a prompt answered the selection: a
    // present drive costs its two replies, a silent station one reply wait.
    // It finds what probe finds of drives that answer within the reply wait.
    static bool quick_probe(LinkGuard& link, int station);

    // The station's select line, then its position, state and inputs, and
    // its version when asked, each read only while room() says a line and
    // the window's select line still fit. No event is processed: nothing
    // the window sends may come between.
    Round read_round(int station, bool with_version, const std::function<bool()>& room);
    // The station's select line, as the window left the line.
    void reselect(int station);

private:
    std::optional<QString> read(qint16 RV_Group_num);

    ConsoleContext& c_;
};

}  // namespace mivo

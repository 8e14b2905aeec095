#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace mivo {

class ConsoleContext;
class LinkGuard;

// What a front end can ask of the selected drive, one call each: inputs as
// values, what happened as the result. Nothing here shows a message or asks
// a question; a failure is in the result. The lines, their order and their
// waits are the ones the window's handlers put on the wire.
class DriveOperations {
public:
    enum class Failure {
        None,
        NoAnswer,     // the drive did not answer
        LinkLost,     // "Close" or a lost port ended it
        Refused,      // the input cannot go to the drive (nothing was sent), or the drive refused it
        Interrupted,  // the program is going away, or a run is being stopped
    };
    struct Result {
        Failure failure = Failure::None;
        // A write's prompt came within the reply wait; never in broadcast
        // mode, where no drive answers.
        bool acknowledged = false;
        bool ok() const { return failure == Failure::None; }
    };

    struct Selection : Result {
        int station = 0;
        bool broadcast = false;
        // The drive's answer to "RV 4"; none in broadcast mode or when
        // nobody answered (failure NoAnswer).
        std::optional<QString> version;
    };
    struct LiveValue : Result {
        std::optional<QString> value_line;  // as the drive sent it
    };
    struct Status : Result {
        std::optional<double> position;
        std::optional<quint32> state;  // "RV 2"
        std::optional<quint16> inputs; // "RV 5"
    };
    struct EntryValue : Result {
        std::optional<qint16> value;
    };
    // Both groups, P0..P15 then V0..V6 (the settings file's order); an entry
    // that brought no number has none. Reading stops when the link goes.
    struct Groups : Result {
        QList<std::optional<qint16>> values;
        QStringList missing;  // "P3", "V2"
    };
    struct Written : Result {
        std::optional<qint16> read_back;
        bool taken = false;  // the read-back is the value written
    };
    struct Saved : Result {
        bool answered = false;
    };
    // What became of one "SV": not written (the link was gone), written and
    // not answered, or answered.
    struct SaveAnswer {
        bool sent = false;
        bool answered = false;
        bool link_up = false;  // still up after the save wait
    };
    struct Homed : Result {
        bool done = false;  // the prompt came within the limit
        qint64 time_ms = 0;  // from "HM"
    };
    struct MoveRequest {
        qint32 position = 0;
        std::optional<QString> speed;  // "VA", sent as given
        bool wait = false;
        double tolerance = 0;
        qint32 timeout_ms = 60000;
    };
    struct Moved : Result {
        // With write replies on: "VA" got "ERR" or no prompt, so "MA" was
        // not sent (failure Refused).
        bool speed_refused = false;
        std::optional<double> position;  // the last one read while waiting
        bool reached = false;
        qint64 time_ms = 0;  // from "MA"
    };
    struct Sent : Result {
        QString received;   // everything that came back, as it came
        QStringList lines;  // its lines, the prompt left out
    };

    // The drive answers "SV" only once its memory is written.
    static constexpr qint32 kSaveWaitMs = 1500;

    // A drive that stands this long at one position, short of the target,
    // has stopped there (at a limit, or blocked).
    static constexpr qint32 kStallMs = 1000;

    explicit DriveOperations(ConsoleContext& context) : c_(context) {}

    // Off (the window's way): a write's reply is not read. On (the tool and
    // recipes): servo(), move()'s "VA" and "MA" and put_entry() take the
    // prompt within the reply wait as the drive's acknowledgement, and fail
    // with NoAnswer without it, except in broadcast mode, where a write is
    // sent and never acknowledged; and a speed the drive refuses stops the
    // move before "MA".
    void set_write_replies(bool on) { write_replies_ = on; }
    bool write_replies() const { return write_replies_; }

    // The select line twice, with the text as given, then the version
    // (but in broadcast mode); sets the station the console works with and
    // shows its version. The poll is off afterwards: whoever selects says
    // when it goes on.
    Selection select_station(const QString& station_text);
    // "RV n", its value line also kept as the state's live value.
    LiveValue read_live_value(qint16 RV_Group_num);
    // "RV 4", the drive's version, kept nowhere.
    LiveValue read_version();
    // One "RV 0", one "RV 2" and one "RV 5".
    Status read_status();
    // entry: the settings file's position (0..15 P, 16..22 V).
    EntryValue read_entry(int entry);
    // Entries first..last (positions as above) with the poll off; it goes on
    // afterwards when the link stayed up.
    Groups read_entries(int first, int last);
    // "WT g i v" alone, as Enter in a parameter box sends it.
    Result put_entry(int entry, qint16 value);
    // "WT g i v", then the entry read back.
    Written write_entry(int entry, qint16 value);
    // "SV" and the time the drive needs to keep it.
    Saved save();
    // The configuration word (V5) written, then "SV" and its time. The drive
    // takes the new word only after a reset.
    Result apply_config(int word);
    Result servo(bool on);
    // "HM", then up to timeout_ms for the drive's prompt. A limit shorter
    // than one reply wait is refused before "HM" goes out: no prompt could
    // come in it.
    Homed home(qint32 timeout_ms);
    // before_move runs after "VA" was taken, just before "MA" goes out
    // (a trace reads where the move starts from).
    Moved move(const MoveRequest& request, const std::function<void()>& before_move = {});
    // One raw line, as the terminal sends it.
    Sent send_line(const QString& line);

    // The names of the set bits, as the lights name them.
    static QStringList state_bit_names(quint32 state);
    static QStringList input_bit_names(quint16 inputs);

    // One entry read on a link the caller holds: no number when the reply
    // holds no 16-bit number or the link is gone.
    static std::optional<qint16> read_entry_on(LinkGuard& link, int entry);
    // "WT g i v" alone on a link the caller holds; its reply is not read.
    static void put_entry_on(LinkGuard& link, int entry, qint16 value);
    // "SV", the save wait, then what came: answered when the drive answered
    // at all, also when the link went away after the answer.
    static SaveAnswer save_on(LinkGuard& link);

private:
    Failure link_failure() const;
    LiveValue read_value(qint16 RV_Group_num);
    // One write line; with write replies on, a missing prompt is NoAnswer.
    Result send_write(LinkGuard& link, const QString& line);

    ConsoleContext& c_;
    bool write_replies_ = false;
};

}  // namespace mivo

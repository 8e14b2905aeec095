#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace mivo {

class ConsoleContext;
class DriveOperations;
class LinkGuard;
class Monitoring;

// The "Motion" page: servo on and off, homing, and the two-point cycle.
class Motion {
public:
    Motion(ConsoleContext& context, Monitoring& monitoring, DriveOperations& operations)
        : c_(context), monitoring_(monitoring), operations_(operations)
    {
    }

    void enable_click();   // "Servo ON"
    void disable_click();  // "Servo Off"
    void home_click();     // "Home"
    // The cycle's fields as typed: the speed goes out as typed, the others
    // are read as numbers before anything changes.
    struct CycleTexts {
        QString position_1;
        QString position_2;
        QString speed;
        QString delay_1;
        QString delay_2;
    };
    void start_click(const CycleTexts& typed);  // "Start Move"
    void stop_click();     // "Stop"

private:
    // The four numbers of a cycle, read before anything changes.
    struct CycleFields {
        qint32 position_1;
        qint32 position_2;
        qint32 delay_1;
        qint32 delay_2;
        QString speed;  // sent as typed
    };

    // The page's link guard, "Link first!".
    bool linked_or_tell();
    // Reads the four fields; on a bad one tells the user which and gives
    // nothing.
    bool read_cycle_fields(const CycleTexts& typed, CycleFields& fields);
    struct Step {
        qint32 position;
        std::optional<QString> speed;  // the cycle's first move sets it
    };
    // One half of an iteration: move, dwell, events once. False when the
    // link the cycle started on went away meanwhile.
    bool move_and_dwell(LinkGuard& link, const Step& step, qint32 dwell, bool broadcast);

    ConsoleContext& c_;
    Monitoring& monitoring_;
    DriveOperations& operations_;
};

}  // namespace mivo

#pragma once

namespace mivo {

struct ConsoleContext;
class Monitoring;

// The "Motion" page: servo on and off, homing, and the two-point cycle.
class Motion {
public:
    Motion(ConsoleContext& context, Monitoring& monitoring) : c_(context), monitoring_(monitoring) {}

    void enable_click();   // "Servo ON"
    void disable_click();  // "Servo Off"
    void home_click();     // "Home"
    void start_click();    // "Start Move"
    void stop_click();     // "Stop"

private:
    ConsoleContext& c_;
    Monitoring& monitoring_;
};

}  // namespace mivo

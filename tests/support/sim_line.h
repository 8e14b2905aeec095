#pragma once

#include "sim_harness.h"

#include <QString>
#include <QStringList>

// The simulator stamps a line when its thread has read it, which on a busy
// machine can be a few milliseconds after the console wrote it: a lower bound
// between two stamps allows for that.
inline constexpr double kStampSlackMs = 10;

inline QStringList received_lines(const mivo::sim::SimHarness& sim)
{
    QStringList lines;
    for (const std::string& line : sim.rx_lines())
        lines << QString::fromStdString(line);
    return lines;
}

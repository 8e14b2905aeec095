#pragma once

#include "sim_harness.h"
#include "window/form1.h"

#include <QComboBox>
#include <QPushButton>
#include <QString>
#include <QStringList>

// Opens the window's port on a simulated drive line, the way a user does:
// the line's path typed into "Comm", then "Open".
inline void open_on(mivo::Form1& form, const mivo::sim::SimHarness& sim)
{
    form.controls().cbb_port_num->setEditText(QString::fromStdString(sim.path()));
    form.controls().cmd_port_open->click();
}

// The simulator stamps a line when its thread has read it, which on a busy
// machine can be a few milliseconds after the console wrote it: a lower bound
// between two stamps allows for that.
inline constexpr double kStampSlackMs = 5;

inline QStringList received_lines(const mivo::sim::SimHarness& sim)
{
    QStringList lines;
    for (const std::string& line : sim.rx_lines())
        lines << QString::fromStdString(line);
    return lines;
}

// The two frames above the tab control: "Communication" and "States".
#include "link/port_name.h"
#include "window/controls.h"
#include "window/layout.h"
#include "window/light.h"
#include "window/value_box.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>

namespace mivo::layout {

void build_communication_frame(QWidget* form, Form1Controls& c)
{
    auto* frame2 = frame(form, QStringLiteral("Frame2"), QStringLiteral("Communication"), QRect(8, 8, 313, 145));

    c.sh_run = new Light(QStringLiteral("Poll activity"), 17, frame2);
    c.sh_run->setObjectName(QStringLiteral("sh_run"));
    c.sh_run->move(12, 29);
    auto* version = label(frame2, QStringLiteral("Label22"), QStringLiteral("MIVO Version:"), QRect(38, 26, 92, 22));
    version->setFont(ui_font(kVersionFontPt));
    c.lb_rv_feedback_4 = value_box(frame2, member_name("lb_rv_feedback", 4), version->text(),
                                    QRect(132, 26, 171, 22), Qt::AlignHCenter);
    c.lb_rv_feedback_4->setFont(ui_font(kVersionFontPt));

    auto* comm = label(frame2, QStringLiteral("Label1"), QStringLiteral("Comm"), QRect(8, 64, 52, 26));
    c.cbb_port_num = combo(frame2, QStringLiteral("cbb_port_num"), QRect(60, 62, 76, 28), comm);
    QStringList numbered;
    for (int n = 1; n <= 20; ++n) {
        c.cbb_port_num->addItem(QString::number(n));
        numbered << system_port_name(QString::number(n));
    }
    // Then the ports the system reports that no number above reaches, such
    // as USB adapters, by their system name.
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (!numbered.contains(info.systemLocation()) && !numbered.contains(info.portName()))
            c.cbb_port_num->addItem(info.systemLocation());
    }
    c.cbb_port_num->setEditText(QStringLiteral("2"));
    // Device paths are longer than the box; let the list show them whole.
    c.cbb_port_num->view()->setMinimumWidth(220);
    c.cmd_port_open = button(frame2, QStringLiteral("cmd_port_open"), QStringLiteral("Open"), QRect(142, 62, 78, 28));
    c.cmd_port_close = button(frame2, QStringLiteral("cmd_port_close"), QStringLiteral("Close"), QRect(226, 62, 78, 28));
    c.cmd_port_close->setEnabled(false);

    auto* station = label(frame2, QStringLiteral("Label2"), QStringLiteral("Station"), QRect(6, 106, 54, 26));
    c.cbb_station_num = combo(frame2, QStringLiteral("cbb_station_num"), QRect(60, 104, 46, 28), station);
    c.cbb_station_num->setEnabled(false);
    c.cmd_set_station = button(frame2, QStringLiteral("cmd_set_station"), QStringLiteral("Set Station"),
                               QRect(109, 104, 88, 28));
    c.cmd_set_station->setEnabled(false);
    c.cmd_search_station = button(frame2, QStringLiteral("cmd_search_station"), QStringLiteral("Search Station"),
                                  QRect(200, 104, 108, 28));
    c.cmd_search_station->setEnabled(false);
}

void build_states_frame(QWidget* form, Form1Controls& c)
{
    auto* frame1 = frame(form, QStringLiteral("Frame1"), QStringLiteral("States"), QRect(328, 8, 369, 145));

    constexpr int kUpperLabel = 26, kUpperLight = 62, kLowerLabel = 88, kLowerLight = 124;
    constexpr int kPitch = 47, kFirst = 25;
    auto x = [](int column) { return kFirst + column * kPitch; };

    c.comm_state_light = light(frame1, QStringLiteral("comm_state_light"), QStringLiteral("Label5"),
                               QStringLiteral("Comm"), {x(0), kUpperLight}, kUpperLabel);
    struct Slot {
        int bit;
        const char* label;
        const char* caption;
        int column;
        bool upper;
    };
    static constexpr Slot kStateLights[] = {
        {2, "Label6", "SVON", 1, true}, {5, "Label8", "PL", 2, true},    {6, "Label10", "HOME", 3, true},
        {0, "Label12", "MF", 4, true},  {1, "Label4", "Fault", 0, false}, {3, "Label7(0)", "DIR", 1, false},
        {4, "Label9", "NL", 2, false},  {7, "Label11", "DO", 3, false},
    };
    for (const Slot& s : kStateLights) {
        c.mivo_state_light[s.bit] =
            light(frame1, member_name("mivo_state_light", s.bit), QLatin1String(s.label), QLatin1String(s.caption),
                  {x(s.column), s.upper ? kUpperLight : kLowerLight}, s.upper ? kUpperLabel : kLowerLabel);
    }

    auto* frame3 = frame(frame1, QStringLiteral("Frame3"), QStringLiteral("DI States"), QRect(240, 0, 129, 145));
    constexpr int kDiPitch = 40, kDiFirst = 24;
    auto dx = [](int column) { return kDiFirst + column * kDiPitch; };
    static constexpr Slot kInputLights[] = {
        {0, "Label13", "DI1", 0, true}, {1, "Label14", "DI2", 1, true}, {2, "Label15", "DI3", 2, true},
        {4, "Label16", "PL", 0, false}, {3, "Label17", "NL", 1, false},
    };
    for (const Slot& s : kInputLights) {
        c.mivo_DI_state_light[s.bit] =
            light(frame3, member_name("mivo_DI_state_light", s.bit), QLatin1String(s.label), QLatin1String(s.caption),
                  {dx(s.column), s.upper ? kUpperLight : kLowerLight}, s.upper ? kUpperLabel : kLowerLabel);
    }
}

}  // namespace mivo::layout

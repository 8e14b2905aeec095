// The four pages of the tab control.
#include "console/settings_file.h"
#include "protocol/command_lines.h"
#include "window/controls.h"
#include "window/layout.h"
#include "window/transcript_box.h"
#include "window/value_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace mivo::layout {

void build_terminal_page(QWidget* page, Form1Controls& c)
{
    auto* command = label(page, QStringLiteral("Label44"), QStringLiteral("Command"), QRect(4, 12, 84, 26),
                          Qt::AlignRight);
    c.tx_command = edit(page, QStringLiteral("tx_command"), QString(), QRect(92, 10, 372, 28), command);
    // A line is sent as typed or pasted, whatever its length; the box would
    // otherwise cut it at 32767 characters without a word.
    c.tx_command->setMaxLength(std::numeric_limits<int>::max());
    c.cmd_send_command = button(page, QStringLiteral("cmd_send_command"), QStringLiteral("Send"),
                                QRect(470, 10, 82, 28));
    c.cmd_clean_response = button(page, QStringLiteral("cmd_clean_response"), QStringLiteral("Clean Response"),
                                  QRect(558, 10, 118, 28));

    auto* response = label(page, QStringLiteral("Label45"), QStringLiteral("Response"), QRect(4, 48, 84, 26),
                           Qt::AlignRight);
    c.tx_response = new TranscriptBox(page);
    c.tx_response->setObjectName(QStringLiteral("tx_response"));
    c.tx_response->setFont(ui_font());
    c.tx_response->setGeometry(92, 46, 584, 170);
    c.tx_response->setAccessibleName(response->text());
    response->setBuddy(c.tx_response);
}

void build_motion_page(QWidget* page, Form1Controls& c)
{
    auto* motion = frame(page, QStringLiteral("FrameMotion"), QStringLiteral("Absolute Motion"), QRect(6, 2, 330, 216));
    motion->setFont(ui_font(kMotionCaptionPt));

    struct Field {
        QLineEdit** box;
        const char* name;
        const char* label;
        const char* caption;
        const char* text;
        const char* unit_label;  // "mS" beside the dwells
    };
    const Field fields[] = {
        {&c.tx_move_position_1, "tx_move_position_1", "Label7(2)", "Position 1", "1000", nullptr},
        {&c.tx_move_position_2, "tx_move_position_2", "Label7(1)", "Position 2", "0", nullptr},
        {&c.tx_move_speed, "tx_move_speed", "Label50", "Velocity", "2", nullptr},
        {&c.tx_delay_1, "tx_delay_1", "Label49", "Delay 1", "100", "Label48"},
        {&c.tx_delay_2, "tx_delay_2", "Label47", "Delay 2", "100", "Label46"},
    };
    int top = 32;
    for (const Field& f : fields) {
        auto* caption = label(motion, QLatin1String(f.label), QLatin1String(f.caption), QRect(6, top, 92, 26),
                              Qt::AlignRight);
        *f.box = edit(motion, QLatin1String(f.name), QLatin1String(f.text), QRect(102, top, 84, 28), caption);
        if (f.unit_label)
            label(motion, QLatin1String(f.unit_label), QStringLiteral("mS"), QRect(190, top, 30, 26));
        top += 36;
    }
    c.cmd_start_move = button(motion, QStringLiteral("cmd_start_move"), QStringLiteral("Start Move"),
                              QRect(226, 40, 96, 34));
    c.cmd_stop_move = button(motion, QStringLiteral("cmd_stop_move"), QStringLiteral("Stop"), QRect(226, 90, 96, 34));
    c.cmd_stop_move->setEnabled(false);

    auto* feedback = frame(page, QStringLiteral("Frame6"), QStringLiteral("FeedBack"), QRect(344, 2, 156, 90));
    c.cb_ask_pfbk = check(feedback, QStringLiteral("cb_ask_pfbk"), QStringLiteral("Position"), QRect(14, 28, 130, 24));
    c.cb_ask_states = check(feedback, QStringLiteral("cb_ask_states"), QStringLiteral("States"), QRect(14, 56, 130, 24));

    auto* position = label(page, QStringLiteral("Label18"), QStringLiteral("Position Feedback"),
                           QRect(344, 104, 156, 24));
    c.lb_rv_feedback_0 = value_box(page, member_name("lb_rv_feedback", 0), position->text(),
                                    QRect(344, 130, 156, 28), Qt::AlignRight);

    c.cmd_mivo_enable = button(page, QStringLiteral("cmd_mivo_enable"), QStringLiteral("Servo ON"),
                               QRect(520, 14, 150, 38));
    c.cmd_mivo_disable = button(page, QStringLiteral("cmd_mivo_disable"), QStringLiteral("Servo Off"),
                                QRect(520, 64, 150, 38));
    c.cmd_mivo_home = button(page, QStringLiteral("cmd_mivo_home"), QStringLiteral("Home"), QRect(520, 114, 150, 38));
}

void build_setup_page(QWidget* page, Form1Controls& c)
{
    auto* position = frame(page, QStringLiteral("Frame5"), QStringLiteral("Position"), QRect(6, 0, 670, 118));
    static const char* const kPLabels[16] = {"Label20", "Label23", "Label24", "Label25", "Label26", "Label27",
                                             "Label28", "Label29", "Label30", "Label31", "Label32", "Label33",
                                             "Label34", "Label35", "Label36", "Label37"};
    for (int i = 0; i < 16; ++i) {
        const int column = i % 8, row = i / 8;
        const int left = 10 + column * 82, top = 20 + row * 48;
        auto* caption = label(position, QLatin1String(kPLabels[i]), QStringLiteral("P%1").arg(i),
                              QRect(left, top, 74, 20), Qt::AlignHCenter);
        c.tx_position_settings[i] = edit(position, member_name("tx_position_settings", i), QStringLiteral("0"),
                                         QRect(left, top + 20, 74, 26), caption);
    }

    auto* v_group = frame(page, QStringLiteral("Frame4"), QStringLiteral("V Group Settings"), QRect(6, 122, 560, 94));
    static const char* const kVLabels[7] = {"Label3", "Label51", "Label52", "Label53", "Label54", "Label19", "Label55"};
    for (int i = 0; i < 7; ++i) {
        const int left = 10 + i * 78;
        const QString text = settings_file::caption_of(settings_file::entry_of(protocol::kGroupV, i));
        auto* caption = label(v_group, QLatin1String(kVLabels[i]), text,
                              QRect(left, 26, 70, 20), Qt::AlignHCenter);
        c.tx_v_group[i] = edit(v_group, member_name("tx_v_group", i), QStringLiteral("0"),
                               QRect(left, 48, 70, 28), caption);
    }
    // The configuration word has its own page; here it is only shown.
    c.tx_v_group[5]->setReadOnly(true);
    c.tx_v_group[5]->setEnabled(false);

    c.cmd_setup_save = button(page, QStringLiteral("cmd_setup_save"), QStringLiteral("Save"), QRect(576, 152, 100, 38));
}

void build_config_page(QWidget* page, Form1Controls& c)
{
    struct Option {
        const char* label;
        const char* caption;
        QStringList items;
        int initial;
        QRect label_rect;
        QRect box_rect;
    };
    // Indices 1, 2, 0 stand in the left column, 5, 3, 4 in the right one.
    const Option options[6] = {
        {"Label38", "(DI2,DI3)", {"No Function", "(JOG+,JOG-)", "4 Position Indexer", "(CW,CCW)"}, 2,
         QRect(4, 92, 112, 26), QRect(120, 90, 186, 28)},
        {"Label39", "Interpolation", {"32 Step", "16 Step"}, 0, QRect(4, 12, 112, 26), QRect(120, 10, 186, 28)},
        {"Label40", "Direction", {"CW is Positive", "CCW is Positive"}, 0, QRect(4, 52, 112, 26),
         QRect(120, 50, 186, 28)},
        {"Label41", "MF Ouput Mode", {"MF short when trigger", "MF open when trigger"}, 0, QRect(314, 52, 130, 26),
         QRect(448, 50, 228, 28)},
        {"Label42", "DO Ouput Mode", {"DO short when trigger", "DO open when trigger"}, 0, QRect(314, 92, 130, 26),
         QRect(448, 90, 228, 28)},
        {"Label43",
         "DO Function",
         {"No Function", "Output as same as SVON(for Z break)", "Smart pick and place output", "Reserved"},
         1,
         QRect(314, 12, 130, 26),
         QRect(448, 10, 228, 28)},
    };
    for (int i = 0; i < 6; ++i) {
        const Option& o = options[i];
        auto* caption = label(page, QLatin1String(o.label), QLatin1String(o.caption), o.label_rect, Qt::AlignRight);
        c.cbb_config[i] = combo(page, member_name("cbb_config", i), o.box_rect, caption);
        c.cbb_config[i]->addItems(o.items);
        c.cbb_config[i]->setCurrentIndex(o.initial);
        c.cbb_config[i]->lineEdit()->setCursorPosition(0);
    }

    auto* cfg = label(page, QStringLiteral("Label21"), QStringLiteral("CFG"), QRect(4, 150, 112, 26), Qt::AlignRight);
    c.lb_rv_feedback_3 = value_box(page, member_name("lb_rv_feedback", 3), cfg->text(), QRect(120, 150, 80, 26),
                                    Qt::AlignHCenter);
    c.cmd_config_apply = button(page, QStringLiteral("cmd_config_apply"), QStringLiteral("Apply"),
                                QRect(566, 146, 110, 38));
}

}  // namespace mivo::layout

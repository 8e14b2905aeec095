#include "console/settings.h"

#include "console/console_context.h"
#include "link/command_exchange.h"
#include "link/form_variables.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"
#include "window/controls.h"
#include "window/value_box.h"

#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QTimer>

#include <array>
#include <optional>

namespace mivo {

namespace {

constexpr qint16 kEnter = 13;
// The drive answers "SV" only once its memory is written.
constexpr qint32 kSaveWaitMs = 1500;

// The captions beside cbb_config(0) to (5), to say which box is wrong.
constexpr std::array<const char*, protocol::kConfigBoxes> kConfigCaptions{
    "(DI2,DI3)", "Interpolation", "Direction", "MF Ouput Mode", "DO Ouput Mode", "DO Function"};

QString entry_name(int group, int index)
{
    return (group == protocol::kGroupP ? QLatin1Char('P') : QLatin1Char('V')) + QString::number(index);
}

// The edit marker: red text while the box holds keys that have not been
// written to the drive. A screen reader hears it from the description.
void mark_unwritten(QLineEdit* box, bool unwritten)
{
    if (unwritten) {
        QPalette pal = box->palette();
        pal.setColor(QPalette::Text, QColor(255, 0, 0));
        box->setPalette(pal);
        box->setAccessibleDescription(QStringLiteral("not written"));
    } else {
        // A palette that sets nothing gives the colours back to the system,
        // so the text follows its window-text colour, also when that changes.
        box->setPalette(QPalette());
        box->setAccessibleDescription(QString());
    }
}

}  // namespace

QLineEdit* Settings::parameter_box(int group, int index) const
{
    if (index < 0 || index >= protocol::group_size(group))
        return nullptr;
    return group == protocol::kGroupP ? c_.ui.tx_position_settings[std::size_t(index)]
                                      : c_.ui.tx_v_group[std::size_t(index)];
}

void Settings::read_groups()
{
    const quint64 session = c_.link_session;
    QStringList missing = get_All_and_show_P_group();
    if (!c_.link_still_up(session))
        return;  // the close or the loss has told the user
    missing += get_All_and_show_V_group();
    if (!c_.link_still_up(session) || missing.isEmpty())
        return;
    if (missing.size() == protocol::kGroupPSize + protocol::kGroupVSize)
        c_.show_message(QStringLiteral("No number from the drive for any P or V entry."));
    else
        c_.show_message(QStringLiteral("No number from the drive for %1.").arg(missing.join(QStringLiteral(", "))));
}

QStringList Settings::get_All_and_show_P_group()
{
    return read_group(protocol::kGroupP);
}

QStringList Settings::get_All_and_show_V_group()
{
    return read_group(protocol::kGroupV);
}

QStringList Settings::read_group(int group)
{
    const quint64 session = c_.link_session;
    QStringList missing;
    c_.ui.Timer1->stop();
    for (int n = 0; n < protocol::group_size(group); ++n) {
        // The reads process no events, but a port that fails under a write
        // is reported at once.
        if (!c_.link_still_up(session))
            return missing;
        // A missing reply leaves reply_value empty, which is no number either.
        c_.exchange.get_mivo_response(protocol::read_parameter_line(group, n), protocol::parameter_target(group, n));
        const std::optional<qint16> value = protocol::to_int16(c_.vars.reply_value);
        // No number shows as no number: an old value would pass for the drive's.
        parameter_box(group, n)->setText(value ? QString::number(*value) : QString());
        if (!value)
            missing << entry_name(group, n);
    }
    c_.start_timer1();
    return missing;
}

void Settings::key_press(int group, int index, qint16 key_ascii)
{
    // Every key brings the message while the port is closed; the key still
    // reaches the box.
    if (!c_.linked_or_tell(QStringLiteral("Link First!")))
        return;
    QLineEdit* box = parameter_box(group, index);
    if (!box)
        return;
    mark_unwritten(box, true);
    if (key_ascii != kEnter)
        return;

    const std::optional<qint16> value = protocol::to_int16(box->text());
    if (!value) {
        // The box stays red: its entry has not been written.
        c_.show_message(QStringLiteral("%1 was not written: type a number from -32768 to 32767.")
                            .arg(entry_name(group, index)));
        return;
    }
    const quint64 session = c_.link_session;
    c_.exchange.send_mivo_command(protocol::write_parameter_line(group, index, *value));
    if (c_.link_still_up(session))
        mark_unwritten(box, false);
}

void Settings::save_click()
{
    if (!c_.linked_or_tell(QStringLiteral("Link first!")))
        return;
    const quint64 session = c_.link_session;
    c_.ui.Timer1->stop();
    c_.exchange.send_mivo_command(protocol::save_line());
    const bool answered_at_once = !c_.exchange.discarded_text().isEmpty();
    c_.exchange.Delay(kSaveWaitMs);
    // After a "Close" (and perhaps a new "Open") inside the wait nothing more
    // goes to the port and nothing claims the save went through.
    if (!c_.link_still_up(session))
        return;
    const bool answered_later = !c_.exchange.empty_receive_buffer().isEmpty();
    const bool answered = answered_at_once || answered_later;

    // Under broadcast no drive answers, whether it saved or not.
    if (answered || c_.vars.station_num == protocol::kBroadcastStation)
        c_.show_message(QStringLiteral("Save OK."));
    else
        c_.show_message(QStringLiteral("Station %1 did not answer the save.").arg(c_.vars.station_num));
    c_.start_timer1();
}

void Settings::get_and_show_MIVO_config()
{
    const quint64 session = c_.link_session;
    c_.ui.Timer1->stop();
    c_.exchange.get_mivo_response(protocol::read_parameter_line(protocol::kConfigGroup, protocol::kConfigIndex),
                                  protocol::parameter_target(protocol::kConfigGroup, protocol::kConfigIndex));
    const std::optional<qint16> word = protocol::to_int16(c_.vars.reply_value);
    if (word) {
        c_.ui.lb_rv_feedback(3)->setText(QString::number(*word));
        const protocol::ConfigIndexes indexes = protocol::decode_config(*word);
        for (std::size_t i = 0; i < indexes.size(); ++i)
            c_.ui.cbb_config[i]->setCurrentIndex(indexes[i]);
    } else {
        // The boxes keep what they show; the label must not pass an old word
        // off as the drive's.
        c_.ui.lb_rv_feedback(3)->setText(QString());
    }
    c_.start_timer1();
    if (!word && c_.link_still_up(session))
        c_.show_message(QStringLiteral("No number from the drive for the configuration word (V5)."));
}

void Settings::apply_click()
{
    if (c_.linked_or_tell(QStringLiteral("Link First!")))
        set_new_config();
}

void Settings::set_new_config()
{
    // What the boxes show is what goes out: a box typed into so that it shows
    // none of its items has no bits to give.
    protocol::ConfigIndexes indexes{};
    QStringList wrong;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const QComboBox* box = c_.ui.cbb_config[i];
        indexes[i] = box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (indexes[i] < 0)
            wrong << QStringLiteral("\"%1\"").arg(QLatin1String(kConfigCaptions[i]));
    }
    if (!wrong.isEmpty()) {
        c_.show_message(QStringLiteral("Choose an item of the list for %1; nothing was written.")
                            .arg(wrong.join(QStringLiteral(", "))));
        return;
    }

    const quint64 session = c_.link_session;
    c_.ui.Timer1->stop();
    c_.exchange.send_mivo_command(protocol::write_config_line(protocol::compose_config(indexes)));
    c_.exchange.Delay(CommandExchange::kReplyWaitMs);
    if (!c_.link_still_up(session))
        return;
    c_.exchange.send_mivo_command(protocol::save_line());
    c_.exchange.Delay(kSaveWaitMs);
    if (!c_.link_still_up(session))
        return;
    c_.show_message(QStringLiteral("Please reset MIVO!"));
    if (!c_.link_still_up(session))
        return;
    c_.exchange.empty_receive_buffer();
    c_.start_timer1();
}

}  // namespace mivo

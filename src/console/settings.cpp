#include "console/settings.h"

#include "console/console_context.h"
#include "console/console_view.h"
#include "console/drive_operations.h"
#include "console/link_guard.h"
#include "console/poll_gate.h"
#include "console/settings_file.h"
#include "console/wire_source.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"

#include <array>
#include <optional>

namespace mivo {

namespace {

constexpr qint16 kEnter = 13;

// The captions beside cbb_config(0) to (5), to say which box is wrong.
constexpr std::array<const char*, protocol::kConfigBoxes> kConfigCaptions{
    "(DI2,DI3)", "Interpolation", "Direction", "MF Ouput Mode", "DO Ouput Mode", "DO Function"};

QString entry_name(int group, int index)
{
    return settings_file::name_of(settings_file::entry_of(group, index));
}

}  // namespace

void Settings::read_groups()
{
    const LinkGuard link = c_.hold_link();
    QStringList missing = get_All_and_show_P_group();
    if (!link.up())
        return;  // the close or the loss has told the user
    missing += get_All_and_show_V_group();
    if (!link.up() || missing.isEmpty())
        return;
    if (missing.size() == protocol::kGroupPSize + protocol::kGroupVSize)
        c_.tell(QStringLiteral("No number from the drive for any P or V entry."));
    else
        c_.tell(QStringLiteral("No number from the drive for %1.").arg(missing.join(QStringLiteral(", "))));
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
    const WireSource tag(c_.exchange, QStringLiteral("Setup"));
    const int first = settings_file::entry_of(group, 0);
    const DriveOperations::Groups read = operations_.read_entries(first, first + protocol::group_size(group) - 1);
    // No number shows as no number: an old value would pass for the drive's.
    for (int n = 0; n < read.values.size(); ++n)
        c_.state.add_entry_read(first + n, read.values[n]);
    return read.missing;
}

void Settings::key_press(int group, int index, qint16 key_ascii, const QString& box_text)
{
    const WireSource tag(c_.exchange, QStringLiteral("Setup"));
    // Every key brings the message while the port is closed; the key still
    // reaches the box.
    if (!c_.linked_or_tell(QStringLiteral("Link First!")))
        return;
    if (index < 0 || index >= protocol::group_size(group))
        return;
    const int entry = settings_file::entry_of(group, index);
    c_.state.set_unwritten(entry, true);
    if (key_ascii != kEnter)
        return;

    const std::optional<qint16> value = protocol::to_int16(box_text);
    if (!value) {
        // The box stays red: its entry has not been written.
        c_.tell(QStringLiteral("%1 was not written: type a number from -32768 to 32767.")
                    .arg(entry_name(group, index)));
        return;
    }
    if (operations_.put_entry(entry, *value).ok())
        c_.state.set_unwritten(entry, false);
}

void Settings::save_click()
{
    if (!c_.linked_or_tell(QStringLiteral("Link first!")))
        return;
    const LinkGuard link = c_.hold_link();
    // Off also while the message is up.
    const PollGate::Hold off(c_.poll, link, PollGate::After::On);
    const DriveOperations::Saved saved = operations_.save();
    if (!link.up())
        return;

    // Under broadcast no drive answers, whether it saved or not ("32.4"
    // selects station 32 in normal mode, where silence means the save was
    // not heard).
    if (saved.answered || c_.broadcast())
        c_.tell(QStringLiteral("Save OK."));
    else
        c_.tell(QStringLiteral("Station %1 did not answer the save.").arg(c_.vars.station_num));
}

void Settings::get_and_show_MIVO_config()
{
    const WireSource tag(c_.exchange, QStringLiteral("Config"));
    const LinkGuard link = c_.hold_link();
    std::optional<qint16> word;
    {
        // The poll is on again before the message.
        const PollGate::Hold off(c_.poll, link, PollGate::After::On);
        word = operations_.read_entry(settings_file::entry_of(protocol::kConfigGroup, protocol::kConfigIndex)).value;
        // Without a word the boxes keep what they show, but the label must
        // not pass an old word off as the drive's.
        c_.state.add_config_word_read(word);
    }
    if (!word && link.up())
        c_.tell(QStringLiteral("No number from the drive for the configuration word (V5)."));
}

void Settings::apply_click(const ConfigChoices& choices)
{
    if (c_.linked_or_tell(QStringLiteral("Link First!")))
        set_new_config(choices);
}

void Settings::set_new_config(const ConfigChoices& indexes)
{
    // What the boxes show is what goes out: a box typed into so that it shows
    // none of its items has no bits to give.
    QStringList wrong;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        if (indexes[i] < 0)
            wrong << QStringLiteral("\"%1\"").arg(QLatin1String(kConfigCaptions[i]));
    }
    if (!wrong.isEmpty()) {
        c_.tell(QStringLiteral("Choose an item of the list for %1; nothing was written.")
                    .arg(wrong.join(QStringLiteral(", "))));
        return;
    }
    if (operations_.apply_config(protocol::compose_config(indexes)).ok())
        c_.tell(QStringLiteral("Please reset MIVO!"));
}

}  // namespace mivo

#pragma once

#include "protocol/reply_values.h"

#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace mivo {

class ConsoleContext;
class DriveOperations;

// The "Setup" and "Config" pages: the drive's P and V parameter groups, the
// save command, and the configuration word (V5) with its six option boxes.
class Settings {
public:
    Settings(ConsoleContext& context, DriveOperations& operations) : c_(context), operations_(operations) {}

    // "Setup" came to the front: the P group, then the V group, and one
    // message for every entry that brought no number back.
    void read_groups();
    // Each reads its whole group with the poll held off, then on, and
    // returns the names ("P3", "V2") of the entries that brought no number.
    QStringList get_All_and_show_P_group();
    QStringList get_All_and_show_V_group();

    // A key typed into tx_position_settings(index) (group 0) or
    // tx_v_group(index) (group 1), which holds box_text; Enter writes the
    // entry. The box still receives the key.
    void key_press(int group, int index, qint16 key_ascii, const QString& box_text);
    void save_click();  // "Save"

    // "Config" came to the front.
    void get_and_show_MIVO_config();
    // The list index each of cbb_config(0..5) shows, -1 for a box whose
    // text names none of its items.
    using ConfigChoices = protocol::ConfigIndexes;
    void apply_click(const ConfigChoices& choices);  // "Apply"
    void set_new_config(const ConfigChoices& choices);

private:
    // Reads group 0 (P) or 1 (V) into its boxes; see get_All_and_show_P_group.
    QStringList read_group(int group);

    ConsoleContext& c_;
    DriveOperations& operations_;
};

}  // namespace mivo

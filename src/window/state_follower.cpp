#include "window/state_follower.h"

#include "console/console_state.h"
#include "console/settings_file.h"
#include "protocol/command_lines.h"
#include "protocol/reply_values.h"
#include "window/light.h"
#include "window/line_pane.h"
#include "window/transcript_box.h"
#include "window/value_box.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

namespace mivo {

namespace {

// tx_position_settings(index) or tx_v_group(index) of entry; nullptr for
// any other entry.
QLineEdit* parameter_box(const Form1Controls& ui, int entry)
{
    if (entry < 0 || entry >= settings_file::kEntries)
        return nullptr;
    const int group = settings_file::group_of(entry);
    const int index = settings_file::index_of(entry);
    if (index < 0 || index >= protocol::group_size(group))
        return nullptr;
    return group == protocol::kGroupP ? ui.tx_position_settings[std::size_t(index)]
                                      : ui.tx_v_group[std::size_t(index)];
}

}  // namespace

StateFollower::StateFollower(const ConsoleState& state, Form1Controls& ui, LinePane& line_pane, QObject* parent)
    : QObject(parent), ui_(ui), line_pane_(line_pane)
{
    connect(&state, &ConsoleState::link_changed, this, [this](bool open) { ui_.comm_state_light->show_bit(open); });
    connect(&state, &ConsoleState::polling_changed, this, [this](bool on) { ui_.sh_run->show_bit(on); });
    connect(&state, &ConsoleState::live_value_changed, this, &StateFollower::show_live_value);
    connect(&state, &ConsoleState::availability_changed, this, &StateFollower::show_availability);
    connect(&state, &ConsoleState::station_list_changed, this, &StateFollower::show_station_list);
    connect(&state, &ConsoleState::sweeping_changed, this, [this](std::optional<int> station) {
        ui_.cbb_station_num->setEditText(station ? QString::number(*station) : QString());
    });
    connect(&state, &ConsoleState::feedback_changed, this, [this](bool position, bool states) {
        ui_.cb_ask_pfbk->setChecked(position);
        ui_.cb_ask_states->setChecked(states);
    });
    connect(&state, &ConsoleState::entry_read, this, &StateFollower::show_entry);
    connect(&state, &ConsoleState::unwritten_changed, this, &StateFollower::mark_unwritten);
    connect(&state, &ConsoleState::config_word_read, this, &StateFollower::show_config_word);
    connect(&state, &ConsoleState::terminal_line, this, [this](const QString& line, const QString& received) {
        ui_.tx_response->append(line + QStringLiteral("\r\n") + received);
        ui_.tx_command->clear();
    });
    connect(&state, &ConsoleState::transcript_cleared, this, [this] { ui_.tx_response->setText(QString()); });

    // A window made after the console started shows where it stands.
    ui_.comm_state_light->show_bit(state.link_open());
    if (state.availability())
        show_availability(*state.availability());
}

void StateFollower::show_live_value(qint16 RV_Group_num, const std::optional<QString>& value)
{
    switch (RV_Group_num) {
    case protocol::kValuePosition:
        // A missing reply leaves the box as it was; any line, "ERR" too,
        // shows as it came.
        if (value)
            ui_.lb_rv_feedback_0->setText(*value);
        break;
    case protocol::kValueVersion:
        // No answer empties the box: what it showed was the station's
        // selected before.
        ui_.lb_rv_feedback_4->setText(value.value_or(QString()));
        break;
    case protocol::kValueState:
        // No number, no information: the lights keep what they showed.
        if (const auto lit = protocol::state_lights(value.value_or(QString()))) {
            for (std::size_t i = 0; i < lit->size(); ++i)
                ui_.mivo_state_light[i]->show_bit((*lit)[i]);
        }
        break;
    case protocol::kValueInputs:
        if (const auto lit = protocol::input_lights(value.value_or(QString()))) {
            for (std::size_t i = 0; i < lit->size(); ++i)
                ui_.mivo_DI_state_light[i]->show_bit((*lit)[i]);
        }
        break;
    default: break;
    }
}

void StateFollower::show_availability(const Availability::State& s)
{
    ui_.cmd_port_open->setEnabled(s.cmd_port_open);
    ui_.cmd_port_close->setEnabled(s.cmd_port_close);
    ui_.cbb_station_num->setEnabled(s.cbb_station_num);
    ui_.cmd_search_station->setEnabled(s.cmd_search_station);
    ui_.cmd_set_station->setEnabled(s.cmd_set_station);
    ui_.cmd_start_move->setEnabled(s.cmd_start_move);
    ui_.cmd_stop_move->setEnabled(s.cmd_stop_move);
    ui_.SSTab1->setEnabled(s.SSTab1);
    for (QAction* a : {ui_.mnu_drive_backup, ui_.mnu_drive_compare, ui_.mnu_drive_restore, ui_.mnu_drive_run_test,
                       ui_.mnu_drive_station_mode})
        a->setEnabled(s.drive_menu);
    // "Results..." reads a store, not the line: it is always there.
    line_pane_.set_batch_enabled(s.line_batch);

    // Disabling the page in front makes the tab bar move to another page and
    // report a change. Only the user changes the page in front: the bar is
    // kept quiet and put back, so the handler does not run and the page
    // stays where it was.
    QTabBar* bar = ui_.SSTab1->tabBar();
    const QSignalBlocker quiet(bar);
    const int front = bar->currentIndex();
    for (int i = 0; i < int(s.pages.size()); ++i) {
        ui_.SSTab1->setTabEnabled(i, s.pages[i]);
        ui_.SSTab1->setTabToolTip(i, QString::fromLatin1(s.page_reasons[i]));
    }
    bar->setCurrentIndex(front);
}

void StateFollower::show_station_list(const QList<int>& stations)
{
    // Filling an editable combo box would also change its text, which shows
    // the sweep's progress instead.
    QComboBox* box = ui_.cbb_station_num;
    const QString text = box->currentText();
    box->clear();
    for (int n : stations)
        box->addItem(QString::number(n));
    box->setEditText(stations.isEmpty() ? QString() : text);
}

void StateFollower::show_entry(int entry, std::optional<qint16> value)
{
    // No number shows as no number: an old value would pass for the drive's.
    if (QLineEdit* box = parameter_box(ui_, entry))
        box->setText(value ? QString::number(*value) : QString());
}

void StateFollower::mark_unwritten(int entry, bool unwritten)
{
    QLineEdit* box = parameter_box(ui_, entry);
    if (!box)
        return;
    // Red text while the box holds keys that have not been written to the
    // drive; a screen reader hears it from the description.
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

void StateFollower::show_config_word(std::optional<qint16> word)
{
    // Without a word the boxes keep what they show; the label empties.
    ui_.lb_rv_feedback_3->setText(word ? QString::number(*word) : QString());
    if (!word)
        return;
    const protocol::ConfigIndexes indexes = protocol::decode_config(*word);
    for (std::size_t i = 0; i < indexes.size(); ++i)
        ui_.cbb_config[i]->setCurrentIndex(indexes[i]);
}

}  // namespace mivo

#include "window/window_view.h"

#include "protocol/command_lines.h"
#include "window/layout.h"
#include "window/light.h"
#include "window/line_pane.h"
#include "window/message_box.h"
#include "window/transcript_box.h"
#include "window/value_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

namespace mivo {

WindowView::WindowView(QWidget& window, Form1Controls& ui) : window_(window), ui_(ui) {}

void WindowView::apply_availability(const Availability::State& s)
{
    ui_.cmd_port_open->setEnabled(s.cmd_port_open);
    ui_.cmd_port_close->setEnabled(s.cmd_port_close);
    ui_.cbb_station_num->setEnabled(s.cbb_station_num);
    ui_.cmd_search_station->setEnabled(s.cmd_search_station);
    ui_.cmd_set_station->setEnabled(s.cmd_set_station);
    ui_.cmd_start_move->setEnabled(s.cmd_start_move);
    ui_.cmd_stop_move->setEnabled(s.cmd_stop_move);
    ui_.SSTab1->setEnabled(s.SSTab1);
    for (QAction* a : {ui_.mnu_drive_backup, ui_.mnu_drive_compare, ui_.mnu_drive_restore, ui_.mnu_drive_run_test})
        a->setEnabled(s.drive_menu);
    if (line_pane_)
        line_pane_->set_batch_enabled(s.line_batch);

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

void WindowView::show_message(const QString& text)
{
    if (!closing_)
        show_message_box(&window_, text);
}

bool WindowView::ask(const QString& question)
{
    if (closing_)
        return false;
    QMessageBox box(QMessageBox::Question, QStringLiteral("MIVO UI"), question, QMessageBox::Yes | QMessageBox::No,
                    &window_);
    box.setObjectName(QStringLiteral("question"));
    box.setAccessibleName(question);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void WindowView::show_link_light(bool linked)
{
    ui_.comm_state_light->show_bit(linked);
}

void WindowView::show_run_light(bool running)
{
    ui_.sh_run->show_bit(running);
}

void WindowView::show_state_lights(const std::array<bool, 8>& lit)
{
    for (std::size_t i = 0; i < lit.size(); ++i)
        ui_.mivo_state_light[i]->show_bit(lit[i]);
}

void WindowView::show_input_lights(const std::array<bool, 4>& lit)
{
    for (std::size_t i = 0; i < lit.size(); ++i)
        ui_.mivo_DI_state_light[i]->show_bit(lit[i]);
}

void WindowView::show_value(qint16 index, const QString& text)
{
    if (ValueBox* box = ui_.lb_rv_feedback(index))
        box->setText(text);
}

void WindowView::clear_station_list()
{
    ui_.cbb_station_num->clear();
}

void WindowView::append_station(int station)
{
    // Adding the first item to an editable combo box would also put it into
    // the text, which shows the sweep's progress instead.
    const QString text = ui_.cbb_station_num->currentText();
    ui_.cbb_station_num->addItem(QString::number(station));
    ui_.cbb_station_num->setEditText(text);
}

void WindowView::show_station_text(const QString& text)
{
    ui_.cbb_station_num->setEditText(text);
}

QLineEdit* WindowView::parameter_box(int group, int index) const
{
    if (index < 0 || index >= protocol::group_size(group))
        return nullptr;
    return group == protocol::kGroupP ? ui_.tx_position_settings[std::size_t(index)]
                                      : ui_.tx_v_group[std::size_t(index)];
}

void WindowView::show_parameter(int group, int index, const QString& text)
{
    if (QLineEdit* box = parameter_box(group, index))
        box->setText(text);
}

void WindowView::mark_unwritten(int group, int index, bool unwritten)
{
    QLineEdit* box = parameter_box(group, index);
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

void WindowView::show_config(const protocol::ConfigIndexes& indexes)
{
    for (std::size_t i = 0; i < indexes.size(); ++i)
        ui_.cbb_config[i]->setCurrentIndex(indexes[i]);
}

void WindowView::append_transcript(const QString& text)
{
    ui_.tx_response->append(text);
}

void WindowView::clear_transcript()
{
    ui_.tx_response->setText(QString());
}

void WindowView::clear_command()
{
    ui_.tx_command->clear();
}

void WindowView::tick_feedback_boxes()
{
    ui_.cb_ask_pfbk->setChecked(true);
    ui_.cb_ask_states->setChecked(true);
}

}  // namespace mivo

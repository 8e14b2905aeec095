#include "window/form1.h"

#include "window/capture_pane.h"
#include "window/drive_menu.h"
#include "window/state_follower.h"
#include "window/window_view.h"

#include "console/console.h"
#include "protocol/command_lines.h"
#include "window/accessibility.h"
#include "window/key_press_relay.h"
#include "window/layout.h"
#include "window/line_pane.h"
#include "window/recorder_pane.h"
#include "window/wire_log_pane.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLayout>
#include <QMenu>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace mivo {

namespace {

// The text of box index of a parameter group; empty for no such box.
template <std::size_t N>
QString box_text(const std::array<QLineEdit*, N>& boxes, qint16 index)
{
    return index >= 0 && std::size_t(index) < N ? boxes[std::size_t(index)]->text() : QString();
}

}  // namespace

Form1::Form1(Console& console, QWidget* parent)
    : QMainWindow(parent),
      console_(console),
      view_(std::make_unique<WindowView>(*this)),
      drive_menu_(std::make_unique<DriveMenu>(console, *this, *view_, closing_))
{
    install_accessibility_roles();
    build();
    connect_handlers();
    Form_Load();
}

Form1::~Form1()
{
    // Nothing the console does from now on may reach the widgets, and the
    // docks that go with the window must not reach the console.
    if (&console_.view() == view_.get())
        console_.set_view(nullptr);
    if (line_dock_)
        line_dock_->disconnect(this);
    console_.line_overview().set_active(false);
}

void Form1::build()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("MIVO UI - V1.2"));
    setFont(layout::ui_font());
    build_menu();
    // Everything else sits in a body below the menu bar, at the places it
    // has always had.
    ui_.body = new QWidget(this);
    ui_.body->setObjectName(QStringLiteral("body"));
    ui_.body->setFixedSize(701, 424);
    setCentralWidget(ui_.body);
    QWidget* body = ui_.body;

    layout::build_communication_frame(body, ui_);
    layout::build_states_frame(body, ui_);

    ui_.SSTab1 = new QTabWidget(body);
    ui_.SSTab1->setObjectName(QStringLiteral("SSTab1"));
    ui_.SSTab1->setGeometry(8, 160, 689, 257);
    ui_.SSTab1->tabBar()->setFont(layout::ui_font(layout::kTabFontPt));
    const struct {
        const char* caption;
        void (*build)(QWidget*, Form1Controls&);
    } pages[] = {
        {"Terminal", layout::build_terminal_page},
        {"Motion", layout::build_motion_page},
        {"Setup", layout::build_setup_page},
        {"Config", layout::build_config_page},
    };
    for (const auto& p : pages) {
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("page_%1").arg(QLatin1String(p.caption)));
        page->setAccessibleName(QLatin1String(p.caption));
        p.build(page, ui_);
        ui_.SSTab1->addTab(page, QLatin1String(p.caption));
    }
    build_panes();
    fit_to_panes();
}

void Form1::build_panes()
{
    wire_log_pane_ = new WireLogPane(console_.wire_log());
    recorder_pane_ = new RecorderPane(console_.recorder());
    // The pane follows the poll's samples itself.
    connect(&console_.state(), &ConsoleState::sample_recorded, recorder_pane_, [pane = recorder_pane_] {
        pane->sample_added();
    });
    line_pane_ = new LinePane(console_.line_overview());
    capture_pane_ = new CapturePane(console_);
    // Made once the panes are there: the Line pane's batch follows too.
    new StateFollower(console_.state(), ui_, *line_pane_, this);
    // As "Set Station" with the station typed in.
    connect(line_pane_, &LinePane::station_chosen, this, [this](int station) {
        ui_.cbb_station_num->setEditText(QString::number(station));
        if (ui_.cmd_set_station->isEnabled())
            cmd_set_station_Click();
    });
    const struct {
        QDockWidget** dock;
        QWidget* pane;
        const char* name;
        const char* title;
        QAction** item;
        const char* item_name;
        Qt::DockWidgetArea area;
    } panes[] = {
        {&wire_log_dock_, wire_log_pane_, "dock_wire_log", "Wire Log", &ui_.mnu_view_wire_log, "mnu_view_wire_log",
         Qt::BottomDockWidgetArea},
        {&recorder_dock_, recorder_pane_, "dock_recorder", "Recorder", &ui_.mnu_view_recorder, "mnu_view_recorder",
         Qt::RightDockWidgetArea},
        {&line_dock_, line_pane_, "dock_line", "Line", &ui_.mnu_view_line, "mnu_view_line", Qt::BottomDockWidgetArea},
        {&capture_dock_, capture_pane_, "dock_capture", "Capture", &capture_item_, "mnu_view_capture",
         Qt::RightDockWidgetArea},
    };
    QMenu* view = ui_.menu_bar->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("mnu_view"));
    for (const auto& p : panes) {
        auto* dock = new QDockWidget(QLatin1String(p.title), this);
        dock->setObjectName(QLatin1String(p.name));
        // The panes are new: the system's font, not the form's own.
        dock->setFont(QGuiApplication::font());
        dock->setWidget(p.pane);
        addDockWidget(p.area, dock);
        // Hidden at start: the window opens as it always has.
        dock->hide();
        *p.dock = dock;
        *p.item = dock->toggleViewAction();
        (*p.item)->setObjectName(QLatin1String(p.item_name));
        view->addAction(*p.item);
        // Once the dock has settled where it goes.
        const auto refit = [this] { QTimer::singleShot(0, this, &Form1::fit_to_panes); };
        connect(dock, &QDockWidget::visibilityChanged, this, refit);
        connect(dock, &QDockWidget::topLevelChanged, this, refit);
    }
    const auto batch = [this](StationBatch::Kind kind) { return [this, kind] { drive_menu_->run_on_every_station(kind); }; };
    connect(line_pane_, &LinePane::back_up_all, this, batch(StationBatch::Kind::BackUp));
    connect(line_pane_, &LinePane::compare_all, this, batch(StationBatch::Kind::Compare));
    connect(line_pane_, &LinePane::restore_to_all, this, batch(StationBatch::Kind::Restore));
    // Hidden, the pane sends nothing.
    connect(line_dock_, &QDockWidget::visibilityChanged, this,
            [this](bool visible) { console_.line_overview().set_active(visible); });
}

void Form1::fit_to_panes()
{
    bool docked = false;
    for (const QDockWidget* d : {wire_log_dock_, recorder_dock_, line_dock_, capture_dock_})
        docked = docked || (!d->isHidden() && !d->isFloating());
    if (!docked) {
        setFixedSize(701, ui_.menu_bar->sizeHint().height() + 424);
        return;
    }
    // The layout's own lower limit, which takes the docked panes in.
    layout()->invalidate();
    setMinimumSize(layout()->minimumSize());
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(size().expandedTo(sizeHint()));
}

void Form1::build_menu()
{
    ui_.menu_bar = new QMenuBar(this);
    setMenuBar(ui_.menu_bar);
    ui_.menu_bar->setObjectName(QStringLiteral("menu_bar"));
    ui_.menu_bar->setFont(layout::ui_font(layout::kTabFontPt));
    QMenu* drive = ui_.menu_bar->addMenu(QStringLiteral("Drive"));
    drive->setObjectName(QStringLiteral("mnu_drive"));
    const struct {
        QAction** action;
        const char* name;
        const char* caption;
        void (Form1::*handler)();
    } items[] = {
        {&ui_.mnu_drive_backup, "mnu_drive_backup", "Back Up Settings...", &Form1::mnu_drive_backup_Click},
        {&ui_.mnu_drive_compare, "mnu_drive_compare", "Compare With File...", &Form1::mnu_drive_compare_Click},
        {&ui_.mnu_drive_restore, "mnu_drive_restore", "Restore From File...", &Form1::mnu_drive_restore_Click},
        {&ui_.mnu_drive_run_test, "mnu_drive_run_test", "Run Test...", &Form1::mnu_drive_run_test_Click},
        {&ui_.mnu_drive_station_mode, "mnu_drive_station_mode", "Station Mode...",
         &Form1::mnu_drive_station_mode_Click},
        {&ui_.mnu_drive_results, "mnu_drive_results", "Results...", &Form1::mnu_drive_results_Click},
    };
    for (const auto& item : items) {
        *item.action = drive->addAction(QLatin1String(item.caption));
        (*item.action)->setObjectName(QLatin1String(item.name));
        (*item.action)->setEnabled(false);
        connect(*item.action, &QAction::triggered, this, item.handler);
    }

    QMenu* line = ui_.menu_bar->addMenu(QStringLiteral("Line"));
    line->setObjectName(QStringLiteral("mnu_line"));
    ui_.mnu_line_reply_wait = line->addAction(QStringLiteral("Reply Wait..."));
    ui_.mnu_line_reply_wait->setObjectName(QStringLiteral("mnu_line_reply_wait"));
    connect(ui_.mnu_line_reply_wait, &QAction::triggered, this, &Form1::mnu_line_reply_wait_Click);
    // Off at every start: the console keeps no settings.
    ui_.mnu_line_reconnect = line->addAction(QStringLiteral("Reconnect Automatically"));
    ui_.mnu_line_reconnect->setObjectName(QStringLiteral("mnu_line_reconnect"));
    ui_.mnu_line_reconnect->setCheckable(true);
    connect(ui_.mnu_line_reconnect, &QAction::toggled, this, &Form1::mnu_line_reconnect_Toggled);
}

void Form1::mnu_line_reconnect_Toggled(bool on)
{
    console_.reconnection().set_enabled(on);
}

void Form1::connect_handlers()
{
    connect(ui_.cmd_port_open, &QPushButton::clicked, this, &Form1::cmd_port_open_Click);
    connect(ui_.cmd_port_close, &QPushButton::clicked, this, &Form1::cmd_port_close_Click);
    connect(ui_.cmd_send_command, &QPushButton::clicked, this, &Form1::cmd_send_command_Click);
    connect(ui_.cmd_clean_response, &QPushButton::clicked, this, &Form1::cmd_clean_response_Click);
    connect(ui_.cmd_search_station, &QPushButton::clicked, this, &Form1::cmd_search_station_Click);
    connect(ui_.cmd_set_station, &QPushButton::clicked, this, &Form1::cmd_set_station_Click);
    connect(ui_.cmd_setup_save, &QPushButton::clicked, this, &Form1::cmd_setup_save_Click);
    connect(ui_.cmd_config_apply, &QPushButton::clicked, this, &Form1::cmd_config_apply_Click);
    connect(ui_.cmd_mivo_enable, &QPushButton::clicked, this, &Form1::cmd_mivo_enable_Click);
    connect(ui_.cmd_mivo_disable, &QPushButton::clicked, this, &Form1::cmd_mivo_disable_Click);
    connect(ui_.cmd_mivo_home, &QPushButton::clicked, this, &Form1::cmd_mivo_home_Click);
    connect(ui_.cmd_start_move, &QPushButton::clicked, this, &Form1::cmd_start_move_Click);
    connect(ui_.cmd_stop_move, &QPushButton::clicked, this, &Form1::cmd_stop_move_Click);
    connect(ui_.SSTab1, &QTabWidget::currentChanged, this, &Form1::on_page_changed);
    // The poll reads what the "FeedBack" boxes ask for, from the start.
    const auto feedback = [this] {
        console_.monitoring().set_feedback(ui_.cb_ask_pfbk->isChecked(), ui_.cb_ask_states->isChecked());
    };
    connect(ui_.cb_ask_pfbk, &QCheckBox::toggled, this, feedback);
    connect(ui_.cb_ask_states, &QCheckBox::toggled, this, feedback);
    feedback();
    relay_key_presses(ui_.tx_command, [this](qint16 key) { tx_command_KeyPress(key); });
    for (qint16 i = 0; i < qint16(ui_.tx_position_settings.size()); ++i)
        relay_key_presses(ui_.tx_position_settings[i], [this, i](qint16 key) { tx_position_settings_KeyPress(i, key); });
    for (qint16 i = 0; i < qint16(ui_.tx_v_group.size()); ++i)
        relay_key_presses(ui_.tx_v_group[i], [this, i](qint16 key) { tx_v_group_KeyPress(i, key); });
}

void Form1::on_page_changed(int page)
{
    // Assistive technology can switch pages that a mouse cannot reach; such
    // a change is taken back.
    if (!ui_.SSTab1->isEnabled() || !ui_.SSTab1->isTabEnabled(page)) {
        const QSignalBlocker quiet(ui_.SSTab1);
        ui_.SSTab1->setCurrentIndex(page_in_front_);
        return;
    }
    const auto previous = static_cast<qint16>(page_in_front_);
    page_in_front_ = page;
    // The handler may show a message box; it runs once the page change
    // itself has returned to whoever asked for it.
    QTimer::singleShot(0, this, [this, previous] { SSTab1_Click(previous); });
}

ConsoleView& Form1::view() const
{
    return *view_;
}

void Form1::Form_Load() { console_.Form_Load(); }
void Form1::cmd_port_open_Click() { console_.port_control().open(ui_.cbb_port_num->currentText()); }
void Form1::cmd_port_close_Click() { console_.port_control().close(); }
void Form1::SSTab1_Click(qint16 PreviousTab) { console_.SSTab1_Click(PreviousTab, ui_.SSTab1->currentIndex()); }
void Form1::tx_command_KeyPress(qint16 KeyAscii)
{
    console_.terminal().key_press(KeyAscii, ui_.tx_command->text());
}
void Form1::cmd_send_command_Click() { console_.terminal().send(ui_.tx_command->text()); }
void Form1::cmd_clean_response_Click() { console_.terminal().clean(); }
void Form1::cmd_search_station_Click() { console_.stations().search_click(); }
void Form1::cmd_set_station_Click()
{
    console_.stations().set_station_click(ui_.cbb_station_num->currentText());
}
void Form1::Timer1_Timer() { console_.monitoring().Timer1_Timer(); }

void Form1::tx_position_settings_KeyPress(qint16 Index, qint16 KeyAscii)
{
    console_.settings().key_press(protocol::kGroupP, Index, KeyAscii, box_text(ui_.tx_position_settings, Index));
}
void Form1::tx_v_group_KeyPress(qint16 Index, qint16 KeyAscii)
{
    console_.settings().key_press(protocol::kGroupV, Index, KeyAscii, box_text(ui_.tx_v_group, Index));
}
void Form1::cmd_setup_save_Click() { console_.settings().save_click(); }
void Form1::cmd_config_apply_Click()
{
    Settings::ConfigChoices choices{};
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const QComboBox* box = ui_.cbb_config[i];
        choices[i] = box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    }
    console_.settings().apply_click(choices);
}

void Form1::cmd_mivo_enable_Click() { console_.motion().enable_click(); }
void Form1::cmd_mivo_disable_Click() { console_.motion().disable_click(); }
void Form1::cmd_mivo_home_Click() { console_.motion().home_click(); }
void Form1::cmd_start_move_Click()
{
    console_.motion().start_click({ui_.tx_move_position_1->text(), ui_.tx_move_position_2->text(),
                                   ui_.tx_move_speed->text(), ui_.tx_delay_1->text(), ui_.tx_delay_2->text()});
}
void Form1::cmd_stop_move_Click() { console_.motion().stop_click(); }

void Form1::mnu_drive_backup_Click() { drive_menu_->back_up(); }
void Form1::mnu_drive_compare_Click() { drive_menu_->compare(); }
void Form1::mnu_drive_restore_Click() { drive_menu_->restore(); }
void Form1::mnu_drive_run_test_Click() { drive_menu_->run_test(); }
void Form1::mnu_drive_station_mode_Click() { drive_menu_->station_mode(ui_.cbb_port_num->currentText()); }
void Form1::mnu_drive_results_Click() { drive_menu_->results(); }
void Form1::mnu_line_reply_wait_Click() { drive_menu_->reply_wait(*ui_.mnu_line_reply_wait); }

void Form1::closeEvent(QCloseEvent* event)
{
    // A handler may still sit in a wait (homing, a dwell, the search): the
    // console ends its waits and keeps it from writing, and no more boxes
    // come up, so that the program ends promptly.
    if (drive_menu_->stop_run_before_closing()) {
        // A recipe that left the motor on switches it off first; the window
        // closes once the run has ended.
        event->ignore();
        return;
    }
    closing_ = true;
    view_->set_closing();
    console_.shut_down();
    event->accept();
}

}  // namespace mivo

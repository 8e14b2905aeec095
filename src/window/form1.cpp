#include "window/form1.h"

#include "console/console.h"
#include "protocol/command_lines.h"
#include "window/accessibility.h"
#include "window/batch_report_dialog.h"
#include "window/recipe_dialog.h"
#include "recipe/recipe_run.h"
#include "window/key_press_relay.h"
#include "window/layout.h"
#include "window/light.h"
#include "window/line_pane.h"
#include "window/message_box.h"
#include "window/settings_report_dialog.h"
#include "window/transcript_box.h"
#include "window/recorder_pane.h"
#include "window/value_box.h"
#include "window/wire_log_pane.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace mivo {

Form1::Form1(Console& console, QWidget* parent) : QMainWindow(parent), console_(console)
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
    if (&console_.view() == this)
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
    connect(line_pane_, &LinePane::back_up_all, this, [this] { run_on_every_station(StationBatch::Kind::BackUp); });
    connect(line_pane_, &LinePane::compare_all, this, [this] { run_on_every_station(StationBatch::Kind::Compare); });
    connect(line_pane_, &LinePane::restore_to_all, this,
            [this] { run_on_every_station(StationBatch::Kind::Restore); });
    // Hidden, the pane sends nothing.
    connect(line_dock_, &QDockWidget::visibilityChanged, this,
            [this](bool visible) { console_.line_overview().set_active(visible); });
}

void Form1::fit_to_panes()
{
    bool docked = false;
    for (const QDockWidget* d : {wire_log_dock_, recorder_dock_, line_dock_})
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

void Form1::mnu_line_reply_wait_Click()
{
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("reply_wait_dialog"));
    dialog.setWindowTitle(QStringLiteral("Reply Wait"));
    dialog.setLabelText(QStringLiteral("How long each line waits for the drive's reply, in ms\n"
                                       "(raise it for a converter or a radio link that adds latency):"));
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setIntRange(CommandExchange::kReplyWaitMs, CommandExchange::kMaxReplyWaitMs);
    dialog.setIntValue(console_.exchange().reply_wait_ms());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int ms = dialog.intValue();
    console_.exchange().set_reply_wait_ms(ms);
    ui_.mnu_line_reply_wait->setText(ms == CommandExchange::kReplyWaitMs
                                         ? QStringLiteral("Reply Wait...")
                                         : QStringLiteral("Reply Wait... (%1 ms)").arg(ms));
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

void Form1::apply_availability(const Availability::State& s)
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

void Form1::show_message(const QString& text)
{
    if (!closing_)
        show_message_box(this, text);
}

bool Form1::ask(const QString& question)
{
    if (closing_)
        return false;
    QMessageBox box(QMessageBox::Question, QStringLiteral("MIVO UI"), question, QMessageBox::Yes | QMessageBox::No,
                    this);
    box.setObjectName(QStringLiteral("question"));
    box.setAccessibleName(question);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void Form1::show_link_light(bool linked)
{
    ui_.comm_state_light->show_bit(linked);
}

void Form1::show_run_light(bool running)
{
    ui_.sh_run->show_bit(running);
}

void Form1::show_state_lights(const std::array<bool, 8>& lit)
{
    for (std::size_t i = 0; i < lit.size(); ++i)
        ui_.mivo_state_light[i]->show_bit(lit[i]);
}

void Form1::show_input_lights(const std::array<bool, 4>& lit)
{
    for (std::size_t i = 0; i < lit.size(); ++i)
        ui_.mivo_DI_state_light[i]->show_bit(lit[i]);
}

void Form1::show_value(qint16 index, const QString& text)
{
    if (ValueBox* box = ui_.lb_rv_feedback(index))
        box->setText(text);
}

void Form1::clear_station_list()
{
    ui_.cbb_station_num->clear();
}

void Form1::append_station(int station)
{
    // Adding the first item to an editable combo box would also put it into
    // the text, which shows the sweep's progress instead.
    const QString text = ui_.cbb_station_num->currentText();
    ui_.cbb_station_num->addItem(QString::number(station));
    ui_.cbb_station_num->setEditText(text);
}

void Form1::show_station_text(const QString& text)
{
    ui_.cbb_station_num->setEditText(text);
}

QLineEdit* Form1::parameter_box(int group, int index) const
{
    if (index < 0 || index >= protocol::group_size(group))
        return nullptr;
    return group == protocol::kGroupP ? ui_.tx_position_settings[std::size_t(index)]
                                      : ui_.tx_v_group[std::size_t(index)];
}

void Form1::show_parameter(int group, int index, const QString& text)
{
    if (QLineEdit* box = parameter_box(group, index))
        box->setText(text);
}

void Form1::mark_unwritten(int group, int index, bool unwritten)
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

void Form1::show_config(const protocol::ConfigIndexes& indexes)
{
    for (std::size_t i = 0; i < indexes.size(); ++i)
        ui_.cbb_config[i]->setCurrentIndex(indexes[i]);
}

void Form1::append_transcript(const QString& text)
{
    ui_.tx_response->append(text);
}

void Form1::clear_transcript()
{
    ui_.tx_response->setText(QString());
}

void Form1::clear_command()
{
    ui_.tx_command->clear();
}

void Form1::tick_feedback_boxes()
{
    ui_.cb_ask_pfbk->setChecked(true);
    ui_.cb_ask_states->setChecked(true);
}

QString Form1::comm_text() const
{
    return ui_.cbb_port_num->currentText();
}

QString Form1::station_text() const
{
    return ui_.cbb_station_num->currentText();
}

QString Form1::command_text() const
{
    return ui_.tx_command->text();
}

QString Form1::parameter_text(int group, int index) const
{
    const QLineEdit* box = parameter_box(group, index);
    return box ? box->text() : QString();
}

int Form1::config_choice(int box) const
{
    if (box < 0 || box >= int(ui_.cbb_config.size()))
        return -1;
    const QComboBox* combo = ui_.cbb_config[std::size_t(box)];
    return combo->findText(combo->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

bool Form1::ask_position() const
{
    return ui_.cb_ask_pfbk->isChecked();
}

bool Form1::ask_states() const
{
    return ui_.cb_ask_states->isChecked();
}

ConsoleView::MotionTexts Form1::motion_texts() const
{
    return {ui_.tx_move_position_1->text(), ui_.tx_move_position_2->text(), ui_.tx_move_speed->text(),
            ui_.tx_delay_1->text(), ui_.tx_delay_2->text()};
}

int Form1::page_in_front() const
{
    return ui_.SSTab1->currentIndex();
}

void Form1::Form_Load() { console_.Form_Load(); }
void Form1::cmd_port_open_Click() { console_.port_control().open(); }
void Form1::cmd_port_close_Click() { console_.port_control().close(); }
void Form1::SSTab1_Click(qint16 PreviousTab) { console_.SSTab1_Click(PreviousTab); }
void Form1::tx_command_KeyPress(qint16 KeyAscii) { console_.terminal().key_press(KeyAscii); }
void Form1::cmd_send_command_Click() { console_.terminal().send(); }
void Form1::cmd_clean_response_Click() { console_.terminal().clean(); }
void Form1::cmd_search_station_Click() { console_.stations().search_click(); }
void Form1::cmd_set_station_Click() { console_.stations().set_station_click(); }
void Form1::Timer1_Timer() { console_.monitoring().Timer1_Timer(); }

void Form1::tx_position_settings_KeyPress(qint16 Index, qint16 KeyAscii)
{
    console_.settings().key_press(protocol::kGroupP, Index, KeyAscii);
}
void Form1::tx_v_group_KeyPress(qint16 Index, qint16 KeyAscii)
{
    console_.settings().key_press(protocol::kGroupV, Index, KeyAscii);
}
void Form1::cmd_setup_save_Click() { console_.settings().save_click(); }
void Form1::cmd_config_apply_Click() { console_.settings().apply_click(); }

void Form1::cmd_mivo_enable_Click() { console_.motion().enable_click(); }
void Form1::cmd_mivo_disable_Click() { console_.motion().disable_click(); }
void Form1::cmd_mivo_home_Click() { console_.motion().home_click(); }
void Form1::cmd_start_move_Click() { console_.motion().start_click(); }
void Form1::cmd_stop_move_Click() { console_.motion().stop_click(); }

namespace {
const QString kSettingsFilter = QStringLiteral("Drive settings (*.mivo);;All files (*)");
}  // namespace

void Form1::mnu_drive_backup_Click()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Back Up Settings"), QString(),
                                                      kSettingsFilter);
    if (path.isEmpty())
        return;
    const DriveSettings::Report report =
        console_.drive_settings().back_up(path, QStringLiteral("mivo-console " MIVO_VERSION));
    show_message(report.outcome == DriveSettings::Outcome::Done
                     ? DriveSettings::backed_up_text(console_.vars().station_num, path)
                     : DriveSettings::summary(report, QStringLiteral("Back up")));
}

void Form1::mnu_drive_compare_Click()
{
    run_with_file(SettingsReportDialog::Kind::Compare);
}

void Form1::mnu_drive_restore_Click()
{
    run_with_file(SettingsReportDialog::Kind::Restore);
}

void Form1::mnu_drive_run_test_Click()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Run Test"), QString(),
                                                      QStringLiteral("Test recipes (*.js);;All files (*)"));
    if (path.isEmpty())
        return;
    auto* run = new recipe::RecipeRun(console_);
    if (const QString error = run->load(path); !error.isEmpty()) {
        delete run;
        show_message(error);
        return;
    }
    // The dialog keeps the run for its report and stays after the handler.
    const int station = console_.vars().station_num;
    auto* dialog = new RecipeDialog(*run, station, this);
    run->setParent(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    recipe_run_ = run;
    const recipe::StationRun result = run->run(station);
    recipe_run_ = nullptr;
    dialog->show_result(result);
    // The window waited for the motor to be switched off before it closes.
    if (close_after_run_)
        QTimer::singleShot(0, this, &QWidget::close);
}

void Form1::run_with_file(SettingsReportDialog::Kind kind)
{
    const bool compare = kind == SettingsReportDialog::Kind::Compare;
    const QString path = QFileDialog::getOpenFileName(
        this, compare ? QStringLiteral("Compare With File") : QStringLiteral("Restore From File"), QString(),
        kSettingsFilter);
    if (path.isEmpty())
        return;
    DriveSettings& drive = console_.drive_settings();
    const DriveSettings::Report report = compare ? drive.compare_file(path) : drive.restore_file(path);
    if (!closing_)
        SettingsReportDialog(kind, report, this).exec();
}

void Form1::run_on_every_station(StationBatch::Kind kind)
{
    QList<int> stations;
    for (const LineOverview::Row& row : console_.line_overview().rows())
        stations << row.station;
    if (stations.isEmpty()) {
        show_message(QStringLiteral("No station in the Line pane: search the line first."));
        return;
    }
    QStringList names;
    for (const int s : std::as_const(stations))
        names << QString::number(s);
    QString path;
    bool save = false;
    switch (kind) {
    case StationBatch::Kind::BackUp:
        path = QFileDialog::getExistingDirectory(this, QStringLiteral("Back Up All: a folder for station-N.mivo"));
        break;
    case StationBatch::Kind::Compare:
        path = QFileDialog::getOpenFileName(this, QStringLiteral("Compare All With File"), QString(), kSettingsFilter);
        break;
    case StationBatch::Kind::Restore:
        path = QFileDialog::getOpenFileName(this, QStringLiteral("Restore To All From File"), QString(),
                                            kSettingsFilter);
        if (path.isEmpty()
            || !ask(QStringLiteral("Restore %1 to stations %2? Each station's entries that differ are written and "
                                   "read back.")
                        .arg(path, names.join(QStringLiteral(", ")))))
            return;
        save = ask(QStringLiteral("Save (\"SV\") on each station that takes every entry?"));
        break;
    }
    if (path.isEmpty())
        return;
    const QList<StationBatch::Result> results =
        console_.station_batch().run(kind, stations, path, save, QStringLiteral("mivo-console " MIVO_VERSION));
    if (!closing_)
        BatchReportDialog(kind, results, this).exec();
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A handler may still sit in a wait (homing, a dwell, the search): the
    // console ends its waits and keeps it from writing, and no more boxes
    // come up, so that the program ends promptly.
    if (recipe_run_) {
        // A recipe that left the motor on switches it off first; the window
        // closes once the run has ended.
        close_after_run_ = true;
        recipe_run_->stop(QStringLiteral("the window was closed"));
        event->ignore();
        return;
    }
    closing_ = true;
    console_.shut_down();
    event->accept();
}

}  // namespace mivo

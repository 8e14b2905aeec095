#include "window/form1.h"

#include "link/system_serial_port.h"
#include "protocol/command_lines.h"
#include "window/accessibility.h"
#include "window/key_press_relay.h"
#include "window/layout.h"
#include "window/light.h"
#include "window/message_box.h"
#include "window/transcript_box.h"
#include "window/value_box.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace mivo {

namespace {
constexpr int kPollIntervalMs = 500;
}  // namespace

Form1::Form1(std::unique_ptr<SerialPort> port, QWidget* parent)
    : QWidget(parent),
      port_(port ? std::move(port) : std::make_unique<SystemSerialPort>()),
      exchange_(*port_, vars_),
      context_{ui_, vars_, *port_, exchange_, [this](const QString& text) { show_message(text); },
               [this](const Availability::State& state) { apply_availability(state); }, Availability{}, 0},
      port_control_(context_),
      terminal_(context_),
      monitoring_(context_),
      stations_(context_, monitoring_),
      settings_(context_),
      motion_(context_, monitoring_)
{
    install_accessibility_roles();
    port_->setObjectName(QStringLiteral("MSComm1"));
    build();
    connect_handlers();
    Form_Load();
}

Form1::~Form1()
{
    // The handlers' state goes before the QWidget base; keep a closing port
    // from reaching them.
    port_->disconnect(this);
    port_->close();
}

void Form1::build()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("MIVO UI - V1.2"));
    setFont(layout::ui_font());
    setFixedSize(701, 424);

    layout::build_communication_frame(this, ui_);
    layout::build_states_frame(this, ui_);

    ui_.SSTab1 = new QTabWidget(this);
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

    ui_.Timer1 = new QTimer(this);
    ui_.Timer1->setObjectName(QStringLiteral("Timer1"));
    ui_.Timer1->setInterval(kPollIntervalMs);
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
    connect(ui_.Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(ui_.SSTab1, &QTabWidget::currentChanged, this, &Form1::on_page_changed);
    relay_key_presses(ui_.tx_command, [this](qint16 key) { tx_command_KeyPress(key); });
    for (qint16 i = 0; i < qint16(ui_.tx_position_settings.size()); ++i)
        relay_key_presses(ui_.tx_position_settings[i], [this, i](qint16 key) { tx_position_settings_KeyPress(i, key); });
    for (qint16 i = 0; i < qint16(ui_.tx_v_group.size()); ++i)
        relay_key_presses(ui_.tx_v_group[i], [this, i](qint16 key) { tx_v_group_KeyPress(i, key); });
    // A lost port is handled at once, so that a handler waiting on the drive
    // sees the link gone when its wait returns.
    connect(port_.get(), &SerialPort::lost, this, [this](const QString& reason) { port_control_.link_lost(reason); });
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

void Form1::Form_Load()
{
    vars_.is_linked = kFalse;
    vars_.move_running = kFalse;
}

void Form1::cmd_port_open_Click() { port_control_.open(); }
void Form1::cmd_port_close_Click() { port_control_.close(); }
void Form1::close_timer1() { port_control_.close_timer1(); }

void Form1::SSTab1_Click(qint16 PreviousTab)
{
    Q_UNUSED(PreviousTab);
    if (!context_.linked_or_tell(QStringLiteral("Link first!")))
        return;
    switch (ui_.SSTab1->currentIndex()) {
    case kSetupPage: settings_.read_groups(); break;
    case kConfigPage: get_and_show_MIVO_config(); break;
    default: break;  // "Terminal" and "Motion" read nothing
    }
}

void Form1::tx_command_KeyPress(qint16 KeyAscii) { terminal_.key_press(KeyAscii); }
void Form1::cmd_send_command_Click() { terminal_.send(); }
void Form1::cmd_clean_response_Click() { terminal_.clean(); }
void Form1::cmd_search_station_Click() { stations_.search_click(); }
void Form1::search_and_show_all_station() { stations_.search_and_show_all_station(); }
void Form1::cmd_set_station_Click() { stations_.set_station_click(); }

void Form1::Timer1_Timer() { monitoring_.Timer1_Timer(); }
void Form1::Delay_and_Trigger_Timer1(qint32 msecond) { monitoring_.Delay_and_Trigger_Timer1(msecond); }
bool Form1::get_and_show_RV_Group(qint16 RV_Group_num) { return monitoring_.get_and_show_RV_Group(RV_Group_num); }
void Form1::update_states() { monitoring_.update_states(); }
void Form1::update_DI_states() { monitoring_.update_DI_states(); }

void Form1::tx_position_settings_KeyPress(qint16 Index, qint16 KeyAscii)
{
    settings_.key_press(protocol::kGroupP, Index, KeyAscii);
}
void Form1::tx_v_group_KeyPress(qint16 Index, qint16 KeyAscii)
{
    settings_.key_press(protocol::kGroupV, Index, KeyAscii);
}
void Form1::cmd_setup_save_Click() { settings_.save_click(); }
QStringList Form1::get_All_and_show_P_group() { return settings_.get_All_and_show_P_group(); }
QStringList Form1::get_All_and_show_V_group() { return settings_.get_All_and_show_V_group(); }
void Form1::get_and_show_MIVO_config() { settings_.get_and_show_MIVO_config(); }
void Form1::cmd_config_apply_Click() { settings_.apply_click(); }
void Form1::set_new_config() { settings_.set_new_config(); }

void Form1::cmd_mivo_enable_Click() { motion_.enable_click(); }
void Form1::cmd_mivo_disable_Click() { motion_.disable_click(); }
void Form1::cmd_mivo_home_Click() { motion_.home_click(); }
void Form1::cmd_start_move_Click() { motion_.start_click(); }
void Form1::cmd_stop_move_Click() { motion_.stop_click(); }

void Form1::closeEvent(QCloseEvent* event)
{
    // A handler may still sit in a wait (homing, a dwell, the search): make
    // its waits end, keep it from writing, and keep it from showing boxes,
    // so that the program ends promptly.
    closing_ = true;
    exchange_.shut_down();
    ui_.Timer1->stop();
    port_->close();
    vars_.is_linked = kFalse;
    event->accept();
}

}  // namespace mivo

// The "Motion" page through the real window, against the drive simulator.
#include "link/waits.h"
#include "window/form1.h"
#include "window/value_box.h"

#include "../support/console_fixture.h"
#include "../support/sim_line.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace mivo;

namespace {

// Runs each step once, in order, as soon as its condition holds; the
// condition is polled whenever the console processes events.
class Script : public QObject {
public:
    void then(std::function<bool()> when, std::function<void()> act)
    {
        steps_.push_back({std::move(when), std::move(act)});
        if (!timer_.isActive()) {
            connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
            timer_.start(2);
        }
    }
    bool done() const { return next_ == steps_.size(); }

private:
    void poll()
    {
        if (done() || !steps_[next_].first())
            return;
        steps_[next_++].second();
    }

    QTimer timer_;
    std::vector<std::pair<std::function<bool()>, std::function<void()>>> steps_;
    size_t next_ = 0;
};

}  // namespace

class TestMotion : public QObject, ConsoleFixture {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;

    void start(const std::vector<std::string>& args)
    {
        sim = std::make_unique<sim::SimHarness>(args);
        start_console();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    // Open, select the station, bring "Motion" to the front; the log starts
    // empty after that.
    void select(const QString& station)
    {
        open_on(*form, *sim);
        set_station(station);
        click_tab(kMotionPage);
        QTRY_COMPARE(ui().SSTab1->currentIndex(), int(kMotionPage));
        QTest::qWait(20);  // SSTab1_Click runs from a zero-time shot
        messages->take();
        sim->clear_log();
    }

    // The cycle's own lines, without the poll in between.
    QStringList motion_lines()
    {
        QStringList lines;
        for (const QString& line : received_lines(*sim))
            if (line.startsWith(u"VA") || line.startsWith(u"MA"))
                lines << line;
        return lines;
    }
    std::vector<double> motion_times()
    {
        std::vector<double> times;
        for (const auto& e : sim->wire_log())
            if (e.dir == sim::WireEvent::Rx && (e.bytes.starts_with("VA") || e.bytes.starts_with("MA")))
                times.push_back(e.t_ms);
        return times;
    }
    std::function<bool()> last_motion_is(const QString& line, int times = 1)
    {
        return [this, line, times] { const QStringList l = motion_lines(); return l.count(line) >= times && l.last() == line; };
    }

    std::array<bool, 4> pages()
    {
        return {ui().SSTab1->isTabEnabled(0), ui().SSTab1->isTabEnabled(1), ui().SSTab1->isTabEnabled(2),
                ui().SSTab1->isTabEnabled(3)};
    }
    // Within the tab control, which a closed link disables as a whole.
    bool idle_buttons()
    {
        return ui().cmd_start_move->isEnabledTo(ui().SSTab1) && !ui().cmd_stop_move->isEnabledTo(ui().SSTab1);
    }

    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

private slots:
    void cleanup()
    {
        stop_console();
        sim.reset();
    }

    void servo_buttons_send_one_line_each()
    {
        start({"--stations", "3"});
        click_tab(kMotionPage);
        QTRY_COMPARE(messages->texts, QStringList{"Link first!"});  // from the page change
        messages->take();
        for (QPushButton* b : {ui().cmd_mivo_enable, ui().cmd_mivo_disable, ui().cmd_mivo_home, ui().cmd_start_move})
            click(b);
        form->cmd_stop_move_Click();  // its button starts out disabled
        QCOMPARE(messages->take(), QStringList(5, "Link first!"));
        QVERIFY(sim->rx_lines().empty());
        QVERIFY(idle_buttons());
        QCOMPARE(form->vars().move_running, kFalse);

        select("3");
        ui().Timer1->stop();
        click(ui().cmd_mivo_enable);
        QCOMPARE(received_lines(*sim), QStringList{"EN 1"});
        QVERIFY(!ui().Timer1->isActive());
        ui().Timer1->start();
        sim->clear_log();
        click(ui().cmd_mivo_disable);
        QCOMPARE(received_lines(*sim), QStringList{"EN 0"});
        QVERIFY(ui().Timer1->isActive());
        QVERIFY(messages->texts.isEmpty());
    }

    void normal_cycle_runs_until_stop()
    {
        start({"--stations", "3"});
        select("3");
        ui().cb_ask_pfbk->setChecked(false);

        Script script;
        std::array<bool, 4> pages_during{};
        bool buttons_during = false;
        int front_after_terminal_click = -1;
        double stopped_at = 0;
        script.then(last_motion_is("MA 1000"), [&] {
            pages_during = pages();
            buttons_during = !ui().cmd_start_move->isEnabled() && ui().cmd_stop_move->isEnabled();
            click_tab(kTerminalPage);
            front_after_terminal_click = ui().SSTab1->currentIndex();
        });
        // Dwell 1 of the third iteration.
        script.then(last_motion_is("MA 1000", 3), [&] {
            stopped_at = sim::SimHarness::now_ms();
            click(ui().cmd_stop_move);
        });
        click(ui().cmd_start_move);

        QVERIFY(script.done());
        QCOMPARE(pages_during, (std::array<bool, 4>{false, true, false, false}));
        QVERIFY(buttons_during);
        QCOMPARE(front_after_terminal_click, int(kMotionPage));

        QCOMPARE(motion_lines(), (QStringList{"VA 2", "MA 1000", "MA 0", "MA 1000", "MA 0", "MA 1000", "MA 0"}));
        const auto times = motion_times();
        for (size_t i = 2; i < times.size(); ++i)
            QVERIFY2(times[i] - times[i - 1] >= 100, qPrintable(QString::number(i)));
        QVERIFY(times[5] < stopped_at && stopped_at < times[6]);  // Stop came during dwell 1
        QVERIFY(messages->texts.isEmpty());

        QCOMPARE(form->vars().move_running, kFalse);
        QVERIFY(ui().Timer1->isActive());
        QCOMPARE(pages(), (std::array<bool, 4>{true, true, true, true}));
        QVERIFY(idle_buttons());
        QVERIFY(ui().cb_ask_pfbk->isChecked() && ui().cb_ask_states->isChecked());
        const auto lines_at_end = received_lines(*sim).size();
        QTRY_VERIFY(received_lines(*sim).size() > lines_at_end);  // the poll runs again
        QCOMPARE(motion_lines().size(), 7);
    }

    void numbers_as_typed_and_feedback_follows()
    {
        start({"--stations", "3"});
        select("3");
        click(ui().cmd_mivo_enable);
        ui().tx_move_speed->setText("2.5");  // the drive refuses it and keeps its speed
        ui().tx_move_position_1->setText("1000.5");
        ui().tx_move_position_2->setText("-1000.5");
        int highest = 0;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] { highest = std::max(highest, ui().lb_rv_feedback(0)->text().toInt()); });
        watch.start(2);
        Script script;
        script.then(last_motion_is("MA 1000"), [&] { click(ui().cmd_stop_move); });
        click(ui().cmd_start_move);

        QCOMPARE(motion_lines(), (QStringList{"VA 2.5", "MA 1000", "MA -1000"}));
        // The dwell polls: the box showed the drive on its way up.
        QVERIFY2(highest > 0, qPrintable(QString::number(highest)));
        const QStringList lines = received_lines(*sim);
        const auto up = lines.indexOf("MA 1000");
        QVERIFY(lines.mid(up, lines.indexOf("MA -1000") - up).contains("RV 0"));
    }

    void broadcast_cycle_leaves_timer_off_and_settings_closed()
    {
        start({"--stations", "3"});
        select("32");
        QVERIFY(ui().Timer1->isActive());
        Script script;
        bool timer_during = true;
        std::array<bool, 4> pages_during{};
        script.then(last_motion_is("MA 1000"), [&] {
            timer_during = ui().Timer1->isActive();
            pages_during = pages();
            click(ui().cmd_stop_move);
        });
        click(ui().cmd_start_move);

        QCOMPARE(motion_lines(), (QStringList{"VA 2", "MA 1000", "MA 0"}));
        const auto times = motion_times();
        QVERIFY(times[2] - times[1] >= 100);
        QVERIFY(!timer_during);
        QCOMPARE(pages_during, (std::array<bool, 4>{false, true, false, false}));
        QVERIFY(!ui().Timer1->isActive());
        QCOMPARE(pages(), (std::array<bool, 4>{true, true, false, false}));
        QVERIFY(idle_buttons());
    }

    void bad_field_starts_nothing()
    {
        start({"--stations", "3"});
        select("3");
        const struct {
            QLineEdit* box;
            const char* text;
            const char* caption;
        } cases[] = {
            {ui().tx_move_position_1, "abc", "Position 1"},
            {ui().tx_move_position_2, "2147483647.5", "Position 2"},  // rounds to 2^31
            {ui().tx_delay_1, "", "Delay 1"},
            {ui().tx_delay_2, "-2147483649", "Delay 2"},
        };
        for (const auto& c : cases) {
            const QString good = c.box->text();
            c.box->setText(QString::fromLatin1(c.text));
            click(ui().cmd_start_move);
            const QStringList shown = messages->take();
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].startsWith(QLatin1String(c.caption)), qPrintable(shown[0]));
            QVERIFY(motion_lines().isEmpty());
            QVERIFY(ui().Timer1->isActive());
            QCOMPARE(form->vars().move_running, kFalse);
            QVERIFY(idle_buttons());
            QCOMPARE(pages(), (std::array<bool, 4>{true, true, true, true}));
            c.box->setText(good);
        }
        // The speed goes out as typed: only what can go on the wire as typed.
        ui().tx_move_speed->setText(QStringLiteral("2\u20ac"));
        click(ui().cmd_start_move);
        QCOMPARE(messages->take().size(), 1);
        QVERIFY(motion_lines().isEmpty());
        QCOMPARE(form->vars().move_running, kFalse);
    }

    void close_during_cycle_ends_it()
    {
        start({"--stations", "3"});
        select("3");
        Script script;
        QString last_at_close;
        double closed_at = 0;
        script.then(last_motion_is("MA 0"), [&] {
            closed_at = sim::SimHarness::now_ms();
            click(ui().cmd_port_close);
            last_at_close = form->vars().last_command;
        });
        click(ui().cmd_start_move);

        QCOMPARE(messages->take(), QStringList{"Port Close"});
        QCOMPARE(form->vars().last_command, last_at_close);  // nothing composed after
        for (const auto& e : sim->wire_log())
            QVERIFY2(e.dir == sim::WireEvent::Tx || e.t_ms <= closed_at, e.bytes.c_str());
        QCOMPARE(form->vars().move_running, kFalse);
        QVERIFY(idle_buttons());
        QVERIFY(!form->availability().cycle_running());
        QVERIFY(!ui().Timer1->isActive());
        QVERIFY(!ui().SSTab1->isEnabled());

        // The next open and selection find everything as before.
        select("3");
        QCOMPARE(pages(), (std::array<bool, 4>{true, true, true, true}));
        QVERIFY(ui().Timer1->isActive());
    }

    void home_pauses_the_poll_until_the_prompt()
    {
        start({"--stations", "3", "--home-ms", "1200"});  // spans two poll intervals
        select("3");
        // A poll inside the wait would eat the prompt: fail soon, then.
        form->exchange().set_homing_limit_ms(5000);
        QVERIFY(ui().Timer1->isActive());
        click(ui().cmd_mivo_home);
        QVERIFY(ui().Timer1->isActive());

        const auto log = sim->wire_log();
        double hm_at = -1, prompt_at = -1;
        for (const auto& e : log) {
            if (e.dir == sim::WireEvent::Rx && e.bytes == "HM")
                hm_at = e.t_ms;
            else if (hm_at >= 0 && e.dir == sim::WireEvent::Tx && e.bytes.find('>') != std::string::npos) {
                prompt_at = e.t_ms;
                break;
            }
        }
        QVERIFY(hm_at >= 0 && prompt_at > hm_at);
        for (const auto& e : log)
            QVERIFY2(e.dir == sim::WireEvent::Tx || e.t_ms <= hm_at || e.t_ms >= prompt_at, e.bytes.c_str());
        QVERIFY(messages->texts.isEmpty());
    }

    void home_on_a_silent_drive_ends_at_the_limit()
    {
        start({"--stations", "3", "--silent", "3"});
        select("3");
        form->exchange().set_homing_limit_ms(300);
        Stopwatch t;  // the waits' own tick counter
        click(ui().cmd_mivo_home);
        QVERIFY(t.elapsed() >= 300);
        QVERIFY(ui().Timer1->isActive());
        QCOMPARE(received_lines(*sim), QStringList{"HM"});
        QVERIFY(messages->texts.isEmpty());
    }

    void close_during_homing_ends_the_wait()
    {
        start({"--stations", "3", "--home-ms", "60000"});
        select("3");
        QTimer::singleShot(200, form.get(), [&] { click(ui().cmd_port_close); });
        click(ui().cmd_mivo_home);
        QCOMPARE(messages->take(), QStringList{"Port Close"});
        QVERIFY(!ui().Timer1->isActive());
        // Returned long before the drive's prompt.
        for (const auto& e : sim->wire_log())
            QVERIFY(e.dir == sim::WireEvent::Rx || e.bytes.find('>') == std::string::npos);
        QCOMPARE(received_lines(*sim), QStringList{"HM"});
    }
};

QTEST_MAIN(TestMotion)
#include "tst_motion.moc"

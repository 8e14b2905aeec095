// The "Motion" page on the console core, against the drive simulator.
#include "link/waits.h"

#include "../support/core_fixture.h"
#include "../support/sim_line.h"

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

class TestMotion : public QObject, CoreFixture {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;

    void start(const std::vector<std::string>& args)
    {
        sim = std::make_unique<sim::SimHarness>(args);
        start_console();
    }

    // Open, select the station, bring "Motion" to the front; the log starts
    // empty after that.
    void select(const QString& station)
    {
        open_on(*sim);
        set_station(station);
        bring_to_front(kMotionPage);
        view.take_messages();
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

    std::array<bool, 4> pages() const { return view.availability.pages; }
    // The buttons' own flags: a closed link disables the tab control as a
    // whole, not them.
    bool idle_buttons() const { return view.availability.cmd_start_move && !view.availability.cmd_stop_move; }
    bool cycle_buttons() const { return !view.availability.cmd_start_move && view.availability.cmd_stop_move; }

    Motion& motion() { return console->motion(); }

private slots:
    void cleanup()
    {
        stop_console();
        sim.reset();
    }

    void servo_buttons_send_one_line_each()
    {
        start({"--stations", "3"});
        bring_to_front(kMotionPage);
        QCOMPARE(view.take_messages(), QStringList{"Link first!"});  // from the page change
        QVERIFY(idle_buttons());  // "Stop" starts out disabled
        motion().enable_click();
        motion().disable_click();
        motion().home_click();
        motion().start_click(cycle);
        motion().stop_click();
        QCOMPARE(view.take_messages(), QStringList(5, "Link first!"));
        QVERIFY(sim->rx_lines().empty());
        QVERIFY(idle_buttons());
        QCOMPARE(vars().move_running, kFalse);

        select("3");
        Timer1().stop();
        motion().enable_click();
        QCOMPARE(received_lines(*sim), QStringList{"EN 1"});
        QVERIFY(!Timer1().isActive());
        Timer1().start();
        sim->clear_log();
        motion().disable_click();
        QCOMPARE(received_lines(*sim), QStringList{"EN 0"});
        QVERIFY(Timer1().isActive());
        QVERIFY(view.messages.isEmpty());
    }

    void normal_cycle_runs_until_stop()
    {
        start({"--stations", "3"});
        select("3");
        view.position_box = false;
        console->monitoring().set_feedback(false, true);

        Script script;
        std::array<bool, 4> pages_during{};
        bool buttons_during = false;
        bool cycle_running_during = false;
        double stopped_at = 0;
        script.then(last_motion_is("MA 1000"), [&] {
            pages_during = pages();
            buttons_during = cycle_buttons();
            cycle_running_during = console->availability().cycle_running();
        });
        // Dwell 1 of the third iteration.
        script.then(last_motion_is("MA 1000", 3), [&] {
            stopped_at = sim::SimHarness::now_ms();
            motion().stop_click();
        });
        motion().start_click(cycle);

        QVERIFY(script.done());
        QCOMPARE(pages_during, (std::array<bool, 4>{false, true, false, false}));
        QVERIFY(buttons_during);
        QVERIFY(cycle_running_during);

        QCOMPARE(motion_lines(), (QStringList{"VA 2", "MA 1000", "MA 0", "MA 1000", "MA 0", "MA 1000", "MA 0"}));
        const auto times = motion_times();
        for (size_t i = 2; i < times.size(); ++i)
            QVERIFY2(times[i] - times[i - 1] >= 100 - kStampSlackMs, qPrintable(QString::number(i)));
        QVERIFY(times[5] < stopped_at && stopped_at < times[6]);  // Stop came during dwell 1
        QVERIFY(view.messages.isEmpty());

        QCOMPARE(vars().move_running, kFalse);
        QVERIFY(!console->availability().cycle_running());
        QVERIFY(Timer1().isActive());
        QCOMPARE(pages(), (std::array<bool, 4>{true, true, true, true}));
        QVERIFY(idle_buttons());
        QVERIFY(view.position_box && view.states_box);  // "Stop" ticked both
        const auto lines_at_end = received_lines(*sim).size();
        // The poll runs again, and reads the position the ticked box asks for.
        QTRY_VERIFY(received_lines(*sim).mid(lines_at_end).contains(QStringLiteral("RV 0")));
        QCOMPARE(motion_lines().size(), 7);
    }

    void numbers_as_typed_and_feedback_follows()
    {
        start({"--stations", "3"});
        select("3");
        motion().enable_click();
        cycle.speed = "2.5";  // the drive refuses it and keeps its speed
        cycle.position_1 = "1000.5";
        cycle.position_2 = "-1000.5";
        int highest = 0;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] { highest = std::max(highest, view.values[0].toInt()); });
        watch.start(2);
        Script script;
        script.then(last_motion_is("MA 1000"), [&] { motion().stop_click(); });
        motion().start_click(cycle);

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
        QVERIFY(Timer1().isActive());
        Script script;
        bool timer_during = true;
        std::array<bool, 4> pages_during{};
        script.then(last_motion_is("MA 1000"), [&] {
            timer_during = Timer1().isActive();
            pages_during = pages();
            motion().stop_click();
        });
        motion().start_click(cycle);

        QCOMPARE(motion_lines(), (QStringList{"VA 2", "MA 1000", "MA 0"}));
        const auto times = motion_times();
        QVERIFY(times[2] - times[1] >= 100 - kStampSlackMs);
        QVERIFY(!timer_during);
        QCOMPARE(pages_during, (std::array<bool, 4>{false, true, false, false}));
        QVERIFY(!Timer1().isActive());
        QCOMPARE(pages(), (std::array<bool, 4>{true, true, false, false}));
        QVERIFY(idle_buttons());
    }

    // Broadcast is the mode the selection chose: "31.5" selects station 32
    // in normal mode, whose cycle keeps the position up to date in its dwells.
    void a_station_32_in_normal_mode_is_polled_in_the_dwells()
    {
        start({"--stations", "3"});
        select("31.5");
        Script script;
        script.then(last_motion_is("MA 1000"), [&] { motion().stop_click(); });
        motion().start_click(cycle);

        QCOMPARE(motion_lines(), (QStringList{"VA 2", "MA 1000", "MA 0"}));
        const QStringList lines = received_lines(*sim);
        const auto up = lines.indexOf("MA 1000");
        QVERIFY(lines.mid(up, lines.indexOf("MA 0") - up).contains("RV 0"));
        QVERIFY(Timer1().isActive());
    }

    void bad_field_starts_nothing()
    {
        start({"--stations", "3"});
        select("3");
        using Texts = Motion::CycleTexts;
        const struct {
            QString Texts::*field;
            const char* text;
            const char* caption;
        } cases[] = {
            {&Texts::position_1, "abc", "Position 1"},
            {&Texts::position_2, "2147483647.5", "Position 2"},  // rounds to 2^31
            {&Texts::delay_1, "", "Delay 1"},
            {&Texts::delay_2, "-2147483649", "Delay 2"},
        };
        for (const auto& c : cases) {
            const QString good = cycle.*c.field;
            cycle.*c.field = QString::fromLatin1(c.text);
            motion().start_click(cycle);
            const QStringList shown = view.take_messages();
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].startsWith(QLatin1String(c.caption)), qPrintable(shown[0]));
            QVERIFY(motion_lines().isEmpty());
            QVERIFY(Timer1().isActive());
            QCOMPARE(vars().move_running, kFalse);
            QVERIFY(idle_buttons());
            QCOMPARE(pages(), (std::array<bool, 4>{true, true, true, true}));
            cycle.*c.field = good;
        }
        // The speed goes out as typed: only what can go on the wire as typed.
        cycle.speed = QStringLiteral("2\u20ac");
        motion().start_click(cycle);
        const QStringList shown = view.take_messages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith(u"Velocity"), qPrintable(shown[0]));
        QVERIFY(motion_lines().isEmpty());
        QCOMPARE(vars().move_running, kFalse);
        QVERIFY(idle_buttons());
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
            close();
            last_at_close = vars().last_command;
        });
        motion().start_click(cycle);

        QCOMPARE(view.take_messages(), QStringList{"Port Close"});
        QCOMPARE(vars().last_command, last_at_close);  // nothing composed after
        for (const auto& e : sim->wire_log())
            QVERIFY2(e.dir == sim::WireEvent::Tx || e.t_ms <= closed_at, e.bytes.c_str());
        QCOMPARE(vars().move_running, kFalse);
        QVERIFY(idle_buttons());
        QVERIFY(!console->availability().cycle_running());
        QVERIFY(!Timer1().isActive());
        QVERIFY(!view.availability.SSTab1);
        QVERIFY(!view.link_light);

        // The next open and selection find everything as before.
        select("3");
        QVERIFY(view.availability.SSTab1);
        QCOMPARE(pages(), (std::array<bool, 4>{true, true, true, true}));
        QVERIFY(Timer1().isActive());
    }

    void home_pauses_the_poll_until_the_prompt()
    {
        start({"--stations", "3", "--home-ms", "1200"});  // spans two poll intervals
        select("3");
        // A poll inside the wait would eat the prompt: fail soon, then.
        console->exchange().set_homing_limit_ms(5000);
        QVERIFY(Timer1().isActive());
        motion().home_click();
        QVERIFY(Timer1().isActive());

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
        QVERIFY(view.messages.isEmpty());
    }

    void home_on_a_silent_drive_ends_at_the_limit()
    {
        start({"--stations", "3", "--silent", "3"});
        select("3");
        console->exchange().set_homing_limit_ms(300);
        Stopwatch t;  // the waits' own tick counter
        motion().home_click();
        QVERIFY(t.elapsed() >= 300);
        QVERIFY(Timer1().isActive());
        QCOMPARE(received_lines(*sim), QStringList{"HM"});
        QVERIFY(view.messages.isEmpty());
    }

    void close_during_homing_ends_the_wait()
    {
        start({"--stations", "3", "--home-ms", "60000"});
        select("3");
        QTimer::singleShot(200, console.get(), [this] { close(); });
        motion().home_click();
        QCOMPARE(view.take_messages(), QStringList{"Port Close"});
        QVERIFY(!Timer1().isActive());
        // Returned long before the drive's prompt.
        for (const auto& e : sim->wire_log())
            QVERIFY(e.dir == sim::WireEvent::Rx || e.bytes.find('>') == std::string::npos);
        QCOMPARE(received_lines(*sim), QStringList{"HM"});
    }

    void shut_down_during_a_wait_ends_it()
    {
        // The program goes away in the middle of the homing wait, and in the
        // middle of a dwell: the handler returns promptly, nothing more goes
        // out, and nothing is left switched on.
        for (const bool homing : {true, false}) {
            start({"--stations", "3", "--home-ms", "60000"});
            select("3");
            double down_at = 0;
            const auto shut_down = [&] {
                down_at = sim::SimHarness::now_ms();
                console->shut_down();
            };
            Script script;
            if (homing)
                QTimer::singleShot(200, console.get(), shut_down);
            else
                script.then(last_motion_is("MA 1000"), shut_down);
            if (homing)
                motion().home_click();
            else
                motion().start_click(cycle);
            QVERIFY(down_at > 0);
            // Sent nothing more; homing returned before the drive's prompt.
            for (const auto& e : sim->wire_log()) {
                QVERIFY(!homing || e.dir == sim::WireEvent::Rx || e.bytes.find('>') == std::string::npos);
                QVERIFY2(e.dir == sim::WireEvent::Tx || e.t_ms <= down_at, e.bytes.c_str());
            }
            QCOMPARE(received_lines(*sim).first(), QString(homing ? "HM" : "VA 2"));
            QVERIFY(view.messages.isEmpty());
            QVERIFY(!Timer1().isActive());
            QVERIFY(!console->MSComm1().isOpen());
            QCOMPARE(vars().is_linked, kFalse);
            QCOMPARE(vars().move_running, kFalse);
            QVERIFY(!console->availability().cycle_running());
            stop_console();
        }
    }
};

QTEST_GUILESS_MAIN(TestMotion)
#include "tst_motion.moc"

// The poll: Timer1 ticks, position feedback and the state and input lights,
// on the console core against the drive simulator, and against a line
// played by hand for replies the simulator never sends.
#include "link/waits.h"

#include "../support/core_fixture.h"
#include "../support/sim_line.h"

#include <QTimer>
#include <QtTest>

using namespace mivo;

namespace {

struct Line {
    double t_ms;
    QString text;
};

}  // namespace

class TestMonitoring : public QObject, CoreFixture {
    Q_OBJECT

    void select_on(const sim::SimHarness& sim, const QString& station)
    {
        open_on(sim);
        set_station(station);
        view.take_messages();
        Timer1().stop();  // the test runs the ticks itself
    }

    static QList<Line> lines(const sim::SimHarness& sim)
    {
        QList<Line> out;
        for (const auto& e : sim.wire_log())
            if (e.dir == sim::WireEvent::Rx)
                out.append({e.t_ms, QString::fromStdString(e.bytes)});
        return out;
    }

    static QStringList texts(const QList<Line>& lines)
    {
        QStringList t;
        for (const Line& l : lines)
            t << l.text;
        return t;
    }

    void set_boxes(bool states, bool position)
    {
        console->monitoring().set_feedback(position, states);
    }

    void tick() { console->monitoring().Timer1_Timer(); }

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    void tick_reads_what_the_boxes_choose()
    {
        sim::SimHarness sim({"--stations", "3"});
        select_on(sim, QStringLiteral("3"));

        sim.clear_log();
        tick();
        const QList<Line> both = lines(sim);
        QCOMPARE(texts(both), (QStringList{"RV 0", "RV 2", "RV 5"}));
        QVERIFY(both[1].t_ms - both[0].t_ms >= 50 - kStampSlackMs);
        QVERIFY(both[2].t_ms - both[1].t_ms >= 100 - kStampSlackMs);  // the read's 50 ms, then the pause
        QCOMPARE(view.values[0], QStringLiteral("0"));
        // Servo off: the drive reports MF; DI1 is high.
        QCOMPARE(FakeView::colours(view.state_lights), QStringLiteral("Rggggggg"));
        QCOMPARE(FakeView::colours(view.input_lights), QStringLiteral("Rgggg"));
        QCOMPARE(view.ticks_shown, 1);
        QVERIFY(!view.run_light);
        QVERIFY(Timer1().isActive());  // the position read switches it on

        Timer1().stop();  // no tick of its own inside the next one's pauses
        sim.clear_log();
        set_boxes(true, false);
        tick();
        QCOMPARE(texts(lines(sim)), (QStringList{"RV 2", "RV 5"}));

        sim.clear_log();
        set_boxes(false, true);
        tick();
        QCOMPARE(texts(lines(sim)), QStringList{"RV 0"});

        Timer1().stop();
        sim.clear_log();
        set_boxes(false, false);
        tick();
        QVERIFY(!view.run_light);
        Timer1().start();
        QTest::qWait(1100);
        QVERIFY(sim.rx_lines().empty());
    }

    void no_tick_comes_sooner_than_the_interval()
    {
        // The position read switches Timer1 on again; the next tick may come
        // no sooner than 500 ms later, so the position reads of a running
        // poll are at least the read's 50 ms and the interval apart.
        sim::SimHarness sim({"--stations", "3"});
        select_on(sim, QStringLiteral("3"));
        sim.clear_log();
        Timer1().start();
        QTRY_VERIFY_WITH_TIMEOUT(texts(lines(sim)).count(QStringLiteral("RV 0")) >= 5, 6000);
        Timer1().stop();
        QList<double> reads;
        for (const Line& l : lines(sim))
            if (l.text == u"RV 0")
                reads << l.t_ms;
        for (int i = 1; i < reads.size(); ++i)
            QVERIFY2(reads[i] - reads[i - 1] >= 550 - kStampSlackMs, qPrintable(QString::number(reads[i] - reads[i - 1])));
    }

    void trigger_fills_the_wait_with_ticks()
    {
        sim::SimHarness sim({"--stations", "3"});
        select_on(sim, QStringLiteral("3"));
        sim.clear_log();
        Stopwatch t;  // the waits' own tick counter
        console->monitoring().Delay_and_Trigger_Timer1(100);  // one tick outlasts the 100 ms
        QVERIFY(t.elapsed() >= 250);
        QCOMPARE(texts(lines(sim)), (QStringList{"RV 0", "RV 2", "RV 5"}));

        set_boxes(false, false);
        sim.clear_log();
        t.restart();
        console->monitoring().Delay_and_Trigger_Timer1(100);
        QVERIFY(t.elapsed() > 100);
        QVERIFY(sim.rx_lines().empty());

        // In broadcast mode, too, at least one (empty) tick and the full wait.
        set_boxes(true, true);
        set_station(QStringLiteral("32"));
        Timer1().stop();
        sim.clear_log();
        t.restart();
        console->monitoring().Delay_and_Trigger_Timer1(0);
        QVERIFY(t.elapsed() >= 1);
        QVERIFY(sim.rx_lines().empty());
    }

    // Broadcast is the mode the selection chose, not the station's number:
    // "31.5" selects station 32 in normal mode, which is polled; "32" selects
    // broadcast mode, where no drive answers and nothing is polled.
    void a_station_32_in_normal_mode_is_polled()
    {
        sim::SimHarness sim({"--stations", "3"});
        select_on(sim, QStringLiteral("31.5"));
        sim.clear_log();
        tick();
        QCOMPARE(texts(lines(sim)), (QStringList{"RV 0", "RV 2", "RV 5"}));

        set_station(QStringLiteral("32"));
        Timer1().stop();
        sim.clear_log();
        tick();
        QVERIFY(sim.rx_lines().empty());
    }

    void close_inside_a_tick_ends_it()
    {
        sim::SimHarness sim({"--stations", "3"});
        select_on(sim, QStringLiteral("3"));
        sim.clear_log();
        double closed_at = 0;
        // Inside the pause after "RV 2".
        QTimer::singleShot(130, console.get(), [&] {
            closed_at = sim::SimHarness::now_ms();
            close();
        });
        tick();
        QVERIFY(closed_at > 0);
        QCOMPARE(texts(lines(sim)), (QStringList{"RV 0", "RV 2"}));
        QVERIFY(!view.run_light);
        QVERIFY(!Timer1().isActive());
        QCOMPARE(view.take_messages(), QStringList{"Port Close"});

        // The poll never runs on the closed link.
        console->monitoring().Delay_and_Trigger_Timer1(50);
        QTest::qWait(600);
        QCOMPARE(sim.rx_lines().size(), size_t(2));
        QVERIFY(!Timer1().isActive());
    }

    void a_drive_that_stops_answering_leaves_the_display_alone()
    {
        sim::SimHarness sim({"--stations", "3"});
        select_on(sim, QStringLiteral("3"));
        tick();
        Timer1().stop();
        const auto states = view.state_lights;
        const auto inputs = view.input_lights;
        view.values[0] = QStringLiteral("1234");

        // The line moves to a station nobody answers under.
        type_command(QStringLiteral("ST 9"));
        tick();
        QCOMPARE(view.values[0], QStringLiteral("1234"));
        QCOMPARE(view.state_lights, states);
        QCOMPARE(view.input_lights, inputs);
        QVERIFY(view.messages.isEmpty());
    }

    void lights_follow_the_bits_data()
    {
        QTest::addColumn<QByteArray>("state_reply");
        QTest::addColumn<QString>("states");
        QTest::addColumn<QByteArray>("input_reply");
        QTest::addColumn<QString>("inputs");
        // Lights by index: state 0..7 (MF Fault SVON DIR NL PL HOME DO), inputs 0..4.
        // Input light 4 ("PL") has no bit and keeps the red it was given.
        QTest::newRow("05, 0") << QByteArray("05\r>") << "RgRggggg" << QByteArray("0\r>") << "ggggR";
        QTest::newRow("80, F") << QByteArray("80\r>") << "gggggggR" << QByteArray("F\r>") << "RRRRR";
        QTest::newRow("1FF, FFFF") << QByteArray("1FF\r>") << "RRRRRRRR" << QByteArray("FFFF\r>") << "RRRRR";
        QTest::newRow("0, 10") << QByteArray("0\r>") << "gggggggg" << QByteArray("10\r>") << "ggggR";
        // No information: the lights keep what they showed (all red here).
        QTest::newRow("no reply") << QByteArray() << "RRRRRRRR" << QByteArray() << "RRRRR";
        QTest::newRow("no number") << QByteArray("ERR\r>") << "RRRRRRRR" << QByteArray("G1\r>") << "RRRRR";
        QTest::newRow("too wide") << QByteArray("100000000\r>") << "RRRRRRRR" << QByteArray("10000\r>") << "RRRRR";
        QTest::newRow("no line end") << QByteArray("0>") << "RRRRRRRR" << QByteArray("0>") << "RRRRR";
    }
    void lights_follow_the_bits()
    {
        QFETCH(QByteArray, state_reply);
        QFETCH(QString, states);
        QFETCH(QByteArray, input_reply);
        QFETCH(QString, inputs);
        // Every row starts from all red, so that "kept" and "painted green"
        // differ.
        ScriptedPort* line = start_on_scripted_port();
        view.state_lights.fill(true);
        view.input_lights.fill(true);
        line->reply_next(state_reply, 3);
        console->monitoring().update_states();
        line->reply_next(input_reply, 3);
        console->monitoring().update_DI_states();
        QCOMPARE(line->writes.size(), 2);
        QCOMPARE(line->writes[0].bytes, QByteArray("RV 2\r"));
        QCOMPARE(line->writes[1].bytes, QByteArray("RV 5\r"));
        QCOMPARE(FakeView::colours(view.state_lights), states);
        QCOMPARE(FakeView::colours(view.input_lights), inputs);
    }

    void position_is_shown_as_the_drive_sends_it()
    {
        ScriptedPort* line = start_on_scripted_port();
        console->monitoring().set_feedback(true, false);
        vars().station_num = 3;
        line->reply_next("ERR\r>", 3);
        tick();
        QCOMPARE(line->writes.value(0).bytes, QByteArray("RV 0\r"));
        QCOMPARE(view.values[0], QStringLiteral("ERR"));
    }

    void version_box_only_for_its_members()
    {
        ScriptedPort* line = start_on_scripted_port();
        QVERIFY(!console->monitoring().get_and_show_RV_Group(1));
        QVERIFY(!console->monitoring().get_and_show_RV_Group(2));
        QVERIFY(line->writes.isEmpty());  // nothing asked for a box that is not there
        line->reply_next("MIVO-S 2.31\r>", 3);
        QVERIFY(console->monitoring().get_and_show_RV_Group(4));
        QCOMPARE(line->writes.value(0).bytes, QByteArray("RV 4\r"));
        QCOMPARE(view.values[4], QStringLiteral("MIVO-S 2.31"));
        QVERIFY(Timer1().isActive());  // on after the read, whatever before
    }
};

QTEST_GUILESS_MAIN(TestMonitoring)
#include "tst_monitoring.moc"

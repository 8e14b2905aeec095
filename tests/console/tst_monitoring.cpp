// The poll: Timer1 ticks, position feedback and the state and input lights,
// through the real window against the drive simulator, and against a line
// played by hand for replies the simulator never sends.
#include "link/waits.h"
#include "window/form1.h"
#include "window/light.h"
#include "window/value_box.h"

#include "../support/console_fixture.h"
#include "../support/pty_pair.h"
#include "../support/sim_line.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace mivo;

namespace {

struct Line {
    double t_ms;
    QString text;
};

}  // namespace

class TestMonitoring : public QObject, ConsoleFixture {
    Q_OBJECT

    void select_on(const sim::SimHarness& sim, const QString& station)
    {
        open_on(*form, sim);
        set_station(station);
        messages->take();
        ui().Timer1->stop();  // the test runs the ticks itself
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
        ui().cb_ask_states->setChecked(states);
        ui().cb_ask_pfbk->setChecked(position);
    }

    QString colours(const std::array<Light*, 8>& lights)
    {
        QString s;
        for (Light* l : lights)
            s += l->isRed() ? u'R' : u'g';
        return s;
    }
    QString input_colours()
    {
        QString s;
        for (Light* l : ui().mivo_DI_state_light)
            s += l->isRed() ? u'R' : u'g';
        return s;
    }

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    void tick_reads_what_the_boxes_choose()
    {
        sim::SimHarness sim({"--stations", "3"});
        select_on(sim, QStringLiteral("3"));

        sim.clear_log();
        form->Timer1_Timer();
        const QList<Line> both = lines(sim);
        QCOMPARE(texts(both), (QStringList{"RV 0", "RV 2", "RV 5"}));
        QVERIFY(both[1].t_ms - both[0].t_ms >= 50 - kStampSlackMs);
        QVERIFY(both[2].t_ms - both[1].t_ms >= 100 - kStampSlackMs);  // the read's 50 ms, then the pause
        QCOMPARE(ui().lb_rv_feedback(0)->text(), QStringLiteral("0"));
        // Servo off: the drive reports MF; DI1 is high.
        QCOMPARE(colours(ui().mivo_state_light), QStringLiteral("Rggggggg"));
        QCOMPARE(input_colours(), QStringLiteral("Rgggg"));
        QVERIFY(ui().Timer1->isActive());  // the position read switches it on

        ui().Timer1->stop();  // no tick of its own inside the next one's pauses
        sim.clear_log();
        set_boxes(true, false);
        form->Timer1_Timer();
        QCOMPARE(texts(lines(sim)), (QStringList{"RV 2", "RV 5"}));

        sim.clear_log();
        set_boxes(false, true);
        form->Timer1_Timer();
        QCOMPARE(texts(lines(sim)), QStringList{"RV 0"});

        ui().Timer1->stop();
        sim.clear_log();
        set_boxes(false, false);
        form->Timer1_Timer();
        QVERIFY(!ui().sh_run->isRed());
        ui().Timer1->start();
        QTest::qWait(1100);
        QVERIFY(sim.rx_lines().empty());
    }

    void trigger_fills_the_wait_with_ticks()
    {
        sim::SimHarness sim({"--stations", "3"});
        select_on(sim, QStringLiteral("3"));
        sim.clear_log();
        Stopwatch t;  // the waits' own tick counter
        form->Delay_and_Trigger_Timer1(100);  // one tick outlasts the 100 ms
        QVERIFY(t.elapsed() >= 250);
        QCOMPARE(texts(lines(sim)), (QStringList{"RV 0", "RV 2", "RV 5"}));

        set_boxes(false, false);
        sim.clear_log();
        t.restart();
        form->Delay_and_Trigger_Timer1(100);
        QVERIFY(t.elapsed() > 100);
        QVERIFY(sim.rx_lines().empty());

        // In broadcast mode, too, at least one (empty) tick and the full wait.
        set_boxes(true, true);
        form->vars().station_num = 32;
        t.restart();
        form->Delay_and_Trigger_Timer1(0);
        QVERIFY(t.elapsed() >= 1);
        QVERIFY(sim.rx_lines().empty());
    }

    void user_sees_the_servo_switch_on()
    {
        sim::SimHarness sim({"--stations", "3"});
        open_on(*form, sim);
        ui().cbb_station_num->setEditText(QStringLiteral("3"));
        ui().cmd_set_station->click();
        QCOMPARE(messages->take(), (QStringList{"Port Open", "Set OK."}));
        QTRY_VERIFY(!ui().mivo_state_light[2]->isRed());
        QTest::keyClicks(ui().tx_command, QStringLiteral("EN 1"));
        QTest::keyClick(ui().tx_command, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(ui().mivo_state_light[2]->isRed(), 1500);  // "SVON"
        QVERIFY(!ui().mivo_state_light[0]->isRed());                        // "MF"
    }

    void close_inside_a_tick_ends_it()
    {
        sim::SimHarness sim({"--stations", "3"});
        select_on(sim, QStringLiteral("3"));
        sim.clear_log();
        double closed_at = 0;
        // Inside the pause after "RV 2".
        QTimer::singleShot(130, form.get(), [&] {
            closed_at = sim::SimHarness::now_ms();
            ui().cmd_port_close->click();
        });
        form->Timer1_Timer();
        QVERIFY(closed_at > 0);
        QCOMPARE(texts(lines(sim)), (QStringList{"RV 0", "RV 2"}));
        QVERIFY(!ui().sh_run->isRed());
        QVERIFY(!ui().Timer1->isActive());
        QCOMPARE(messages->take(), QStringList{"Port Close"});

        // The poll never runs on the closed link.
        form->Delay_and_Trigger_Timer1(50);
        QTest::qWait(600);
        QCOMPARE(sim.rx_lines().size(), size_t(2));
        QVERIFY(!ui().Timer1->isActive());
    }

    void a_drive_that_stops_answering_leaves_the_display_alone()
    {
        sim::SimHarness sim({"--stations", "3"});
        select_on(sim, QStringLiteral("3"));
        form->Timer1_Timer();
        ui().Timer1->stop();
        const QString states = colours(ui().mivo_state_light);
        const QString inputs = input_colours();
        ui().lb_rv_feedback(0)->setText(QStringLiteral("1234"));

        // The line moves to a station nobody answers under.
        QTest::keyClicks(ui().tx_command, QStringLiteral("ST 9"));
        QTest::keyClick(ui().tx_command, Qt::Key_Return);
        form->Timer1_Timer();
        QCOMPARE(ui().lb_rv_feedback(0)->text(), QStringLiteral("1234"));
        QCOMPARE(colours(ui().mivo_state_light), states);
        QCOMPARE(input_colours(), inputs);
        QVERIFY(messages->texts.isEmpty());
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
        PtyPair line;
        QVERIFY(line.ok());
        form->controls().cbb_port_num->setEditText(line.path());
        form->controls().cmd_port_open->click();
        for (Light* l : ui().mivo_state_light)
            l->setFillColor(Light::kRed);
        for (Light* l : ui().mivo_DI_state_light)
            l->setFillColor(Light::kRed);
        // The reply waits in the buffer before the read goes out.
        line.send(state_reply);
        form->update_states();
        QCOMPARE(line.receive(), QByteArray("RV 2\r"));
        line.send(input_reply);
        form->update_DI_states();
        QCOMPARE(line.receive(), QByteArray("RV 5\r"));
        QCOMPARE(colours(ui().mivo_state_light), states);
        QCOMPARE(input_colours(), inputs);
    }

    void version_box_only_for_its_members()
    {
        PtyPair line;
        form->controls().cbb_port_num->setEditText(line.path());
        form->controls().cmd_port_open->click();
        QVERIFY(!form->get_and_show_RV_Group(1));
        QVERIFY(!form->get_and_show_RV_Group(2));
        QVERIFY(line.receive(50).isEmpty());  // nothing asked for a box that is not there
        line.send("MIVO-S 2.31\r>");
        QVERIFY(form->get_and_show_RV_Group(4));
        QCOMPARE(line.receive(), QByteArray("RV 4\r"));
        QCOMPARE(ui().lb_rv_feedback(4)->text(), QStringLiteral("MIVO-S 2.31"));
        QVERIFY(ui().Timer1->isActive());  // on after the read, whatever before
    }
};

QTEST_MAIN(TestMonitoring)
#include "tst_monitoring.moc"

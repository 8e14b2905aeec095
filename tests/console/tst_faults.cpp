// Every handler that talks to the drive, against every fault the simulator
// can play: no crash, nothing sent that the user did not type or the
// console did not build, nothing claimed that did not happen, and the
// console idle (or closed, after a loss) when the handler has returned.
#include "window/form1.h"
#include "window/transcript_box.h"
#include "window/value_box.h"

#include "../support/console_fixture.h"
#include "../support/sim_line.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>

#include <functional>
#include <map>

using namespace mivo;

namespace {

struct Fault {
    std::vector<std::string> args;  // besides the common ones
    bool hang_up = false;           // the line goes away after the handler's first line
    bool silent = false;            // no drive answers anything
    bool close = false;             // the user presses "Close" 120 ms into the handler
};

const std::map<QString, Fault>& faults()
{
    static const std::map<QString, Fault> table{
        {"silent", {{"--silent", "3"}, false, true}},
        {"late", {{"--late-ms", "120"}}},
        {"no-cr", {{"--no-cr"}}},
        {"garbage", {{"--garbage", "40"}}},
        {"burst", {{"--burst", "200000"}}},
        {"mute-empty", {{"--mute-empty", "3"}}},
        {"hang-up", {{}, true}},
        {"close", {{}, false, false, true}},
    };
    return table;
}

// What each handler may put on the line, poll lines included where the poll
// can run inside it.
struct Handler {
    bool after_selection;  // station 3 is selected first
    QString allowed;       // every line sent matches this
};

const std::map<QString, Handler>& handlers()
{
    static const std::map<QString, Handler> table{
        {"search", {false, "ST ([0-9]|[12][0-9]|3[01])|"}},
        {"select", {false, "ST 3|RV 4"}},
        {"tick", {true, "RV [025]"}},
        {"setup", {true, "RD 0 ([0-9]|1[0-5])|RD 1 [0-6]"}},
        {"save", {true, "SV"}},
        {"config", {true, "RD 1 5"}},
        {"apply", {true, "WT 1 5 129|SV"}},
        {"home", {true, "HM"}},
        {"cycle", {true, "VA 2|MA 1000|MA 0"}},
        {"terminal", {false, "RD 0 3"}},
    };
    return table;
}

}  // namespace

class TestFaults : public QObject, ConsoleFixture {
    Q_OBJECT

    void run(const QString& handler)
    {
        if (handler == "search") {
            QTest::mouseClick(ui().cmd_search_station, Qt::LeftButton);
        } else if (handler == "select") {
            set_station(QStringLiteral("3"));
        } else if (handler == "tick") {
            ui().cb_ask_pfbk->setChecked(true);
            ui().cb_ask_states->setChecked(true);
            form->Timer1_Timer();
        } else if (handler == "setup" || handler == "config") {
            click_tab(handler == "setup" ? kSetupPage : kConfigPage);
            QTest::qWait(1500);  // the reads process no events; this waits for the handler to have run
        } else if (handler == "save") {
            QTest::mouseClick(ui().cmd_setup_save, Qt::LeftButton);
        } else if (handler == "apply") {
            ui().cmd_config_apply->click();
        } else if (handler == "home") {
            form->exchange().set_homing_limit_ms(400);
            QTest::mouseClick(ui().cmd_mivo_home, Qt::LeftButton);
        } else if (handler == "cycle") {
            QTimer::singleShot(600, ui().cmd_stop_move, [this] { ui().cmd_stop_move->click(); });
            QTest::mouseClick(ui().cmd_start_move, Qt::LeftButton);
        } else if (handler == "terminal") {
            QTest::keyClicks(ui().tx_command, QStringLiteral("RD 0 3"));
            QTest::keyClick(ui().tx_command, Qt::Key_Return);
        } else {
            QFAIL(qPrintable(handler));
        }
    }

    void verify_bounded()
    {
        QVERIFY(ui().tx_response->text().size() <= TranscriptBox::kKeptChars + TranscriptBox::kKeptChars / 4);
        for (int n : {0, 3, 4})
            QVERIFY(ui().lb_rv_feedback(n)->text().size() <= SerialPort::kReadCapBytes);
        QVERIFY(form->vars().rx_text.size() <= SerialPort::kReadCapBytes);
    }

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    void handler_under_fault_data()
    {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QString>("fault");
        for (const auto& [h, _] : handlers())
            for (const auto& [f, __] : faults())
                QTest::addRow("%s, %s", qPrintable(h), qPrintable(f)) << h << f;
    }
    void handler_under_fault()
    {
        QFETCH(QString, handler);
        QFETCH(QString, fault);
        const Handler& h = handlers().at(handler);
        const Fault& f = faults().at(fault);

        // The selection sends "ST 3" twice and "RV 4"; a hang-up comes with
        // the handler's own first line.
        std::vector<std::string> args{"--stations", "3", "--home-ms", "200", "--save-ms", "50"};
        args.insert(args.end(), f.args.begin(), f.args.end());
        if (f.hang_up)
            args.insert(args.end(), {"--hangup-after", h.after_selection ? "4" : "1"});
        sim::SimHarness sim(args);
        open_on(*form, sim);
        if (h.after_selection) {
            set_station(QStringLiteral("3"));
            // A drive busy streaming takes its lines late; they belong here.
            QTRY_VERIFY_WITH_TIMEOUT(received_lines(sim).contains(QStringLiteral("RV 4")), 10000);
            // The poll between the steps sends nothing; the handler's own lines stand alone.
            ui().cb_ask_pfbk->setChecked(false);
            ui().cb_ask_states->setChecked(false);
        }
        messages->take();
        sim.clear_log();

        double closed_at = 0;
        if (f.close) {
            QTimer::singleShot(120, ui().cmd_port_close, [&] {
                closed_at = sim::SimHarness::now_ms();
                ui().cmd_port_close->click();
            });
        }
        run(handler);
        // A loss is told from the event loop, after the handler.
        if (f.hang_up)
            QTRY_VERIFY(messages->texts.contains(QStringLiteral("CommPort lost: the device hung up or was removed.")));
        QTest::qWait(100);
        const QStringList said = messages->take();

        const QRegularExpression allowed(QRegularExpression::anchoredPattern(h.allowed));
        for (const QString& line : received_lines(sim))
            QVERIFY2(allowed.match(line).hasMatch(), qPrintable(QStringLiteral("sent \"%1\"").arg(line)));
        if (f.silent || f.hang_up) {
            QVERIFY2(!said.contains(QStringLiteral("Set OK.")), qPrintable(said.join(u'|')));
            QVERIFY2(!said.contains(QStringLiteral("Save OK.")), qPrintable(said.join(u'|')));
        }
        verify_bounded();

        // Idle again: no cycle, no homing, the buttons of an idle console
        // (their own flags: a closed link disables the whole tab control).
        QCOMPARE(form->vars().move_running, kFalse);
        QVERIFY(!ui().cmd_start_move->testAttribute(Qt::WA_ForceDisabled));
        QVERIFY(ui().cmd_stop_move->testAttribute(Qt::WA_ForceDisabled));
        if (f.close) {
            QVERIFY(closed_at > 0);
            for (const auto& e : sim.wire_log())
                QVERIFY2(e.dir == sim::WireEvent::Tx || e.t_ms <= closed_at, "a line went out after the close");
        }
        if (f.hang_up || f.close) {
            QCOMPARE(form->vars().is_linked, kFalse);
            QVERIFY(!form->MSComm1().isOpen());
            QVERIFY(!ui().Timer1->isActive());
            QVERIFY(ui().cmd_port_open->isEnabled());
            QVERIFY(!ui().cmd_search_station->isEnabled() && !ui().cmd_set_station->isEnabled());
            QVERIFY(!ui().SSTab1->isEnabled());
            QCOMPARE(said.count(f.close ? QStringLiteral("Port Close")
                                        : QStringLiteral("CommPort lost: the device hung up or was removed.")),
                     1);
        } else {
            QCOMPARE(form->vars().is_linked, kTrue);
            // The poll runs while a station is selected, and only then.
            QCOMPARE(ui().Timer1->isActive(), h.after_selection || handler == "select");
            QVERIFY(ui().cmd_search_station->isEnabled() && ui().cmd_set_station->isEnabled());
            for (int page : {kTerminalPage, kMotionPage, kSetupPage, kConfigPage})
                QVERIFY(ui().SSTab1->isTabEnabled(page));
        }
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"

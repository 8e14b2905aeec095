// Every handler that talks to the drive, against every fault the simulator
// can play: no crash, nothing sent that the user did not type or the
// console did not build, nothing claimed that did not happen, and the
// console idle (or closed, after a loss) when the handler has returned.
#include "../support/core_fixture.h"
#include "../support/sim_line.h"

#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

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

class TestFaults : public QObject, CoreFixture {
    Q_OBJECT

    static QString terminal_line() { return QStringLiteral("RD 0 3"); }

    void run(const QString& handler)
    {
        if (handler == "search") {
            console->stations().search_click();
        } else if (handler == "select") {
            set_station(QStringLiteral("3"));
        } else if (handler == "tick") {
            console->monitoring().set_feedback(true, true);
            console->monitoring().Timer1_Timer();
        } else if (handler == "setup" || handler == "config") {
            bring_to_front(handler == "setup" ? kSetupPage : kConfigPage);
        } else if (handler == "save") {
            console->settings().save_click();
        } else if (handler == "apply") {
            console->settings().apply_click(view.config);
        } else if (handler == "home") {
            console->exchange().set_homing_limit_ms(400);
            console->motion().home_click();
        } else if (handler == "cycle") {
            QTimer::singleShot(600, console.get(), [this] { console->motion().stop_click(); });
            console->motion().start_click(cycle);
        } else if (handler == "terminal") {
            type_command(terminal_line());
        } else {
            QFAIL(qPrintable(handler));
        }
    }

    // A handler leaves at most one read's worth of text anywhere: the
    // terminal shows its line and what one read took, and nothing else
    // writes to the transcript.
    void verify_bounded(const QString& handler)
    {
        const qsizetype transcript_limit =
            handler == "terminal" ? terminal_line().size() + 2 + SerialPort::kReadCapBytes : 0;
        QVERIFY2(view.transcript.size() <= transcript_limit, qPrintable(QString::number(view.transcript.size())));
        for (int n : {0, 3, 4})
            QVERIFY(view.values.at(std::size_t(n)).size() <= SerialPort::kReadCapBytes);
    }

private slots:
    void init()
    {
        start_console();
        // A message stays up for a moment, as a box does while the user
        // reads it, and events go on meanwhile: a "Close" or a loss may come
        // while the handler waits on it.
        view.on_message = [](const QString&) { QTest::qWait(2); };
    }
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
        open_on(sim);
        if (h.after_selection) {
            set_station(QStringLiteral("3"));
            // A drive busy streaming takes its lines late; they belong here.
            QTRY_VERIFY_WITH_TIMEOUT(received_lines(sim).contains(QStringLiteral("RV 4")), 10000);
            // The poll between the steps sends nothing; the handler's own lines stand alone.
            console->monitoring().set_feedback(false, false);
        }
        view.take_messages();
        sim.clear_log();

        double closed_at = 0;
        if (f.close) {
            QTimer::singleShot(120, console.get(), [&] {
                closed_at = sim::SimHarness::now_ms();
                close();
            });
        }
        run(handler);
        // A loss is told from the event loop, after the handler.
        if (f.hang_up)
            QTRY_VERIFY(view.messages.contains(QStringLiteral("CommPort lost: the device hung up or was removed.")));
        QTest::qWait(100);
        const QStringList said = view.take_messages();

        const QRegularExpression allowed(QRegularExpression::anchoredPattern(h.allowed));
        for (const QString& line : received_lines(sim))
            QVERIFY2(allowed.match(line).hasMatch(), qPrintable(QStringLiteral("sent \"%1\"").arg(line)));
        if (f.silent || f.hang_up) {
            QVERIFY2(!said.contains(QStringLiteral("Set OK.")), qPrintable(said.join(u'|')));
            QVERIFY2(!said.contains(QStringLiteral("Save OK.")), qPrintable(said.join(u'|')));
        }
        verify_bounded(handler);

        // Idle again: no cycle, no homing, the buttons of an idle console
        // (their own flags: a closed link disables the whole tab control).
        const Availability::State& a = view.availability;
        QCOMPARE(vars().move_running, kFalse);
        QVERIFY(!console->availability().cycle_running());
        QVERIFY(a.cmd_start_move && !a.cmd_stop_move);
        if (f.close) {
            QVERIFY(closed_at > 0);
            for (const auto& e : sim.wire_log())
                QVERIFY2(e.dir == sim::WireEvent::Tx || e.t_ms <= closed_at, "a line went out after the close");
        }
        if (f.hang_up || f.close) {
            QCOMPARE(vars().is_linked, kFalse);
            QVERIFY(!console->MSComm1().isOpen());
            QVERIFY(!view.link_light);
            QVERIFY(!Timer1().isActive());
            QVERIFY(a.cmd_port_open && !a.cmd_port_close);
            QVERIFY(!a.cmd_search_station && !a.cmd_set_station && !a.cbb_station_num);
            QVERIFY(!a.SSTab1);
            QCOMPARE(said.count(f.close ? QStringLiteral("Port Close")
                                        : QStringLiteral("CommPort lost: the device hung up or was removed.")),
                     1);
        } else {
            QCOMPARE(vars().is_linked, kTrue);
            QVERIFY(view.link_light);
            // The poll runs while a station is selected, and only then.
            QCOMPARE(Timer1().isActive(), h.after_selection || handler == "select");
            QVERIFY(a.cmd_search_station && a.cmd_set_station && a.cbb_station_num);
            QVERIFY(a.SSTab1);
            for (int page : {kTerminalPage, kMotionPage, kSetupPage, kConfigPage})
                QVERIFY(a.pages.at(std::size_t(page)));
        }
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"

// Opening and closing the serial port from the console core, against a real
// pseudo-terminal.
#include "../support/core_fixture.h"
#include "../support/pty_pair.h"
#include "link/waits.h"

#include <QFile>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <limits>
#include <thread>

using namespace mivo;

class TestSerialLink : public QObject, CoreFixture {
    Q_OBJECT

    void open(const QString& path) { open_path(path); }

    void verify_closed_state()
    {
        QCOMPARE(vars().is_linked, kFalse);
        QVERIFY(!console->MSComm1().isOpen());
        QVERIFY(!view.link_light);
        const Availability::State& s = view.availability;
        QVERIFY(s.cmd_port_open);
        QVERIFY(!s.cmd_port_close);
        QVERIFY(!s.cbb_station_num);
        QVERIFY(!s.cmd_search_station);
        QVERIFY(!s.cmd_set_station);
        QVERIFY(!Timer1().isActive());
    }

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    void open_and_close()
    {
        PtyPair line;
        QVERIFY(line.ok());
        open(line.path());
        QCOMPARE(view.take_messages(), QStringList{"Port Open"});
        QCOMPARE(vars().is_linked, kTrue);
        QVERIFY(console->MSComm1().isOpen());
        QVERIFY(view.link_light);
        const Availability::State& s = view.availability;
        QVERIFY(!s.cmd_port_open);
        QVERIFY(s.cmd_port_close);
        QVERIFY(s.cbb_station_num);
        QVERIFY(s.cmd_search_station);
        QVERIFY(s.cmd_set_station);
        // Opening neither starts the poll nor touches the tab control.
        QVERIFY(!Timer1().isActive());
        QVERIFY(s.SSTab1);
        QVERIFY(line.receive(50).isEmpty());  // opening sends nothing

        close();
        QCOMPARE(view.take_messages(), QStringList{"Port Close"});
        verify_closed_state();
        QVERIFY(!view.availability.SSTab1);

        // A new open does not bring the tab control back.
        open(line.path());
        QCOMPARE(view.take_messages(), QStringList{"Port Open"});
        QVERIFY(!view.availability.SSTab1);
    }

    void close_stops_the_poll_timer()
    {
        PtyPair line;
        open(line.path());
        Timer1().start();
        close();
        QVERIFY(!Timer1().isActive());
        console->port_control().close_timer1();
        QVERIFY(!Timer1().isActive());
    }

    void guards_when_already_in_state()
    {
        // The buttons are disabled in these states; the handlers guard anyway.
        close();
        QCOMPARE(view.take_messages(), QStringList{"Port Close"});
        verify_closed_state();

        PtyPair line;
        open(line.path());
        view.take_messages();
        open(line.path());
        QCOMPARE(view.take_messages(), QStringList{"Linked"});
        QVERIFY(console->MSComm1().isOpen());
    }

    void failed_open_changes_nothing_then_a_good_one_works()
    {
        open(QStringLiteral("/nonexistent/mivo-port"));
        QCOMPARE(view.take_messages(), (QStringList{"MIVO CommPort Fail", "CommPort Close"}));
        verify_closed_state();
        QVERIFY(view.availability.SSTab1);

        // A number names the platform's numbered port; on a machine without
        // it the open fails the same way.
        if (!QFile::exists(QStringLiteral("/dev/ttyS19"))) {
            open(QStringLiteral("20"));
            QCOMPARE(view.take_messages(), (QStringList{"MIVO CommPort Fail", "CommPort Close"}));
        }

        // Blanks around a typed path are ignored, as around a number.
        PtyPair line;
        open(QStringLiteral("  %1 ").arg(line.path()));
        QCOMPARE(view.take_messages(), QStringList{"Port Open"});
        QCOMPARE(vars().is_linked, kTrue);
    }

    void peer_hang_up_closes_the_link_once()
    {
        PtyPair line;
        open(line.path());
        view.take_messages();
        Timer1().start();

        line.hang_up();
        QTRY_COMPARE_WITH_TIMEOUT(vars().is_linked, kFalse, 3000);
        verify_closed_state();
        QVERIFY(!view.availability.SSTab1);
        QTRY_COMPARE(view.messages.size(), 1);
        // What happened, not some stale system error.
        QCOMPARE(view.messages[0], QStringLiteral("CommPort lost: the device hung up or was removed."));

        // A hung-up port left open would raise its error on every pass of
        // the event loop: it is closed, and the user is told once.
        QVERIFY(!console->MSComm1().isOpen());
        QTest::qWait(500);
        QCOMPARE(view.messages.size(), 1);

        // Reading and writing the closed port does nothing.
        console->exchange().send_mivo_command(QStringLiteral("SV"));
        QVERIFY(console->exchange().get_mivo_response(QStringLiteral("RV 0"), QString()).value.isEmpty());
    }

    void shutting_down_ends_a_waiting_handler()
    {
        PtyPair line;
        open(line.path());
        view.take_messages();
        // The drive never ends its homing run; the program goes away.
        QTimer::singleShot(200, console.get(), [this] { console->shut_down(); });
        console->exchange().send_mivo_command(QStringLiteral("HM"));  // returns: the wait ended
        QCOMPARE(line.receive(), QByteArray("HM\r"));
        console->exchange().send_mivo_command(QStringLiteral("EN 0"));
        // A wait that outlived the program would never return.
        console->exchange().Delay(std::numeric_limits<qint32>::max());
        QVERIFY(line.receive(50).isEmpty());
        QVERIFY(view.messages.isEmpty());
    }

    // The port's own wait, which the fast exchange blocks in: it wakes for
    // bytes that arrive during it, lasts its limit when none come, and wakes
    // for a hang-up, which the read after it then finds.
    void a_local_port_waits_for_its_bytes()
    {
        using namespace std::chrono_literals;
        PtyPair line;
        open(line.path());
        SerialPort& port = console->MSComm1();
        Stopwatch t;
        QVERIFY(!port.waitForInput(30ms));
        QVERIFY(t.elapsed() >= 30);

        std::thread far_end([&line] {
            std::this_thread::sleep_for(20ms);
            line.send("5\r>");
        });
        t.restart();
        const bool woke = port.waitForInput(5s);
        far_end.join();
        QVERIFY(woke);
        QVERIFY(t.elapsed() >= 20);
        QCOMPARE(port.readAll(), QByteArray("5\r>"));

        line.hang_up();
        QVERIFY(port.waitForInput(5s));
        port.readAll();
        QVERIFY(!port.isOpen());
    }

    void hang_up_noticed_inside_an_exchange()
    {
        PtyPair line;
        open(line.path());
        view.take_messages();
        line.hang_up();
        // No event runs between the write and the read of this exchange: the
        // read itself finds the port gone.
        console->exchange().get_mivo_response(QStringLiteral("RV 0"), QString());
        QCOMPARE(vars().is_linked, kFalse);
        QVERIFY(!console->exchange().link_up());
        QTRY_COMPARE(view.messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_serial_link.moc"

// The "Terminal" page on the console core, against the drive simulator.
#include "link/serial_port.h"

#include "../support/core_fixture.h"
#include "../support/sim_line.h"

#include <QtTest>

using namespace mivo;

class TestTerminal : public QObject, CoreFixture {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;

    // A character typed into "Command" while it holds text already.
    void key(QChar typed) { console->terminal().key_press(qint16(typed.unicode()), view.command); }
    void send() { console->terminal().send(view.command); }

private slots:
    void init()
    {
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "1,5", "--home-ms", "300"});
        start_console();
    }
    void cleanup()
    {
        stop_console();
        sim.reset();
    }

    void enter_sends_the_line_and_shows_the_reply()
    {
        open_on(*sim);
        view.take_messages();
        type_command(QStringLiteral("ST 5"));
        type_command(QStringLiteral("RD 0 3"));
        QCOMPARE(received_lines(*sim), (QStringList{"ST 5", "RD 0 3"}));
        QVERIFY2(view.transcript.startsWith(QStringLiteral("ST 5\r\n>RD 0 3\r\nP3=")), qPrintable(view.transcript));
        QVERIFY(view.transcript.endsWith(QStringLiteral("\r>")));
        QVERIFY(view.command.isEmpty());
        QVERIFY(view.messages.isEmpty());
        // The terminal leaves the exchange's variables alone.
        QVERIFY(vars().last_command.isEmpty());
    }

    void send_with_an_empty_box_sends_a_cr_alone()
    {
        open_on(*sim);
        send();
        QCOMPARE(received_lines(*sim), QStringList{""});
        QCOMPARE(view.transcript, QStringLiteral("\r\n"));  // station 0 is absent: no answer
    }

    void homing_typed_here_does_not_wait()
    {
        open_on(*sim);
        type_command(QStringLiteral("ST 1"));
        type_command(QStringLiteral("HM"));
        QCOMPARE(view.transcript, QStringLiteral("ST 1\r\n>HM\r\n"));  // no wait for the prompt
        auto homed = [this] {
            const auto log = sim->wire_log();
            return !log.empty() && log.back().dir == sim::WireEvent::Tx && log.back().bytes == ">";
        };
        QTRY_VERIFY(homed());
        // The prompt that ends the homing run is taken by the next read.
        type_command(QString());
        QCOMPARE(view.transcript, QStringLiteral("ST 1\r\n>HM\r\n\r\n>>"));
    }

    void only_what_was_typed_goes_out()
    {
        open_on(*sim);
        view.take_messages();
        // A character without a byte of its own: refused, nothing sent, the
        // box keeps the text.
        for (const QString& typed : {QStringLiteral("RD 0 3 \u20ac"), QStringLiteral("ST \U0001F600")}) {
            type_command(typed);
            QCOMPARE(view.take_messages().size(), 1);
            QCOMPARE(view.command, typed);
        }
        QVERIFY(sim->rx_lines().empty());
        QVERIFY(view.transcript.isEmpty());

        // Latin-1 goes out byte for byte; a long line goes out whole.
        type_command(QStringLiteral("\u00e9"));
        const QString long_line(40000, u'A');
        type_command(long_line);
        QVERIFY(view.transcript.startsWith(QStringLiteral("\u00e9\r\n")));
        QVERIFY(view.transcript.contains(QStringLiteral("\r\n") + long_line + QStringLiteral("\r\n")));
        const auto log = sim->wire_log();
        QCOMPARE(log.front().bytes, std::string("\xe9"));
    }

    void a_streaming_line_is_read_a_bounded_piece_at_a_time()
    {
        // The drive starts streaming after the first line it receives.
        sim::SimHarness streaming({"--stations", "1", "--burst", "3000000"});
        open_on(streaming);
        type_command(QStringLiteral("ST 1"));
        // However late the stream comes on a busy machine, no exchange takes
        // more than one read's worth of it.
        int pieces = 0;
        for (int i = 0; i < 200 && pieces < 4; ++i) {
            const qsizetype before = view.transcript.size();
            type_command(QString());
            const qsizetype taken = view.transcript.size() - before - 2;  // after the CR LF
            QVERIFY2(taken <= SerialPort::kReadCapBytes, qPrintable(QString::number(taken)));
            pieces += taken > 0;
        }
        QCOMPARE(pieces, 4);
    }

    void link_first_while_closed()
    {
        send();
        QCOMPARE(view.take_messages(), QStringList{"Link First!"});
        // Every key is told, and whatever the box holds stays in it.
        view.command = QStringLiteral("ab");
        key(u'a');
        key(u'b');
        QCOMPARE(view.take_messages(), (QStringList{"Link First!", "Link First!"}));
        QCOMPARE(view.command, QStringLiteral("ab"));
        // Enter is told once, and nothing goes out.
        console->terminal().key_press(Terminal::kEnter, view.command);
        QCOMPARE(view.take_messages(), QStringList{"Link First!"});
        QCOMPARE(view.command, QStringLiteral("ab"));
        QVERIFY(view.transcript.isEmpty());
        QVERIFY(sim->rx_lines().empty());
    }

    void clean_response_in_any_state()
    {
        open_on(*sim);
        type_command(QStringLiteral("ST 1"));
        QVERIFY(!view.transcript.isEmpty());
        console->terminal().clean();
        QVERIFY(view.transcript.isEmpty());

        // With the link closed the tab control is disabled, but the handler
        // itself has no link test.
        type_command(QStringLiteral("ST 1"));
        close();
        QVERIFY(!view.availability.SSTab1);
        view.take_messages();
        console->terminal().clean();
        QVERIFY(view.transcript.isEmpty());
        QVERIFY(view.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTerminal)
#include "tst_terminal.moc"

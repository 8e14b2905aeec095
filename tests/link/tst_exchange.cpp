// The command exchange and its waits, against a scripted in-process port,
// and the link guard through which the console's handlers use it.
#include "console/console_context.h"
#include "console/link_guard.h"
#include "link/command_exchange.h"
#include "link/waits.h"

#include "../support/scripted_port.h"

#include <QTimer>
#include <QtTest>

using namespace mivo;

class TestExchange : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedPort> port;
    std::unique_ptr<CommandExchange> exchange;
    std::unique_ptr<ConsoleContext> context;

    // The exchange as a handler on an open link uses it: what it reads is
    // recorded in the form-level variables.
    LinkGuard link() { return context->hold_link(); }
    FormVariables& vars() { return context->vars; }

    // True once the event loop has run since the call.
    static std::shared_ptr<bool> event_probe()
    {
        auto ran = std::make_shared<bool>(false);
        QTimer::singleShot(0, [ran] { *ran = true; });
        return ran;
    }

private slots:
    void init()
    {
        port = std::make_unique<ScriptedPort>();
        exchange = std::make_unique<CommandExchange>(*port);
        context = std::make_unique<ConsoleContext>(*port, *exchange);
        context->vars.is_linked = kTrue;
    }

    void send_discards_the_reply_after_50_ms()
    {
        port->reply_next("ERR\r>", 2);
        Stopwatch t;  // the waits' own tick counter
        const auto sent = link().send_mivo_command(QStringLiteral("EN 1"));
        QVERIFY(t.elapsed() > 50);
        QCOMPARE(port->writes.size(), 1);
        QCOMPARE(port->writes[0].bytes, QByteArray("EN 1\r"));
        QCOMPARE(sent.discarded, QStringLiteral("ERR\r>"));
        QCOMPARE(vars().last_command, QStringLiteral("EN 1"));
        QCOMPARE(port->readAll(), QByteArray());  // the reply was taken
    }

    void only_exact_hm_waits_for_the_prompt_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("lower case") << "hm";
        QTest::newRow("trailing blank") << "HM ";
        QTest::newRow("leading blank") << " HM";
    }
    void only_exact_hm_waits_for_the_prompt()
    {
        QFETCH(QString, command);
        port->reply_next(">", 400);
        Stopwatch t;
        link().send_mivo_command(command);
        QVERIFY(t.elapsed() > 50);
        QCOMPARE(port->reads, 2);  // before the write and after the wait: no prompt loop
        QCOMPARE(port->writes[0].bytes, command.toLatin1() + '\r');
    }

    void homing_waits_for_the_prompt_and_keeps_the_window_alive()
    {
        port->reply_next("\r>", 300);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        Stopwatch t;
        const auto sent = link().send_mivo_command(QStringLiteral("HM"));
        const qint64 took = t.elapsed();
        QVERIFY(took >= 300);  // ended on the prompt: the limit is ten minutes
        QVERIFY2(ticks >= 5, "events were not processed during the homing wait");
        QCOMPARE(sent.discarded, QStringLiteral("\r>"));
        QCOMPARE(vars().last_command, QStringLiteral("HM"));
    }

    // A line that keeps sending while homing waits for the prompt: the text
    // kept of it stays small however much comes, the prompt at its end is
    // still seen, and each wire log row keeps a part of a read and counts
    // the rest.
    void a_streaming_line_cannot_grow_a_prompt_wait()
    {
        class StreamingPort : public ScriptedPort {
        public:
            qsizetype streamed = 0;
            QByteArray readAll() override
            {
                if (streamed >= 2 * 1024 * 1024)
                    return ">";
                streamed += kReadCapBytes;
                return QByteArray(kReadCapBytes, 'x');
            }
        } streaming;
        CommandExchange homing(streaming);
        WireLog log;
        homing.set_wire_log(&log);
        const auto sent = homing.send_mivo_command(QStringLiteral("HM"));
        QVERIFY(sent.discarded.endsWith(u'>'));
        QVERIFY2(sent.discarded.size() < SerialPort::kReadCapBytes, qPrintable(QString::number(sent.discarded.size())));
        QVERIFY(log.size() > 100);
        for (qsizetype i = 0; i < log.size(); ++i) {
            const WireLog::Row& row = log.at(i);
            if (row.direction == WireLog::Direction::ToDrive || row.bytes == ">")
                continue;
            QVERIFY(row.bytes.size() < SerialPort::kReadCapBytes / 4);
            QCOMPARE(row.bytes.size() + row.left_out, SerialPort::kReadCapBytes);
            QVERIFY(WireLog::row_text(row).endsWith(QStringLiteral("(%1 more bytes)").arg(row.left_out)));
        }
    }

    // A converter that hands every line back before the drive's reply: the
    // echo is no reply, and the log shows it as what it is.
    void an_echo_is_not_the_reply()
    {
        WireLog log;
        exchange->set_wire_log(&log);
        port->reply_next("RV 4\rMIVO-S 2.31\r>", 3);
        QCOMPARE(link().get_mivo_response(QStringLiteral("RV 4"), {}).value, QStringLiteral("MIVO-S 2.31"));
        port->reply_next("RV 4\r", 3);  // and no drive behind it
        const auto silent = link().get_mivo_response(QStringLiteral("RV 4"), {});
        QVERIFY(!silent.complete);
        QCOMPARE(silent.value, QString());
        QList<WireLog::Direction> directions;
        for (qsizetype i = 0; i < log.size(); ++i)
            directions << log.at(i).direction;
        using D = WireLog::Direction;
        QCOMPARE(directions, (QList<D>{D::ToDrive, D::Echo, D::FromDrive, D::ToDrive, D::Echo}));
        QCOMPARE(log.at(1).bytes, QByteArray("RV 4\r"));
        QCOMPARE(log.at(2).bytes, QByteArray("MIVO-S 2.31\r>"));
    }

    void get_cuts_the_value_line_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("value");
        QTest::newRow("parameter") << QByteArray("P3=120\r>") << "P3=" << "120";
        QTest::newRow("hexadecimal") << QByteArray("1F\r>") << "" << "1F";
        QTest::newRow("free text") << QByteArray("MIVO 2.31\r>") << "" << "MIVO 2.31";
        QTest::newRow("target twice") << QByteArray("V1=V1=5\r>") << "V1=" << "5";
        QTest::newRow("other case kept") << QByteArray("p3=120\r>") << "P3=" << "p3=120";
        QTest::newRow("prompt only") << QByteArray(">") << "" << "";
        QTest::newRow("no line end") << QByteArray("P3=12") << "P3=" << "";
        QTest::newRow("silence") << QByteArray() << "P3=" << "";
    }
    void get_cuts_the_value_line()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, target);
        QFETCH(QString, value);
        vars().last_command = QStringLiteral("untouched");
        port->reply_next(reply, 3);
        const auto got = link().get_mivo_response(QStringLiteral("RD 0 3"), target);
        QCOMPARE(got.value, value);
        QCOMPARE(got.complete, reply.contains('\r'));
        QCOMPARE(got.rx_text, QString::fromLatin1(reply));
        QCOMPARE(vars().last_command, QStringLiteral("untouched"));
        QCOMPARE(port->writes[0].bytes, QByteArray("RD 0 3\r"));
        QCOMPARE(port->reads, 2);  // what waited before the write, then the reply
    }

    // A reply that comes after its wait answers its own line: the next read
    // neither takes it for its value nor loses its own reply to it, and the
    // log shows it as late.
    void a_late_reply_is_never_the_next_reads_value()
    {
        WireLog log;
        exchange->set_wire_log(&log);
        const auto get = [&](const char* line, const char* target = "") {
            return link().get_mivo_response(QLatin1String(line), QLatin1String(target));
        };
        // A poll tick on a line that answers 80 ms late: "RV 0", at once
        // "RV 2", a pause, "RV 5".
        port->reply_next("1234\r>", 80);
        port->reply_next("5\r>", 80);
        port->reply_next("F\r>", 80);
        QVERIFY(!get("RV 0").complete);
        const auto state = get("RV 2");  // the position came in its wait
        QVERIFY(!state.complete);
        QVERIFY(state.rx_text.isEmpty());
        exchange->Delay(CommandExchange::kReplyWaitMs);
        QVERIFY(!get("RV 5").complete);  // the state waited in the buffer

        // Once an owed reply is overdue it counts as lost; what came is late.
        QTest::qWait(CommandExchange::kLateReplyLimitMs + 50);
        port->reply_next("P1=1\r>", 3);
        QCOMPARE(get("RD 0 1", "P1=").value, QStringLiteral("1"));
        QStringList late;
        for (qsizetype i = 0; i < log.size(); ++i)
            if (log.at(i).direction == WireLog::Direction::LateFromDrive)
                late << WireLog::visible(log.at(i).bytes);
        QCOMPARE(late, (QStringList{"1234\\r>", "5\\r>", "F\\r>"}));

        // A drive that drops one reply costs the reads until the owed one
        // counts as lost, not every read after it; a reply that names its
        // entry is never taken for another's.
        port->reply_next({}, 3);
        port->reply_next("5\r>", 3);
        QVERIFY(!get("RV 0").complete);
        QVERIFY(!get("RV 2").complete);
        QTest::qWait(CommandExchange::kLateReplyLimitMs);
        port->reply_next("7\r>", 3);
        QCOMPARE(get("RV 5").value, QStringLiteral("7"));
        port->reply_next({}, 3);
        port->reply_next("P6=6\r>", 3);
        QVERIFY(!get("RD 0 5", "P5=").complete);
        QCOMPARE(get("RD 0 6", "P6=").value, QStringLiteral("6"));
        // A prompt ahead of the value line closed an earlier line's reply,
        // also when it comes alone and first to the fast exchange.
        port->reply_next(">1F\r>", 3);
        QCOMPARE(get("RV 5").value, QStringLiteral("1F"));
        exchange->set_fast(true);
        // A longer reply wait gives margins of 40 ms for a busy machine's
        // late wake-ups.
        exchange->set_reply_wait_ms(200);
        port->reply_next(">", 240);  // later than its wait
        QVERIFY(link().send_mivo_command(QStringLiteral("WT 0 1 1")).discarded.isEmpty());
        port->reply_next("P1=1\r>", 80);
        QCOMPARE(get("RD 0 1", "P1=").value, QStringLiteral("1"));
        // A reply that waited before the write is no answer to a save.
        port->preload(">");
        port->reply_next({}, 3);
        QVERIFY(link().send_mivo_command(QStringLiteral("SV")).discarded.isEmpty());
    }

    // The fast exchange blocks on the port: it takes a reply once the port
    // has it, without looking for it step by step meanwhile; a line without
    // an answer has its whole reply wait, spent in the port's wait too. No
    // event is processed.
    void the_fast_exchange_waits_on_the_port()
    {
        exchange->set_fast(true);
        auto ran = event_probe();
        port->reply_next("1234\r>", 30);
        Stopwatch t;
        QCOMPARE(link().get_mivo_response(QStringLiteral("RV 0"), QString()).value, QStringLiteral("1234"));
        QVERIFY(t.elapsed() >= 30);
        // Before the write, at once after it, and once woken.
        QVERIFY(port->input_waits >= 1);
        QVERIFY2(port->reads <= 3, qPrintable(QString::number(port->reads)));

        port->reads = 0;
        t.restart();
        QVERIFY(link().send_mivo_command(QStringLiteral("EN 1")).discarded.isEmpty());
        QVERIFY(t.elapsed() > CommandExchange::kReplyWaitMs);
        QVERIFY2(port->reads <= 3, qPrintable(QString::number(port->reads)));
        QVERIFY(!*ran);
    }

    void check_sees_the_prompt_within_its_window_data()
    {
        QTest::addColumn<int>("delay");
        QTest::addColumn<bool>("result");
        QTest::newRow("at once") << 3 << true;
        QTest::newRow("140 ms after the write") << 140 << true;
        QTest::newRow("never") << -1 << false;
    }
    void check_sees_the_prompt_within_its_window()
    {
        QFETCH(int, delay);
        QFETCH(bool, result);
        if (delay >= 0)
            port->reply_next(">", delay);
        Stopwatch t;
        QCOMPARE(link().Check_MIVO_response(QStringLiteral("ST 7")), result);
        QVERIFY(t.elapsed() > (result ? qMax(50, delay) : 150));
        QCOMPARE(vars().last_command, QStringLiteral("ST 7\r"));
        QCOMPARE(port->writes[0].bytes, QByteArray("ST 7\r"));
    }

    void check_takes_a_left_over_prompt_in_its_first_pass()
    {
        port->preload(">");
        Stopwatch t;
        QVERIFY(exchange->Check_MIVO_response(QStringLiteral("ST 3\r")).prompt);
        QVERIFY(t.elapsed() > 55);
        QCOMPARE(port->reads, 1);
    }

    void check_of_last_command_sends_a_cr_alone()
    {
        port->reply_next(">", 2);
        port->reply_next(">", 2);
        LinkGuard guard = link();
        guard.Check_MIVO_response(QStringLiteral("ST 4"));
        QVERIFY(guard.Check_MIVO_response(vars().last_command));
        QCOMPARE(port->writes.size(), 2);
        QCOMPARE(port->writes[1].bytes, QByteArray("\r"));
        QCOMPARE(vars().last_command, QStringLiteral("\r"));
    }

    void waits_without_events()
    {
        auto ran = event_probe();
        Stopwatch t;
        exchange->Delay_abs(20);
        QVERIFY(t.elapsed() > 20);
        QVERIFY(!*ran);
        exchange->send_mivo_command(QStringLiteral("SV"));
        QVERIFY(!*ran);
        exchange->get_mivo_response(QStringLiteral("RV 0"), QString());
        QVERIFY(!*ran);
        QCoreApplication::processEvents();
        QVERIFY(*ran);
    }

    void delay_processes_events()
    {
        auto ran = event_probe();
        Stopwatch t;
        exchange->Delay(0);
        QVERIFY(*ran);
        QVERIFY(t.elapsed() >= 1);

        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        t.restart();
        exchange->Delay(100);
        QVERIFY(t.elapsed() > 100);
        QVERIFY(ticks >= 5);
    }

    void the_longest_wait_arms_its_timer()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("[Tt]imer")));
        QTimer::singleShot(30, [this] { exchange->shut_down(); });
        exchange->Delay(std::numeric_limits<qint32>::max());
    }

    void closed_port_neither_written_nor_read()
    {
        port->close();
        port->reply_next(">", 0);
        // The homing wait would take ten minutes (and time the test out)
        // if it did not end with the link.
        QVERIFY(!exchange->Check_MIVO_response(QStringLiteral("ST 1\r")).prompt);
        exchange->send_mivo_command(QStringLiteral("HM"));
        QVERIFY(exchange->get_mivo_response(QStringLiteral("RV 0"), QString()).value.isEmpty());
        QVERIFY(port->writes.isEmpty());
        QCOMPARE(port->reads, 0);
    }

    void a_guard_refuses_once_its_link_is_gone()
    {
        // A handler took the guard, then a "Close" and a new "Open" ran
        // inside one of its waits: the link is up, but not the handler's.
        LinkGuard guard = link();
        vars().last_command = QStringLiteral("kept");
        ++context->link_session;
        QVERIFY(exchange->link_up());
        QVERIFY(!guard.up());
        auto ran = event_probe();
        guard.send_mivo_command(QStringLiteral("EN 1"));
        QVERIFY(!guard.Check_MIVO_response(QStringLiteral("ST 1")));
        QVERIFY(guard.get_mivo_response(QStringLiteral("RV 0"), QString()).value.isEmpty());
        guard.Delay(100);
        QVERIFY(!*ran);  // refused, not waited: a wait would have let the window run
        context->poll.start(guard);
        QVERIFY(port->writes.isEmpty());
        QCOMPARE(port->reads, 0);
        QVERIFY(!context->poll.running());
        QCOMPARE(vars().last_command, QStringLiteral("kept"));  // nothing recorded either
        QVERIFY(link().up());  // the new link's own handlers go on
    }

    void a_closed_window_ends_the_homing_wait()
    {
        // No prompt ever comes; the window closes 100 ms into the wait.
        QTimer::singleShot(100, [this] { exchange->shut_down(); });
        exchange->send_mivo_command(QStringLiteral("HM"));  // returns: the wait ended
        const int writes = port->writes.size();
        exchange->send_mivo_command(QStringLiteral("EN 0"));
        QCOMPARE(port->writes.size(), writes);
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"

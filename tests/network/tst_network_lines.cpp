// Network lines through ser2net on loopback in front of the simulator: the
// tool reads and fails as on a local line, and the window lives on while a
// connection is being made.
#include "../support/console_fixture.h"
#include "../support/ser2net_line.h"
#include "../support/sim_line.h"
#include "link/command_exchange.h"
#include "link/line_port.h"
#include "link/network_port.h"
#include "link/waits.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <memory>

#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace mivo;

// A simulated line behind ser2net; skipped where ser2net is not installed.
#define SERVE(...)                             \
    do {                                       \
        if (Ser2netLine::program().isEmpty())  \
            QSKIP("ser2net is not installed"); \
        QVERIFY(serve(__VA_ARGS__));           \
    } while (false)

class TestNetworkLines : public QObject, ConsoleFixture {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;
    std::unique_ptr<Ser2netLine> server;
    QTemporaryDir dir;

    struct Run {
        int status = -1;
        QString out, err;
    };
    // A busy machine can hold the simulator's reply past the usual 50 ms:
    // the tests that are not about the wait give it more. Empty: the usual.
    static void start(QProcess& p, const QString& port, const QStringList& args, const QString& wait = "150")
    {
        const QStringList waiting = wait.isEmpty() ? QStringList() : QStringList{"--reply-wait", wait};
        p.start(QStringLiteral(MIVO_CLI_EXE), QStringList{"--port", port, "--station", "5"} + waiting + args);
    }
    static Run finish(QProcess& p)
    {
        if (!p.waitForFinished(60000))
            p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    static Run cli(const QString& port, const QStringList& args, const QString& wait = "150")
    {
        QProcess p;
        start(p, port, args, wait);
        return finish(p);
    }
    bool serve(const std::vector<std::string>& sim_args, const QString& serial = QStringLiteral("9600n81"))
    {
        sim = std::make_unique<sim::SimHarness>(sim_args);
        server = std::make_unique<Ser2netLine>();
        return server->start(QString::fromStdString(sim->path()), serial);
    }
    QString port_of(const QString& scheme) const { return scheme == u"tcp" ? server->raw() : server->telnet(); }
    int sent(const QString& pattern) const
    {
        return int(received_lines(*sim).filter(QRegularExpression(pattern)).size());
    }

private slots:
    void cleanup()
    {
        stop_console();
        server.reset();
        sim.reset();
    }

    void a_read_gives_what_the_local_line_gives_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::newRow("raw") << "tcp";
        QTest::newRow("RFC 2217") << "rfc2217";
    }
    void a_read_gives_what_the_local_line_gives()
    {
        QFETCH(QString, scheme);
        SERVE({"--stations", "0,5"});
        // All but the header's clock time.
        const auto groups = [](const Run& r) { return r.out.split(u'\n').filter(QRegularExpression("^(?!# written:)")); };
        const Run direct = cli(QString::fromStdString(sim->path()), {"read"});
        const Run networked = cli(port_of(scheme), {"read"});
        QCOMPARE(direct.status, 0);
        QCOMPARE(networked.status, 0);
        QCOMPARE(groups(networked).filter(QRegularExpression("^[PV][0-9]+=-?[0-9]+$")).size(), 23);
        QCOMPARE(groups(networked), groups(direct));
    }

    // ser2net is set up for 9600 baud and two stop bits; the COM-PORT option
    // makes the device the console's 115200 8N1, the raw port leaves it. (A
    // pseudo-terminal keeps 8 bits without parity whatever is asked.)
    void the_server_sets_the_device_as_asked_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<int>("speed");
        QTest::addColumn<bool>("two_stop");
        QTest::newRow("raw") << "tcp" << int(B9600) << true;
        QTest::newRow("RFC 2217") << "rfc2217" << int(B115200) << false;
    }
    void the_server_sets_the_device_as_asked()
    {
        QFETCH(QString, scheme);
        SERVE({"--stations", "5"}, QStringLiteral("9600n82"));
        QProcess watch;
        start(watch, port_of(scheme), {"watch"});
        QTRY_VERIFY_WITH_TIMEOUT(sent("^RV 0$") >= 2, 10000);
        termios t{};
        const int fd = ::open(sim->path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const int got = fd >= 0 ? ::tcgetattr(fd, &t) : -1;
        ::close(fd);
        ::kill(pid_t(watch.processId()), SIGINT);
        // Ctrl-C ends a watch after its last row, by the signal itself.
        QVERIFY(watch.waitForFinished(60000));
        QCOMPARE(watch.exitStatus(), QProcess::CrashExit);
        QCOMPARE(watch.exitCode(), SIGINT);
        QCOMPARE(got, 0);
        QTEST(int(::cfgetospeed(&t)), "speed");
        QTEST(bool(t.c_cflag & CSTOPB), "two_stop");
    }

    void a_connection_that_cannot_be_made_gives_3_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("reason");  // the address, then what the system said
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 unused = probe.serverPort();
        probe.close();
        QTest::newRow("refused") << QStringLiteral("tcp://127.0.0.1:%1").arg(unused)
                                 << QStringLiteral("127\\.0\\.0\\.1:%1: Connection refused").arg(unused);
        QTest::newRow("name not found") << "rfc2217://name.invalid:1" << "name\\.invalid:1: \\S";
    }
    void a_connection_that_cannot_be_made_gives_3()
    {
        QFETCH(QString, port);
        QFETCH(QString, reason);
        QElapsedTimer clock;
        clock.start();
        const Run r = cli(port, {"read"});
        QCOMPARE(r.status, 3);
        QVERIFY(clock.elapsed() < 30000);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains("MIVO CommPort Fail"), qPrintable(r.err));
        QVERIFY2(r.err.contains(QRegularExpression("cannot open " + QRegularExpression::escape(port) + ": " + reason)),
                 qPrintable(r.err));
    }

    // The server goes away in the middle of a command: the tool ends as on
    // a local line that was pulled.
    void the_server_stopping_gives_3_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("under_way");  // lines the drive has had
        QTest::addColumn<QString>("said");
        QTest::newRow("watch, raw") << "tcp" << QStringList{"watch"} << "^RV 0$" << "serial port lost: ";
        QTest::newRow("restore, RFC 2217") << "rfc2217" << QStringList{"restore", "@all", "--save"} << "^WT "
                                           << "Restore stopped: the link went away\\. Written: P0(, P[0-9]+)*\\. "
                                              "Nothing was saved\\.";
    }
    void the_server_stopping_gives_3()
    {
        QFETCH(QString, scheme);
        QFETCH(QStringList, args);
        QFETCH(QString, under_way);
        SERVE({"--stations", "5"});
        QFile all(dir.filePath("all"));
        QVERIFY(all.open(QIODevice::WriteOnly));
        for (int i = 0; i < 16; ++i)
            all.write("P" + QByteArray::number(i) + "=" + QByteArray::number(1000 + i) + "\n");
        all.close();
        QProcess p;
        start(p, port_of(scheme), args.replaceInStrings("@all", all.fileName()));
        QTRY_VERIFY_WITH_TIMEOUT(sent(under_way) >= 2, 30000);
        server->stop();
        const Run r = finish(p);
        QCOMPARE(r.status, 3);
        QFETCH(QString, said);
        QVERIFY2(r.err.contains(QRegularExpression(said)), qPrintable(r.err));
        QCOMPARE(sent("^SV$"), 0);
    }

    // The fast exchange on a network line blocks on the connection: the
    // port's wait wakes for the reply's bytes, the exchange takes a reply
    // that comes 30 ms after its line whole and without telnet framing, and
    // a line nobody answers has its reply wait.
    void the_fast_exchange_waits_on_the_connection_data() { a_read_gives_what_the_local_line_gives_data(); }
    void the_fast_exchange_waits_on_the_connection()
    {
        using namespace std::chrono_literals;
        QFETCH(QString, scheme);
        SERVE({"--stations", "5", "--late-ms", "30"}, QStringLiteral("115200n81"));
        LinePort port;
        QVERIFY2(port.open(port_of(scheme), QStringLiteral("115200,N,8,1")), qPrintable(port.errorText()));
        port.write("ST 5\r");
        QByteArray got;
        Stopwatch t;
        while (!got.contains('>')) {
            QVERIFY(port.waitForInput(5s));
            got += port.readAll();
        }
        QVERIFY(t.elapsed() >= 30);
        QCOMPARE(got, QByteArray(">"));

        CommandExchange exchange(port);
        exchange.set_fast(true);
        exchange.set_reply_wait_ms(1000);  // a busy machine's margin
        t.restart();
        const CommandExchange::Reply reply = exchange.get_mivo_response(QStringLiteral("RV 0"), QString());
        QVERIFY(t.elapsed() >= 30);
        QCOMPARE(reply.rx_text, QStringLiteral("0\r>"));
        exchange.set_reply_wait_ms(200);
        t.restart();
        QVERIFY(exchange.send_mivo_command(QStringLiteral("ST 9")).discarded.isEmpty());
        QVERIFY(t.elapsed() > 200);
        QVERIFY(port.isOpen());
    }

    // Replies 80 ms after their command: too late for the usual wait.
    void the_reply_wait_covers_a_slow_line()
    {
        SERVE({"--stations", "5", "--late-ms", "80"});
        const Run waited = cli(server->telnet(), {"status"}, "200");
        QCOMPARE(waited.status, 0);
        QVERIFY2(waited.out.startsWith("position 0\n"), qPrintable(waited.out));
        QCOMPARE(cli(server->telnet(), {"status"}, {}).status, 4);
    }

    // A server that stops reading: the line's bytes no longer go out, and
    // the loss says so rather than that the server hung up.
    void a_server_that_stops_reading_stopped_answering()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
        NetworkPort port;
        QString reason;
        connect(&port, &SerialPort::lost, this, [&](const QString& why) { reason = why; });
        QVERIFY2(port.open(QStringLiteral("tcp://127.0.0.1:%1").arg(listener.serverPort()), "115200,N,8,1"),
                 qPrintable(port.errorText()));
        QTRY_VERIFY(listener.hasPendingConnections());
        std::unique_ptr<QTcpSocket> accepted(listener.nextPendingConnection());
        accepted->setReadBufferSize(1);  // takes one byte, then nothing more
        const QByteArray line(4096, 'x');
        QElapsedTimer clock;
        clock.start();
        while (port.isOpen() && clock.elapsed() < 60000) {
            port.write(line);
            QTest::qWait(10);
        }
        QVERIFY(!port.isOpen());
        QCOMPARE(reason, QStringLiteral("the server stopped answering"));
    }

    // A server whose queue is full neither takes nor refuses a connection:
    // "Open" waits out its limit while the window goes on.
    void the_window_lives_while_a_connection_waits()
    {
        QTcpServer full;
        full.setListenBacklogSize(0);
        QVERIFY(full.listen(QHostAddress::LocalHost, 0));
        full.pauseAccepting();
        QTcpSocket queued[2];
        for (QTcpSocket& s : queued)
            s.connectToHost(QHostAddress::LocalHost, full.serverPort());

        start_console();
        int ticks = 0, ticks_at_message = -1;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(10);
        messages->on_message = [&](const QString&) {
            if (ticks_at_message < 0)
                ticks_at_message = ticks;
        };
        ui().cbb_port_num->setEditText(QStringLiteral("tcp://127.0.0.1:%1").arg(full.serverPort()));
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(ui().cmd_port_open, Qt::LeftButton);
        QVERIFY(clock.elapsed() >= 1000 && clock.elapsed() < 30000);
        QCOMPARE(messages->take(), (QStringList{"MIVO CommPort Fail", "CommPort Close"}));
        QVERIFY2(ticks_at_message >= 10, qPrintable(QString::number(ticks_at_message)));
        QVERIFY(ui().cmd_port_open->isEnabled());
    }
};

QTEST_MAIN(TestNetworkLines)
#include "tst_network_lines.moc"

// A lost line opened again when it is back: under its own name only, with
// the station selected again and the poll going on; tries that stop when
// the user takes over.
#include "console/console.h"
#include "link/line_port.h"

#include "../support/core_fixture.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using namespace mivo;

class TestReconnection : public QObject, CoreFixture {
    Q_OBJECT

    ScriptedPort* line = nullptr;
    QTemporaryDir dir;
    QString device;

    bool linked() const { return console->vars().is_linked == kTrue; }
    QStringList written() const
    {
        QStringList out;
        for (const auto& w : line->writes)
            out << QString::fromLatin1(w.bytes).chopped(1);
        return out;
    }
    void make_device() { QFile(device).open(QIODevice::WriteOnly); }
    void answer_selection()
    {
        line->reply_next(">", 3);
        line->reply_next(">", 3);
        line->reply_next("MIVO-S 2.31\r>", 3);
    }

private slots:
    void init()
    {
        auto scripted = std::make_unique<ScriptedPort>();
        line = scripted.get();
        start_console(std::move(scripted));
        device = dir.filePath(QStringLiteral("ttyUSB7"));
        make_device();
        open_path(device);
        answer_selection();
        set_station(QStringLiteral("5"));
        QVERIFY(linked() && Timer1().isActive());
        Timer1().stop();  // the poll's lines would mix with the test's
        view.take_messages();
        line->writes.clear();
        line->open_times.clear();
    }
    void cleanup() { stop_console(); }

    void a_device_comes_back_under_its_own_name()
    {
        console->reconnection().set_enabled(true);
        QFile::remove(device);
        line->lose(QStringLiteral("gone"));
        QVERIFY(!linked());
        QTRY_COMPARE(view.messages.size(), 1);
        QVERIFY2(view.messages.first().contains(QStringLiteral("opens it again")), qPrintable(view.messages.first()));

        // While the name is missing nothing is opened.
        QTest::qWait(3 * Reconnection::kLocalCheckMs);
        QVERIFY(line->open_times.isEmpty());

        answer_selection();
        make_device();
        QTRY_VERIFY(linked());
        QTRY_COMPARE(written(), (QStringList{"ST 5", "ST 5", "RV 4"}));
        QVERIFY(Timer1().isActive());
        QCOMPARE(view.messages.size(), 1);  // said once, at the loss
        QVERIFY(!console->reconnection().trying());
    }

    void a_network_port_is_tried_ever_later()
    {
        console->port_control().close();
        open_path(QStringLiteral("tcp://127.0.0.1:4001"));
        QVERIFY(linked());
        console->reconnection().set_enabled(true);
        line->open_times.clear();
        line->refuse_opens = 100;
        const qint64 lost_at = line->now_ms();
        line->lose(QStringLiteral("reset"));
        QTRY_VERIFY_WITH_TIMEOUT(line->open_times.size() >= 2, 6000);
        QVERIFY(line->open_times[0] - lost_at >= Reconnection::kFirstNetworkTryMs);
        QVERIFY(line->open_times[1] - line->open_times[0] >= 2 * Reconnection::kFirstNetworkTryMs);
        QVERIFY(!linked());
    }

    // A server that accepts and drops at once (ser2net while its device is
    // missing), then serves a drive: each drop is a line that never came
    // back, so the pauses grow as if it had refused and the user hears of
    // the loss once; and once it serves, the station lost first is selected
    // again and the poll goes on.
    void a_line_that_drops_at_once_is_not_back()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        int drops = 0;
        QList<qint64> accepted_at;
        QElapsedTimer clock;
        clock.start();
        QStringList served;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                accepted_at << clock.elapsed();
                if (drops > 0) {
                    --drops;
                    s->close();
                    continue;
                }
                auto pending = std::make_shared<QByteArray>();
                connect(s, &QTcpSocket::readyRead, s, [s, pending, &served] {
                    *pending += s->readAll();
                    for (qsizetype end; (end = pending->indexOf('\r')) >= 0; pending->remove(0, end + 1)) {
                        const QByteArray line = pending->left(end);
                        served << QString::fromLatin1(line);
                        s->write(line.startsWith("ST") ? ">" : line == "RV 4" ? "MIVO-S 2.31\r>" : "0\r>");
                    }
                });
            }
        });
        start_console(std::make_unique<LinePort>());
        open_path(QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort()));
        set_station(QStringLiteral("5"));
        QVERIFY(linked() && Timer1().isActive());
        console->reconnection().set_enabled(true);

        view.take_messages();
        drops = 2;
        served.clear();
        accepted_at.clear();
        const auto connections = server.findChildren<QTcpSocket*>();
        for (QTcpSocket* s : connections)
            s->close();
        QTRY_VERIFY_WITH_TIMEOUT(served.count(QStringLiteral("RV 0")) >= 2, 30000);
        QCOMPARE(accepted_at.size(), 3);
        QVERIFY(accepted_at[1] - accepted_at[0] > 3 * Reconnection::kFirstNetworkTryMs / 2);
        QVERIFY(accepted_at[2] - accepted_at[1] > 3 * Reconnection::kFirstNetworkTryMs);
        QCOMPARE(served.mid(0, 3), (QStringList{"ST 5", "ST 5", "RV 4"}));
        QVERIFY(linked() && Timer1().isActive());
        QVERIFY(!console->reconnection().trying());
        QCOMPARE(view.messages.size(), 1);  // the loss, said once
    }

    // Unticking, "Open" and "Close" by hand: no try comes after them.
    void the_user_takes_over()
    {
        for (int how = 0; how < 3; ++how) {
            if (linked())
                console->port_control().close();
            open_path(device);
            console->reconnection().set_enabled(true);
            QFile::remove(device);
            line->lose(QStringLiteral("gone"));
            if (how == 0)
                console->reconnection().set_enabled(false);
            else if (how == 1)
                console->port_control().close();
            else
                console->port_control().open(device);  // opens the device by hand: the scripted port is there
            const bool by_hand = linked();
            make_device();
            line->open_times.clear();
            QTest::qWait(3 * Reconnection::kLocalCheckMs);
            QVERIFY2(line->open_times.isEmpty(), qPrintable(QString::number(how)));
            QCOMPARE(linked(), by_hand);
        }
    }
};

QTEST_GUILESS_MAIN(TestReconnection)
#include "tst_reconnection.moc"

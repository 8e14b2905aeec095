// The wire log: what the exchange wrote and read, against the simulator's
// own log of the line, its visible form, and its bound.
#include "link/wire_log.h"

#include "../support/core_fixture.h"
#include "../support/sim_line.h"

#include <QtTest>

using namespace mivo;

class TestWireLog : public QObject, CoreFixture {
    Q_OBJECT

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    void the_log_is_what_the_wire_carried()
    {
        sim::SimHarness sim({"--stations", "5"});
        open_on(sim);
        set_station(QStringLiteral("5"));
        Timer1().stop();
        bring_to_front(kSetupPage);
        Timer1().stop();

        const WireLog& log = console->wire_log();
        QStringList written;
        QByteArray read;
        QStringList sources;
        for (qsizetype i = 0; i < log.size(); ++i) {
            const WireLog::Row& row = log.at(i);
            // A row holds its own bytes, not the buffer of the read.
            QVERIFY(row.bytes.capacity() - row.bytes.size() < 1024);
            if (row.direction == WireLog::Direction::ToDrive) {
                QVERIFY(row.bytes.endsWith('\r'));
                written << QString::fromLatin1(row.bytes.chopped(1));
                sources << row.source;
            } else {
                read += row.bytes;
            }
        }
        // The same lines in the same order, and every byte the drives sent.
        QCOMPARE(written, received_lines(sim));
        QByteArray sent;
        for (const auto& e : sim.wire_log())
            if (e.dir == sim::WireEvent::Tx)
                sent += QByteArray::fromStdString(e.bytes);
        QCOMPARE(read, sent);
        QCOMPARE(sources.mid(0, 3), (QStringList{"select", "select", "select"}));  // ST 5 twice, RV 4
        QCOMPARE(sources.mid(3), QStringList(23, QStringLiteral("Setup")));
        QCOMPARE(console->exchange().source(), QString());  // every handler gave its tag back
    }

    void visible_forms()
    {
        QCOMPARE(WireLog::visible("P3=120\r>"), QStringLiteral("P3=120\\r>"));
        QCOMPARE(WireLog::visible("a\r\nb\\"), QStringLiteral("a\\r\\nb\\\\"));
        QCOMPARE(WireLog::visible(QByteArray("\x00\x1f\x7f\x9f", 4)), QStringLiteral("\\x00\\x1F\\x7F\\x9F"));
        QCOMPARE(WireLog::visible("\xa0\xe9\xff"), QString::fromLatin1("\xa0\xe9\xff"));  // printable Latin-1
    }

    void it_keeps_the_newest_rows()
    {
        WireLog log;
        for (int i = 0; i < WireLog::kCapacity + 5; ++i)
            log.append({i, WireLog::Direction::FromDrive, QByteArray::number(i), {}});
        QCOMPARE(log.size(), WireLog::kCapacity);
        QCOMPARE(log.appended(), quint64(WireLog::kCapacity + 5));
        QCOMPARE(log.at(0).bytes, QByteArray("5"));
        QCOMPARE(log.at(log.size() - 1).bytes, QByteArray::number(WireLog::kCapacity + 4));
        log.clear();
        QCOMPARE(log.size(), 0);

        // A smaller log (a bridge's) wraps the same way at its own size.
        log.set_capacity(3);
        for (int i = 0; i < 7; ++i)
            log.append({i, WireLog::Direction::FromDrive, QByteArray::number(i), {}});
        QCOMPARE(log.size(), 3);
        QCOMPARE(log.at(0).bytes, QByteArray("4"));
        QCOMPARE(log.at(2).bytes, QByteArray("6"));
    }
};

QTEST_GUILESS_MAIN(TestWireLog)
#include "tst_wire_log.moc"

// The round over several stations that the Line pane's batch and the tool's
// --stations share, on a scripted line: a silent station is visited too,
// the round ends where it is told, and the window's own station is left
// alone.
#include "console/console.h"

#include "../support/core_fixture.h"

#include <QtTest>

using namespace mivo;

class TestStationBatch : public QObject, CoreFixture {
    Q_OBJECT

    ScriptedPort* line = nullptr;

    QStringList written() const
    {
        QStringList out;
        for (const ScriptedPort::Write& w : line->writes)
            out << QString::fromLatin1(w.bytes).chopped(1);
        return out;
    }
    void script_selection(bool answers)
    {
        line->reply_next(answers ? ">" : "", 2);
        line->reply_next(answers ? ">" : "", 2);
        line->reply_next(answers ? "MIVO-S 2.31\r>" : "", 2);
    }

private slots:
    void init() { line = start_on_scripted_port(); }
    void cleanup() { stop_console(); }

    void a_round_visits_every_station_until_told_and_selects_nothing_more()
    {
        // The window works with station 5 and polls it.
        script_selection(true);
        console->operations().select_station(QStringLiteral("5"));
        Timer1().start();
        line->writes.clear();

        script_selection(true);
        script_selection(false);
        script_selection(true);
        QList<std::pair<int, DriveOperations::Failure>> visited;
        bool polled = false;
        const qsizetype selected = console->station_batch().each(
            {1, 2, 3, 4}, [&](int station, const DriveOperations::Selection& s) {
                visited.append({station, s.failure});
                polled = polled || Timer1().isActive();
                return station != 3;
            });
        using F = DriveOperations::Failure;
        QCOMPARE(visited, (QList<std::pair<int, F>>{{1, F::None}, {2, F::NoAnswer}, {3, F::None}}));
        QCOMPARE(selected, 3);
        QVERIFY(!polled);
        QCOMPARE(written(), (QStringList{"ST 1", "ST 1", "RV 4", "ST 2", "ST 2", "RV 4", "ST 3", "ST 3", "RV 4"}));

        // Told before a station, the round ends ahead of its select line.
        line->writes.clear();
        script_selection(true);
        QCOMPARE(console->station_batch().each(
                     {1, 2}, [](int, const DriveOperations::Selection&) { return true; },
                     [](int station) { return station < 2; }),
                 1);
        QCOMPARE(written(), (QStringList{"ST 1", "ST 1", "RV 4"}));
    }
};

QTEST_GUILESS_MAIN(TestStationBatch)
#include "tst_station_batch.moc"

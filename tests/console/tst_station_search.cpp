// "Search Station" on the console core, against the drive simulator.
#include "../support/core_fixture.h"
#include "../support/sim_line.h"
#include "link/waits.h"

#include <QTimer>
#include <QtTest>

using namespace mivo;

class TestStationSearch : public QObject, CoreFixture {
    Q_OBJECT

    void search()
    {
        QVERIFY(view.availability.cmd_search_station);
        console->stations().search_click();
    }

    // The probes of stations first..last as the wire carries them.
    static QStringList probes(int first, int last)
    {
        QStringList lines;
        for (int n = first; n <= last; ++n)
            lines << QStringLiteral("ST %1").arg(n) << QString();
        return lines;
    }

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    void silent_line_lists_broadcast_only()
    {
        sim::SimHarness sim({"--stations", "3", "--silent", "3"});
        open_on(sim);
        view.take_messages();
        Timer1().start();  // as after a station selection
        view.station = QStringLiteral("9");

        // While the sweep runs, its own button, the station choice and the
        // pages wait; the box shows the station being probed.
        bool disabled_during_sweep = false;
        QTimer::singleShot(500, console.get(), [&] {
            const Availability::State& a = view.availability;
            disabled_during_sweep = !a.cmd_search_station && !a.cmd_set_station && !a.cbb_station_num &&
                                    !a.SSTab1 && !view.station.isEmpty() && view.station != u"9";
        });
        // "Search Station" comes back only once "Search finished." is closed.
        bool disabled_while_message_shown = false;
        view.on_message = [&](const QString&) { disabled_while_message_shown = !view.availability.cmd_search_station; };
        search();
        view.on_message = nullptr;

        QCOMPARE(view.station_list, QStringList{"32"});
        QCOMPARE(view.station, QString());
        QCOMPARE(view.take_messages(), QStringList{"Search finished."});
        QVERIFY(disabled_during_sweep);
        QVERIFY(disabled_while_message_shown);
        QVERIFY(view.availability.cmd_search_station);
        QVERIFY(view.availability.cmd_set_station);
        QVERIFY(view.availability.cbb_station_num);
        QVERIFY(!Timer1().isActive());  // left off until a station is set

        // First probe "ST n", then a CR alone, for every station in order,
        // and nothing else: no poll line during the sweep.
        QCOMPARE(received_lines(sim), probes(0, 31));
        // Between the two probes: the first probe's 50 ms pause and its
        // prompt window, then the 50 ms pause of the sweep.
        const auto log = sim.wire_log();
        std::vector<double> rx_times;
        for (const auto& e : log)
            if (e.dir == sim::WireEvent::Rx)
                rx_times.push_back(e.t_ms);
        for (size_t i = 0; i + 1 < rx_times.size(); i += 2)
            QVERIFY2(rx_times[i + 1] - rx_times[i] >= 150, qPrintable(QString::number(i / 2)));
    }

    // The tool's --fast sweep then finds on the same line what the paced one
    // found, with the same lines less the empty line to a station that did
    // not take its selection; each such station costs one reply wait.
    void lists_answering_stations_in_order()
    {
        // Station 7 answers its selection but not the empty line that
        // follows; station 12 answers nothing.
        sim::SimHarness sim({"--stations", "0,5,7,12", "--mute-empty", "7", "--silent", "12"});
        open_on(sim);
        view.take_messages();
        search();
        QCOMPARE(view.station_list, (QStringList{"0", "5", "32"}));
        QCOMPARE(view.station, QString());
        QCOMPARE(view.take_messages(), QStringList{"Search finished."});
        QCOMPARE(received_lines(sim), probes(0, 31));

        sim.clear_log();
        console->exchange().set_fast(true);
        Stopwatch t;
        const std::optional<QList<int>> fast = console->line_operations().search();
        const qint64 took = t.elapsed();
        QCOMPARE(fast, (QList<int>{0, 5}));
        QStringList lines;
        for (int n = 0; n <= 31; ++n)
            lines << (n == 0 || n == 5 || n == 7 ? probes(n, n) : QStringList{QStringLiteral("ST %1").arg(n)});
        QCOMPARE(received_lines(sim), lines);
        // 29 stations do not take their selection, 7 not its empty line.
        QVERIFY(took > 30 * CommandExchange::kReplyWaitMs);
        QVERIFY(!Timer1().isActive());
    }

    void close_in_the_middle_stops_the_sweep()
    {
        sim::SimHarness sim({"--stations", "0,1,20"});
        open_on(sim);
        view.take_messages();
        double closed_at = 0;
        QTimer::singleShot(1200, console.get(), [&] {
            closed_at = sim::SimHarness::now_ms();
            close();
        });
        search();

        // One message, the close's own; no list that looks like a whole sweep.
        QCOMPARE(view.take_messages(), QStringList{"Port Close"});
        QCOMPARE(view.station_list, QStringList{});
        QVERIFY(!view.availability.cmd_search_station);
        QVERIFY(closed_at > 0);
        for (const auto& e : sim.wire_log())
            QVERIFY2(e.t_ms <= closed_at || e.dir == sim::WireEvent::Tx, "a probe went out after the close");

        // After a new open the search is usable again.
        open_on(sim);
        QCOMPARE(view.take_messages(), QStringList{"Port Open"});
        QVERIFY(view.availability.cmd_search_station);

        // A "Close" and a new "Open" inside the sweep: the new link gets no
        // probe of the old sweep.
        sim.clear_log();
        double reopened_at = 0;
        QTimer::singleShot(1200, console.get(), [&] {
            close();
            open_on(sim);
            reopened_at = sim::SimHarness::now_ms();
        });
        search();
        QVERIFY(reopened_at > 0);
        QCOMPARE(view.take_messages(), (QStringList{"Port Close", "Port Open"}));
        QCOMPARE(view.station_list, QStringList{});
        for (const auto& e : sim.wire_log())
            QVERIFY2(e.t_ms <= reopened_at || e.dir == sim::WireEvent::Tx, "a probe went out on the new link");
    }
};

QTEST_GUILESS_MAIN(TestStationSearch)
#include "tst_station_search.moc"

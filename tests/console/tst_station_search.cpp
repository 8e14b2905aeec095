// "Search Station" through the real window, against the drive simulator.
#include "window/form1.h"

#include "../support/console_fixture.h"
#include "../support/sim_line.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace mivo;

class TestStationSearch : public QObject, ConsoleFixture {
    Q_OBJECT

    QComboBox* stations() { return form->controls().cbb_station_num; }

    QStringList listed()
    {
        QStringList items;
        for (int i = 0; i < stations()->count(); ++i)
            items << stations()->itemText(i);
        return items;
    }

    void search()
    {
        QPushButton* button = form->controls().cmd_search_station;
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
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
        open_on(*form, sim);
        messages->take();
        form->controls().Timer1->start();  // as after a station selection
        stations()->setEditText(QStringLiteral("9"));

        // While the sweep runs, its own button and the station choice wait.
        bool disabled_during_sweep = false;
        QObject during;
        QTimer::singleShot(500, &during, [&] {
            disabled_during_sweep = !form->controls().cmd_search_station->isEnabled() &&
                                    !form->controls().cmd_set_station->isEnabled() &&
                                    !stations()->currentText().isEmpty() && stations()->currentText() != u"9";
        });
        // "Search Station" comes back only once "Search finished." is closed.
        bool disabled_while_message_shown = false;
        messages->on_message = [&](const QString&) {
            disabled_while_message_shown = !form->controls().cmd_search_station->isEnabled();
        };
        search();

        QCOMPARE(listed(), QStringList{"32"});
        QCOMPARE(stations()->currentText(), QString());
        QCOMPARE(messages->take(), QStringList{"Search finished."});
        QVERIFY(disabled_during_sweep);
        QVERIFY(disabled_while_message_shown);
        QVERIFY(form->controls().cmd_search_station->isEnabled());
        QVERIFY(form->controls().cmd_set_station->isEnabled());
        QVERIFY(!form->controls().Timer1->isActive());  // left off until a station is set

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

    void lists_answering_stations_in_order()
    {
        // Station 7 answers its selection but not the empty line that follows.
        sim::SimHarness sim({"--stations", "0,5,7", "--mute-empty", "7"});
        open_on(*form, sim);
        messages->take();
        search();
        QCOMPARE(listed(), (QStringList{"0", "5", "32"}));
        QCOMPARE(stations()->currentText(), QString());
        QCOMPARE(messages->take(), QStringList{"Search finished."});
        QCOMPARE(received_lines(sim), probes(0, 31));
    }

    void close_in_the_middle_stops_the_sweep()
    {
        sim::SimHarness sim({"--stations", "0,1,20"});
        open_on(*form, sim);
        messages->take();
        double closed_at = 0;
        QObject during;
        QTimer::singleShot(1200, &during, [&] {
            closed_at = sim::SimHarness::now_ms();
            form->controls().cmd_port_close->click();
        });
        search();

        // One message, the close's own; no list that looks like a whole sweep.
        QCOMPARE(messages->take(), QStringList{"Port Close"});
        QCOMPARE(listed(), QStringList{});
        QVERIFY(!form->controls().cmd_search_station->isEnabled());
        QVERIFY(closed_at > 0);
        for (const auto& e : sim.wire_log())
            QVERIFY2(e.t_ms <= closed_at || e.dir == sim::WireEvent::Tx, "a probe went out after the close");

        // After a new open the search is usable again.
        open_on(*form, sim);
        QCOMPARE(messages->take(), QStringList{"Port Open"});
        QVERIFY(form->controls().cmd_search_station->isEnabled());
    }
};

QTEST_MAIN(TestStationSearch)
#include "tst_station_search.moc"

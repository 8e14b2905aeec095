// The rules that decide which controls and pages can be used, fed event
// sequences as the handlers report them.
#include "console/availability.h"

#include <QtTest>

using namespace mivo;

namespace {

// The state in one word: port open/close | station box, search, set | tab
// control | pages 0..3 | Start Move, Stop | "Drive" menu. 1 is enabled.
QString describe(const Availability::State& s)
{
    QString word;
    auto add = [&](std::initializer_list<bool> flags) {
        if (!word.isEmpty())
            word += u'|';
        for (bool f : flags)
            word += f ? u'1' : u'0';
    };
    add({s.cmd_port_open, s.cmd_port_close});
    add({s.cbb_station_num, s.cmd_search_station, s.cmd_set_station});
    add({s.SSTab1});
    add({s.pages[0], s.pages[1], s.pages[2], s.pages[3]});
    add({s.cmd_start_move, s.cmd_stop_move});
    add({s.drive_menu});
    return word;
}

}  // namespace

class TestAvailability : public QObject {
    Q_OBJECT

private slots:
    void events_give_state_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("expected");
        QTest::newRow("load") << "" << "10|000|1|1111|10|0";
        QTest::newRow("open") << "open" << "01|111|1|1111|10|0";
        QTest::newRow("searching") << "open search" << "01|000|0|1111|10|0";
        QTest::newRow("searched") << "open search found" << "01|111|1|1111|10|0";
        QTest::newRow("normal") << "open normal" << "01|111|1|1111|10|1";
        QTest::newRow("broadcast") << "open broadcast" << "01|111|1|1100|10|0";
        QTest::newRow("broadcast then normal") << "open broadcast normal" << "01|111|1|1111|10|1";
        QTest::newRow("close") << "open normal close" << "10|000|0|1111|10|0";
        QTest::newRow("reopen") << "open normal close open" << "01|111|0|1111|10|0";
        QTest::newRow("reopen, select") << "open normal close open normal" << "01|111|1|1111|10|1";
        QTest::newRow("cycle") << "open normal start" << "01|000|1|0100|01|0";
        QTest::newRow("cycle, stop") << "open normal start stop" << "01|000|1|0100|10|0";
        QTest::newRow("cycle ended") << "open normal start stop end" << "01|111|1|1111|10|1";
        QTest::newRow("broadcast cycle") << "open broadcast start" << "01|000|1|0100|01|0";
        QTest::newRow("broadcast cycle ended") << "open broadcast start stop end" << "01|111|1|1100|10|0";
        QTest::newRow("nested") << "open normal start stop start" << "01|000|1|0100|01|0";
        QTest::newRow("nested, inner ended") << "open normal start stop start stop end" << "01|000|1|0100|10|0";
        QTest::newRow("nested, both ended") << "open normal start stop start stop end end" << "01|111|1|1111|10|1";
        QTest::newRow("close in cycle") << "open normal start close" << "10|000|0|0100|01|0";
        QTest::newRow("close in cycle, ended") << "open normal start close end" << "10|000|0|1111|10|0";
        QTest::newRow("close in nested cycle, ended")
            << "open normal start stop start close end end" << "10|000|0|1111|10|0";
        // The "Drive" menu wants one station that answers, and the line to itself.
        // Only "Close" (and the window closing) may come between its lines.
        QTest::newRow("drive operation") << "open normal op" << "01|000|0|1111|10|0";
        QTest::newRow("drive operation ended") << "open normal op done" << "01|111|1|1111|10|1";
        QTest::newRow("search after selection") << "open normal search" << "01|000|0|1111|10|0";
    }

    void events_give_state()
    {
        QFETCH(QString, events);
        QFETCH(QString, expected);
        Availability a;
        for (const QString& e : events.split(u' ', Qt::SkipEmptyParts)) {
            if (e == u"open") a.link_opened();
            else if (e == u"close") a.link_closed();
            else if (e == u"search") a.search_started();
            else if (e == u"found") a.search_ended();
            else if (e == u"normal") a.station_selected(Availability::Mode::Normal);
            else if (e == u"broadcast") a.station_selected(Availability::Mode::Broadcast);
            else if (e == u"start") a.cycle_started();
            else if (e == u"stop") a.cycle_stop_pressed();
            else if (e == u"end") a.cycle_ended();
            else if (e == u"op") a.drive_operation_started();
            else if (e == u"done") a.drive_operation_ended();
            else QFAIL(qPrintable(e));
        }
        QCOMPARE(describe(a.state()), expected);
    }
};

QTEST_APPLESS_MAIN(TestAvailability)
#include "tst_availability.moc"

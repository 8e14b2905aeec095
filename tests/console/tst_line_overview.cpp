// The line overview on a scripted line: each station's lines between its
// select line and the window's own station selected again; nothing inside
// another handler's wait; lost after three silent rounds and back.
#include "console/console.h"

#include "../support/core_fixture.h"

#include <QtTest>

using namespace mivo;

class TestLineOverview : public QObject, CoreFixture {
    Q_OBJECT

    ScriptedPort* line = nullptr;

    LineOverview& overview() { return console->line_overview(); }
    QStringList written(qsizetype from = 0) const
    {
        QStringList out;
        for (qsizetype i = from; i < line->writes.size(); ++i)
            out << QString::fromLatin1(line->writes[i].bytes).chopped(1);
        return out;
    }
    // One go over stations 1 and 2, station 2 silent unless told; the
    // version comes with the first read of station 1.
    void script_round(bool two_answers, bool first)
    {
        line->reply_next(">", 2);
        line->reply_next("10\r>", 2);
        line->reply_next("1\r>", 2);
        line->reply_next("0\r>", 2);
        if (first)
            line->reply_next("MIVO-S 2.31\r>", 2);
        line->reply_next(two_answers ? ">" : "", 2);
        if (two_answers) {
            line->reply_next("20\r>", 2);
            line->reply_next("5\r>", 2);
            line->reply_next("0\r>", 2);
            line->reply_next("MIVO-S 2.31\r>", 2);
        }
        line->reply_next(">", 2);  // the window's station again
    }
    // Lets the overview make n goes over the two stations, then stops it;
    // whether station 2 was lost after each go.
    QList<bool> run_goes(int n)
    {
        QList<bool> lost;
        const QMetaObject::Connection counting = connect(&overview(), &LineOverview::row_changed, this, [&](int index) {
            if (index != 1)
                return;
            lost << overview().rows()[1].lost;
            if (lost.size() == n)
                overview().set_active(false);
        });
        overview().set_active(true);
        [&] { QTRY_VERIFY(!overview().active()); }();
        disconnect(counting);
        return lost;
    }
    void select(const char* station, bool answers)
    {
        line->reply_next(">", 2);
        line->reply_next(">", 2);
        if (answers)
            line->reply_next("MIVO-S 2.31\r>", 2);
        console->operations().select_station(QString::fromLatin1(station));
        Timer1().stop();  // no poll: its lines are not the test's
        console->state().set_found_stations({1, 2});
        line->writes.clear();
    }

private slots:
    void init() { line = start_on_scripted_port(); }
    void cleanup()
    {
        overview().set_active(false);
        stop_console();
    }

    void a_go_reads_each_station_then_selects_the_windows_again_and_a_silent_one_turns_lost()
    {
        select("5", true);
        script_round(false, true);
        run_goes(1);
        QCOMPARE(written(), (QStringList{"ST 1", "RV 0", "RV 2", "RV 5", "RV 4", "ST 2", "ST 5"}));
        QCOMPARE(overview().rows()[0].position, std::optional(10.0));
        QCOMPARE(overview().rows()[1].answered, 0);

        // Shown again: counted anew; lost after the third silent go, back
        // with the first answer.
        for (int round = 0; round < 3; ++round)
            script_round(false, false);
        script_round(true, false);
        QCOMPARE(run_goes(4), (QList<bool>{false, false, true, false}));
        QVERIFY(!overview().rows()[0].lost);
        QCOMPARE(overview().rows()[1].state, std::optional<quint32>(5));
        QCOMPARE(overview().rows()[1].answered, 1);
        QCOMPARE(overview().rows()[1].asked, 4);
    }

    // Homing waits with the event loop running: nothing of the overview may
    // fall into it, and the overview goes on once it is over.
    void nothing_inside_another_handlers_wait()
    {
        select("5", true);
        overview().set_active(true);
        line->reply_next("", 0);  // "HM": the prompt never comes
        script_round(false, true);
        console->operations().home(300);
        QCOMPARE(written().first(), QStringLiteral("HM"));
        QCOMPARE(written().size(), 1);
        QTRY_VERIFY(written().contains(QStringLiteral("ST 1")));
    }

    // In broadcast mode nobody answers the window's select line; the
    // overview selects 32 again after its go.
    void broadcast_mode_is_selected_again()
    {
        select("32", false);
        script_round(false, true);
        run_goes(1);
        QCOMPARE(written().value(6), QStringLiteral("ST 32"));
    }
};

QTEST_GUILESS_MAIN(TestLineOverview)
#include "tst_line_overview.moc"

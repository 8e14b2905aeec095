// "Set Station" and the availability of the pages, on the console core
// against the drive simulator.
#include "../support/core_fixture.h"
#include "../support/sim_line.h"

#include <QTimer>
#include <QtTest>

using namespace mivo;

class TestSelection : public QObject, CoreFixture {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;

    void open()
    {
        open_on(*sim);
        QCOMPARE(view.take_messages(), QStringList{"Port Open"});
        sim->clear_log();
    }

    void select(const QString& text) { set_station(text); }

    // Which pages the tab control offers, in page order.
    QList<bool> pages() const
    {
        const auto& p = view.availability.pages;
        return QList<bool>(p.begin(), p.end());
    }
    // Why a page is unavailable, as its tab tells it; empty while available.
    QString reason(int page) const
    {
        return QString::fromLatin1(view.availability.page_reasons.at(std::size_t(page)));
    }

    // Times at which the wire carried the given line.
    QList<double> times_of(const QString& line)
    {
        QList<double> t;
        for (const auto& e : sim->wire_log())
            if (e.dir == sim::WireEvent::Rx && QString::fromStdString(e.bytes) == line)
                t << e.t_ms;
        return t;
    }

    const QList<bool> kAllPages{true, true, true, true};
    const QList<bool> kBroadcastPages{true, true, false, false};
    const QStringList kBroadcastMessages{"Switch to Broadcast Mode.", "States wiil not response!"};

private slots:
    void init()
    {
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "3,5"});
        start_console();
    }
    void cleanup()
    {
        stop_console();
        sim.reset();
    }

    void normal_station_shows_version_opens_pages_and_polls()
    {
        open();
        select(QStringLiteral("5"));
        QCOMPARE(view.take_messages(), QStringList{"Set OK."});
        QCOMPARE(vars().station_num, qint16(5));
        QCOMPARE(view.values[4], QStringLiteral("MIVO-S 2.31"));
        QVERIFY(view.availability.SSTab1);
        QCOMPARE(pages(), kAllPages);
        QVERIFY(Timer1().isActive());

        const QStringList lines = received_lines(*sim);
        QCOMPARE(lines.mid(0, 3), (QStringList{"ST 5", "ST 5", "RV 4"}));
        // Each select line is followed by the exchange's 50 ms and a 50 ms pause.
        const QList<double> st = times_of(QStringLiteral("ST 5"));
        QVERIFY(st[1] - st[0] >= 100 - kStampSlackMs);
        QVERIFY(times_of(QStringLiteral("RV 4")).first() - st[1] >= 100 - kStampSlackMs);
    }

    void absent_station_is_not_reported_as_set()
    {
        open();
        select(QStringLiteral("5"));
        view.take_messages();
        select(QStringLiteral("7"));
        QCOMPARE(view.take_messages(), QStringList{"Station 7 did not answer."});
        // The selection still takes effect; the old drive's version is gone.
        QCOMPARE(vars().station_num, qint16(7));
        QVERIFY(view.values[4].isEmpty());
        QCOMPARE(pages(), kAllPages);
        QVERIFY(Timer1().isActive());
    }

    void broadcast_and_back()
    {
        open();
        select(QStringLiteral("32"));
        QCOMPARE(view.take_messages(), kBroadcastMessages);
        QCOMPARE(vars().station_num, qint16(32));
        QVERIFY(view.availability.SSTab1);
        QCOMPARE(pages(), kBroadcastPages);
        // Why, for the tab's tip (a screen reader reads it).
        QVERIFY(reason(kSetupPage).contains(QStringLiteral("broadcast")));
        QVERIFY(reason(kConfigPage).contains(QStringLiteral("broadcast")));
        QVERIFY(Timer1().isActive());
        QCOMPARE(received_lines(*sim), (QStringList{"ST 32", "ST 32"}));

        // The poll runs but polls nothing.
        QTest::qWait(1200);
        QVERIFY(Timer1().isActive());
        QCOMPARE(received_lines(*sim), (QStringList{"ST 32", "ST 32"}));

        // "32.0" and " 32" are broadcast too, and go out as typed.
        sim->clear_log();
        select(QStringLiteral("32.0"));
        select(QStringLiteral(" 32"));
        QCOMPARE(received_lines(*sim), (QStringList{"ST 32.0", "ST 32.0", "ST  32", "ST  32"}));
        QCOMPARE(view.take_messages(), kBroadcastMessages + kBroadcastMessages);

        // Leaving broadcast mode opens the drive pages again.
        select(QStringLiteral("3"));
        QCOMPARE(view.take_messages(), QStringList{"Set OK."});
        QCOMPARE(pages(), kAllPages);
        for (int page = kTerminalPage; page <= kConfigPage; ++page)
            QVERIFY(reason(page).isEmpty());
    }

    void halves_round_to_even_and_only_32_itself_is_broadcast()
    {
        open();
        select(QStringLiteral("2.5"));
        QCOMPARE(vars().station_num, qint16(2));
        select(QStringLiteral("3.5"));
        QCOMPARE(vars().station_num, qint16(4));
        QCOMPARE(received_lines(*sim).mid(0, 2), (QStringList{"ST 2.5", "ST 2.5"}));
        view.take_messages();

        // Texts that round to 32 select station 32 as a drive of its own: its
        // version is asked for and the drive pages stay open.
        for (const QString& text : {QStringLiteral("31.5"), QStringLiteral("32.4")}) {
            sim->clear_log();
            select(text);
            QCOMPARE(vars().station_num, qint16(32));
            QCOMPARE(received_lines(*sim).mid(0, 3), (QStringList{"ST " + text, "ST " + text, "RV 4"}));
            QCOMPARE(view.take_messages(), QStringList{"Station " + text + " did not answer."});
            QCOMPARE(pages(), kAllPages);
        }
    }

    void broadcast_with_setup_in_front_reads_nothing()
    {
        open();
        select(QStringLiteral("5"));
        bring_to_front(kSetupPage);  // the page reads its groups
        QVERIFY(received_lines(*sim).contains(QStringLiteral("RD 1 6")));
        view.take_messages();
        sim->clear_log();

        select(QStringLiteral("32"));
        QTest::qWait(100);
        QCOMPARE(received_lines(*sim), (QStringList{"ST 32", "ST 32"}));
        QCOMPARE(page, int(kSetupPage));  // stays in front, unavailable
        QVERIFY(!view.availability.pages[kSetupPage]);
        QCOMPARE(view.take_messages(), kBroadcastMessages);
    }

    void close_and_reopen_keep_the_pages_closed_until_a_selection()
    {
        open();
        select(QStringLiteral("5"));
        view.take_messages();
        close();
        QCOMPARE(view.take_messages(), QStringList{"Port Close"});
        QVERIFY(!view.availability.SSTab1);
        QVERIFY(!Timer1().isActive());
        QCOMPARE(vars().station_num, qint16(5));

        open();
        QVERIFY(!view.availability.SSTab1);
        QVERIFY(!Timer1().isActive());
        select(QStringLiteral("3"));
        QCOMPARE(view.take_messages(), QStringList{"Set OK."});
        QVERIFY(view.availability.SSTab1);
    }

    void text_that_is_no_station_sends_nothing_and_changes_nothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty, as after a search") << QString();
        QTest::newRow("letters") << QStringLiteral("five");
        QTest::newRow("too large for 16 bits") << QStringLiteral("70000");
    }
    void text_that_is_no_station_sends_nothing_and_changes_nothing()
    {
        QFETCH(QString, text);
        open();
        select(QStringLiteral("32"));
        view.take_messages();
        sim->clear_log();

        select(text);
        QCOMPARE(view.take_messages(), QStringList{"Type a station number: 0 to 31, or 32 for all stations."});
        QVERIFY(sim->rx_lines().empty());
        QCOMPARE(vars().station_num, qint16(32));
        QVERIFY(Timer1().isActive());
        QCOMPARE(pages(), kBroadcastPages);

        // Out of 0..32 but a number: sent as the drive's business.
        select(QStringLiteral("40"));
        QCOMPARE(received_lines(*sim).mid(0, 2), (QStringList{"ST 40", "ST 40"}));
        QCOMPARE(vars().station_num, qint16(40));
    }
};

QTEST_GUILESS_MAIN(TestSelection)
#include "tst_selection.moc"

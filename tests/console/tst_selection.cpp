// "Set Station" and the tab pages through the real window, against the drive
// simulator.
#include "window/form1.h"
#include "window/value_box.h"

#include "../support/console_fixture.h"
#include "../support/sim_line.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

using namespace mivo;

class TestSelection : public QObject, ConsoleFixture {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;

    QTabWidget* tabs() { return ui().SSTab1; }

    void open()
    {
        open_on(*form, *sim);
        QCOMPARE(messages->take(), QStringList{"Port Open"});
        sim->clear_log();
    }

    void select(const QString& text) { set_station(text); }

    bool pages_available(std::initializer_list<bool> expected)
    {
        int i = 0;
        for (bool e : expected)
            if (tabs()->isTabEnabled(i++) != e)
                return false;
        return true;
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
        QCOMPARE(messages->take(), QStringList{"Set OK."});
        QCOMPARE(form->vars().station_num, qint16(5));
        QCOMPARE(ui().lb_rv_feedback(4)->text(), QStringLiteral("MIVO-S 2.31"));
        QVERIFY(tabs()->isEnabled());
        QVERIFY(pages_available({true, true, true, true}));
        QVERIFY(ui().Timer1->isActive());

        const QStringList lines = received_lines(*sim);
        QCOMPARE(lines.mid(0, 3), (QStringList{"ST 5", "ST 5", "RV 4"}));
        // Each select line is followed by the exchange's 50 ms and a 50 ms pause.
        const QList<double> st = times_of(QStringLiteral("ST 5"));
        QVERIFY(st[1] - st[0] >= 100 - kStampSlackMs);
        QVERIFY(times_of(QStringLiteral("RV 4")).first() - st[1] >= 100 - kStampSlackMs);
    }

    void broadcast_and_back()
    {
        open();
        select(QStringLiteral("32"));
        QCOMPARE(messages->take(), (QStringList{"Switch to Broadcast Mode.", "States wiil not response!"}));
        QCOMPARE(form->vars().station_num, qint16(32));
        QVERIFY(tabs()->isEnabled());
        QVERIFY(pages_available({true, true, false, false}));
        QVERIFY(tabs()->tabToolTip(kSetupPage).contains(QStringLiteral("broadcast")));  // why, for a screen reader
        QVERIFY(ui().Timer1->isActive());
        QCOMPARE(received_lines(*sim), (QStringList{"ST 32", "ST 32"}));

        // The poll runs but polls nothing.
        QTest::qWait(1200);
        QCOMPARE(received_lines(*sim), (QStringList{"ST 32", "ST 32"}));

        // "32.0" and " 32" are broadcast too, and go out as typed.
        sim->clear_log();
        select(QStringLiteral("32.0"));
        select(QStringLiteral(" 32"));
        QCOMPARE(received_lines(*sim), (QStringList{"ST 32.0", "ST 32.0", "ST  32", "ST  32"}));
        QCOMPARE(messages->take().size(), 4);

        // Leaving broadcast mode opens the drive pages again.
        select(QStringLiteral("3"));
        QCOMPARE(messages->take(), QStringList{"Set OK."});
        QVERIFY(pages_available({true, true, true, true}));
        QVERIFY(tabs()->tabToolTip(kSetupPage).isEmpty());
    }

    void half_rounds_to_even()
    {
        open();
        select(QStringLiteral("2.5"));
        QCOMPARE(form->vars().station_num, qint16(2));
        select(QStringLiteral("3.5"));
        QCOMPARE(form->vars().station_num, qint16(4));
        QCOMPARE(received_lines(*sim).mid(0, 2), (QStringList{"ST 2.5", "ST 2.5"}));
    }

    void broadcast_with_setup_in_front_reads_nothing()
    {
        open();
        select(QStringLiteral("5"));
        click_tab(kSetupPage);
        QTRY_COMPARE(tabs()->currentIndex(), int(kSetupPage));
        QTest::qWait(50);  // the page's own reads
        messages->take();
        sim->clear_log();
        int handler_runs = 0;
        connect(tabs(), &QTabWidget::currentChanged, this, [&] { ++handler_runs; });

        select(QStringLiteral("32"));
        QTest::qWait(100);
        QCOMPARE(received_lines(*sim), (QStringList{"ST 32", "ST 32"}));
        QCOMPARE(tabs()->currentIndex(), int(kSetupPage));  // stays in front, unavailable
        QVERIFY(!tabs()->isTabEnabled(kSetupPage));
        QCOMPARE(handler_runs, 0);
        QCOMPARE(messages->take(), (QStringList{"Switch to Broadcast Mode.", "States wiil not response!"}));
    }

    void close_and_reopen_keep_the_pages_closed_until_a_selection()
    {
        open();
        select(QStringLiteral("5"));
        messages->take();
        ui().cmd_port_close->click();
        QCOMPARE(messages->take(), QStringList{"Port Close"});
        QVERIFY(!tabs()->isEnabled());
        QVERIFY(!ui().Timer1->isActive());
        QCOMPARE(form->vars().station_num, qint16(5));

        open();
        QVERIFY(!tabs()->isEnabled());
        QVERIFY(!ui().Timer1->isActive());
        select(QStringLiteral("3"));
        QCOMPARE(messages->take(), QStringList{"Set OK."});
        QVERIFY(tabs()->isEnabled());
    }

    void typed_station_is_not_completed()
    {
        // Completion only acts in the box that has the keyboard focus.
        auto type_into = [this](QComboBox* box, const QString& text) {
            form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(form.get()));
            box->setEditText(QString());
            box->setFocus();
            QTRY_VERIFY(box->lineEdit()->hasFocus());
            QTest::keyClicks(box->lineEdit(), text);
        };
        open();
        ui().cbb_station_num->addItems({"0", "5", "32"});
        type_into(ui().cbb_station_num, QStringLiteral("3"));
        QCOMPARE(ui().cbb_station_num->currentText(), QStringLiteral("3"));
        QTest::mouseClick(ui().cmd_set_station, Qt::LeftButton);
        QCOMPARE(received_lines(*sim).mid(0, 2), (QStringList{"ST 3", "ST 3"}));
        QCOMPARE(form->vars().station_num, qint16(3));

        // Neither do the port box and the option boxes complete.
        type_into(ui().cbb_port_num, QStringLiteral("1"));
        QCOMPARE(ui().cbb_port_num->currentText(), QStringLiteral("1"));
        click_tab(kConfigPage);
        QTest::qWait(200);  // the page reads the configuration word
        type_into(ui().cbb_config[1], QStringLiteral("16"));
        QCOMPARE(ui().cbb_config[1]->currentText(), QStringLiteral("16"));
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
        messages->take();
        sim->clear_log();

        select(text);
        QCOMPARE(messages->take(), QStringList{"Type a station number: 0 to 31, or 32 for all stations."});
        QVERIFY(sim->rx_lines().empty());
        QCOMPARE(form->vars().station_num, qint16(32));
        QVERIFY(ui().Timer1->isActive());
        QVERIFY(pages_available({true, true, false, false}));

        // Out of 0..32 but a number: sent as the drive's business.
        select(QStringLiteral("40"));
        QCOMPARE(received_lines(*sim).mid(0, 2), (QStringList{"ST 40", "ST 40"}));
        QCOMPARE(form->vars().station_num, qint16(40));
    }

    void absent_station_is_not_reported_as_set()
    {
        open();
        select(QStringLiteral("5"));
        messages->take();
        select(QStringLiteral("7"));
        QCOMPARE(messages->take(), QStringList{"Station 7 did not answer."});
        // The selection still takes effect; the old drive's version is gone.
        QCOMPARE(form->vars().station_num, qint16(7));
        QVERIFY(ui().lb_rv_feedback(4)->text().isEmpty());
        QVERIFY(pages_available({true, true, true, true}));
        QVERIFY(ui().Timer1->isActive());
    }
};

QTEST_MAIN(TestSelection)
#include "tst_selection.moc"

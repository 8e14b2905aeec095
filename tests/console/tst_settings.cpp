// The "Setup" and "Config" pages through the real window, against the drive
// simulator, or against a scripted port for replies no drive would give.
#include "window/form1.h"
#include "window/value_box.h"

#include "../support/console_fixture.h"
#include "../support/scripted_port.h"
#include "../support/sim_line.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace mivo;

namespace {

const QStringList kDefaultP{"1", "0", "100", "120", "10", "0", "1000", "500",
                            "200", "50", "3000", "-3000", "16", "0", "2", "8"};
const QStringList kInitialConfig{"4 Position Indexer", "32 Step", "CW is Positive",
                                 "MF short when trigger", "DO short when trigger",
                                 "Output as same as SVON(for Z break)"};

QStringList group_reads()
{
    QStringList lines;
    for (int i = 0; i < 16; ++i)
        lines << QStringLiteral("RD 0 %1").arg(i);
    for (int i = 0; i < 7; ++i)
        lines << QStringLiteral("RD 1 %1").arg(i);
    return lines;
}

bool is_red(const QLineEdit* box)
{
    return box->palette().color(QPalette::Text) == QColor(255, 0, 0);
}

// Back to the system's colour, and following it from now on.
bool has_system_colour(const QLineEdit* box)
{
    return !box->testAttribute(Qt::WA_SetPalette)
           && box->palette().color(QPalette::Text) == QApplication::palette(box).color(QPalette::Text);
}

double rx_time(const sim::SimHarness& sim, const std::string& line)
{
    for (const auto& e : sim.wire_log())
        if (e.dir == sim::WireEvent::Rx && e.bytes == line)
            return e.t_ms;
    return -1;
}

}  // namespace

class TestSettings : public QObject, ConsoleFixture {
    Q_OBJECT

    // A window on a scripted port, opened; the port stays the window's.
    ScriptedPort* scripted_form()
    {
        auto port = std::make_unique<ScriptedPort>();
        ScriptedPort* raw = port.get();
        start_console(std::move(port));
        quiet_poll();
        ui().cmd_port_open->click();
        messages->take();
        return raw;
    }

    // The poll sends nothing, so that the wire carries only what the pages
    // send (Timer1 still runs).
    void quiet_poll()
    {
        ui().cb_ask_pfbk->setChecked(false);
        ui().cb_ask_states->setChecked(false);
    }

    // A station selection opens the tab control again after a "Close".
    void select_station_0()
    {
        set_station(QStringLiteral("0"));
        QCOMPARE(messages->take(), QStringList{"Set OK."});
    }

    void show_page(int page)
    {
        click_tab(page);
        QTest::qWait(20);  // the page handler runs once the change has returned
    }

    QStringList boxes(int group)
    {
        QStringList texts;
        if (group == 0)
            for (QLineEdit* b : ui().tx_position_settings)
                texts << b->text();
        else
            for (QLineEdit* b : ui().tx_v_group)
                texts << b->text();
        return texts;
    }

    QStringList config_texts()
    {
        QStringList texts;
        for (QComboBox* b : ui().cbb_config)
            texts << b->currentText();
        return texts;
    }

    // Clears the box and types into it key by key; every key marks it red
    // and sends nothing until Enter.
    void type_and_enter(QLineEdit* box, const QString& text, sim::SimHarness& sim)
    {
        box->clear();
        sim.clear_log();
        for (const QChar ch : text) {
            QTest::keyClick(box, ch.toLatin1());
            QVERIFY(is_red(box));
        }
        QVERIFY(sim.rx_lines().empty());
        QTest::keyClick(box, Qt::Key_Return);
    }

private slots:
    void init()
    {
        start_console();
        quiet_poll();
    }
    void cleanup() { stop_console(); }

    void setup_page_reads_both_groups_in_order()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath(QStringLiteral("state"));
        QFile file(state);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("0 V2=-7\n") > 0);
        file.close();
        sim::SimHarness sim({"--stations", "0", "--state", state.toStdString()});
        open_on(*form, sim);
        messages->take();

        show_page(kSetupPage);
        QCOMPARE(received_lines(sim), group_reads());
        QCOMPARE(boxes(0), kDefaultP);
        QCOMPARE(boxes(1), (QStringList{"0", "100", "-7", "0", "1", "33", "0"}));
        QVERIFY(ui().Timer1->isActive());
        QVERIFY(messages->texts.isEmpty());
    }

    void odd_replies_leave_their_boxes_empty_and_are_told_once()
    {
        ScriptedPort* port = scripted_form();
        for (int i = 0; i < 16; ++i) {
            const QByteArray value = i == 10 ? "12.5" : i == 3 ? "abc" : QByteArray::number(i);
            if (i != 5)  // P5: no answer at all
                port->reply_next("P" + QByteArray::number(i) + "=" + value + "\r>", 3);
            else
                port->reply_next({}, 3);
        }
        for (const char* reply : {"V0=1\r>", "V1=2\r>", "V2=3\r>", "V3=4\r>", "V4=40000\r>", "V5=33\r>", "V6=5"})
            port->reply_next(reply, 3);

        show_page(kSetupPage);
        QCOMPARE(port->writes.size(), 23);
        QCOMPARE(boxes(0), (QStringList{"0", "1", "2", "", "4", "", "6", "7", "8", "9", "12", "11", "12", "13", "14",
                                        "15"}));
        QCOMPARE(boxes(1), (QStringList{"1", "2", "3", "4", "", "33", ""}));
        QCOMPARE(messages->take(), QStringList{"No number from the drive for P3, P5, V4, V6."});
        QVERIFY(ui().Timer1->isActive());
    }

    void typed_values_are_written_on_enter_and_kept_by_save()
    {
        QTemporaryDir dir;
        const std::string state = dir.filePath(QStringLiteral("state")).toStdString();
        auto sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "0", "--state", state});
        open_on(*form, *sim);
        show_page(kSetupPage);
        messages->take();
        QLineEdit* p4 = ui().tx_position_settings[4];

        type_and_enter(p4, QStringLiteral("123"), *sim);
        QCOMPARE(received_lines(*sim), QStringList{"WT 0 4 123"});
        QVERIFY(has_system_colour(p4));
        QTest::keyClick(p4, Qt::Key_Backspace);  // any key marks the box again
        QVERIFY(is_red(p4));
        type_and_enter(p4, QStringLiteral("0012"), *sim);
        QCOMPARE(received_lines(*sim), QStringList{"WT 0 4 12"});
        QCOMPARE(p4->text(), QStringLiteral("0012"));  // left as typed
        type_and_enter(ui().tx_v_group[0], QStringLiteral("-7"), *sim);
        QCOMPARE(received_lines(*sim), QStringList{"WT 1 0 -7"});

        // Not a 16-bit number: nothing goes out and the box stays marked.
        for (const QString& bad : {QStringLiteral("12a"), QStringLiteral("40000")}) {
            type_and_enter(p4, bad, *sim);
            QVERIFY(sim->rx_lines().empty());
            QVERIFY(is_red(p4));
            QCOMPARE(messages->take(), QStringList{"P4 was not written: type a number from -32768 to 32767."});
        }

        // The drive answers "SV" once it has saved.
        sim->clear_log();
        double shown_at = 0;
        messages->on_message = [&](const QString&) { shown_at = sim::SimHarness::now_ms(); };
        QTest::mouseClick(ui().cmd_setup_save, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList{"Save OK."});
        QCOMPARE(received_lines(*sim), QStringList{"SV"});
        QVERIFY(shown_at - rx_time(*sim, "SV") >= 1500);
        QVERIFY(ui().Timer1->isActive());

        // The values come back from the drive's memory after a restart.
        ui().cmd_port_close->click();
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "0", "--state", state});
        open_on(*form, *sim);
        messages->take();
        select_station_0();
        show_page(kTerminalPage);
        show_page(kSetupPage);
        QCOMPARE(ui().tx_position_settings[4]->text(), QStringLiteral("12"));
        QCOMPARE(ui().tx_v_group[0]->text(), QStringLiteral("-7"));
    }

    void link_first_while_closed()
    {
        show_page(kSetupPage);
        QCOMPARE(messages->take(), QStringList{"Link first!"});
        QLineEdit* p0 = ui().tx_position_settings[0];
        QTest::keyClicks(p0, QStringLiteral("12"));
        QTest::keyClick(p0, Qt::Key_Return);
        QCOMPARE(messages->take(), (QStringList{"Link First!", "Link First!", "Link First!"}));
        QCOMPARE(p0->text(), QStringLiteral("012"));  // the keys still reach the box
        QVERIFY(has_system_colour(p0));
        QTest::mouseClick(ui().cmd_setup_save, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList{"Link first!"});
        show_page(kConfigPage);
        QCOMPARE(messages->take(), QStringList{"Link first!"});
        QTest::mouseClick(ui().cmd_config_apply, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList{"Link First!"});
    }

    void a_silent_drive_does_not_save()
    {
        sim::SimHarness sim({"--stations", "0", "--silent", "0"});
        open_on(*form, sim);
        messages->take();
        show_page(kSetupPage);
        QCOMPARE(messages->take(), QStringList{"No number from the drive for any P or V entry."});
        QCOMPARE(boxes(1), QStringList(7, QString()));
        QTest::mouseClick(ui().cmd_setup_save, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList{"Station 0 did not answer the save."});
        QVERIFY(ui().Timer1->isActive());

        // Under broadcast no drive ever answers.
        ui().cbb_station_num->setEditText(QStringLiteral("32"));
        QTest::mouseClick(ui().cmd_set_station, Qt::LeftButton);
        messages->take();
        form->cmd_setup_save_Click();
        QCOMPARE(messages->take(), QStringList{"Save OK."});
    }

    void config_page_shows_the_word_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("texts");

        const QStringList none{"No Function", "32 Step", "CW is Positive", "MF short when trigger",
                               "DO short when trigger", "No Function"};
        const auto with = [&none](std::initializer_list<std::pair<int, const char*>> changes) {
            QStringList t = none;
            for (const auto& [box, text] : changes)
                t[box] = QLatin1String(text);
            return t;
        };
        QTest::newRow("0") << QByteArray("V5=0\r>") << "0" << none;
        QTest::newRow("255") << QByteArray("V5=255\r>") << "255"
                             << QStringList{"(CW,CCW)", "16 Step", "CCW is Positive", "MF open when trigger",
                                            "DO open when trigger", "Reserved"};
        QTest::newRow("1") << QByteArray("V5=1\r>") << "1" << with({{0, "4 Position Indexer"}});
        QTest::newRow("2") << QByteArray("V5=2\r>") << "2" << with({{0, "(JOG+,JOG-)"}});
        QTest::newRow("64") << QByteArray("V5=64\r>") << "64" << with({{5, "Smart pick and place output"}});
        QTest::newRow("128") << QByteArray("V5=128\r>") << "128"
                             << with({{5, "Output as same as SVON(for Z break)"}});
        QTest::newRow("256") << QByteArray("V5=256\r>") << "256" << none;
        QTest::newRow("0012") << QByteArray("V5=0012\r>") << "12" << with({{1, "16 Step"}, {2, "CCW is Positive"}});
        // No number: the boxes keep what they showed, the label shows none.
        QTest::newRow("not a number") << QByteArray("V5=x1\r>") << "" << kInitialConfig;
        QTest::newRow("out of range") << QByteArray("V5=32768\r>") << "" << kInitialConfig;
        QTest::newRow("no answer") << QByteArray() << "" << kInitialConfig;
    }

    void config_page_shows_the_word()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, label);
        QFETCH(QStringList, texts);

        ScriptedPort* port = scripted_form();
        port->reply_next(reply, 3);
        show_page(kConfigPage);
        QCOMPARE(port->writes.size(), 1);
        QCOMPARE(port->writes[0].bytes, QByteArray("RD 1 5\r"));
        QCOMPARE(ui().lb_rv_feedback(3)->text(), label);
        QCOMPARE(config_texts(), texts);
        QCOMPARE(messages->take(),
                 label.isEmpty() ? QStringList{"No number from the drive for the configuration word (V5)."}
                                 : QStringList());
        QVERIFY(ui().Timer1->isActive());
    }

    void apply_writes_what_the_boxes_show()
    {
        sim::SimHarness sim({"--stations", "0"});
        show_page(kConfigPage);  // closed: nothing read
        open_on(*form, sim);
        messages->take();

        // Before any read: the items the window selected at load.
        double shown_at = 0;
        messages->on_message = [&](const QString&) { shown_at = sim::SimHarness::now_ms(); };
        QTest::mouseClick(ui().cmd_config_apply, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList{"Please reset MIVO!"});
        QCOMPARE(received_lines(sim), (QStringList{"WT 1 5 129", "SV"}));
        // Two 50 ms waits between them (less a little for the line's jitter).
        QVERIFY(rx_time(sim, "SV") - rx_time(sim, "WT 1 5 129") >= 90);
        QVERIFY(shown_at - rx_time(sim, "SV") >= 1500);
        QVERIFY(ui().Timer1->isActive());

        const int indexes[6] = {1, 1, 1, 1, 0, 2};
        for (int i = 0; i < 6; ++i)
            ui().cbb_config[i]->setCurrentIndex(indexes[i]);
        sim.clear_log();
        QTest::mouseClick(ui().cmd_config_apply, Qt::LeftButton);
        QCOMPARE(received_lines(sim), (QStringList{"WT 1 5 94", "SV"}));
        show_page(kTerminalPage);
        show_page(kConfigPage);
        QCOMPARE(ui().lb_rv_feedback(3)->text(), QStringLiteral("94"));
        messages->take();

        // Typed into: the box shows none of its items.
        ui().cbb_config[3]->setEditText(QStringLiteral("MF open"));
        sim.clear_log();
        QTest::mouseClick(ui().cmd_config_apply, Qt::LeftButton);
        QCOMPARE(messages->take(),
                 QStringList{"Choose an item of the list for \"MF Ouput Mode\"; nothing was written."});
        QVERIFY(sim.rx_lines().empty());
        // A read puts the drive's item back into it.
        show_page(kTerminalPage);
        show_page(kConfigPage);
        QCOMPARE(ui().cbb_config[3]->currentText(), QStringLiteral("MF open when trigger"));
    }

    void close_during_the_save_waits_ends_quietly()
    {
        sim::SimHarness sim({"--stations", "0"});
        open_on(*form, sim);
        // Close and open again while the drive saves: the handler is on a
        // link that is gone and must not carry on on the new one.
        for (const auto& [page, button] : {std::pair{kSetupPage, ui().cmd_setup_save},
                                           std::pair{kConfigPage, ui().cmd_config_apply}}) {
            messages->take();
            select_station_0();
            show_page(page);
            messages->take();
            sim.clear_log();
            QObject during;
            QTimer::singleShot(400, &during, [this] {
                ui().cmd_port_close->click();
                ui().cmd_port_open->click();
            });
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(messages->take(), (QStringList{"Port Close", "Port Open"}));
            QCOMPARE(received_lines(sim).last(), QStringLiteral("SV"));
            QVERIFY(!ui().Timer1->isActive());
        }
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"

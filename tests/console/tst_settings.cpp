// The "Setup" and "Config" pages on the console core, against the drive
// simulator, or against a scripted port for replies no drive would give.
#include "protocol/command_lines.h"

#include "../support/core_fixture.h"
#include "../support/scripted_port.h"
#include "../support/sim_line.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace mivo;

namespace {

constexpr qint16 kEnter = 13;
constexpr qint16 kBackspace = 8;

const QStringList kDefaultP{"1", "0", "100", "120", "10", "0", "1000", "500",
                            "200", "50", "3000", "-3000", "16", "0", "2", "8"};

// The items of cbb_config(0) to (5), in list order.
const std::array<QStringList, 6> kConfigItems{
    QStringList{"No Function", "(JOG+,JOG-)", "4 Position Indexer", "(CW,CCW)"},
    QStringList{"32 Step", "16 Step"},
    QStringList{"CW is Positive", "CCW is Positive"},
    QStringList{"MF short when trigger", "MF open when trigger"},
    QStringList{"DO short when trigger", "DO open when trigger"},
    QStringList{"No Function", "Output as same as SVON(for Z break)", "Smart pick and place output", "Reserved"},
};
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

double rx_time(const sim::SimHarness& sim, const std::string& line)
{
    for (const auto& e : sim.wire_log())
        if (e.dir == sim::WireEvent::Rx && e.bytes == line)
            return e.t_ms;
    return -1;
}

}  // namespace

class TestSettings : public QObject, CoreFixture {
    Q_OBJECT

    // A fresh console with a quiet poll.
    void start(std::unique_ptr<SerialPort> given = nullptr)
    {
        start_console(std::move(given));
        quiet_poll();
    }

    ScriptedPort* scripted_console()
    {
        ScriptedPort* port = start_on_scripted_port();
        quiet_poll();
        return port;
    }

    // The poll sends nothing, so that the wire carries only what the pages
    // send (Timer1 still runs).
    void quiet_poll() { console->monitoring().set_feedback(false, false); }

    // A station selection opens the tab control again after a "Close".
    void select_station_0()
    {
        set_station(QStringLiteral("0"));
        QCOMPARE(view.take_messages(), QStringList{"Set OK."});
    }

    QStringList boxes(int group) const
    {
        QStringList texts;
        for (int i = 0; i < protocol::group_size(group); ++i)
            texts << view.parameters.at(std::size_t(group)).at(std::size_t(i));
        return texts;
    }

    QStringList config_texts() const
    {
        QStringList texts;
        for (std::size_t i = 0; i < view.config.size(); ++i)
            texts << kConfigItems[i].value(view.config[i]);
        return texts;
    }

    // A key into a parameter box: its handler runs, then the box takes the
    // character.
    void key(int group, int index, qint16 code)
    {
        QString& text = view.parameters.at(std::size_t(group)).at(std::size_t(index));
        console->settings().key_press(group, index, code, text);
        if (code == kBackspace)
            text.chop(1);
        else if (code != kEnter)
            text += QChar(code);
    }

    // Clears the box and types into it key by key; every key marks it
    // unwritten and sends nothing until Enter.
    void type_and_enter(int group, int index, const QString& text, sim::SimHarness& sim)
    {
        view.parameters.at(std::size_t(group)).at(std::size_t(index)).clear();
        sim.clear_log();
        for (const QChar ch : text) {
            key(group, index, qint16(ch.unicode()));
            QVERIFY(view.unwritten[group][index]);
        }
        QVERIFY(sim.rx_lines().empty());
        key(group, index, kEnter);
    }

private slots:
    void init() { start(); }
    void cleanup() { stop_console(); }

    void setup_page_reads_both_groups_in_order()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath(QStringLiteral("state"));
        QFile file(state);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("0 V2=-7\n") > 0);
        file.close();
        sim::SimHarness sim({"--stations", "0", "--state", state.toStdString()});
        open_on(sim);
        view.take_messages();

        bring_to_front(kSetupPage);
        QCOMPARE(received_lines(sim), group_reads());
        QCOMPARE(boxes(0), kDefaultP);
        QCOMPARE(boxes(1), (QStringList{"0", "100", "-7", "0", "1", "33", "0"}));
        QVERIFY(Timer1().isActive());
        QVERIFY(view.messages.isEmpty());
    }

    void odd_replies_leave_their_boxes_empty_and_are_told_once()
    {
        ScriptedPort* port = scripted_console();
        for (int i = 0; i < 16; ++i) {
            const QByteArray value = i == 10 ? "12.5" : i == 3 ? "abc" : QByteArray::number(i);
            if (i != 5)  // P5: no answer at all
                port->reply_next("P" + QByteArray::number(i) + "=" + value + "\r>", 3);
            else
                port->reply_next({}, 3);
        }
        for (const char* reply : {"V0=1\r>", "V1=2\r>", "V2=3\r>", "V3=4\r>", "V4=40000\r>", "V5=33\r>", "V6=5"})
            port->reply_next(reply, 3);

        bring_to_front(kSetupPage);
        QCOMPARE(port->writes.size(), 23);
        QCOMPARE(boxes(0), (QStringList{"0", "1", "2", "", "4", "", "6", "7", "8", "9", "12", "11", "12", "13", "14",
                                        "15"}));
        QCOMPARE(boxes(1), (QStringList{"1", "2", "3", "4", "", "33", ""}));
        QCOMPARE(view.take_messages(), QStringList{"No number from the drive for P3, P5, V4, V6."});
        QVERIFY(Timer1().isActive());
    }

    void typed_values_are_written_on_enter_and_kept_by_save()
    {
        QTemporaryDir dir;
        const std::string state = dir.filePath(QStringLiteral("state")).toStdString();
        auto sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "0", "--state", state});
        open_on(*sim);
        bring_to_front(kSetupPage);
        view.take_messages();
        const int P = protocol::kGroupP;
        const int V = protocol::kGroupV;

        type_and_enter(P, 4, QStringLiteral("123"), *sim);
        QCOMPARE(received_lines(*sim), QStringList{"WT 0 4 123"});
        QVERIFY(!view.unwritten[P][4]);
        key(P, 4, kBackspace);  // any key marks the box again
        QVERIFY(view.unwritten[P][4]);
        type_and_enter(P, 4, QStringLiteral("0012"), *sim);
        QCOMPARE(received_lines(*sim), QStringList{"WT 0 4 12"});
        QVERIFY(!view.unwritten[P][4]);
        QCOMPARE(view.parameters[P][4], QStringLiteral("0012"));  // left as typed
        type_and_enter(V, 0, QStringLiteral("-7"), *sim);
        QCOMPARE(received_lines(*sim), QStringList{"WT 1 0 -7"});
        QVERIFY(!view.unwritten[V][0]);

        // Not a 16-bit number: nothing goes out and the box stays marked.
        for (const QString& bad : {QStringLiteral("12a"), QStringLiteral("40000")}) {
            type_and_enter(P, 4, bad, *sim);
            QVERIFY(sim->rx_lines().empty());
            QVERIFY(view.unwritten[P][4]);
            QCOMPARE(view.take_messages(), QStringList{"P4 was not written: type a number from -32768 to 32767."});
        }

        // The drive answers "SV" once it has saved.
        sim->clear_log();
        double shown_at = 0;
        view.on_message = [&](const QString&) { shown_at = sim::SimHarness::now_ms(); };
        console->settings().save_click();
        QCOMPARE(view.take_messages(), QStringList{"Save OK."});
        QCOMPARE(received_lines(*sim), QStringList{"SV"});
        QVERIFY(shown_at - rx_time(*sim, "SV") >= 1500 - kStampSlackMs);
        QVERIFY(Timer1().isActive());

        // The values come back from the drive's memory after a restart.
        close();
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "0", "--state", state});
        open_on(*sim);
        view.take_messages();
        select_station_0();
        bring_to_front(kTerminalPage);
        bring_to_front(kSetupPage);
        QCOMPARE(view.parameters[P][4], QStringLiteral("12"));
        QCOMPARE(view.parameters[V][0], QStringLiteral("-7"));
    }

    void link_first_while_closed()
    {
        bring_to_front(kSetupPage);
        QCOMPARE(view.take_messages(), QStringList{"Link first!"});
        key(protocol::kGroupP, 0, '1');
        key(protocol::kGroupP, 0, '2');
        key(protocol::kGroupP, 0, kEnter);
        QCOMPARE(view.take_messages(), (QStringList{"Link First!", "Link First!", "Link First!"}));
        QCOMPARE(view.parameters[protocol::kGroupP][0], QStringLiteral("012"));  // nothing rewrote the box
        QVERIFY(!view.unwritten[protocol::kGroupP][0]);
        console->settings().save_click();
        QCOMPARE(view.take_messages(), QStringList{"Link first!"});
        bring_to_front(kConfigPage);
        QCOMPARE(view.take_messages(), QStringList{"Link first!"});
        console->settings().apply_click(view.config);
        QCOMPARE(view.take_messages(), QStringList{"Link First!"});
        QVERIFY(!Timer1().isActive());
    }

    void a_silent_drive_does_not_save()
    {
        sim::SimHarness sim({"--stations", "0", "--silent", "0"});
        open_on(sim);
        view.take_messages();
        bring_to_front(kSetupPage);
        QCOMPARE(view.take_messages(), QStringList{"No number from the drive for any P or V entry."});
        QCOMPARE(boxes(1), QStringList(7, QString()));
        sim.clear_log();
        console->settings().save_click();
        QCOMPARE(view.take_messages(), QStringList{"Station 0 did not answer the save."});
        QCOMPARE(received_lines(sim), QStringList{"SV"});
        QVERIFY(Timer1().isActive());
    }

    void only_broadcast_mode_saves_without_an_answer()
    {
        // Nothing on the line ever answers: "Save OK." without an answer
        // stands for the broadcast selection, not for station number 32.
        sim::SimHarness sim({"--stations", "0", "--silent", "0"});
        open_on(sim);
        view.take_messages();
        // What the wire carried, then what the user was told.
        const auto save = [&] {
            sim.clear_log();
            console->settings().save_click();
            return received_lines(sim) + view.take_messages();
        };

        set_station(QStringLiteral("32"));
        QCOMPARE(view.take_messages(), (QStringList{"Switch to Broadcast Mode.", "States wiil not response!"}));
        QCOMPARE(save(), (QStringList{"SV", "Save OK."}));
        QVERIFY(Timer1().isActive());

        // Round to station 32, in normal mode.
        for (const QString& text : {QStringLiteral("32.4"), QStringLiteral("31.5")}) {
            set_station(text);
            QCOMPARE(view.take_messages(), QStringList{"Station " + text + " did not answer."});
            QCOMPARE(vars().station_num, qint16(32));
            QCOMPARE(save(), (QStringList{"SV", "Station 32 did not answer the save."}));
            QVERIFY(Timer1().isActive());
        }

        // Broadcast again, then a normal station: the mode follows the last
        // selection.
        set_station(QStringLiteral("32.0"));
        view.take_messages();
        QCOMPARE(save(), (QStringList{"SV", "Save OK."}));
        QVERIFY(Timer1().isActive());
        set_station(QStringLiteral("0"));
        view.take_messages();
        QCOMPARE(save(), (QStringList{"SV", "Station 0 did not answer the save."}));
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

        ScriptedPort* port = scripted_console();
        port->reply_next(reply, 3);
        bring_to_front(kConfigPage);
        QCOMPARE(port->writes.size(), 1);
        QCOMPARE(port->writes[0].bytes, QByteArray("RD 1 5\r"));
        QCOMPARE(view.values[3], label);
        QCOMPARE(config_texts(), texts);
        QCOMPARE(view.take_messages(),
                 label.isEmpty() ? QStringList{"No number from the drive for the configuration word (V5)."}
                                 : QStringList());
        QVERIFY(Timer1().isActive());
    }

    void apply_writes_what_the_boxes_show()
    {
        sim::SimHarness sim({"--stations", "0"});
        bring_to_front(kConfigPage);  // closed: nothing read
        QCOMPARE(view.take_messages(), QStringList{"Link first!"});
        QCOMPARE(config_texts(), kInitialConfig);
        open_on(sim);
        view.take_messages();

        // Before any read: the items the window selected at load.
        double shown_at = 0;
        view.on_message = [&](const QString&) { shown_at = sim::SimHarness::now_ms(); };
        console->settings().apply_click(view.config);
        QCOMPARE(view.take_messages(), QStringList{"Please reset MIVO!"});
        QCOMPARE(received_lines(sim), (QStringList{"WT 1 5 129", "SV"}));
        // Two 50 ms waits between them (less a little for the line's jitter).
        QVERIFY(rx_time(sim, "SV") - rx_time(sim, "WT 1 5 129") >= 90);
        QVERIFY(shown_at - rx_time(sim, "SV") >= 1500 - kStampSlackMs);
        QVERIFY(Timer1().isActive());

        view.config = {1, 1, 1, 1, 0, 2};
        sim.clear_log();
        console->settings().apply_click(view.config);
        QCOMPARE(received_lines(sim), (QStringList{"WT 1 5 94", "SV"}));
        bring_to_front(kTerminalPage);
        bring_to_front(kConfigPage);
        QCOMPARE(view.values[3], QStringLiteral("94"));
        view.take_messages();

        // Typed into: the box shows none of its items.
        view.config[3] = -1;
        sim.clear_log();
        console->settings().apply_click(view.config);
        QCOMPARE(view.take_messages(),
                 QStringList{"Choose an item of the list for \"MF Ouput Mode\"; nothing was written."});
        QVERIFY(sim.rx_lines().empty());
        // A read puts the drive's item back into it.
        bring_to_front(kTerminalPage);
        bring_to_front(kConfigPage);
        QCOMPARE(config_texts()[3], QStringLiteral("MF open when trigger"));
    }

    void close_during_the_save_waits_ends_quietly()
    {
        sim::SimHarness sim({"--stations", "0"});
        open_on(sim);
        // Close and open again while the drive saves: the handler is on a
        // link that is gone and must not carry on on the new one.
        using Handler = std::function<void()>;
        const Handler save = [this] { console->settings().save_click(); };
        const Handler apply = [this] { console->settings().apply_click(view.config); };
        for (const auto& [page, handler] : {std::pair<int, Handler>{kSetupPage, save},
                                            std::pair<int, Handler>{kConfigPage, apply}}) {
            view.take_messages();
            select_station_0();
            bring_to_front(page);
            view.take_messages();
            sim.clear_log();
            QObject during;
            QTimer::singleShot(400, &during, [this, &sim] {
                close();
                open_on(sim);
            });
            handler();
            QCOMPARE(view.take_messages(), (QStringList{"Port Close", "Port Open"}));
            QCOMPARE(received_lines(sim).last(), QStringLiteral("SV"));
            QVERIFY(!Timer1().isActive());
        }
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"

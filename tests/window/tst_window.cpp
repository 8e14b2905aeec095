// The window over the console core: as it opens, and wired to the console
// (clicks, keys, tab changes, lights and message boxes), end to end against
// the drive simulator.
#include "window/form1.h"
#include "window/light.h"
#include "window/transcript_box.h"
#include "window/value_box.h"

#include "../support/console_fixture.h"
#include "../support/sim_line.h"

#include <QAccessible>
#include <QApplication>
#include <QPalette>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QInputDialog>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace mivo;

class TestWindow : public QObject, ConsoleFixture {
    Q_OBJECT

    template <typename T>
    T* find(const QString& name)
    {
        auto* w = form->findChild<T*>(name);
        if (!w)
            qWarning("no control named %s", qPrintable(name));
        return w;
    }

    // Station 3 selected and "Motion" in front; the wire log starts empty.
    void on_motion_page(sim::SimHarness& sim)
    {
        open_on(sim);
        set_station(QStringLiteral("3"));
        click_tab(kMotionPage);
        QTRY_COMPARE(ui().SSTab1->currentIndex(), int(kMotionPage));
        QTest::qWait(20);  // SSTab1_Click runs from a zero-time shot
        messages->take();
        sim.clear_log();
    }

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    void caption_and_size()
    {
        QCOMPARE(form->windowTitle(), QStringLiteral("MIVO UI - V1.2"));
        // The controls keep their places below the menu bar.
        QCOMPARE(ui().body->size(), QSize(701, 424));
        QCOMPARE(ui().body->y(), ui().menu_bar->height());
        QCOMPARE(form->size(), QSize(701, 424 + ui().menu_bar->height()));
        QCOMPARE(find<QGroupBox>("Frame2")->geometry(), QRect(8, 8, 313, 145));
        QCOMPARE(find<QGroupBox>("Frame1")->geometry(), QRect(328, 8, 369, 145));
        QCOMPARE(find<QTabWidget>("SSTab1")->geometry(), QRect(8, 160, 689, 257));
        auto* di = find<QGroupBox>("Frame3");
        QCOMPARE(di->parentWidget()->objectName(), QStringLiteral("Frame1"));
        QCOMPARE(di->width(), 129);
        QCOMPARE(di->height(), 145);
    }

    void form_variables_at_load()
    {
        const FormVariables& v = console().vars();
        QCOMPARE(v.is_linked, kFalse);
        QCOMPARE(v.move_running, kFalse);
        QCOMPARE(v.station_num, qint16(0));
        QVERIFY(v.last_command.isEmpty());
        QVERIFY(!console().Timer1().isActive());
        QCOMPARE(console().Timer1().interval(), 500);
        QVERIFY(!console().MSComm1().isOpen());
    }

    void initial_texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("port") << "cbb_port_num" << "2";
        QTest::newRow("station") << "cbb_station_num" << "";
        QTest::newRow("position 1") << "tx_move_position_1" << "1000";
        QTest::newRow("position 2") << "tx_move_position_2" << "0";
        QTest::newRow("velocity") << "tx_move_speed" << "2";
        QTest::newRow("delay 1") << "tx_delay_1" << "100";
        QTest::newRow("delay 2") << "tx_delay_2" << "100";
        QTest::newRow("command") << "tx_command" << "";
        for (int i = 0; i < 16; ++i)
            QTest::addRow("P%d", i) << QStringLiteral("tx_position_settings(%1)").arg(i) << "0";
        for (int i = 0; i < 7; ++i)
            QTest::addRow("V%d", i) << QStringLiteral("tx_v_group(%1)").arg(i) << "0";
        for (int i : {0, 3, 4})
            QTest::addRow("feedback %d", i) << QStringLiteral("lb_rv_feedback(%1)").arg(i) << "0";
        QTest::newRow("config 0") << "cbb_config(0)" << "4 Position Indexer";
        QTest::newRow("config 1") << "cbb_config(1)" << "32 Step";
        QTest::newRow("config 2") << "cbb_config(2)" << "CW is Positive";
        QTest::newRow("config 3") << "cbb_config(3)" << "MF short when trigger";
        QTest::newRow("config 4") << "cbb_config(4)" << "DO short when trigger";
        QTest::newRow("config 5") << "cbb_config(5)" << "Output as same as SVON(for Z break)";
    }
    void initial_texts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QObject* control = form->findChild<QObject*>(name);
        QVERIFY2(control, qPrintable(name));
        if (auto* e = qobject_cast<QLineEdit*>(control))
            QCOMPARE(e->text(), text);
        else if (auto* c = qobject_cast<QComboBox*>(control))
            QCOMPARE(c->currentText(), text);
        else if (auto* l = qobject_cast<QLabel*>(control))
            QCOMPARE(l->text(), text);
        else
            QFAIL("unexpected kind of control");
    }

    void lists()
    {
        auto* port = find<QComboBox>("cbb_port_num");
        QVERIFY(port->count() >= 20);  // then the system's other ports
        for (int i = 0; i < 20; ++i)
            QCOMPARE(port->itemText(i), QString::number(i + 1));
        QCOMPARE(find<QComboBox>("cbb_station_num")->count(), 0);
        const QStringList di = {"No Function", "(JOG+,JOG-)", "4 Position Indexer", "(CW,CCW)"};
        auto* c0 = find<QComboBox>("cbb_config(0)");
        QStringList items;
        for (int i = 0; i < c0->count(); ++i)
            items << c0->itemText(i);
        QCOMPARE(items, di);
        QCOMPARE(find<QComboBox>("cbb_config(5)")->count(), 4);
    }

    void enabled_states()
    {
        // Of the frame "Communication" only the port choice and "Open" work.
        QVERIFY(find<QComboBox>("cbb_port_num")->isEnabled());
        QVERIFY(find<QPushButton>("cmd_port_open")->isEnabled());
        for (const char* name : {"cmd_port_close", "cmd_set_station", "cmd_search_station"})
            QVERIFY2(!find<QPushButton>(name)->isEnabled(), name);
        QVERIFY(!find<QComboBox>("cbb_station_num")->isEnabled());
        QVERIFY(!find<QPushButton>("cmd_stop_move")->isEnabled());
        for (const char* name : {"cmd_start_move", "cmd_mivo_enable", "cmd_mivo_disable", "cmd_mivo_home",
                                 "cmd_setup_save", "cmd_config_apply", "cmd_send_command", "cmd_clean_response"})
            QVERIFY2(find<QPushButton>(name)->isEnabled(), name);
        auto* cfg = find<QLineEdit>("tx_v_group(5)");
        QVERIFY(!cfg->isEnabled());
        QVERIFY(cfg->isReadOnly());
        QVERIFY(find<QCheckBox>("cb_ask_pfbk")->isChecked());
        QVERIFY(find<QCheckBox>("cb_ask_states")->isChecked());
        QVERIFY(find<TranscriptBox>("tx_response")->isReadOnly());
    }

    void tabs_at_load()
    {
        auto* tabs = find<QTabWidget>("SSTab1");
        QVERIFY(tabs->isEnabled());
        QCOMPARE(tabs->currentIndex(), 0);
        const QStringList captions = {"Terminal", "Motion", "Setup", "Config"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(tabs->tabText(i), captions[i]);
            QVERIFY(tabs->isTabEnabled(i));
        }
        QCOMPARE(tabs->tabBar()->font().pointSizeF(), 11.25);
    }

    void lights()
    {
        const QList<Light*> all = form->findChildren<Light*>();
        QCOMPARE(all.size(), 1 + 1 + 8 + 5);
        for (Light* l : all) {
            QCOMPARE(l->fillColor(), QColor(0, 255, 0));
            QCOMPARE(l->accessibleDescription(), QStringLiteral("green"));
            QCOMPARE(l->width(), l->objectName() == u"sh_run" ? 17 : 25);
        }
        const QStringList state = {"MF", "Fault", "SVON", "DIR", "NL", "PL", "HOME", "DO"};
        for (int i = 0; i < 8; ++i)
            QCOMPARE(find<Light>(QStringLiteral("mivo_state_light(%1)").arg(i))->accessibleName(), state[i]);
        const QStringList inputs = {"DI1", "DI2", "DI3", "NL", "PL"};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(find<Light>(QStringLiteral("mivo_DI_state_light(%1)").arg(i))->accessibleName(), inputs[i]);
        QCOMPARE(find<Light>("comm_state_light")->accessibleName(), QStringLiteral("Comm"));

        // Roles for assistive technology: the window is a window, a light a graphic.
        QCOMPARE(QAccessible::queryAccessibleInterface(form)->role(), QAccessible::Window);
        QCOMPARE(QAccessible::queryAccessibleInterface(all.first())->role(), QAccessible::Graphic);

        Light* dir = find<Light>("mivo_state_light(3)");
        dir->show_bit(true);
        QCOMPARE(dir->fillColor(), QColor(255, 0, 0));
        QCOMPARE(dir->accessibleDescription(), QStringLiteral("red"));
    }

    void light_rows()
    {
        // Upper row of "States": Comm, SVON, PL, HOME, MF; lower: Fault, DIR, NL, DO.
        auto x = [this](const char* name) { return find<Light>(name)->x(); };
        auto y = [this](const char* name) { return find<Light>(name)->y(); };
        const char* upper[] = {"comm_state_light", "mivo_state_light(2)", "mivo_state_light(5)",
                               "mivo_state_light(6)", "mivo_state_light(0)"};
        const char* lower[] = {"mivo_state_light(1)", "mivo_state_light(3)", "mivo_state_light(4)",
                               "mivo_state_light(7)"};
        for (int i = 1; i < 5; ++i) {
            QVERIFY(x(upper[i - 1]) < x(upper[i]));
            QCOMPARE(y(upper[i]), y(upper[0]));
        }
        for (int i = 1; i < 4; ++i)
            QVERIFY(x(lower[i - 1]) < x(lower[i]));
        QVERIFY(y(lower[0]) > y(upper[0]));
        // "DI States": DI1, DI2, DI3 above PL, NL.
        QVERIFY(x("mivo_DI_state_light(0)") < x("mivo_DI_state_light(1)"));
        QVERIFY(x("mivo_DI_state_light(4)") < x("mivo_DI_state_light(3)"));
        QVERIFY(y("mivo_DI_state_light(4)") > y("mivo_DI_state_light(0)"));
    }

    void value_boxes()
    {
        QVERIFY(!form->findChild<QObject*>("lb_rv_feedback(1)"));
        QVERIFY(!form->findChild<QObject*>("lb_rv_feedback(2)"));
        QVERIFY(!form->controls().lb_rv_feedback(1) && !form->controls().lb_rv_feedback(2));
        const struct {
            const char* name;
            const char* caption;
            Qt::Alignment align;
        } boxes[] = {{"lb_rv_feedback(0)", "Position Feedback", Qt::AlignRight},
                     {"lb_rv_feedback(3)", "CFG", Qt::AlignHCenter},
                     {"lb_rv_feedback(4)", "MIVO Version:", Qt::AlignHCenter}};
        for (const auto& b : boxes) {
            auto* box = find<ValueBox>(b.name);
            QVERIFY(box->accessibleName().isEmpty());  // the text speaks for itself
            QCOMPARE(box->accessibleDescription(), QLatin1String(b.caption));
            QVERIFY(box->alignment() & b.align);
            QCOMPARE(box->palette().color(QPalette::Window), QColor(Qt::white));
            QCOMPARE(box->textInteractionFlags(), Qt::NoTextInteraction);
        }
    }

    void captions_are_buddies_and_names_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        QTest::newRow("command") << "Label44" << "tx_command" << "Command";
        QTest::newRow("response") << "Label45" << "tx_response" << "Response";
        QTest::newRow("comm") << "Label1" << "cbb_port_num" << "Comm";
        QTest::newRow("station") << "Label2" << "cbb_station_num" << "Station";
        QTest::newRow("position 1") << "Label7(2)" << "tx_move_position_1" << "Position 1";
        QTest::newRow("position 2") << "Label7(1)" << "tx_move_position_2" << "Position 2";
        QTest::newRow("velocity") << "Label50" << "tx_move_speed" << "Velocity";
        QTest::newRow("delay 1") << "Label49" << "tx_delay_1" << "Delay 1";
        QTest::newRow("delay 2") << "Label47" << "tx_delay_2" << "Delay 2";
        QTest::newRow("P0") << "Label20" << "tx_position_settings(0)" << "P0";
        QTest::newRow("P15") << "Label37" << "tx_position_settings(15)" << "P15";
        QTest::newRow("MSP") << "Label3" << "tx_v_group(0)" << "MSP";
        QTest::newRow("CFG") << "Label19" << "tx_v_group(5)" << "CFG";
        QTest::newRow("ACC") << "Label55" << "tx_v_group(6)" << "ACC";
        QTest::newRow("(DI2,DI3)") << "Label38" << "cbb_config(0)" << "(DI2,DI3)";
        QTest::newRow("MF") << "Label41" << "cbb_config(3)" << "MF Ouput Mode";
        QTest::newRow("DO function") << "Label43" << "cbb_config(5)" << "DO Function";
    }
    void captions_are_buddies_and_names()
    {
        QFETCH(QString, label);
        QFETCH(QString, control);
        QFETCH(QString, caption);
        auto* l = find<QLabel>(label);
        auto* w = find<QWidget>(control);
        QVERIFY(l && w);
        QCOMPARE(l->text(), caption);
        QCOMPARE(l->buddy(), w);
        QCOMPARE(w->accessibleName(), caption);
    }

    void frames_and_fonts()
    {
        const struct {
            const char* name;
            const char* caption;
        } frames[] = {{"Frame2", "Communication"}, {"Frame1", "States"},     {"Frame3", "DI States"},
                      {"FrameMotion", "Absolute Motion"}, {"Frame6", "FeedBack"}, {"Frame5", "Position"},
                      {"Frame4", "V Group Settings"}};
        for (const auto& f : frames) {
            auto* frame = find<QGroupBox>(f.name);
            QCOMPARE(frame->title(), QLatin1String(f.caption));
            QCOMPARE(frame->accessibleName(), QLatin1String(f.caption));
        }
        auto check_font = [](QWidget* w, qreal pt) {
            QVERIFY2(w->font().bold(), qPrintable(w->objectName()));
            QCOMPARE(w->font().pointSizeF(), pt);
            QCOMPARE(w->font().family(), QStringLiteral("Times New Roman"));
        };
        check_font(find<QPushButton>("cmd_port_open"), 12);
        check_font(find<QLineEdit>("tx_move_position_1"), 12);  // inside "Absolute Motion"
        check_font(find<QGroupBox>("FrameMotion"), 14.25);
        check_font(find<QLabel>("Label22"), 9.75);
        check_font(find<QLabel>("lb_rv_feedback(4)"), 9.75);
    }

    void page_change_while_closed_says_link_first()
    {
        auto* tabs = find<QTabWidget>("SSTab1");
        click_tab(kSetupPage);
        QCOMPARE(tabs->currentIndex(), int(kSetupPage));  // the page stays in front
        QTRY_COMPARE(messages->texts, QStringList{"Link first!"});
        QCOMPARE(find<QLineEdit>("tx_position_settings(3)")->text(), QStringLiteral("0"));
    }

    void servo_light_follows_the_drive()
    {
        sim::SimHarness sim({"--stations", "3"});
        open_on(sim);
        set_station(QStringLiteral("3"));
        QCOMPARE(messages->take(), (QStringList{"Port Open", "Set OK."}));
        QCOMPARE(ui().lb_rv_feedback(4)->text().isEmpty(), false);
        QVERIFY(ui().comm_state_light->isRed());
        QTRY_VERIFY(!ui().mivo_state_light[2]->isRed());
        QTest::keyClicks(ui().tx_command, QStringLiteral("EN 1"));
        QTest::keyClick(ui().tx_command, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(ui().mivo_state_light[2]->isRed(), 1500);  // "SVON"
        QVERIFY(!ui().mivo_state_light[0]->isRed());                        // "MF"
    }

    void closed_link_greys_the_controls_and_keeps_the_page()
    {
        sim::SimHarness sim({"--stations", "3"});
        open_on(sim);
        QVERIFY(!ui().cmd_port_open->isEnabled());
        QVERIFY(ui().cmd_search_station->isEnabled() && ui().cmd_set_station->isEnabled());
        QTest::mouseClick(ui().cmd_port_close, Qt::LeftButton);
        QCOMPARE(messages->take(), (QStringList{"Port Open", "Port Close"}));
        QVERIFY(!ui().comm_state_light->isRed());
        QVERIFY(ui().cmd_port_open->isEnabled());
        QVERIFY(!ui().cmd_search_station->isEnabled() && !ui().cmd_set_station->isEnabled());
        QVERIFY(!ui().SSTab1->isEnabled());
        // A disabled tab control keeps its page, even when assistive
        // technology asks for another one.
        ui().SSTab1->setCurrentIndex(kSetupPage);
        QCOMPARE(ui().SSTab1->currentIndex(), int(kTerminalPage));
        QTest::qWait(20);
        QVERIFY(messages->texts.isEmpty());
    }

    // The "Terminal" page.

    void terminal_keys_reach_the_drive_and_the_pane()
    {
        sim::SimHarness sim({"--stations", "1,5"});
        open_on(sim);
        messages->take();
        TranscriptBox* pane = ui().tx_response;

        // "Send" with an empty box: a CR alone, and station 0 does not
        // answer. The pane shows one line break per CR LF.
        QTest::mouseClick(ui().cmd_send_command, Qt::LeftButton);
        QCOMPARE(received_lines(sim), QStringList{""});
        QCOMPARE(pane->text(), QStringLiteral("\r\n"));
        QCOMPARE(pane->toPlainText(), QStringLiteral("\n"));

        // Keys typed into "Command" and Return: the line goes out, the box
        // empties, and the pane is left at its end with nothing selected.
        QTest::keyClicks(ui().tx_command, QStringLiteral("ST 5"));
        QTest::keyClick(ui().tx_command, Qt::Key_Return);
        QTest::keyClicks(ui().tx_command, QStringLiteral("RD 0 3"));
        QTest::keyClick(ui().tx_command, Qt::Key_Return);
        QCOMPARE(received_lines(sim), (QStringList{"", "ST 5", "RD 0 3"}));
        QVERIFY2(pane->text().startsWith(QStringLiteral("\r\nST 5\r\n>RD 0 3\r\nP3=")), qPrintable(pane->text()));
        QVERIFY(pane->textCursor().atEnd());
        QVERIFY(!pane->textCursor().hasSelection());
        QVERIFY(ui().tx_command->text().isEmpty());
        QVERIFY(messages->texts.isEmpty());

        // "Clean Response" empties the store and the pane.
        QTest::mouseClick(ui().cmd_clean_response, Qt::LeftButton);
        QVERIFY(pane->text().isEmpty());
        QVERIFY(pane->toPlainText().isEmpty());
    }

    void terminal_keys_while_closed()
    {
        QTest::keyClicks(ui().tx_command, QStringLiteral("ab"));
        QCOMPARE(messages->take(), (QStringList{"Link First!", "Link First!"}));
        QCOMPARE(ui().tx_command->text(), QStringLiteral("ab"));  // the keys still reach the box
        QTest::keyClick(ui().tx_command, Qt::Key_Tab);  // leaving the box is no typing
        QVERIFY(messages->texts.isEmpty());
        QTest::keyClick(ui().tx_command, Qt::Key_Return);
        QCOMPARE(messages->take(), QStringList{"Link First!"});
        QCOMPARE(ui().tx_command->text(), QStringLiteral("ab"));
        QVERIFY(ui().tx_response->text().isEmpty());
    }

    void terminal_pane_keeps_a_scrollback_and_short_lines()
    {
        TranscriptBox box;
        // A long run without a line end is shown in pieces; the text stays exact.
        const QString run(2 * TranscriptBox::kShownLineChars + 10, u'U');
        box.append(QStringLiteral("RV 0\r\n") + run + QStringLiteral("\r>"));
        QCOMPARE(box.text(), QStringLiteral("RV 0\r\n") + run + QStringLiteral("\r>"));
        const QStringList shown = box.toPlainText().split(u'\n');
        QCOMPARE(shown.size(), 1 + 3 + 1);
        for (const QString& line : shown)
            QVERIFY(line.size() <= TranscriptBox::kShownLineChars);
        QCOMPARE(shown.mid(1, 3).join(QString()), run);

        // Beyond the scrollback the oldest text goes, in the store and on the pane.
        const QString chunk = QString(999, u'x') + u'\r';
        for (qsizetype kept = 0; kept < 2 * TranscriptBox::kKeptChars; kept += chunk.size())
            box.append(chunk);
        box.append(QStringLiteral("last>"));
        QVERIFY(box.text().size() <= TranscriptBox::kKeptChars + TranscriptBox::kKeptChars / 4);
        QVERIFY(box.text().endsWith(chunk + QStringLiteral("last>")));
        QVERIFY(!box.text().contains(u'U'));
        QVERIFY(box.document()->blockCount() <= TranscriptBox::kShownLines);
        QVERIFY(box.toPlainText().endsWith(QStringLiteral("\nlast>")));
    }

    // "Search Station".

    void search_buttons_follow_the_sweep_and_the_link()
    {
        sim::SimHarness sim({"--stations", "5"});
        open_on(sim);
        messages->take();
        QComboBox* stations = ui().cbb_station_num;
        stations->setEditText(QStringLiteral("9"));

        // While the sweep runs, its own button and the station choice wait,
        // and the box shows the station being probed.
        bool disabled_during_sweep = false;
        QObject during;
        QTimer::singleShot(500, &during, [&] {
            disabled_during_sweep = !ui().cmd_search_station->isEnabled() && !ui().cmd_set_station->isEnabled() &&
                                    !stations->currentText().isEmpty() && stations->currentText() != u"9";
        });
        // "Search Station" comes back only once "Search finished." is closed.
        bool disabled_while_message_shown = false;
        messages->on_message = [&](const QString&) {
            disabled_while_message_shown = !ui().cmd_search_station->isEnabled();
        };
        QVERIFY(ui().cmd_search_station->isEnabled());
        QTest::mouseClick(ui().cmd_search_station, Qt::LeftButton);
        messages->on_message = nullptr;

        QCOMPARE(messages->take(), QStringList{"Search finished."});
        QVERIFY(disabled_during_sweep);
        QVERIFY(disabled_while_message_shown);
        QVERIFY(ui().cmd_search_station->isEnabled());
        QVERIFY(ui().cmd_set_station->isEnabled());
        QStringList listed;
        for (int i = 0; i < stations->count(); ++i)
            listed << stations->itemText(i);
        QCOMPARE(listed, (QStringList{"5", "32"}));
        QCOMPARE(stations->currentText(), QString());

        // "Close" in the middle of a sweep: the search is unusable until
        // the next "Open".
        QTimer::singleShot(1200, &during, [&] { ui().cmd_port_close->click(); });
        QTest::mouseClick(ui().cmd_search_station, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList{"Port Close"});
        QVERIFY(!ui().cmd_search_station->isEnabled());
        QCOMPARE(stations->count(), 0);
        open_on(sim);
        QCOMPARE(messages->take(), QStringList{"Port Open"});
        QVERIFY(ui().cmd_search_station->isEnabled());
    }

    void station_and_option_boxes_do_not_complete_typed_text()
    {
        // Completion only acts in the box that has the keyboard focus.
        auto type_into = [this](QComboBox* box, const QString& text) {
            form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(form));
            box->setEditText(QString());
            box->setFocus();
            QTRY_VERIFY(box->lineEdit()->hasFocus());
            QTest::keyClicks(box->lineEdit(), text);
        };
        sim::SimHarness sim({"--stations", "3,5"});
        open_on(sim);
        QCOMPARE(messages->take(), QStringList{"Port Open"});
        sim.clear_log();
        ui().cbb_station_num->addItems({"0", "5", "32"});
        type_into(ui().cbb_station_num, QStringLiteral("3"));
        QCOMPARE(ui().cbb_station_num->currentText(), QStringLiteral("3"));
        QTest::mouseClick(ui().cmd_set_station, Qt::LeftButton);
        QCOMPARE(received_lines(sim).mid(0, 2), (QStringList{"ST 3", "ST 3"}));
        QCOMPARE(console().vars().station_num, qint16(3));

        // Neither do the port box and the option boxes complete.
        type_into(ui().cbb_port_num, QStringLiteral("1"));
        QCOMPARE(ui().cbb_port_num->currentText(), QStringLiteral("1"));
        click_tab(kConfigPage);
        QTest::qWait(200);  // the page reads the configuration word
        type_into(ui().cbb_config[1], QStringLiteral("16"));
        QCOMPARE(ui().cbb_config[1]->currentText(), QStringLiteral("16"));
    }

    void tab_control_follows_the_selection_and_keeps_its_page()
    {
        QTabWidget* tabs = ui().SSTab1;
        const auto pages_available = [tabs](std::initializer_list<bool> expected) {
            int i = 0;
            for (bool e : expected)
                if (tabs->isTabEnabled(i++) != e)
                    return false;
            return true;
        };
        sim::SimHarness sim({"--stations", "3,5"});
        open_on(sim);
        set_station(QStringLiteral("5"));
        QCOMPARE(messages->take(), (QStringList{"Port Open", "Set OK."}));
        QVERIFY(tabs->isEnabled());
        QVERIFY(pages_available({true, true, true, true}));

        click_tab(kSetupPage);
        QTRY_COMPARE(tabs->currentIndex(), int(kSetupPage));
        QTest::qWait(50);  // the page's own reads
        messages->take();
        sim.clear_log();
        int handler_runs = 0;
        QObject watching;
        connect(tabs, &QTabWidget::currentChanged, &watching, [&] { ++handler_runs; });

        // Broadcast with "Setup" in front: it stays in front, unavailable,
        // and no page handler runs.
        set_station(QStringLiteral("32"));
        QTest::qWait(100);
        QCOMPARE(received_lines(sim), (QStringList{"ST 32", "ST 32"}));
        QCOMPARE(tabs->currentIndex(), int(kSetupPage));
        QVERIFY(tabs->isEnabled());
        QVERIFY(pages_available({true, true, false, false}));
        QCOMPARE(handler_runs, 0);
        QCOMPARE(messages->take(), (QStringList{"Switch to Broadcast Mode.", "States wiil not response!"}));
        // Why, for a screen reader.
        QVERIFY(tabs->tabToolTip(kSetupPage).contains(QStringLiteral("broadcast")));
        QVERIFY(tabs->tabToolTip(kConfigPage).contains(QStringLiteral("broadcast")));

        // A click on an unavailable tab changes nothing.
        click_tab(kTerminalPage);
        QTRY_COMPARE(tabs->currentIndex(), int(kTerminalPage));
        click_tab(kConfigPage);
        QTest::qWait(50);
        QCOMPARE(tabs->currentIndex(), int(kTerminalPage));
        QVERIFY(messages->texts.isEmpty());

        // Leaving broadcast mode opens the drive pages again.
        set_station(QStringLiteral("3"));
        QCOMPARE(messages->take(), QStringList{"Set OK."});
        QVERIFY(pages_available({true, true, true, true}));
        QVERIFY(tabs->tabToolTip(kSetupPage).isEmpty());

        // "Close" closes the whole tab control; a new "Open" leaves it closed
        // until a station is selected.
        QTest::mouseClick(ui().cmd_port_close, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList{"Port Close"});
        QVERIFY(!tabs->isEnabled());
        open_on(sim);
        QCOMPARE(messages->take(), QStringList{"Port Open"});
        QVERIFY(!tabs->isEnabled());
        set_station(QStringLiteral("3"));
        QCOMPARE(messages->take(), QStringList{"Set OK."});
        QVERIFY(tabs->isEnabled());
    }

    void typed_keys_mark_the_box_until_enter_writes_it()
    {
        const auto is_red = [](const QLineEdit* box) {
            return box->palette().color(QPalette::Text) == QColor(255, 0, 0)
                   && box->accessibleDescription() == QStringLiteral("not written");
        };
        // Back to the system's colour, and following it from now on.
        const auto has_system_colour = [](const QLineEdit* box) {
            return !box->testAttribute(Qt::WA_SetPalette)
                   && box->palette().color(QPalette::Text) == QApplication::palette(box).color(QPalette::Text)
                   && box->accessibleDescription().isEmpty();
        };
        sim::SimHarness sim({"--stations", "0"});
        // Clears the box and types into it key by key; every key marks it red
        // and sends nothing until Enter.
        const auto type_and_enter = [&](QLineEdit* box, const QString& text) {
            box->clear();
            sim.clear_log();
            for (const QChar ch : text) {
                QTest::keyClick(box, ch.toLatin1());
                QVERIFY(is_red(box));
            }
            QVERIFY(sim.rx_lines().empty());
            QTest::keyClick(box, Qt::Key_Return);
        };
        open_on(sim);
        set_station(QStringLiteral("0"));
        click_tab(kSetupPage);
        QTRY_COMPARE(ui().SSTab1->currentIndex(), int(kSetupPage));
        QTest::qWait(50);  // the page's own reads
        QCOMPARE(messages->take(), (QStringList{"Port Open", "Set OK."}));
        QLineEdit* p4 = ui().tx_position_settings[4];

        type_and_enter(p4, QStringLiteral("123"));
        QCOMPARE(received_lines(sim), QStringList{"WT 0 4 123"});
        QVERIFY(has_system_colour(p4));
        QTest::keyClick(p4, Qt::Key_Backspace);  // any key marks the box again
        QVERIFY(is_red(p4));
        QCOMPARE(p4->text(), QStringLiteral("12"));
        type_and_enter(p4, QStringLiteral("0012"));
        QCOMPARE(received_lines(sim), QStringList{"WT 0 4 12"});
        QCOMPARE(p4->text(), QStringLiteral("0012"));  // left as typed
        QVERIFY(has_system_colour(p4));
        type_and_enter(ui().tx_v_group[0], QStringLiteral("-7"));
        QCOMPARE(received_lines(sim), QStringList{"WT 1 0 -7"});
        QVERIFY(has_system_colour(ui().tx_v_group[0]));

        // Not a 16-bit number: nothing goes out and the box stays red.
        type_and_enter(p4, QStringLiteral("12a"));
        QVERIFY(sim.rx_lines().empty());
        QVERIFY(is_red(p4));
        QCOMPARE(messages->take(), QStringList{"P4 was not written: type a number from -32768 to 32767."});

        // "Save" tells in a modal box once the drive has had its time.
        sim.clear_log();
        double shown_at = 0;
        messages->on_message = [&](const QString&) { shown_at = sim::SimHarness::now_ms(); };
        QTest::mouseClick(ui().cmd_setup_save, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList{"Save OK."});
        QCOMPARE(received_lines(sim), QStringList{"SV"});
        double sent_at = -1;
        for (const auto& e : sim.wire_log())
            if (e.dir == sim::WireEvent::Rx && e.bytes == "SV")
                sent_at = e.t_ms;
        QVERIFY(sent_at >= 0 && shown_at - sent_at >= 1500 - kStampSlackMs);
        QVERIFY(console().Timer1().isActive());
    }

    void keys_reach_a_parameter_box_while_closed()
    {
        click_tab(kSetupPage);
        QTRY_COMPARE(messages->texts, QStringList{"Link first!"});
        messages->take();
        QLineEdit* p0 = ui().tx_position_settings[0];
        QTest::keyClicks(p0, QStringLiteral("12"));
        QTest::keyClick(p0, Qt::Key_Return);
        QCOMPARE(messages->take(), (QStringList{"Link First!", "Link First!", "Link First!"}));
        QCOMPARE(p0->text(), QStringLiteral("012"));  // the keys still reach the box
        QVERIFY(!p0->testAttribute(Qt::WA_SetPalette));
        QCOMPARE(p0->palette().color(QPalette::Text), QApplication::palette(p0).color(QPalette::Text));
        QVERIFY(p0->accessibleDescription().isEmpty());
        QTest::mouseClick(ui().cmd_setup_save, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList{"Link first!"});
        QTest::mouseClick(ui().cmd_config_apply, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList{"Link First!"});
    }

    void option_box_typed_into_names_no_item()
    {
        sim::SimHarness sim({"--stations", "0"});
        open_on(sim);
        set_station(QStringLiteral("0"));
        click_tab(kConfigPage);
        QTRY_COMPARE(ui().SSTab1->currentIndex(), int(kConfigPage));
        QTest::qWait(50);  // the page reads the configuration word
        QCOMPARE(messages->take(), (QStringList{"Port Open", "Set OK."}));
        QCOMPARE(ui().lb_rv_feedback(3)->text(), QStringLiteral("33"));  // the simulated drive's word

        // Text that is none of the box's items writes nothing.
        ui().cbb_config[3]->setEditText(QStringLiteral("MF open"));
        sim.clear_log();
        QTest::mouseClick(ui().cmd_config_apply, Qt::LeftButton);
        QCOMPARE(messages->take(),
                 QStringList{"Choose an item of the list for \"MF Ouput Mode\"; nothing was written."});
        QVERIFY(sim.rx_lines().empty());
        // A read puts the drive's item back into it.
        click_tab(kTerminalPage);
        QTRY_COMPARE(ui().SSTab1->currentIndex(), int(kTerminalPage));
        click_tab(kConfigPage);
        QTRY_COMPARE(ui().SSTab1->currentIndex(), int(kConfigPage));
        QTest::qWait(50);
        QCOMPARE(ui().cbb_config[3]->currentText(), QStringLiteral("MF short when trigger"));
    }

    // The "Motion" page.

    // At load the tab control is usable, so the "Motion" buttons reach their
    // handlers and say "Link first!"; "Stop" starts out disabled, and a click
    // on it reaches nothing. Once a station is selected each servo button
    // sends its line.
    void motion_buttons_reach_their_handlers()
    {
        sim::SimHarness sim({"--stations", "3"});
        click_tab(kMotionPage);
        QTRY_COMPARE(messages->texts, QStringList{"Link first!"});  // from the page change
        QCOMPARE(ui().SSTab1->currentIndex(), int(kMotionPage));
        messages->take();
        QVERIFY(ui().cmd_start_move->isEnabled());
        QVERIFY(!ui().cmd_stop_move->isEnabled());
        for (QPushButton* b : {ui().cmd_mivo_enable, ui().cmd_mivo_disable, ui().cmd_mivo_home, ui().cmd_start_move,
                               ui().cmd_stop_move})
            QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList(4, "Link first!"));
        QVERIFY(sim.rx_lines().empty());

        open_on(sim);
        set_station(QStringLiteral("3"));
        QCOMPARE(messages->take(), (QStringList{"Port Open", "Set OK."}));
        console().Timer1().stop();
        sim.clear_log();
        QTest::mouseClick(ui().cmd_mivo_enable, Qt::LeftButton);
        QTest::mouseClick(ui().cmd_mivo_disable, Qt::LeftButton);
        QCOMPARE(received_lines(sim), (QStringList{"EN 1", "EN 0"}));
        QVERIFY(messages->texts.isEmpty());
    }

    // While a cycle runs only "Motion" can be reached: a click on the
    // "Terminal" tab leaves it in front, and a click on the disabled "Start
    // Move" starts no second cycle. "Stop" ends the cycle and ticks both
    // "FeedBack" boxes.
    void cycle_keeps_motion_in_front_and_its_buttons_follow()
    {
        sim::SimHarness sim({"--stations", "3"});
        on_motion_page(sim);
        ui().cb_ask_pfbk->setChecked(false);
        ui().cb_ask_states->setChecked(false);

        const auto motion_lines = [&] {
            QStringList lines;
            for (const QString& line : received_lines(sim))
                if (line.startsWith(u"VA") || line.startsWith(u"MA"))
                    lines << line;
            return lines;
        };
        bool acted = false;
        bool start_during = true, stop_during = false;
        std::array<bool, 4> tabs_during{};
        int front_after_terminal_click = -1;
        QTimer step;
        connect(&step, &QTimer::timeout, form, [&] {
            if (acted || motion_lines().value(1) != u"MA 1000")
                return;
            acted = true;
            start_during = ui().cmd_start_move->isEnabled();
            stop_during = ui().cmd_stop_move->isEnabled();
            for (int i = 0; i < 4; ++i)
                tabs_during[std::size_t(i)] = ui().SSTab1->isTabEnabled(i);
            click_tab(kTerminalPage);
            QTest::qWait(20);
            front_after_terminal_click = ui().SSTab1->currentIndex();
            QTest::mouseClick(ui().cmd_start_move, Qt::LeftButton);
            QTest::mouseClick(ui().cmd_stop_move, Qt::LeftButton);
        });
        step.start(2);
        QTest::mouseClick(ui().cmd_start_move, Qt::LeftButton);
        step.stop();

        QVERIFY(acted);
        QVERIFY(!start_during);
        QVERIFY(stop_during);
        QCOMPARE(tabs_during, (std::array<bool, 4>{false, true, false, false}));
        QCOMPARE(front_after_terminal_click, int(kMotionPage));
        QCOMPARE(motion_lines(), (QStringList{"VA 2", "MA 1000", "MA 0"}));
        QVERIFY(messages->texts.isEmpty());

        QCOMPARE(ui().SSTab1->currentIndex(), int(kMotionPage));
        QVERIFY(ui().cmd_start_move->isEnabled());
        QVERIFY(!ui().cmd_stop_move->isEnabled());
        for (int i = 0; i < 4; ++i)
            QVERIFY(ui().SSTab1->isTabEnabled(i));
        QVERIFY(ui().cb_ask_pfbk->isChecked() && ui().cb_ask_states->isChecked());
    }

    // "Close" in the middle of a cycle: its box comes up inside the cycle's
    // wait, and the cycle goes no further. The buttons keep the flags of an
    // idle console; it is the tab control as a whole that the closed link
    // disables.
    void close_during_a_cycle_through_the_window()
    {
        sim::SimHarness sim({"--stations", "3"});
        on_motion_page(sim);

        double closed_at = 0;
        std::size_t lines_at_close = 0, lines_while_up = 0;
        messages->on_message = [&](const QString&) { lines_while_up = sim.rx_lines().size(); };
        QTimer step;
        connect(&step, &QTimer::timeout, form, [&] {
            const QStringList lines = received_lines(sim);
            if (closed_at > 0 || !lines.contains(QStringLiteral("MA 0")))
                return;
            closed_at = sim::SimHarness::now_ms();
            lines_at_close = lines.size();
            QTest::mouseClick(ui().cmd_port_close, Qt::LeftButton);
        });
        step.start(2);
        QTest::mouseClick(ui().cmd_start_move, Qt::LeftButton);
        step.stop();
        messages->on_message = nullptr;

        QVERIFY(closed_at > 0);
        QCOMPARE(messages->take(), QStringList{"Port Close"});
        QCOMPARE(lines_while_up, lines_at_close);
        for (const auto& e : sim.wire_log())
            QVERIFY2(e.dir == sim::WireEvent::Tx || e.t_ms <= closed_at, e.bytes.c_str());
        QCOMPARE(console().vars().move_running, kFalse);
        QVERIFY(!ui().cmd_start_move->testAttribute(Qt::WA_ForceDisabled));
        QVERIFY(ui().cmd_stop_move->testAttribute(Qt::WA_ForceDisabled));
        QVERIFY(!ui().SSTab1->isEnabled());
        QVERIFY(ui().cmd_port_open->isEnabled());
        QVERIFY(!ui().cmd_search_station->isEnabled() && !ui().cmd_set_station->isEnabled());
        QVERIFY(!console().Timer1().isActive());
    }

    // A message box is modal and holds the handler that showed it: while
    // "Set OK." is up the selection has not gone on (the tab control that
    // the earlier "Close" disabled is still disabled), a click on the window
    // ("Close") does not get through, and the box's own event loop runs (it
    // is read and closed from a timer).
    void message_box_holds_its_handler_and_blocks_the_window()
    {
        QVERIFY(QTest::qWaitForWindowExposed(form));  // clicks go through the window system
        sim::SimHarness sim({"--stations", "3"});
        open_on(sim);
        QTest::mouseClick(ui().cmd_port_close, Qt::LeftButton);
        open_on(sim);
        QCOMPARE(messages->take(), (QStringList{"Port Open", "Port Close", "Port Open"}));
        QVERIFY(!ui().SSTab1->isEnabled());
        bool modal = false, tabs_while_up = true, linked_after_click = false;
        QStringList got_through;
        messages->on_message = [&](const QString& text) {
            if (text != u"Set OK.")
                return;
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            modal = box && box->isModal() && box->text() == text;
            tabs_while_up = ui().SSTab1->isEnabled();
            // Should the click get through, its own box is closed here: the
            // catcher is busy with this one.
            QTimer other;
            connect(&other, &QTimer::timeout, form, [&] {
                auto* up = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (up && up != box) {
                    got_through << up->text();
                    up->button(QMessageBox::Ok)->click();
                }
            });
            other.start(2);
            // As a user clicks: through the window system, which holds
            // input back from a window behind a modal box.
            QPushButton* close = ui().cmd_port_close;
            const QPoint at = close->mapTo(form, close->rect().center());
            QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, at);
            QTest::qWait(20);
            linked_after_click = console().vars().is_linked == kTrue;
        };
        set_station(QStringLiteral("3"));
        messages->on_message = nullptr;

        QCOMPARE(messages->take(), QStringList{"Set OK."});
        QVERIFY(modal);
        QVERIFY(!tabs_while_up);
        QVERIFY2(got_through.isEmpty(), qPrintable(got_through.join(u'|')));
        QVERIFY(linked_after_click);
        QVERIFY(console().MSComm1().isOpen());
        QVERIFY(ui().SSTab1->isEnabled());  // the selection went on after OK
        // Without a box up the same click gets through.
        QPushButton* close = ui().cmd_port_close;
        QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, close->mapTo(form, close->rect().center()));
        QCOMPARE(messages->take(), QStringList{"Port Close"});
        QVERIFY(!console().MSComm1().isOpen());
    }

    // Closing the window in the middle of a cycle: the cycle ends at once,
    // nothing more goes out, no box comes up, and the port and the poll are
    // off.
    void closing_the_window_ends_a_running_cycle()
    {
        sim::SimHarness sim({"--stations", "3"});
        on_motion_page(sim);
        ui().tx_delay_1->setText(QStringLiteral("60000"));  // the close comes in this dwell

        double closed_at = 0;
        QTimer::singleShot(300, form, [&] {
            closed_at = sim::SimHarness::now_ms();
            form->close();
        });
        QTest::mouseClick(ui().cmd_start_move, Qt::LeftButton);  // returns: the cycle ended

        QVERIFY(closed_at > 0);
        QVERIFY(!form->isVisible());
        for (const auto& e : sim.wire_log())
            QVERIFY2(e.dir == sim::WireEvent::Tx || e.t_ms <= closed_at, e.bytes.c_str());
        QStringList moves;
        for (const QString& line : received_lines(sim))
            if (line.startsWith(u"VA") || line.startsWith(u"MA"))
                moves << line;
        QCOMPARE(moves, (QStringList{"VA 2", "MA 1000"}));
        QTest::qWait(50);
        QVERIFY2(messages->texts.isEmpty(), qPrintable(messages->texts.join(u'|')));
        QVERIFY(!console().MSComm1().isOpen());
        QVERIFY(!console().Timer1().isActive());
        QCOMPARE(console().vars().is_linked, kFalse);
        QCOMPARE(console().vars().move_running, kFalse);
    }

    // A drive that streams without pause: what the terminal and the value
    // boxes are left with stays bounded; the transcript keeps at most its
    // own share of text.
    void window_boxes_stay_bounded_under_a_streaming_drive()
    {
        sim::SimHarness sim({"--stations", "3", "--burst", "200000"});
        open_on(sim);
        set_station(QStringLiteral("3"));
        QTRY_VERIFY_WITH_TIMEOUT(received_lines(sim).contains(QStringLiteral("RV 4")), 10000);
        console().Timer1().stop();
        for (int i = 0; i < 3; ++i) {
            QTest::keyClicks(ui().tx_command, QStringLiteral("RD 0 3"));
            QTest::keyClick(ui().tx_command, Qt::Key_Return);
        }
        form->Timer1_Timer();
        QTest::qWait(100);
        QVERIFY(ui().tx_response->text().size() <= TranscriptBox::kKeptChars + TranscriptBox::kKeptChars / 4);
        for (int n : {0, 3, 4})
            QVERIFY(ui().lb_rv_feedback(n)->text().size() <= SerialPort::kReadCapBytes);
    }

    // The "Drive" menu.

    void drive_menu_backs_up_compares_and_restores()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("drive5.mivo"));
        sim::SimHarness sim({"--stations", "5"});
        QVERIFY(!ui().mnu_drive_backup->isEnabled());
        open_on(sim);
        set_station(QStringLiteral("5"));
        QCOMPARE(messages->take(), (QStringList{"Port Open", "Set OK."}));
        QVERIFY(ui().mnu_drive_backup->isEnabled() && ui().mnu_drive_restore->isEnabled());

        messages->file_to_choose = file;
        ui().mnu_drive_backup->trigger();
        QCOMPARE(messages->take(), (QStringList{QStringLiteral("Station 5 backed up to %1.").arg(file)}));
        QVERIFY(QFile::exists(file));

        // A value changed on the "Setup" page shows in the compare.
        click_tab(kSetupPage);
        QTRY_COMPARE(ui().SSTab1->currentIndex(), int(kSetupPage));
        QTest::qWait(50);
        QLineEdit* p3 = ui().tx_position_settings[3];
        p3->clear();
        QTest::keyClicks(p3, QStringLiteral("77"));
        QTest::keyClick(p3, Qt::Key_Return);
        ui().mnu_drive_compare->trigger();
        QCOMPARE(messages->take(), QStringList{"1 entry differs."});

        // Restore asks whether to save before it writes anything, then puts
        // it back and saves it.
        const auto writes = [&] { return received_lines(sim).filter(QRegularExpression(QStringLiteral("^(WT|SV)"))); };
        const QString save_question = QStringLiteral("Save (\"SV\") once the drive has taken every entry?");
        messages->answer_yes = true;
        sim.clear_log();
        std::optional<QStringList> written_when_asked;
        messages->on_message = [&](const QString& text) {
            if (text == save_question)
                written_when_asked = writes();
        };
        ui().mnu_drive_restore->trigger();
        messages->on_message = nullptr;
        const QStringList said = messages->take();
        QCOMPARE(said.size(), 2);
        QCOMPARE(said[0], save_question);
        QVERIFY(written_when_asked && written_when_asked->isEmpty());  // nothing written before the answer
        QCOMPARE(said[1], QStringLiteral("Written: P3. Saved in the drive."));
        QCOMPARE(p3->text(), QStringLiteral("120"));
        QVERIFY(received_lines(sim).contains(QStringLiteral("WT 0 3 120")));
        QVERIFY(console().Timer1().isActive());

        // Closing the window in the middle of a restore ends it after the
        // line in flight: no save, no message in the way; the question came
        // before.
        QFile four(file);
        QVERIFY(four.open(QIODevice::WriteOnly));
        four.write("P0=9\nP1=9\nP2=9\nP3=9\n");
        four.close();
        sim.clear_log();
        QTimer closer;
        connect(&closer, &QTimer::timeout, form, [&] {
            if (writes().size() >= 2)
                form->close();
        });
        closer.start(0);
        ui().mnu_drive_restore->trigger();
        QVERIFY(!form->isVisible());
        QCOMPARE(messages->take(), QStringList{save_question});
        QCOMPARE(writes(), (QStringList{"WT 0 0 9", "WT 0 1 9"}));
    }

    // The "Line" menu: a longer reply wait for a slow line, and a line that
    // goes away and comes back under the same name while the window watches.
    void the_line_menu_sets_the_reply_wait_and_brings_a_line_back()
    {
        messages->on_message = [](const QString&) {
            if (auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget()))
                d->setIntValue(120);
        };
        ui().mnu_line_reply_wait->trigger();
        messages->on_message = nullptr;
        QCOMPARE(console().exchange().reply_wait_ms(), 120);
        QVERIFY(ui().mnu_line_reply_wait->text().contains(QStringLiteral("120")));

        QTemporaryDir dir;
        const std::string link = dir.filePath(QStringLiteral("line")).toStdString();
        auto sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "5", "--link", link});
        QVERIFY(!ui().mnu_line_reconnect->isChecked());
        ui().mnu_line_reconnect->trigger();
        open_on(*sim);
        set_station(QStringLiteral("5"));
        ui().cb_ask_pfbk->setChecked(true);
        QTRY_VERIFY(sim->rx_lines().size() > 3);
        messages->take();
        sim.reset();
        QTRY_VERIFY(ui().cmd_port_open->isEnabled());
        QTRY_COMPARE(messages->texts.size(), 1);
        QVERIFY(messages->texts.first().contains(QStringLiteral("opens it again")));
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "5", "--link", link});
        QTRY_VERIFY_WITH_TIMEOUT(sim->rx_lines().size() >= 4, 10000);
        QCOMPARE(QString::fromStdString(sim->rx_lines().front()), QStringLiteral("ST 5"));
        QTRY_VERIFY(console().Timer1().isActive() && ui().cmd_port_close->isEnabled());
        const auto polls = [&] {
            const std::vector<std::string> lines = sim->rx_lines();
            return std::count(lines.begin(), lines.end(), std::string("RV 0"));
        };
        QTRY_VERIFY(polls() >= 2);
        QCOMPARE(messages->texts.size(), 1);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"

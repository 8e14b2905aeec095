// The window as it opens, before any click.
#include "window/form1.h"
#include "window/light.h"
#include "window/transcript_box.h"
#include "window/value_box.h"

#include "../support/message_catcher.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

using namespace mivo;

class TestWindow : public QObject {
    Q_OBJECT

    template <typename T>
    T* find(const QString& name)
    {
        auto* w = form->findChild<T*>(name);
        if (!w)
            qWarning("no control named %s", qPrintable(name));
        return w;
    }

    std::unique_ptr<Form1> form;

private slots:
    void init()
    {
        form = std::make_unique<Form1>();
        form->show();
    }
    void cleanup() { form.reset(); }

    void caption_and_size()
    {
        QCOMPARE(form->windowTitle(), QStringLiteral("MIVO UI - V1.2"));
        QCOMPARE(form->size(), QSize(701, 424));
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
        const FormVariables& v = form->vars();
        QCOMPARE(v.is_linked, kFalse);
        QCOMPARE(v.move_running, kFalse);
        QCOMPARE(v.station_num, qint16(0));
        QVERIFY(v.rx_text.isEmpty() && v.last_command.isEmpty() && v.reply_value.isEmpty());
        QVERIFY(!form->controls().Timer1->isActive());
        QCOMPARE(form->controls().Timer1->interval(), 500);
        QVERIFY(!form->MSComm1().isOpen());
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
        QCOMPARE(QAccessible::queryAccessibleInterface(form.get())->role(), QAccessible::Window);
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
        MessageCatcher messages;
        auto* tabs = find<QTabWidget>("SSTab1");
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(kSetupPage).center());
        QCOMPARE(tabs->currentIndex(), int(kSetupPage));  // the page stays in front
        QTRY_COMPARE(messages.texts, QStringList{"Link first!"});
        QCOMPARE(find<QLineEdit>("tx_position_settings(3)")->text(), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"

// Opening and closing the serial port from the window, against a real
// pseudo-terminal.
#include "window/form1.h"
#include "window/light.h"

#include "../support/console_fixture.h"
#include "../support/pty_pair.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <limits>

using namespace mivo;

class TestSerialLink : public QObject, ConsoleFixture {
    Q_OBJECT

    void click(QPushButton* button)
    {
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void open(const QString& port)
    {
        ui().cbb_port_num->setEditText(port);
        click(ui().cmd_port_open);
    }

    void verify_closed_controls()
    {
        QCOMPARE(form->vars().is_linked, kFalse);
        QVERIFY(!form->MSComm1().isOpen());
        QCOMPARE(ui().comm_state_light->fillColor(), Light::kGreen);
        QVERIFY(ui().cmd_port_open->isEnabled());
        QVERIFY(!ui().cmd_port_close->isEnabled());
        QVERIFY(!ui().cbb_station_num->isEnabled());
        QVERIFY(!ui().cmd_search_station->isEnabled());
        QVERIFY(!ui().cmd_set_station->isEnabled());
        QVERIFY(!ui().Timer1->isActive());
    }

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    void open_and_close()
    {
        PtyPair line;
        QVERIFY(line.ok());
        open(line.path());
        QCOMPARE(messages->take(), QStringList{"Port Open"});
        QCOMPARE(form->vars().is_linked, kTrue);
        QVERIFY(form->MSComm1().isOpen());
        QCOMPARE(ui().comm_state_light->fillColor(), Light::kRed);
        QVERIFY(!ui().cmd_port_open->isEnabled());
        QVERIFY(ui().cmd_port_close->isEnabled());
        QVERIFY(ui().cbb_station_num->isEnabled());
        QVERIFY(ui().cmd_search_station->isEnabled());
        QVERIFY(ui().cmd_set_station->isEnabled());
        // Opening neither starts the poll nor touches the tab control.
        QVERIFY(!ui().Timer1->isActive());
        QVERIFY(ui().SSTab1->isEnabled());
        QVERIFY(line.receive(50).isEmpty());  // opening sends nothing

        click(ui().cmd_port_close);
        QCOMPARE(messages->take(), QStringList{"Port Close"});
        verify_closed_controls();
        QVERIFY(!ui().SSTab1->isEnabled());
        // A disabled tab control keeps its page, even when assistive
        // technology asks for another one.
        ui().SSTab1->setCurrentIndex(kSetupPage);
        QCOMPARE(ui().SSTab1->currentIndex(), int(kTerminalPage));
        QTest::qWait(20);
        QVERIFY(messages->texts.isEmpty());

        // A new open does not bring the tab control back.
        open(line.path());
        QCOMPARE(messages->take(), QStringList{"Port Open"});
        QVERIFY(!ui().SSTab1->isEnabled());
    }

    void close_stops_the_poll_timer()
    {
        PtyPair line;
        open(line.path());
        ui().Timer1->start();
        click(ui().cmd_port_close);
        QVERIFY(!ui().Timer1->isActive());
        form->close_timer1();
        QVERIFY(!ui().Timer1->isActive());
    }

    void guards_when_already_in_state()
    {
        // The buttons are disabled in these states; the handlers guard anyway.
        form->cmd_port_close_Click();
        QCOMPARE(messages->take(), QStringList{"Port Close"});
        verify_closed_controls();

        PtyPair line;
        open(line.path());
        messages->take();
        form->cmd_port_open_Click();
        QCOMPARE(messages->take(), QStringList{"Linked"});
        QVERIFY(form->MSComm1().isOpen());
    }

    void failed_open_changes_nothing_then_a_good_one_works()
    {
        open(QStringLiteral("/nonexistent/mivo-port"));
        QCOMPARE(messages->take(), (QStringList{"MIVO CommPort Fail", "CommPort Close"}));
        verify_closed_controls();
        QVERIFY(ui().SSTab1->isEnabled());

        // A number names the platform's numbered port; on a machine without
        // it the open fails the same way.
        if (!QFile::exists(QStringLiteral("/dev/ttyS19"))) {
            open(QStringLiteral("20"));
            QCOMPARE(messages->take(), (QStringList{"MIVO CommPort Fail", "CommPort Close"}));
        }

        // Blanks around a typed path are ignored, as around a number.
        PtyPair line;
        open(QStringLiteral("  %1 ").arg(line.path()));
        QCOMPARE(messages->take(), QStringList{"Port Open"});
        QCOMPARE(form->vars().is_linked, kTrue);
    }

    void peer_hang_up_closes_the_link_once()
    {
        PtyPair line;
        open(line.path());
        messages->take();
        ui().Timer1->start();

        line.hang_up();
        QTRY_COMPARE_WITH_TIMEOUT(form->vars().is_linked, kFalse, 3000);
        verify_closed_controls();
        QVERIFY(!ui().SSTab1->isEnabled());
        QTRY_COMPARE(messages->texts.size(), 1);
        // What happened, not some stale system error.
        QCOMPARE(messages->texts[0], QStringLiteral("CommPort lost: the device hung up or was removed."));

        // A hung-up port left open would raise its error on every pass of
        // the event loop: it is closed, and the user is told once.
        QVERIFY(!form->MSComm1().isOpen());
        QTest::qWait(500);
        QCOMPARE(messages->texts.size(), 1);

        // Reading and writing the closed port does nothing.
        form->exchange().send_mivo_command(QStringLiteral("SV"));
        form->exchange().get_mivo_response(QStringLiteral("RV 0"), QString());
        QVERIFY(form->vars().reply_value.isEmpty());
    }

    void closing_the_window_ends_a_waiting_handler()
    {
        PtyPair line;
        open(line.path());
        messages->take();
        // The drive never ends its homing run; the user closes the window.
        QTimer::singleShot(200, form.get(), [this] { form->close(); });
        form->exchange().send_mivo_command(QStringLiteral("HM"));  // returns: the wait ended
        QCOMPARE(line.receive(), QByteArray("HM\r"));
        form->exchange().send_mivo_command(QStringLiteral("EN 0"));
        // A wait that outlived the window would never return.
        form->exchange().Delay(std::numeric_limits<qint32>::max());
        QVERIFY(line.receive(50).isEmpty());
        QVERIFY(messages->texts.isEmpty());
    }

    void hang_up_noticed_inside_an_exchange()
    {
        PtyPair line;
        open(line.path());
        messages->take();
        line.hang_up();
        // No event runs between the write and the read of this exchange: the
        // read itself finds the port gone.
        form->exchange().get_mivo_response(QStringLiteral("RV 0"), QString());
        QCOMPARE(form->vars().is_linked, kFalse);
        QVERIFY(!form->exchange().link_up());
        QTRY_COMPARE(messages->texts.size(), 1);
    }
};

QTEST_MAIN(TestSerialLink)
#include "tst_serial_link.moc"

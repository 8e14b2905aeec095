// The "Capture" pane: a traced move from the window, its runs overlaid, and
// the images of the plots.
#include "window/capture_pane.h"
#include "window/image_export.h"

#include "../support/console_fixture.h"
#include "../support/sim_line.h"

#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace mivo;

class TestCapture : public QObject, ConsoleFixture {
    Q_OBJECT

    template <typename T>
    T* in_pane(const char* name)
    {
        return form->capture_pane().findChild<T*>(QLatin1String(name));
    }

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    // Refused without the servo; with it the move is traced with the poll
    // off and the controls waiting, and each run is a row of figures.
    void a_capture_from_the_pane()
    {
        sim::SimHarness sim({"--stations", "5", "--accel", "200000", "--ringing", "10,30,40"});
        form->findChild<QAction*>(QStringLiteral("mnu_view_capture"))->trigger();
        QTRY_VERIFY(form->capture_dock()->isVisible());
        auto* capture = in_pane<QPushButton>("cmd_capture");
        QVERIFY(!capture->isEnabled());
        open_on(sim);
        set_station(QStringLiteral("5"));
        messages->take();
        QVERIFY(capture->isEnabled());

        in_pane<QLineEdit>("tx_capture_target")->setText(QStringLiteral("12x"));
        QTest::mouseClick(capture, Qt::LeftButton);
        QVERIFY(form->capture_pane().message().contains(QStringLiteral("Target")));
        in_pane<QLineEdit>("tx_capture_target")->setText(QStringLiteral("800"));
        sim.clear_log();
        QTest::mouseClick(capture, Qt::LeftButton);
        QVERIFY(form->capture_pane().message().contains(QStringLiteral("servo")));
        QCOMPARE(received_lines(sim), QStringList{"RV 2"});
        QCOMPARE(form->capture_pane().runs(), 0);

        QTest::mouseClick(ui().cmd_mivo_enable, Qt::LeftButton);
        in_pane<QLineEdit>("tx_capture_tolerance")->setText(QStringLiteral("1"));
        QTest::qWait(600);  // past a poll tick, so that one would show in the lines
        sim.clear_log();
        bool waited = false;
        QTimer::singleShot(40, this, [&] {
            waited = !capture->isEnabled() && !ui().cmd_set_station->isEnabled() && !console().poll().running();
        });
        QTest::mouseClick(capture, Qt::LeftButton);
        QVERIFY2(form->capture_pane().message().isEmpty(), qPrintable(form->capture_pane().message()));
        QVERIFY(waited);
        QCOMPARE(form->capture_pane().runs(), 1);
        const QStringList lines = received_lines(sim);
        const qsizetype ma = lines.indexOf(QStringLiteral("MA 800"));
        QCOMPARE(lines.mid(0, ma), (QStringList{"RV 2", "VA 2", "RV 0"}));
        QVERIFY(lines.size() - ma > 20);
        QCOMPARE(lines.mid(ma + 1).count(QStringLiteral("RV 0")), lines.size() - ma - 1);
        QTRY_VERIFY(capture->isEnabled());

        in_pane<QLineEdit>("tx_capture_target")->setText(QStringLiteral("0"));
        QTest::mouseClick(capture, Qt::LeftButton);
        auto* table = in_pane<QTableWidget>("capture_table");
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("yes"));
        QVERIFY(in_pane<QPushButton>("cmd_capture_export")->isEnabled());
        QTest::mouseClick(in_pane<QPushButton>("cmd_capture_clear"), Qt::LeftButton);
        QCOMPARE(table->rowCount(), 0);
        QCOMPARE(form->capture_pane().runs(), 0);
    }

    void plots_are_saved_as_images_whole_or_not_at_all()
    {
        QTemporaryDir dir;
        form->findChild<QAction*>(QStringLiteral("mnu_view_capture"))->trigger();
        QTRY_VERIFY(form->capture_dock()->isVisible());
        QWidget* chart = form->capture_pane().findChild<QWidget*>(QStringLiteral("capture_chart"));
        for (const char* name : {"plot.png", "plot.svg"}) {
            const QString path = dir.filePath(QLatin1String(name));
            QCOMPARE(save_image(path, {chart}), QString());
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray head = f.read(8);
            QVERIFY2(QLatin1String(name).endsWith(QLatin1String("svg")) ? head.startsWith("<?xml")
                                                                       : head.startsWith("\x89PNG"),
                     head.constData());
        }
        QVERIFY(!save_image(dir.filePath("none/plot.png"), {chart}).isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("none")));
    }
};

QTEST_MAIN(TestCapture)
#include "tst_capture.moc"

// Station mode driven as an operator drives it: serial numbers scanned into
// the box (text and Enter, as a barcode scanner types them), the verdict
// kept until the next unit, the focus back in the box, a scan during a run
// refused, every unit in the store and found again in "Results...".
#include "results/results_store.h"
#include "results/run_finder.h"
#include "window/results_dialog.h"
#include "window/station_panel.h"

#include "../support/console_fixture.h"
#include "../support/sim_line.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace mivo;

class TestStation : public QObject, ConsoleFixture {
    Q_OBJECT

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    void scanned_units_run_and_are_kept()
    {
        sim::SimHarness sim({"--stations", "5"});
        open_on(sim);
        set_station(QStringLiteral("5"));
        messages->take();
        QTemporaryDir dir;
        const QString recipe = dir.filePath(QStringLiteral("eol.js"));
        const auto write_recipe = [&](const QByteArray& text) {
            QFile f(recipe);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        write_recipe("test.step('p3', function () { test.sleep(300); test.check('P3', drive.read('P3'), {max: 1000}); });");
        auto store = std::make_unique<results::ResultsStore>();
        QCOMPARE(store->open(dir.filePath(QStringLiteral("units.db")), results::ResultsStore::Use::Record), QString());
        auto* panel = new StationPanel(console(), std::move(store),
                                       {.recipe = recipe, .operator_name = QStringLiteral("anna"),
                                        .port = [] { return QStringLiteral("sim"); }, .running = {}},
                                       form);
        panel->setAttribute(Qt::WA_DeleteOnClose);
        panel->show();
        panel->activateWindow();
        auto* serial = panel->findChild<QLineEdit*>(QStringLiteral("station_serial"));
        QTRY_VERIFY(serial->hasFocus());

        // A second scan while the first unit is under test is refused.
        QTimer::singleShot(100, [&] {
            serial->setText(QStringLiteral("SN-LATE"));
            emit serial->returnPressed();
        });
        QTest::keyClicks(serial, QStringLiteral("SN-1"));
        QTest::keyClick(serial, Qt::Key_Return);
        QCOMPARE(panel->verdict(), QStringLiteral("PASSED"));
        QVERIFY(panel->findChild<QLabel*>(QStringLiteral("station_note"))->text().contains(QStringLiteral("SN-LATE")));
        QVERIFY(serial->text().isEmpty());
        QTRY_VERIFY(serial->hasFocus());
        const QFont verdict = panel->findChild<QLabel*>(QStringLiteral("station_verdict"))->font();
        QVERIFY(QFontInfo(verdict).pixelSize() >= 2 * QFontInfo(serial->font()).pixelSize());

        // The recipe is read again for the next unit: its edit applies.
        write_recipe("test.step('p3', function () { test.check('P3 low', drive.read('P3'), {max: 10}); });");
        QTest::keyClicks(serial, QStringLiteral("SN-2"));
        QTest::keyClick(serial, Qt::Key_Return);
        QCOMPARE(panel->verdict(), QStringLiteral("FAILED"));
        const QString unit = panel->findChild<QLabel*>(QStringLiteral("station_unit"))->text();
        QVERIFY(unit.contains(QStringLiteral("SN-2")) && unit.contains(QStringLiteral("P3 low")));
        QTRY_VERIFY(serial->hasFocus());
        auto* units = panel->findChild<QTreeWidget*>(QStringLiteral("station_units"));
        QCOMPARE(units->topLevelItemCount(), 2);
        QCOMPARE(units->topLevelItem(0)->text(1), QStringLiteral("FAILED"));
        // Typing the next number does not clear the verdict before Enter.
        QTest::keyClicks(serial, QStringLiteral("SN-3"));
        QCOMPARE(panel->verdict(), QStringLiteral("FAILED"));

        results::ResultsStore read;
        QCOMPARE(read.open(dir.filePath(QStringLiteral("units.db")), results::ResultsStore::Use::Read), QString());
        const auto runs = results::RunFinder(read).find({});
        QVERIFY(runs);
        QCOMPARE(runs->size(), 2);
        QCOMPARE(runs->at(0).start.serial, QStringLiteral("SN-2"));
        QCOMPARE(runs->at(1).start.operator_name, QStringLiteral("anna"));
        QVERIFY(runs->at(1).start.drive.startsWith(QStringLiteral("MIVO")));
        QVERIFY(runs->at(0).start.recipe_sha256 != runs->at(1).start.recipe_sha256);
        panel->close();

        // "Results...": the unit found by its serial number, its steps and
        // checks opened.
        auto* found = new ResultsDialog(dir.filePath(QStringLiteral("units.db")), form);
        found->setAttribute(Qt::WA_DeleteOnClose);
        found->show();
        found->findChild<QLineEdit*>(QStringLiteral("results_serial"))->setText(QStringLiteral("SN-2"));
        found->findChild<QPushButton*>(QStringLiteral("cmd_results_find"))->click();
        auto* list = found->findChild<QTreeWidget*>(QStringLiteral("results_runs"));
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(4), QStringLiteral("FAILED"));
        list->setCurrentItem(list->topLevelItem(0));
        auto* steps = found->findChild<QTreeWidget*>(QStringLiteral("results_steps"));
        QCOMPARE(steps->topLevelItemCount(), 1);
        QCOMPARE(steps->topLevelItem(0)->child(0)->text(0), QStringLiteral("P3 low"));
        QCOMPARE(steps->topLevelItem(0)->child(0)->text(3), QStringLiteral("FAILED"));
        QVERIFY(found->findChild<QPushButton*>(QStringLiteral("cmd_results_pdf"))->isEnabled());
        found->findChild<QLineEdit*>(QStringLiteral("results_since"))->setText(QStringLiteral("yesterday"));
        found->findChild<QPushButton*>(QStringLiteral("cmd_results_find"))->click();
        QCOMPARE(list->topLevelItemCount(), 0);
        QVERIFY(found->findChild<QLabel*>(QStringLiteral("results_note"))->text().contains(QStringLiteral("yesterday")));
        found->close();
    }
};

QTEST_MAIN(TestStation)
#include "tst_station.moc"

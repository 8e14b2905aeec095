// The "Wire Log" and "Recorder" panes of the window, and what the recorder's
// plot makes of the samples.
#include "app/close_on_signal.h"
#include "window/recorder_chart_view.h"
#include "window/line_pane.h"
#include "window/line_table_model.h"
#include "window/recipe_dialog.h"
#include "window/recorder_pane.h"
#include "window/recorder_plot.h"
#include "window/wire_log_model.h"
#include "window/wire_log_pane.h"

#include "../support/console_fixture.h"
#include "../support/sim_line.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <csignal>

using namespace mivo;

class TestPanes : public QObject, ConsoleFixture {
    Q_OBJECT

    static QStringList column(const WireLogModel& m, int c)
    {
        QStringList out;
        for (int r = 0; r < m.rowCount(); ++r)
            out << m.data(m.index(r, c)).toString();
        return out;
    }

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    void panes_open_from_the_view_menu_and_close_back_to_the_window()
    {
        const QSize original = form->size();
        QVERIFY(form->wire_log_dock()->isHidden() && form->recorder_dock()->isHidden());
        ui().mnu_view_recorder->trigger();
        QTRY_VERIFY(form->recorder_dock()->isVisible());
        QTRY_VERIFY(form->width() > original.width());
        QVERIFY(form->recorder_pane().isVisible());
        ui().mnu_view_recorder->trigger();
        QTRY_COMPARE(form->size(), original);
    }

    void wire_log_shows_the_selection_and_the_poll_and_pauses_without_losing_rows()
    {
        sim::SimHarness sim({"--stations", "5"});
        ui().mnu_view_wire_log->trigger();
        open_on(sim);
        set_station(QStringLiteral("5"));
        QCOMPARE(messages->take(), (QStringList{"Port Open", "Set OK."}));
        ui().cb_ask_pfbk->setChecked(true);
        WireLogPane& pane = form->wire_log_pane();
        WireLogModel& model = pane.model();
        QTRY_VERIFY(column(model, WireLogModel::kSource).contains(QStringLiteral("poll")));
        const QStringList texts = column(model, WireLogModel::kText);
        const QStringList sources = column(model, WireLogModel::kSource);
        const qsizetype st = texts.indexOf(QStringLiteral("ST 5\\r"));
        QVERIFY(st >= 0);
        QCOMPARE(sources[st], QStringLiteral("select"));
        QCOMPARE(column(model, WireLogModel::kDirection)[st], QStringLiteral("to drive"));

        pane.findChild<QCheckBox*>(QStringLiteral("cb_hide_poll"))->setChecked(true);
        QVERIFY(!column(model, WireLogModel::kSource).contains(QStringLiteral("poll")));
        QVERIFY(column(model, WireLogModel::kText).contains(QStringLiteral("ST 5\\r")));
        pane.findChild<QCheckBox*>(QStringLiteral("cb_hide_poll"))->setChecked(false);

        auto* pause = pane.findChild<QPushButton*>(QStringLiteral("cmd_wire_log_pause"));
        QTest::mouseClick(pause, Qt::LeftButton);
        const int shown = model.rowCount();
        const quint64 logged = console().wire_log().appended();
        QTRY_VERIFY(console().wire_log().appended() >= logged + 6);  // a tick or more
        QCOMPARE(model.rowCount(), shown);
        QTest::mouseClick(pause, Qt::LeftButton);
        QTRY_VERIFY(model.rowCount() >= shown + 6);

        QTemporaryDir dir;
        messages->file_to_choose = dir.filePath(QStringLiteral("wire.txt"));
        QTest::mouseClick(pane.findChild<QPushButton*>(QStringLiteral("cmd_wire_log_save")), Qt::LeftButton);
        QFile file(messages->file_to_choose);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines[0], QStringLiteral("time\tdirection\tsource\ttext"));
        QVERIFY(lines.size() > shown);
        QVERIFY(!lines.filter(QStringLiteral("\tto drive\tselect\tST 5\\r")).isEmpty());

        QTest::mouseClick(pane.findChild<QPushButton*>(QStringLiteral("cmd_wire_log_clear")), Qt::LeftButton);
        QVERIFY(model.rowCount() <= 1);
        QVERIFY(console().wire_log().size() <= 1);
    }

    void recorder_follows_until_the_user_zooms_and_measures_between_cursors()
    {
        Recorder& recorder = console().recorder();
        const qint64 t0 = recorder.now() - 10'000;
        for (int i = 0; i < 20; ++i)
            recorder.append({t0 + i * 500, 100.0 * i, 4u, quint16(1)});
        ui().mnu_view_recorder->trigger();
        RecorderPane& pane = form->recorder_pane();
        QTRY_VERIFY(pane.isVisible());
        QVERIFY(pane.following());
        QVERIFY(pane.span_end() > t0 + 19 * 500 && pane.span_begin() < t0);

        auto* chart = pane.findChild<RecorderChartView*>(QStringLiteral("recorder_position_chart"));
        const QPointF middle(chart->width() / 2.0, chart->height() / 2.0);
        QWheelEvent wheel(middle, chart->mapToGlobal(middle), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(chart->viewport(), &wheel);
        QVERIFY(!pane.following());
        const qint64 end = pane.span_end();
        recorder.append({t0 + 20 * 500, 2000.0, 4u, quint16(1)});
        pane.sample_added();
        pane.refresh();
        QCOMPARE(pane.span_end(), end);
        QTest::mouseClick(pane.findChild<QPushButton*>(QStringLiteral("cmd_recorder_follow")), Qt::LeftButton);
        QVERIFY(pane.following());
        QVERIFY(pane.span_end() > t0 + 20 * 500);

        pane.place_cursor(false, t0 + 1000);
        pane.place_cursor(true, t0 + 3250);
        QCOMPARE(pane.cursor_text().section(QStringLiteral("   "), 2),
                 QStringLiteral("\u0394t 2.250 s   \u0394position 400"));
    }

    void plot_leaves_a_gap_for_a_missing_value_and_thins_out_a_full_day()
    {
        Recorder r;
        r.append({0, 10.0, 1u, quint16(0)});
        r.append({500, 20.0, 1u, quint16(0)});
        r.append({1000, std::nullopt, std::nullopt, std::nullopt});  // no reply
        r.append({1500, 30.0, 0u, quint16(0)});
        r.append({2000, 40.0, 1u, quint16(0)});
        const QList<recorder_plot::Cell> cells = recorder_plot::cells(r, 0, 2500, 100);
        QCOMPARE(cells.size(), 5);
        const QList<QList<QPointF>> runs = recorder_plot::position_runs(cells);
        QCOMPARE(runs.size(), 2);
        QCOMPARE(runs[0], (QList<QPointF>{{0, 10}, {500, 20}}));
        QCOMPARE(runs[1], (QList<QPointF>{{1500, 30}, {2000, 40}}));
        // Bit 0: high over [0, 1000), nothing read over [1000, 1500), low,
        // then high again: two blocks, neither running through the gap.
        const auto bit0 = [](const recorder_plot::Cell& c) { return c.state && (*c.state & 1u); };
        QCOMPARE(recorder_plot::steps(cells, bit0, 0, 1),
                 (QList<QPointF>{{0, 0}, {0, 1}, {1000, 1}, {1000, 0}, {2000, 0}, {2000, 1}, {2500, 1}, {2500, 0}}));
        QCOMPARE(recorder_plot::position_at(r, 1200), std::optional(20.0));
        QCOMPARE(recorder_plot::position_at(r, 5000), std::nullopt);  // the poll had stopped

        Recorder day;
        for (qsizetype i = 0; i < Recorder::kCapacity; ++i)
            day.append({qint64(i) * 500, double(i % 100), quint32(i & 1), quint16(0)});
        const QList<recorder_plot::Cell> columns = recorder_plot::cells(day, 0, qint64(Recorder::kCapacity) * 500, 600);
        QCOMPARE(columns.size(), 600);
        QCOMPARE(*columns[0].low, 0.0);
        QCOMPARE(*columns[0].high, 99.0);
        QCOMPARE(recorder_plot::position_runs(columns).size(), 1);
    }

    // Every station in view while the window polls its own: a silent one
    // turns "lost", a state change shows, and no line of the pane falls into
    // the window's exchanges or leaves the line on another station.
    void the_line_pane_reads_every_station_between_the_windows_exchanges()
    {
        sim::SimHarness sim({"--stations", "1,2,5", "--silent", "2"});
        open_on(sim);
        set_station(QStringLiteral("5"));
        ui().cb_ask_pfbk->setChecked(true);
        ui().cb_ask_states->setChecked(true);
        console().state().set_found_stations({1, 2, 5});
        ui().mnu_view_line->trigger();
        QTableView* table = form->findChild<QTableView*>(QStringLiteral("line_table"));
        QVERIFY(table);
        const auto cell = [&](int row, int column) {
            return table->model()->index(row, column).data().toString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(cell(1, LineTableModel::kStatus), QStringLiteral("lost"), 15000);
        QTRY_COMPARE(cell(0, LineTableModel::kStatus), QStringLiteral("ok"));
        QCOMPARE(cell(2, LineTableModel::kStation), QStringLiteral("5"));
        QTRY_VERIFY(cell(2, LineTableModel::kAnswered).section('/', 0, 0).toInt() >= 2);
        QVERIFY(!cell(2, LineTableModel::kState).contains(QStringLiteral("SVON")));

        ui().SSTab1->setCurrentIndex(0);
        QTest::keyClicks(ui().tx_command, QStringLiteral("EN 1"));
        QTest::keyClick(ui().tx_command, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(cell(2, LineTableModel::kState).contains(QStringLiteral("SVON")), 15000);

        form->line_dock()->hide();
        QTest::qWait(100);
        const std::vector<std::string> lines = sim.rx_lines();
        // After another station's select line only reads, until the
        // window's station is selected again; a tick's reads stay together.
        bool elsewhere = false;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const QString l = QString::fromStdString(lines[i]);
            if (l.startsWith(QStringLiteral("ST ")))
                elsewhere = l != QStringLiteral("ST 5");
            else
                QVERIFY2(!elsewhere || l.startsWith(QStringLiteral("RV ")), qPrintable(l));
            if (l == QStringLiteral("RV 0") && i + 2 < lines.size() && lines[i + 1] == "RV 2")
                QCOMPARE(lines[i + 2], std::string("RV 5"));
        }
        QVERIFY(!elsewhere);
        // Hidden, it sends nothing more.
        const std::size_t hidden_at = sim.rx_lines().size();
        QTest::qWait(600);
        const std::vector<std::string> after = sim.rx_lines();
        for (std::size_t i = hidden_at; i < after.size(); ++i)
            QVERIFY2(after[i].rfind("ST ", 0) != 0, after[i].c_str());
    }

    // The pane's operations on every station: a file a station, and a file
    // cloned to all with read-back and a save on each.
    void the_line_pane_backs_up_and_restores_every_station()
    {
        sim::SimHarness sim({"--stations", "1,2,5"});
        QTemporaryDir dir;
        open_on(sim);
        set_station(QStringLiteral("5"));
        console().state().set_found_stations({1, 2, 5});
        ui().mnu_view_line->trigger();
        messages->take();
        messages->file_to_choose = dir.path();
        QPushButton* backup = form->findChild<QPushButton*>(QStringLiteral("cmd_line_backup_all"));
        QTRY_VERIFY(backup->isEnabled());
        backup->click();
        QTRY_VERIFY_WITH_TIMEOUT(!messages->texts.isEmpty(), 30000);
        QCOMPARE(messages->take(), QStringList{"3 of 3 stations: done."});
        for (const int n : {1, 2, 5})
            QVERIFY(QFile::exists(dir.filePath(QStringLiteral("station-%1.mivo").arg(n))));

        QFile golden(dir.filePath(QStringLiteral("golden.mivo")));
        QVERIFY(golden.open(QIODevice::WriteOnly));
        golden.write("P3=77\n");
        golden.close();
        messages->file_to_choose = golden.fileName();
        sim.clear_log();
        form->findChild<QPushButton*>(QStringLiteral("cmd_line_restore_all"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(messages->texts.size() == 3, 30000);  // the two questions, then the report
        QCOMPARE(messages->take().last(), QStringLiteral("3 of 3 stations: done."));
        // Each station's write goes to the station selected last before it.
        QStringList changes;
        QString selected;
        for (const std::string& line : sim.rx_lines()) {
            const QString l = QString::fromStdString(line);
            if (l.startsWith(QStringLiteral("ST ")))
                selected = l;
            else if (l.startsWith(QStringLiteral("WT")) || l == QStringLiteral("SV"))
                changes << selected + QStringLiteral(": ") + l;
        }
        QCOMPARE(changes, (QStringList{"ST 1: WT 0 3 77", "ST 1: SV", "ST 2: WT 0 3 77", "ST 2: SV", "ST 5: WT 0 3 77",
                                       "ST 5: SV"}));
    }

    // "Run Test...": the steps and checks as they come, the station controls
    // waiting meanwhile, the verdict; "Stop" and closing the window end a
    // run with the motor switched off, also while the recipe computes
    // without calling the console.
    void run_test_lists_the_steps_live_and_stops_with_the_motor_off()
    {
        sim::SimHarness sim({"--stations", "5", "--home-ms", "300"});
        QTemporaryDir dir;
        open_on(sim);
        set_station(QStringLiteral("5"));
        messages->take();
        messages->leave_open = QStringLiteral("run_test");
        // The handler returns once the run has ended; what happens during it
        // is looked at (and done) from a timer.
        const auto run_test = [&](const QString& recipe, const std::function<void(RecipeDialog&)>& meanwhile) {
            messages->file_to_choose = recipe;
            QTimer look;
            QObject::connect(&look, &QTimer::timeout, [&] {
                if (auto* d = form->findChild<RecipeDialog*>(); d && d->summary().isEmpty())
                    meanwhile(*d);
            });
            look.start(10);
            QTimer::singleShot(0, ui().mnu_drive_run_test, &QAction::trigger);
            RecipeDialog* dialog = nullptr;
            (void)QTest::qWaitFor([&] { return (dialog = form->findChild<RecipeDialog*>()) && !dialog->summary().isEmpty(); },
                                  60000);
            return dialog;
        };

        int listed_while_running = 0;
        bool controls_waited = true;
        RecipeDialog* dialog = run_test(QStringLiteral(MIVO_EXAMPLES_DIR "/end-of-line-motion.js"), [&](RecipeDialog& d) {
            listed_while_running = d.findChild<QTreeWidget*>()->topLevelItemCount();
            controls_waited = controls_waited && !ui().cmd_set_station->isEnabled() && !ui().SSTab1->isEnabled()
                              && !ui().mnu_drive_run_test->isEnabled();
        });
        QVERIFY(dialog);
        QCOMPARE(dialog->summary(), QStringLiteral("PASSED"));
        QVERIFY(listed_while_running >= 2);
        QVERIFY(controls_waited);
        auto* steps = dialog->findChild<QTreeWidget*>(QStringLiteral("recipe_steps"));
        QCOMPARE(steps->topLevelItemCount(), 7);
        QTreeWidgetItem* move = steps->topLevelItem(3);
        QCOMPARE(move->text(0), QStringLiteral("Move to 1000"));
        QCOMPARE(move->text(3), QStringLiteral("passed"));
        QCOMPARE(move->child(1)->text(0), QStringLiteral("position"));
        QCOMPARE(move->child(1)->text(2), QStringLiteral("998 to 1002"));
        QVERIFY(ui().cmd_set_station->isEnabled());
        dialog->findChild<QPushButton*>(QStringLiteral("cmd_recipe_close"))->click();
        QTRY_VERIFY(!form->findChild<RecipeDialog*>());

        QFile waits(dir.filePath(QStringLiteral("computes.js")));
        QVERIFY(waits.open(QIODevice::WriteOnly));
        waits.write("drive.servo(true);\ntest.step(\"spin\", function () { for (;;) {} });\n");
        waits.close();
        const auto motor_on = [&] { return received_lines(sim).contains(QStringLiteral("EN 1")); };
        sim.clear_log();
        dialog = run_test(waits.fileName(), [&](RecipeDialog& d) {
            if (motor_on())
                d.findChild<QPushButton*>(QStringLiteral("cmd_recipe_stop"))->click();
        });
        QVERIFY(dialog);
        QVERIFY2(dialog->summary().startsWith(QStringLiteral("ABORTED: stopped by the user")),
                 qPrintable(dialog->summary()));
        QTRY_COMPARE(received_lines(sim).count(QStringLiteral("EN 0")), 1);
        dialog->findChild<QPushButton*>(QStringLiteral("cmd_recipe_close"))->click();
        QTRY_VERIFY(!form->findChild<RecipeDialog*>());

        sim.clear_log();
        run_test(waits.fileName(), [&](RecipeDialog&) {
            if (motor_on())
                form->close();
        });
        QTRY_VERIFY_WITH_TIMEOUT(!form->isVisible(), 10000);
        QTRY_COMPARE(received_lines(sim).count(QStringLiteral("EN 0")), 1);
    }

    // SIGTERM to the window during a run is its close button: the run stops
    // and "EN 0" goes out before the window goes.
    void a_signal_closes_the_window_after_the_motor_is_off()
    {
        sim::SimHarness sim({"--stations", "5"});
        QTemporaryDir dir;
        open_on(sim);
        set_station(QStringLiteral("5"));
        messages->leave_open = QStringLiteral("run_test");
        QFile recipe(dir.filePath(QStringLiteral("computes.js")));
        QVERIFY(recipe.open(QIODevice::WriteOnly));
        recipe.write("drive.servo(true);\nfor (;;) {}\n");
        recipe.close();
        messages->file_to_choose = recipe.fileName();
        CloseOnSignal closer(*form);
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (received_lines(sim).contains(QStringLiteral("EN 1")) && !closer.signal_number())
                std::raise(SIGTERM);
        });
        look.start(10);
        QTimer::singleShot(0, ui().mnu_drive_run_test, &QAction::trigger);
        QTRY_VERIFY_WITH_TIMEOUT(closer.signal_number() == SIGTERM && !form->isVisible(), 20000);
        QTRY_COMPARE(received_lines(sim).count(QStringLiteral("EN 0")), 1);
    }
};

QTEST_MAIN(TestPanes)
#include "tst_panes.moc"

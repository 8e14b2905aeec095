// The recorder: one sample a poll tick from what the tick read, gaps for
// reads without a value, its CSV and its bound.
#include "../support/core_fixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace mivo;

class TestRecorder : public QObject, CoreFixture {
    Q_OBJECT

    void tick() { console->monitoring().Timer1_Timer(); }
    Recorder& recorder() { return console->recorder(); }

private slots:
    void init() { start_console(); }
    void cleanup() { stop_console(); }

    void a_sample_a_tick_with_what_it_read()
    {
        sim::SimHarness sim({"--stations", "3"});
        open_on(sim);
        set_station(QStringLiteral("3"));
        Timer1().stop();  // the test runs the ticks itself
        recorder().clear();

        for (int i = 0; i < 3; ++i)
            tick();
        QCOMPARE(recorder().size(), 3);
        for (qsizetype i = 0; i < 3; ++i) {
            const Recorder::Sample& s = recorder().at(i);
            // Servo off: the drive reports MF; DI1 is high.
            QCOMPARE(s.position, std::optional(0.0));
            QCOMPARE(s.state, std::optional(quint32(1)));
            QCOMPARE(s.inputs, std::optional(quint16(1)));
            if (i > 0)
                QVERIFY(s.msecs_since_epoch - recorder().at(i - 1).msecs_since_epoch >= 250);
        }

        // What a box leaves out is not read: a gap, not a zero.
        console->monitoring().set_feedback(true, false);
        tick();
        QCOMPARE(recorder().size(), 4);
        QVERIFY(recorder().at(3).position && !recorder().at(3).state && !recorder().at(3).inputs);
        // A tick that puts nothing on the line leaves no sample.
        console->monitoring().set_feedback(false, false);
        tick();
        QCOMPARE(recorder().size(), 4);
    }

    void a_drive_that_does_not_answer_leaves_gaps()
    {
        sim::SimHarness sim({"--stations", "3"});
        open_on(sim);
        set_station(QStringLiteral("3"));
        Timer1().stop();
        recorder().clear();
        set_station(QStringLiteral("9"));  // nobody there
        Timer1().stop();
        recorder().clear();
        tick();
        QCOMPARE(recorder().size(), 1);
        const Recorder::Sample& s = recorder().at(0);
        QVERIFY(!s.position && !s.state && !s.inputs);
        QCOMPARE(recorder().csv_row(s), QStringLiteral("0,,,"));
    }

    void csv_has_the_watch_columns()
    {
        Recorder r;
        r.append({1'000'000, 20000.0, 0x24u, quint16(0xFFFF)});
        r.append({1'000'500, std::nullopt, std::nullopt, std::nullopt});
        r.append({1'001'250, -3.0, 0x80000000u, quint16(1)});
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        QString error;
        QVERIFY2(r.save_csv(path, &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), QStringLiteral("time_ms,position,state,inputs\n"
                                                                   "0,20000,24,FFFF\n"
                                                                   "500,,,\n"
                                                                   "1250,-3,80000000,1\n"));
        QVERIFY(!r.save_csv(dir.filePath(QStringLiteral("no/such/dir/run.csv")), &error));
        QVERIFY(!error.isEmpty());
    }

    void keeps_the_newest_samples_in_time_order()
    {
        Recorder r;
        const qsizetype total = Recorder::kCapacity + 1000;
        for (qsizetype i = 0; i < total; ++i)
            r.append({qint64(i) * 500, double(i), std::nullopt, std::nullopt});
        QCOMPARE(r.size(), Recorder::kCapacity);
        QCOMPARE(r.at(0).position, std::optional(1000.0));
        QCOMPARE(r.at(r.size() - 1).position, std::optional(double(total - 1)));
        QCOMPARE(r.lower_bound(0), 0);
        QCOMPARE(r.lower_bound(1000 * 500 + 1), 1);
        QCOMPARE(r.lower_bound(qint64(total) * 500), r.size());
        // Times still count from the first sample after the recorder began.
        QCOMPARE(r.csv_row(r.at(0)).section(u',', 0, 0), QStringLiteral("500000"));

        // A tick that ran inside another's wait (or a dialog's loop) ends
        // first but began later: its sample still takes its place in time.
        const qint64 last = r.at(r.size() - 1).msecs_since_epoch;
        r.append({last - 250, -1.0, std::nullopt, std::nullopt});
        QCOMPARE(r.at(r.size() - 2).position, std::optional(-1.0));
        QCOMPARE(r.lower_bound(last - 250), r.size() - 2);
        r.clear();
        r.append({7, 1.0, std::nullopt, std::nullopt});
        r.append({20, 3.0, std::nullopt, std::nullopt});
        r.append({10, 2.0, std::nullopt, std::nullopt});
        QCOMPARE(r.csv_row(r.at(0)), QStringLiteral("0,1,,"));
        QCOMPARE(r.csv_row(r.at(1)), QStringLiteral("3,2,,"));
        QCOMPARE(r.at(2).position, std::optional(3.0));
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "tst_recorder.moc"

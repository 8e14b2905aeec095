// Drive settings files: the file's form, and backing up, comparing and
// restoring a drive's P and V groups on the console core against the
// simulator.
#include "console/drive_settings.h"
#include "console/settings_file.h"

#include "../support/core_fixture.h"
#include "../support/sim_line.h"

#include "console/recorder.h"
#include "link/wire_log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace mivo;
using Outcome = DriveSettings::Outcome;

namespace {

// The simulated drive's values at start, P0..P15 then V0..V6.
const QStringList kDefaults{"P0=1",  "P1=0",  "P2=100", "P3=120", "P4=10",  "P5=0",    "P6=1000", "P7=500",
                            "P8=200", "P9=50", "P10=3000", "P11=-3000", "P12=16", "P13=0", "P14=2", "P15=8",
                            "V0=0",  "V1=100", "V2=20",  "V3=0",   "V4=1",   "V5=33",   "V6=0"};

QStringList entries(const QString& text)
{
    QStringList out;
    for (const QString& line : text.split(u'\n'))
        if (!line.isEmpty() && !line.startsWith(u'#'))
            out << line;
    return out;
}

}  // namespace

class TestDriveSettings : public QObject, CoreFixture {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;
    QTemporaryDir dir;

    void select(const std::vector<std::string>& args)
    {
        if (vars().is_linked == kTrue)
            close();
        sim = std::make_unique<sim::SimHarness>(args);
        open_on(*sim);
        set_station(QStringLiteral("5"));
        view.take_messages();
        Timer1().stop();
        sim->clear_log();
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    static QByteArray read_bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A disk that fills up after limit bytes of any one file, for as long as
    // it lives: writes beyond it fail (EFBIG) instead of raising SIGXFSZ.
    struct FileSizeLimit {
        rlimit old{};
        explicit FileSizeLimit(rlim_t limit)
        {
            ::signal(SIGXFSZ, SIG_IGN);
            ::getrlimit(RLIMIT_FSIZE, &old);
            const rlimit r{limit, old.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &r);
        }
        ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old); }
    };
    QString write(const QString& name, const QString& text)
    {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly);
        f.write(text.toUtf8());
        return path(name);
    }
    DriveSettings& drive() { return console->drive_settings(); }
    QStringList writes() { return received_lines(*sim).filter(QRegularExpression(QStringLiteral("^(WT|SV)"))); }

private slots:
    void init() { start_console(); }
    void cleanup()
    {
        stop_console();
        sim.reset();
    }

    void file_refusals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("what");
        QTest::newRow("unknown entry") << "P1=2\nP16=3\n" << 2 << "P16 is no entry";
        QTest::newRow("V7") << "V7=0" << 1 << "V7 is no entry";
        QTest::newRow("no number") << "# x\n\nP3=abc" << 3 << "\"abc\" is no whole number";
        QTest::newRow("a fraction") << "P3=1.5" << 1 << "no whole number";
        QTest::newRow("too large") << "P3=32768" << 1 << "no whole number from -32768 to 32767";
        QTest::newRow("too small") << "V0=-32769" << 1 << "no whole number";
        QTest::newRow("empty value") << "P3=" << 1 << "no whole number";
        QTest::newRow("twice") << "P3=1\nV0=2\nP3=1" << 3 << "P3 is given twice";
        QTest::newRow("neither") << "P3=1\nhello" << 2 << "not an entry";
        QTest::newRow("lower case") << "p3=1" << 1 << "not an entry";
        QTest::newRow("two values") << "P3=1 2" << 1 << "not an entry";
        // Names as the drive writes them, whatever the number of zeros.
        QTest::newRow("leading zero") << "P03=1" << 1 << "P03 is no entry";
        QTest::newRow("two leading zeros") << "P003=1" << 1 << "P003 is no entry";
        // A cut-off copy is no copy.
        QTest::newRow("empty") << "" << 0 << "holds no entries";
        QTest::newRow("comments only") << "# MIVO drive settings\n# station: 5\n\n" << 0 << "holds no entries";
        // Quoted text is cut short, whatever its length.
        QTest::newRow("long value") << "P3=" + QString(100000, u'7') << 1 << "no whole number";
        QTest::newRow("long name") << "P" + QString(100000, u'1') + "=1" << 1 << "is no entry";
    }
    void file_refusals()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(QString, what);
        const auto parsed = settings_file::parse(text);
        QVERIFY(std::holds_alternative<settings_file::Error>(parsed));
        const auto& error = std::get<settings_file::Error>(parsed);
        QCOMPARE(error.line, line);
        QVERIFY2(error.what.contains(what), qPrintable(error.what));
        QVERIFY2(error.what.size() < 200, qPrintable(QString::number(error.what.size())));
    }

    // What a file in the way or a full disk must not do: replace a FIFO,
    // break a link, or leave a half-written file in place of a whole one.
    void files_are_written_whole_or_not_at_all()
    {
        select({"--stations", "5"});
        const QString fifo = path("fifo");
        QCOMPARE(::mkfifo(qPrintable(fifo), 0600), 0);
        QCOMPARE(drive().back_up(fifo, QStringLiteral("test")).outcome, Outcome::FileError);
        QVERIFY(!QFileInfo(fifo).isFile() && QFileInfo::exists(fifo));
        QVERIFY(std::holds_alternative<settings_file::Error>(settings_file::load(fifo)));  // and no hang

        const QString old = write("old.mivo", QStringLiteral("# old\nP1=42\n"));
        const QString link = path("link.mivo");
        QVERIFY(QFile::link(old, link));
        QCOMPARE(drive().back_up(link, QStringLiteral("test")).outcome, Outcome::Done);
        QVERIFY(QFileInfo(link).isSymLink());
        const QByteArray backup = read_bytes(old);
        QVERIFY(backup.contains("V6=0\n"));

        // Every writer on a disk that fills up: false, the old file intact.
        WireLog log;
        log.append({0, WireLog::Direction::ToDrive, QByteArray(4096, 'x'), QStringLiteral("poll")});
        Recorder recorder;
        for (int i = 0; i < 400; ++i)
            recorder.append({i, 1.0 * i, 1, 1});
        QString error;
        {
            const FileSizeLimit full(128);
            QCOMPARE(drive().back_up(old, QStringLiteral("test")).outcome, Outcome::FileError);
            QVERIFY(!log.save(old, {}, &error));
            QVERIFY(!recorder.save_csv(old, &error));
        }
        QVERIFY(!error.isEmpty());
        QCOMPARE(read_bytes(old), backup);
        QCOMPARE(QDir(dir.path()).entryList({"old*"}, QDir::Files | QDir::Hidden), QStringList{"old.mivo"});
    }

    void a_drive_reply_stays_in_the_header()
    {
        settings_file::Values all{};
        all[3] = 120;
        const QString text = settings_file::format(
            all, {QStringLiteral("t 1"), 5, QStringLiteral("V1.07\nP3=9999\rP4=1\u2028x"), {}});
        QCOMPARE(std::get<settings_file::Values>(settings_file::parse(text)), all);
        QCOMPARE(text.count(u'\n'), 5);
    }

    void file_accepted_forms()
    {
        // Comments, blank lines, blanks around "=" and at line ends, CR LF,
        // a sign, any order, any subset.
        const auto parsed =
            settings_file::parse(QStringLiteral("# head\r\n\r\n  V1 = +100 \r\nP0=-32768\t\n\tP15 =32767\n#end"));
        QVERIFY(std::holds_alternative<settings_file::Values>(parsed));
        const auto& v = std::get<settings_file::Values>(parsed);
        QCOMPARE(v[0], std::optional<qint16>(-32768));
        QCOMPARE(v[15], std::optional<qint16>(32767));
        QCOMPARE(v[17], std::optional<qint16>(100));
        QCOMPARE(std::count_if(v.begin(), v.end(), [](const auto& e) { return e.has_value(); }), 3);

        // What format writes, parse reads back.
        settings_file::Values all{};
        for (int e = 0; e < settings_file::kEntries; ++e)
            all[std::size_t(e)] = qint16(e * 100 - 1000);
        const QString text = settings_file::format(all, {QStringLiteral("t 1"), 5, QStringLiteral("MIVO-S"), {}});
        QCOMPARE(std::get<settings_file::Values>(settings_file::parse(text)), all);
    }

    void backup_compare_restore()
    {
        select({"--stations", "5"});
        const QString file = path("drive5.mivo");
        QCOMPARE(drive().back_up(file, QStringLiteral("test 1.0")).outcome, Outcome::Done);
        QCOMPARE(received_lines(*sim).size(), qsizetype(23 + 1));  // the groups, then "RV 4"
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QCOMPARE(entries(text), kDefaults);
        QVERIFY(text.contains(QStringLiteral("# station: 5")));
        QVERIFY(text.contains(QStringLiteral("# drive: MIVO")));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("# written: \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d"))));
        QVERIFY(Timer1().isActive());  // the poll runs again

        QCOMPARE(drive().compare_file(file).outcome, Outcome::Done);
        type_command(QStringLiteral("WT 0 3 77"));
        type_command(QStringLiteral("WT 1 1 250"));
        DriveSettings::Report compared = drive().compare_file(file);
        QCOMPARE(compared.outcome, Outcome::Differences);
        QCOMPARE(compared.differences.size(), 2);
        QCOMPARE(settings_file::name_of(compared.differences[0].entry), QStringLiteral("P3"));
        QCOMPARE(compared.differences[0].drive, qint16(77));
        QCOMPARE(compared.differences[0].file, qint16(120));
        QCOMPARE(settings_file::caption_of(compared.differences[1].entry), QStringLiteral("HSP"));

        // Only what differs is written, then read back; saved when asked
        // beforehand, with no question in the middle.
        sim->clear_log();
        const DriveSettings::Report restored = drive().restore_file(file, DriveSettings::SaveChoice::Save);
        QCOMPARE(restored.outcome, Outcome::Done);
        QCOMPARE(writes(), (QStringList{"WT 0 3 120", "WT 1 1 100", "SV"}));
        QCOMPARE(received_lines(*sim).filter(QStringLiteral("RD")).mid(23),
                 (QStringList{"RD 0 3", "RD 1 1"}));  // the read-back
        QVERIFY(view.questions.isEmpty());
        QVERIFY(restored.saved);
        QVERIFY(!restored.reset_needed);
        QCOMPARE(view.parameters[0][3], QStringLiteral("120"));
        QCOMPARE(drive().compare_file(file).outcome, Outcome::Done);

        // Nothing differs: nothing written, nothing asked.
        sim->clear_log();
        view.questions.clear();
        QCOMPARE(drive().restore_file(file, DriveSettings::SaveChoice::Save).written.size(), 0);
        QVERIFY(writes().isEmpty());
        QVERIFY(view.questions.isEmpty());
    }

    void restore_reports_what_the_drive_did_not_take()
    {
        select({"--stations", "5"});
        // The drive keeps the configuration word to 8 bits.
        const QString file = write("cfg.mivo", QStringLiteral("V5=300\nP2=7\n"));
        const DriveSettings::Report r = drive().restore_file(file, DriveSettings::SaveChoice::DoNotSave);
        QCOMPARE(r.outcome, Outcome::Differences);
        QCOMPARE(r.not_taken, QStringList{"V5"});
        QVERIFY(r.reset_needed);
        QVERIFY(!r.saved);
        QCOMPARE(writes(), (QStringList{"WT 0 2 7", "WT 1 5 300"}));  // no "SV" when not asked to
        const QString said = DriveSettings::summary(r, QStringLiteral("Restore"));
        QVERIFY(said.contains(QStringLiteral("Nothing was saved.")) && said.contains(QStringLiteral("Please reset MIVO!")));
    }

    void a_bad_file_sends_nothing()
    {
        select({"--stations", "5"});
        const DriveSettings::Report r = drive().restore_file(write("bad.mivo", QStringLiteral("P1=1\nP99=3\n")),
                                                           DriveSettings::SaveChoice::DoNotSave);
        QCOMPARE(r.outcome, Outcome::BadFile);
        QVERIFY2(r.file_error.contains(QStringLiteral(":2: ")), qPrintable(r.file_error));
        QCOMPARE(drive().compare_file(path("missing.mivo")).outcome, Outcome::BadFile);
        QVERIFY(sim->rx_lines().empty());
    }

    void a_failed_backup_keeps_the_old_file()
    {
        select({"--stations", "5", "--silent", "5"});
        const QString file = write("old.mivo", QStringLiteral("P1=42\n"));
        const DriveSettings::Report r = drive().back_up(file, QStringLiteral("test"));
        QCOMPARE(r.outcome, Outcome::NoAnswer);
        QCOMPARE(r.failed_entry, QStringLiteral("P0"));
        QCOMPARE(received_lines(*sim), QStringList{"RD 0 0"});  // it stops at the first silence
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("P1=42\n"));
        // A file that cannot be written: the drive's values are not lost
        // silently, the reason is told.
        select({"--stations", "5"});
        QCOMPARE(drive().back_up(path("no/such/dir/x.mivo"), QStringLiteral("test")).outcome, Outcome::FileError);
    }

    void a_restore_cut_short_saves_nothing()
    {
        // "Close" after the last read-back, before the save: nothing is
        // saved, and the report names what was written.
        select({"--stations", "5"});
        const QString file = write("many.mivo", QStringLiteral("P0=9\nP1=9\nP2=9\nP3=9\n"));
        bool menu_during = true;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            // The read at the start and the last entry's read-back.
            if (received_lines(*sim).filter(QStringLiteral("RD 0 3")).size() < 2 || !console->vars().is_linked)
                return;
            menu_during = view.availability.drive_menu;
            close();
        });
        closer.start(0);
        DriveSettings::Report r = drive().restore_file(file, DriveSettings::SaveChoice::Save);
        closer.stop();
        QCOMPARE(r.outcome, Outcome::LinkLost);
        QCOMPARE(r.written.size(), 4);
        QVERIFY(!r.saved);
        QVERIFY(!menu_during);  // no second operation inside the first
        QCOMPARE(writes(), (QStringList{"WT 0 0 9", "WT 0 1 9", "WT 0 2 9", "WT 0 3 9"}));
        QVERIFY(DriveSettings::summary(r, QStringLiteral("Restore")).contains(QStringLiteral("Nothing was saved.")));
        QVERIFY(!Timer1().isActive());

        // The line goes away at the first write's read-back: nothing more goes
        // out, and a write without its read-back is not counted as written.
        select({"--stations", "5", "--hangup-after", "28"});  // 3 for the selection, 23 reads
        r = drive().restore_file(file, DriveSettings::SaveChoice::Save);
        QCOMPARE(r.outcome, Outcome::LinkLost);
        QVERIFY(r.written.isEmpty());
        QCOMPARE(r.unanswered, QStringLiteral("P0"));
        QVERIFY(!r.saved);
        QVERIFY(!writes().contains(QStringLiteral("SV")));
        QVERIFY(view.questions.isEmpty());  // asked before, by the front end
    }

    // What the drive did not acknowledge was not done: a drive that goes
    // silent gets nothing more, a refused entry keeps the set from being
    // saved, and closing the program ends it after the line in flight.
    void a_restore_counts_only_what_the_drive_confirmed()
    {
        const QString file = write("four.mivo", QStringLiteral("P0=9\nP1=9\nP2=9\nP3=9\n"));
        // Silent from the second write on (3 lines select, 23 read, then a
        // write and its read-back).
        select({"--stations", "5", "--mute-after", "28"});
        DriveSettings::Report r = drive().restore_file(file, DriveSettings::SaveChoice::Save);
        QCOMPARE(r.outcome, Outcome::NoAnswer);
        QCOMPARE(writes(), (QStringList{"WT 0 0 9", "WT 0 1 9"}));
        QCOMPARE(r.written.size(), 1);
        QCOMPARE(r.unanswered, QStringLiteral("P1"));
        QVERIFY(view.questions.isEmpty());

        select({"--stations", "5", "--refuse", "P2"});
        r = drive().restore_file(file, DriveSettings::SaveChoice::Save);
        QCOMPARE(r.outcome, Outcome::Differences);
        QCOMPARE(r.written.size(), 4);
        QCOMPARE(r.not_taken, QStringList{"P2"});
        QVERIFY(!r.saved);
        QVERIFY(!writes().contains(QStringLiteral("SV")));
        QVERIFY(view.questions.isEmpty());
        const QString said = DriveSettings::summary(r, QStringLiteral("Restore"));
        QVERIFY2(said.contains(QStringLiteral("Not taken by the drive: P2.")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("Nothing was saved.")), qPrintable(said));

        // The window closes after the second write: the program shuts down.
        select({"--stations", "5"});
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (writes().size() >= 2)
                console->shut_down();
        });
        watcher.start(0);
        r = drive().restore_file(write("other.mivo", QStringLiteral("P0=8\nP1=8\nP2=8\nP3=8\n")),
                             DriveSettings::SaveChoice::Save);
        QCOMPARE(r.outcome, Outcome::Interrupted);
        QVERIFY(r.written.size() <= 2);
        QCOMPARE(writes().size(), 2);
        QVERIFY(view.questions.isEmpty());
    }

    void the_menu_waits_for_one_answering_station()
    {
        QVERIFY(!view.availability.drive_menu);
        select({"--stations", "5"});
        QVERIFY(view.availability.drive_menu);
        set_station(QStringLiteral("32"));  // broadcast: nobody answers
        QVERIFY(!view.availability.drive_menu);
        set_station(QStringLiteral("5"));
        QVERIFY(view.availability.drive_menu);
        close();
        QVERIFY(!view.availability.drive_menu);
    }
};

QTEST_GUILESS_MAIN(TestDriveSettings)
#include "tst_drive_settings.moc"

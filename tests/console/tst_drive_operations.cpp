// The drive operations on a scripted line: what each one hands back when
// the drive answers, stays silent, refuses, or the link is gone.
#include "console/console_state.h"
#include "console/drive_operations.h"
#include "console/link_guard.h"
#include "console/operation_scope.h"
#include "console/poll_gate.h"
#include "protocol/command_lines.h"
#include "console/settings_file.h"
#include "link/waits.h"

#include "../support/core_fixture.h"

#include <QtTest>

using namespace mivo;
using Failure = DriveOperations::Failure;

class TestDriveOperations : public QObject, CoreFixture {
    Q_OBJECT

    ScriptedPort* line = nullptr;

    DriveOperations& ops() { return console->operations(); }
    QStringList written() const
    {
        QStringList out;
        for (const auto& w : line->writes)
            out << QString::fromLatin1(w.bytes).chopped(1);
        return out;
    }

private slots:
    void init() { line = start_on_scripted_port(); }
    void cleanup() { stop_console(); }

    void selection_answered_silent_refused()
    {
        line->reply_next(">", 3);
        line->reply_next(">", 3);
        line->reply_next("MIVO-S 2.31\r>", 3);
        DriveOperations::Selection s = ops().select_station(QStringLiteral("5"));
        QVERIFY(s.ok());
        QCOMPARE(s.version, std::optional<QString>(QStringLiteral("MIVO-S 2.31")));
        QCOMPARE(written(), (QStringList{"ST 5", "ST 5", "RV 4"}));
        QCOMPARE(vars().station_num, qint16(5));

        s = ops().select_station(QStringLiteral("9"));  // nobody there
        QCOMPARE(s.failure, Failure::NoAnswer);
        QCOMPARE(vars().station_num, qint16(9));  // selected all the same
        s = ops().select_station(QStringLiteral("32"));
        QVERIFY(s.ok() && s.broadcast && !s.version);

        const qsizetype sent = line->writes.size();
        QCOMPARE(ops().select_station(QStringLiteral("five")).failure, Failure::Refused);
        QCOMPARE(line->writes.size(), sent);
    }

    // Selecting leaves the poll off, also when it ran before: whoever
    // selects says when it goes on. Holds of the poll nest: it stays off
    // until the outermost one ends, and a hold on a link that went away
    // switches nothing on.
    void the_poll_goes_on_only_when_the_last_hold_ends()
    {
        PollGate& poll = console->poll();
        line->reply_next(">", 3);
        line->reply_next(">", 3);
        line->reply_next("MIVO-S 2.31\r>", 3);
        QVERIFY(ops().select_station(QStringLiteral("5")).ok());
        QVERIFY(!poll.running());

        const int p3 = settings_file::entry_named(QStringLiteral("P3"));
        {
            const OperationScope outer(console->context(), QStringLiteral("test"));
            line->reply_next("P3=7\r>", 3);
            QVERIFY(ops().read_entries(p3, p3).ok());  // a hold that switches the poll on after it
            QVERIFY(!poll.running());
            {
                const PollGate::Hold inner(poll, outer.link, PollGate::After::Resume);
            }
            QVERIFY(!poll.running());
        }
        QVERIFY(poll.running());

        // A resuming hold leaves the poll as it found it, on or off.
        {
            const LinkGuard link = console->context().hold_link();
            const PollGate::Hold paused(poll, link, PollGate::After::Resume);
            QVERIFY(!poll.running());
        }
        QVERIFY(poll.running());
        poll.stop();
        {
            const LinkGuard link = console->context().hold_link();
            const PollGate::Hold paused(poll, link, PollGate::After::Resume);
        }
        QVERIFY(!poll.running());

        {
            const LinkGuard link = console->context().hold_link();
            const PollGate::Hold held(poll, link, PollGate::After::On);
            close();
        }
        QVERIFY(!poll.running());
        QCOMPARE(poll.holds(), 0);
    }

    void writes_are_read_back()
    {
        const int p3 = settings_file::entry_named(QStringLiteral("P3"));
        line->reply_next(">", 3);
        line->reply_next("P3=77\r>", 3);
        DriveOperations::Written w = ops().write_entry(p3, 77);
        QVERIFY(w.ok() && w.taken);
        QCOMPARE(written(), (QStringList{"WT 0 3 77", "RD 0 3"}));

        line->reply_next("ERR\r>", 3);
        line->reply_next("P3=120\r>", 3);
        w = ops().write_entry(p3, 5);
        QVERIFY(w.ok() && !w.taken);
        QCOMPARE(w.read_back, std::optional<qint16>(120));

        w = ops().write_entry(p3, 5);  // silent
        QCOMPARE(w.failure, Failure::NoAnswer);
        QVERIFY(!w.taken);
        QCOMPARE(ops().write_entry(settings_file::kEntries, 1).failure, Failure::Refused);
    }

    // The P group read as the "Setup" page reads it: a silent entry is
    // named, the rest still come, and the poll goes on afterwards.
    void a_group_read_names_what_did_not_come()
    {
        const int p0 = settings_file::entry_named(QStringLiteral("P0"));
        line->reply_next("P0=1\r>", 3);
        line->reply_next("P1=-2\r>", 3);
        line->reply_next(">", 3);
        Timer1().start();
        const DriveOperations::Groups g = ops().read_entries(p0, p0 + 3);
        QVERIFY(g.ok());
        QCOMPARE(g.values, (QList<std::optional<qint16>>{1, -2, std::nullopt, std::nullopt}));
        QCOMPARE(g.missing, (QStringList{"P2", "P3"}));
        QCOMPARE(written(), (QStringList{"RD 0 0", "RD 0 1", "RD 0 2", "RD 0 3"}));
        QVERIFY(Timer1().isActive());
        QCOMPARE(ops().read_entries(p0, p0).failure, Failure::NoAnswer);
        QCOMPARE(ops().read_entries(p0, settings_file::kEntries).failure, Failure::Refused);
    }

    void status_names_the_set_bits()
    {
        line->reply_next("-250\r>", 3);
        line->reply_next("15\r>", 3);
        line->reply_next("ERR\r>", 3);
        const DriveOperations::Status s = ops().read_status();
        QVERIFY(s.ok());
        QCOMPARE(s.position, std::optional(-250.0));
        QCOMPARE(DriveOperations::state_bit_names(*s.state), (QStringList{"MF", "SVON", "NL"}));
        QVERIFY(!s.inputs);  // no number: null, not zero
        QCOMPARE(written(), (QStringList{"RV 0", "RV 2", "RV 5"}));
        QCOMPARE(DriveOperations::input_bit_names(0xA), (QStringList{"DI2", "NL"}));
        QCOMPARE(ops().read_status().failure, Failure::NoAnswer);  // nothing came
    }

    // "MA", then the position as often as the line gives it.
    void move_waits_until_reached_or_stopped_short()
    {
        DriveOperations::MoveRequest to_1000{1000, QStringLiteral("200"), true, 5, 60000};
        line->reply_next(">", 3);  // VA
        line->reply_next(">", 3);  // MA
        for (const char* p : {"0", "400", "996"})
            line->reply_next(QByteArray(p) + "\r>", 3);
        DriveOperations::Moved m = ops().move(to_1000);
        QVERIFY(m.ok() && m.reached);
        QCOMPARE(m.position, std::optional(996.0));
        QCOMPARE(written(), (QStringList{"VA 200", "MA 1000", "RV 0", "RV 0", "RV 0"}));

        // A drive at its limit stands short of the target: not reached, and
        // where it stopped.
        line->writes.clear();
        to_1000.speed.reset();
        line->reply_next(">", 3);
        for (int i = 0; i < 100; ++i)
            line->reply_next("700\r>", 3);
        const Stopwatch clock;
        m = ops().move(to_1000);
        QVERIFY(m.ok() && !m.reached);
        QCOMPARE(m.position, std::optional(700.0));
        QVERIFY(clock.elapsed() > DriveOperations::kStallMs);

        // Silent: no position ever came.
        line = start_on_scripted_port();
        to_1000.timeout_ms = 200;
        m = ops().move(to_1000);
        QCOMPARE(m.failure, Failure::NoAnswer);
        QVERIFY(m.time_ms > 200);
    }

    void home_waits_for_the_prompt_within_its_limit()
    {
        line->reply_next("\r>", 120);
        DriveOperations::Homed h = ops().home(1000);
        QVERIFY(h.ok() && h.done);
        QVERIFY(h.time_ms >= 120);
        h = ops().home(100);  // no prompt
        QCOMPARE(h.failure, Failure::NoAnswer);
        QVERIFY(h.time_ms > 100);
    }

    // Views follow the core through its state's signals, whoever asked, and
    // hear of a value only when it changed.
    void the_state_tells_its_followers()
    {
        ConsoleState& state = console->state();
        QSignalSpy station(&state, &ConsoleState::station_changed);
        QSignalSpy values(&state, &ConsoleState::live_value_changed);
        QSignalSpy link(&state, &ConsoleState::link_changed);
        QVERIFY(state.link_open());
        line->reply_next(">", 3);
        line->reply_next(">", 3);
        line->reply_next("MIVO-S 2.31\r>", 3);
        ops().select_station(QStringLiteral("5"));
        QCOMPARE(station.size(), 1);
        QCOMPARE(state.station(), std::optional(5));
        line->reply_next("12\r>", 3);
        ops().read_status();  // the position only: the others stay silent
        QCOMPARE(state.live_value(protocol::kValuePosition), std::optional<QString>(QStringLiteral("12")));
        QCOMPARE(state.live_value(protocol::kValueState), std::optional<QString>());
        QCOMPARE(values.size(), 4);  // the version, then the three reads
        // The view shows what any caller read, through the state, and a read
        // that changes nothing says nothing.
        QCOMPARE(view.values[protocol::kValuePosition], QStringLiteral("12"));
        QCOMPARE(view.values[protocol::kValueVersion], QStringLiteral("MIVO-S 2.31"));
        state.set_live_value(protocol::kValuePosition, QStringLiteral("12"));
        QCOMPARE(values.size(), 4);
        state.set_live_value(protocol::kValueState, QStringLiteral("5"));
        QCOMPARE(values.size(), 5);
        QVERIFY(view.state_lights[0] && !view.state_lights[1] && view.state_lights[2]);
        console->port_control().close();
        QCOMPARE(link.size(), 1);
        QVERIFY(!state.link_open() && !state.station());
    }

    void a_gone_link_and_a_closing_program()
    {
        line->close();
        QCOMPARE(ops().servo(true).failure, Failure::LinkLost);
        QCOMPARE(ops().save().failure, Failure::LinkLost);
        QVERIFY(line->writes.isEmpty());
        line->open({}, {});
        console->exchange().shut_down();
        QCOMPARE(ops().read_status().failure, Failure::Interrupted);
        QCOMPARE(ops().send_line(QStringLiteral("RV 0")).failure, Failure::Interrupted);
        QVERIFY(line->writes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDriveOperations)
#include "tst_drive_operations.moc"

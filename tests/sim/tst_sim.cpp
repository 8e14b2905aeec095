// The drive simulator, seen from the serial side: a client opens the
// pseudo-terminal like a serial port (raw termios, CR-ended lines) and checks
// what comes back, and when.
#include "drive.h"
#include "sim_harness.h"
#include "sim_options.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using mivo::sim::SimHarness;
using mivo::sim::WireEvent;

namespace {

constexpr int kReplyTimeoutMs = 3000;  // generous: only a missing reply should hit it
constexpr int kSilenceMs = 150;        // how long "nothing came" is watched for

double now()
{
    return SimHarness::now_ms();
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool exists(const std::string& path)
{
    struct stat st{};
    return lstat(path.c_str(), &st) == 0;
}

// A serial client as the console is one: raw mode, lines ended by CR, reads what has arrived.
class Port {
public:
    explicit Port(const std::string& path) { reopen(path); }
    ~Port() { close(); }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    bool reopen(const std::string& path)
    {
        close();
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            return false;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
        return true;
    }
    bool isOpen() const { return fd_ >= 0; }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    void write(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p{fd_, POLLOUT, 0};
                poll(&p, 1, 10);
            } else {
                return;
            }
        }
    }
    void send(const QByteArray& line) { write(line + '\r'); }

    // Reads until `done` holds or the time is up.
    QByteArray read(int timeout_ms, const std::function<bool(const QByteArray&)>& done)
    {
        QByteArray got;
        const double deadline = now() + timeout_ms;
        while (!done(got)) {
            const int left = static_cast<int>(deadline - now());
            if (left <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, left) <= 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
            else if (n == 0 || errno != EAGAIN)
                break;  // hung up
        }
        return got;
    }
    QByteArray readFor(int ms = kSilenceMs)
    {
        return read(ms, [](const QByteArray&) { return false; });
    }
    QByteArray readPrompts(int prompts = 1, int timeout_ms = kReplyTimeoutMs)
    {
        return read(timeout_ms, [prompts](const QByteArray& s) { return s.count('>') >= prompts; });
    }
    QByteArray ask(const QByteArray& line, int timeout_ms = kReplyTimeoutMs)
    {
        send(line);
        return readPrompts(1, timeout_ms);
    }

    // True when the line hangs up (reads end, POLLHUP) within the time.
    bool waitHangup(int timeout_ms)
    {
        const double deadline = now() + timeout_ms;
        while (now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                if (p.revents & POLLHUP)
                    return true;
                char c;
                const ssize_t n = ::read(fd_, &c, 1);
                if (n == 0 || (n < 0 && errno == EIO))
                    return true;
            }
        }
        return false;
    }

private:
    int fd_ = -1;
};

QByteArray bytes(const std::string& s)
{
    return QByteArray::fromStdString(s);
}

}  // namespace

class TestSim : public QObject {
    Q_OBJECT

private slots:
    // Addressing
    void stationSearch();
    void broadcastActsSilently();
    // Commands
    void parameterRoundTrip();
    void commandErrors_data();
    void commandErrors();
    void liveValuesAndMotion();
    void homingHoldsThePrompt();
    void motionModel();
    void saveSurvivesRestart();
    void noWritingThroughPlantedLinks();
    // The line
    void wireLog();
    void clientClosesAndReopens();
    void stopsWithAReplyPending();
    // Faults
    void silentStation();
    void lateReplies();
    void valueLinesWithoutCr();
    void garbageBeforeReplies();
    void burstAfterFirstLine();
    void hangupAfterLines();
    // Options and the executable
    void badOptions_data();
    void badOptions();
    void executable();
};

void TestSim::stationSearch()
{
    // The console's sweep: "ST n", then the empty line; present only if the
    // empty line brings the prompt. Station 7 answers "ST 7" but not the empty line.
    SimHarness sim({"--stations", "0,5,7", "--mute-empty", "7"});
    Port port(sim.path());
    QVERIFY(port.isOpen());

    QCOMPARE(port.ask(""), QByteArray(">"));  // station 0 is selected before any "ST"

    QList<int> found;
    for (int n = 0; n < 8; ++n) {
        const QByteArray select = port.ask("ST " + QByteArray::number(n), 200);
        const QByteArray probe = port.ask("", 200);
        const bool present = n == 0 || n == 5 || n == 7;
        QCOMPARE(select, present ? QByteArray(">") : QByteArray());
        if (!probe.isEmpty()) {
            QCOMPARE(probe, QByteArray(">"));
            found << n;
        }
    }
    QCOMPARE(found, (QList<int>{0, 5}));
    QCOMPARE(port.readFor(), QByteArray());  // no second answer from any drive
}

void TestSim::broadcastActsSilently()
{
    SimHarness sim({"--stations", "0,5,7"});
    Port port(sim.path());

    for (const char* line : {"ST 32", "WT 0 4 77", "", "RD 0 4", "RV 0", "XX"})
        port.send(line);
    QCOMPARE(port.readFor(), QByteArray());

    for (const char* station : {"ST 0", "ST 5", "ST 7"}) {
        QCOMPARE(port.ask(station), QByteArray(">"));
        QCOMPARE(port.ask("RD 0 4"), QByteArray("P4=77\r>"));
    }

    // An absent station is silent, whatever follows.
    port.send("ST 3");
    port.send("RD 0 4");
    port.send("");
    QCOMPARE(port.readFor(), QByteArray());
}

void TestSim::parameterRoundTrip()
{
    SimHarness sim({"--stations", "0,5"});
    Port port(sim.path());

    QCOMPARE(port.ask("RD 0 3"), QByteArray("P3=120\r>"));
    QCOMPARE(port.ask("WT 0 3 -1000"), QByteArray(">"));
    QCOMPARE(port.ask("RD 0 3"), QByteArray("P3=-1000\r>"));
    QCOMPARE(port.ask("WT 0 15 32767"), QByteArray(">"));
    QCOMPARE(port.ask("RD 0 15"), QByteArray("P15=32767\r>"));
    QCOMPARE(port.ask("WT 0 0 -32768"), QByteArray(">"));
    QCOMPARE(port.ask("RD 0 0"), QByteArray("P0=-32768\r>"));
    QCOMPARE(port.ask("WT 1 5 255"), QByteArray(">"));
    QCOMPARE(port.ask("RD 1 5"), QByteArray("V5=255\r>"));
    QCOMPARE(port.ask("WT 1 6 -7"), QByteArray(">"));
    QCOMPARE(port.ask("RD 1 6"), QByteArray("V6=-7\r>"));

    // Each drive has its own parameters.
    QCOMPARE(port.ask("ST 5"), QByteArray(">"));
    QCOMPARE(port.ask("RD 0 3"), QByteArray("P3=120\r>"));
    QCOMPARE(port.ask("RD 1 5"), QByteArray("V5=33\r>"));
    QCOMPARE(port.ask("ST 0"), QByteArray(">"));
    QCOMPARE(port.ask("RD 0 3"), QByteArray("P3=-1000\r>"));
}

void TestSim::commandErrors_data()
{
    QTest::addColumn<QByteArray>("line");
    for (const char* line : {"RD 0 16", "RD 1 7", "RD 2 0", "RD 0 -1", "RD 0", "RD 0 3 1",
                             "WT 0 3 32768", "WT 0 3 -32769", "WT 1 5 256", "WT 1 5 -1",
                             "WT 0 3 12x", "WT 0 3 +5", "WT 0 3 -", "WT 0 16 1", "WT 0 3",
                             "RV 1", "RV 3", "RV 6", "RV", "RV 0 0", "RV x",
                             "EN 2", "EN", "VA -5", "VA fast", "MA 2147483648", "MA 1.5",
                             "SV 1", "HM 1", "XX", "st 0", "ST 33", "ST x", "ST"})
        QTest::newRow(line) << QByteArray(line);
}

void TestSim::commandErrors()
{
    QFETCH(QByteArray, line);
    SimHarness sim;
    Port port(sim.path());
    QCOMPARE(port.ask(line), QByteArray("ERR\r>"));
    // Nothing was stored, and the selection did not move.
    QCOMPARE(port.ask("RD 0 3"), QByteArray("P3=120\r>"));
    QCOMPARE(port.ask("RD 1 5"), QByteArray("V5=33\r>"));
}

void TestSim::liveValuesAndMotion()
{
    SimHarness sim;
    Port port(sim.path());

    QCOMPARE(port.ask("RV 4"), QByteArray("MIVO-S 2.31\r>"));
    QCOMPARE(port.ask("RV 5"), QByteArray("1\r>"));  // DI1 high
    QCOMPARE(port.ask("RV 2"), QByteArray("1\r>"));  // MF: motor free

    // No motion without the servo on.
    QCOMPARE(port.ask("MA 500"), QByteArray(">"));
    sleepMs(100);
    QCOMPARE(port.ask("RV 0"), QByteArray("0\r>"));

    QCOMPARE(port.ask("EN 1"), QByteArray(">"));
    QCOMPARE(port.ask("RV 2"), QByteArray("4\r>"));  // SVON
    QCOMPARE(port.ask("VA 1"), QByteArray(">"));     // 4000 counts per second

    const double sent = now();
    QCOMPARE(port.ask("MA 100000"), QByteArray(">"));  // at once, not at the end of the move
    const double acknowledged = now();
    sleepMs(300);
    const double asked = now();
    const QByteArray reply = port.ask("RV 0");
    const double answered = now();
    QVERIFY2(reply.endsWith("\r>"), reply.constData());
    const int pos = reply.chopped(2).toInt();
    // The move began between the MA line and its prompt; it was read between RV 0 and its reply.
    QVERIFY2(pos >= static_cast<int>(4 * (asked - acknowledged)), reply.constData());
    QVERIFY2(pos <= static_cast<int>(4 * (answered - sent)) + 1, reply.constData());
    QVERIFY2(pos > 0 && pos < 100000, reply.constData());

    // A faster speed applies to the running move; the move stops at its target.
    QCOMPARE(port.ask("VA 1000000"), QByteArray(">"));
    sleepMs(20);
    QCOMPARE(port.ask("RV 0"), QByteArray("100000\r>"));
    QCOMPARE(port.ask("RV 0"), QByteArray("100000\r>"));

    // Moving down sets DIR; the state word is upper-case hexadecimal.
    QCOMPARE(port.ask("MA -50"), QByteArray(">"));
    sleepMs(20);
    QCOMPARE(port.ask("RV 0"), QByteArray("-50\r>"));
    QCOMPARE(port.ask("RV 2"), QByteArray("C\r>"));

    // Servo off stops a move where it is.
    QCOMPARE(port.ask("VA 1"), QByteArray(">"));
    QCOMPARE(port.ask("MA 1000000"), QByteArray(">"));
    sleepMs(100);
    QCOMPARE(port.ask("EN 0"), QByteArray(">"));
    const QByteArray stopped = port.ask("RV 0");
    sleepMs(150);
    QCOMPARE(port.ask("RV 0"), stopped);
    QCOMPARE(port.ask("RV 2"), QByteArray("1\r>"));
}

void TestSim::homingHoldsThePrompt()
{
    SimHarness sim({"--home-ms", "400"});
    Port port(sim.path());
    QCOMPARE(port.ask("EN 1"), QByteArray(">"));
    QCOMPARE(port.ask("VA 1000000"), QByteArray(">"));
    QCOMPARE(port.ask("MA 777"), QByteArray(">"));
    sleepMs(20);
    QCOMPARE(port.ask("RV 0"), QByteArray("777\r>"));

    sim.clear_log();
    port.send("HM");
    sleepMs(50);
    port.send("RV 0");  // waits for the homing run to end, then reads the new position
    QCOMPARE(port.readFor(330), QByteArray());
    QCOMPARE(port.readPrompts(2), QByteArray(">0\r>"));
    QCOMPARE(port.ask("RV 2"), QByteArray("44\r>"));  // SVON, HOME

    // The line was read while the drive homed: "RV 0" arrived long before the prompt.
    const auto log = sim.wire_log();
    QCOMPARE(log.size(), std::size_t(6));
    QCOMPARE(bytes(log[1].bytes), QByteArray("RV 0"));
    QCOMPARE(log[1].dir, WireEvent::Rx);
    QCOMPARE(bytes(log[2].bytes), QByteArray(">"));
    QVERIFY(log[2].t_ms - log[0].t_ms >= 400);
    QVERIFY(log[1].t_ms < log[2].t_ms);
}

void TestSim::saveSurvivesRestart()
{
    QTemporaryDir dir;
    const std::string state = dir.filePath("drives.state").toStdString();
    {
        SimHarness sim({"--stations", "0,5", "--state", state, "--save-ms", "300"});
        Port port(sim.path());
        QCOMPARE(port.ask("ST 5"), QByteArray(">"));
        QCOMPARE(port.ask("WT 0 6 1234"), QByteArray(">"));
        QCOMPARE(port.ask("WT 1 2 -5"), QByteArray(">"));
        const double sent = now();
        QCOMPARE(port.ask("SV"), QByteArray(">"));
        QVERIFY2(now() - sent >= 300, "the prompt came before the save time");
        QCOMPARE(port.ask("WT 0 7 99"), QByteArray(">"));  // never saved
    }
    {
        SimHarness sim({"--stations", "0,5", "--state", state});
        Port port(sim.path());
        QCOMPARE(port.ask("ST 5"), QByteArray(">"));
        QCOMPARE(port.ask("RD 0 6"), QByteArray("P6=1234\r>"));
        QCOMPARE(port.ask("RD 1 2"), QByteArray("V2=-5\r>"));
        QCOMPARE(port.ask("RD 0 7"), QByteArray("P7=500\r>"));
        QCOMPARE(port.ask("ST 0"), QByteArray(">"));
        QCOMPARE(port.ask("RD 0 6"), QByteArray("P6=1000\r>"));
    }

    // A damaged memory is reported, not silently replaced by defaults.
    std::ofstream(state) << "5 P6=1234\n5 P99=1\n";
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, SimHarness({"--state", state}));
}

void TestSim::noWritingThroughPlantedLinks()
{
    // Someone else's links where the log and the save's sibling go.
    QTemporaryDir dir;
    const QString victim = dir.filePath("victim");
    std::ofstream(victim.toStdString()) << "precious\n";
    const QString log = dir.filePath("wire.log");
    const QString state = dir.filePath("drives.state");
    QVERIFY(QFile::link(victim, log));
    QVERIFY(QFile::link(victim, state + ".tmp"));

    QVERIFY_THROWS_EXCEPTION(std::runtime_error, SimHarness({"--log", log.toStdString()}));
    {
        SimHarness sim({"--stations", "0", "--state", state.toStdString(), "--save-ms", "0"});
        Port port(sim.path());
        QCOMPARE(port.ask("WT 0 6 1234"), QByteArray(">"));
        QCOMPARE(port.ask("SV"), QByteArray(">"));
    }
    QFile f(victim);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("precious\n"));
}

void TestSim::wireLog()
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("wire.log").toStdString();
    SimHarness sim({"--latency-ms", "20", "--log", file});
    Port port(sim.path());

    const double before = now();
    QCOMPARE(port.ask("ST 0"), QByteArray(">"));
    QCOMPARE(port.ask("RD 0 3"), QByteArray("P3=120\r>"));
    port.write("\nRV 4\r");  // the LF of a CR LF pair is ignored
    QCOMPARE(port.readPrompts(), QByteArray("MIVO-S 2.31\r>"));
    QCOMPARE(port.ask("\x01\""), QByteArray("ERR\r>"));
    const double after = now();

    const auto log = sim.wire_log();
    const QList<QByteArray> expected = {"ST 0", ">", "RD 0 3", "P3=120\r>", "RV 4", "MIVO-S 2.31\r>",
                                        "\x01\"", "ERR\r>"};
    QCOMPARE(log.size(), std::size_t(expected.size()));
    for (std::size_t i = 0; i < log.size(); ++i) {
        QCOMPARE(bytes(log[i].bytes), expected[static_cast<qsizetype>(i)]);
        QCOMPARE(log[i].dir, i % 2 == 0 ? WireEvent::Rx : WireEvent::Tx);
    }
    QVERIFY(log.front().t_ms >= before);
    QVERIFY(log.back().t_ms <= after);
    for (std::size_t i = 1; i < log.size(); i += 2)
        QVERIFY2(log[i].t_ms - log[i - 1].t_ms >= 20, "a reply went out before its latency");
    QCOMPARE(sim.rx_lines(), (std::vector<std::string>{"ST 0", "RD 0 3", "RV 4", "\x01\""}));

    // The file says the same, one escaped event a line, written at once.
    QFile f(QString::fromStdString(file));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.size(), expected.size() + 1);
    QCOMPARE(lines.back(), QByteArray());
    const QList<QByteArray> shown = {R"(rx "ST 0")", R"(tx ">")", R"(rx "RD 0 3")", R"(tx "P3=120\r>")",
                                     R"(rx "RV 4")", R"(tx "MIVO-S 2.31\r>")", R"(rx "\x01\"")",
                                     R"(tx "ERR\r>")"};
    const QRegularExpression shape(R"(^(\d+\.\d{3}) (.*)$)");
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const auto m = shape.match(QString::fromLatin1(lines[i]));
        QVERIFY2(m.hasMatch(), lines[i].constData());
        QCOMPARE(m.captured(2).toLatin1(), shown[i]);
        QVERIFY(qAbs(m.captured(1).toDouble() - log[static_cast<std::size_t>(i)].t_ms) < 0.001);
    }

    sim.clear_log();
    QVERIFY(sim.wire_log().empty());
    QCOMPARE(port.ask(""), QByteArray(">"));
    QCOMPARE(sim.rx_lines(), (std::vector<std::string>{""}));
}

void TestSim::clientClosesAndReopens()
{
    SimHarness sim;
    Port port(sim.path());
    QCOMPARE(port.readFor(), QByteArray());  // nothing unasked
    QCOMPARE(port.ask("ST 0"), QByteArray(">"));

    // A reply the client never read goes with it when it closes the port (the
    // simulator drops it when it sees the close, hence the short pause)...
    port.send("RV 4");
    QTRY_COMPARE(sim.wire_log().size(), std::size_t(4));
    sleepMs(20);
    port.close();
    sleepMs(20);
    QVERIFY(port.reopen(sim.path()));
    QCOMPARE(port.ask(""), QByteArray(">"));

    // ...and one that goes out while the port is closed is lost, as on a real line.
    port.send("RD 0 3");
    port.close();
    sleepMs(100);
    QVERIFY(port.reopen(sim.path()));
    QCOMPARE(port.ask(""), QByteArray(">"));
    QCOMPARE(port.readFor(50), QByteArray());

    for (int i = 0; i < 3; ++i) {
        port.close();
        QVERIFY(port.reopen(sim.path()));
        QCOMPARE(port.ask("RV 4"), QByteArray("MIVO-S 2.31\r>"));
    }
    QVERIFY(sim.running());
}

void TestSim::stopsWithAReplyPending()
{
    SimHarness sim({"--home-ms", "3600000"});
    const std::string link = sim.path();
    Port port(sim.path());
    port.send("HM");  // a reply is pending for an hour
    sleepMs(50);

    // Stopping does not wait for it (else the test would time out).
    sim.stop();
    QVERIFY(!sim.running());
    QVERIFY(!exists(link));
    QCOMPARE(sim.rx_lines(), (std::vector<std::string>{"HM"}));  // the log outlives the line
    sim.stop();
}

void TestSim::silentStation()
{
    SimHarness sim({"--stations", "0,5", "--silent", "5"});
    Port port(sim.path());
    for (const char* line : {"ST 5", "", "RV 4", "XX"})
        port.send(line);
    QCOMPARE(port.readFor(), QByteArray());
    QCOMPARE(port.ask("ST 0"), QByteArray(">"));
    QCOMPARE(port.ask(""), QByteArray(">"));
}

void TestSim::lateReplies()
{
    SimHarness sim({"--late-ms", "250"});
    Port port(sim.path());

    const double sent = now();
    port.send("");
    QCOMPARE(port.readFor(100), QByteArray());
    QCOMPARE(port.readPrompts(), QByteArray(">"));
    QVERIFY(now() - sent >= 250);

    // A late reply does not hold up the lines after it: four lines 30 ms apart are
    // all answered about 250 ms after their own line, not one after the other.
    sim.clear_log();
    const double first = now();
    for (const char* line : {"RV 4", "RD 0 3", "RD 1 5", ""}) {
        port.send(line);
        sleepMs(30);
    }
    QCOMPARE(port.readPrompts(4), QByteArray("MIVO-S 2.31\r>P3=120\r>V5=33\r>>"));
    QVERIFY2(now() - first < 800, qPrintable(QString::number(now() - first)));
    const auto log = sim.wire_log();
    QCOMPARE(log.size(), std::size_t(8));
    for (std::size_t i = 0; i < 4; ++i) {
        QCOMPARE(log[i].dir, WireEvent::Rx);  // every line in before the first reply
        QCOMPARE(log[i + 4].dir, WireEvent::Tx);
        QVERIFY(log[i + 4].t_ms - log[i].t_ms >= 250);
    }
}

void TestSim::valueLinesWithoutCr()
{
    SimHarness sim({"--no-cr"});
    Port port(sim.path());
    QCOMPARE(port.ask("RD 0 3"), QByteArray("P3=120>"));
    QCOMPARE(port.ask("RV 4"), QByteArray("MIVO-S 2.31>"));
    QCOMPARE(port.ask("XX"), QByteArray("ERR>"));
    QCOMPARE(port.ask(""), QByteArray(">"));
}

void TestSim::garbageBeforeReplies()
{
    QByteArray first;
    for (int run = 0; run < 2; ++run) {
        SimHarness sim({"--garbage", "64"});
        Port port(sim.path());
        const QByteArray reply = port.ask("RD 0 3");
        QCOMPARE(reply.size(), 64 + 8);
        QVERIFY(reply.endsWith("P3=120\r>"));
        const QByteArray noise = reply.left(64);
        QVERIFY(!noise.contains('>') && !noise.contains('\r'));
        QVERIFY(noise.count(noise.at(0)) < 64);  // not a constant fill
        const QByteArray prompt = port.ask("");
        QCOMPARE(prompt.size(), 65);
        QVERIFY(prompt.left(64) != noise);  // fresh noise every reply
        if (run == 0)
            first = reply;
        else
            QCOMPARE(reply, first);  // and the same from run to run
    }
}

void TestSim::burstAfterFirstLine()
{
    constexpr int kBurst = 20000;  // well past what the terminal buffers at once
    SimHarness sim({"--burst", QByteArray::number(kBurst).toStdString()});
    Port port(sim.path());
    QCOMPARE(port.readFor(100), QByteArray());

    const QByteArray got = port.ask("ST 0");
    QCOMPARE(got.size(), kBurst + 1);
    QCOMPARE(got.count('>'), 1);
    QCOMPARE(got.count('\r'), 0);
    QVERIFY(got.endsWith('>'));
    QCOMPARE(port.ask(""), QByteArray(">"));  // once only
}

void TestSim::hangupAfterLines()
{
    SimHarness sim({"--hangup-after", "3"});
    const std::string link = sim.path();
    Port port(link);
    QCOMPARE(port.ask("ST 0"), QByteArray(">"));
    QCOMPARE(port.ask(""), QByteArray(">"));
    port.send("RV 4");
    QVERIFY(port.waitHangup(kReplyTimeoutMs));
    QVERIFY(!exists(link));
    QTRY_VERIFY(!sim.running());
    QCOMPARE(sim.rx_lines(), (std::vector<std::string>{"ST 0", "", "RV 4"}));
    QCOMPARE(sim.wire_log().back().dir, WireEvent::Rx);  // the third line got no reply
}

// The model on a drive of its own, at chosen times: the ramp, the ringing
// that dies out at the target, the hard stop that holds one way only, and
// a move that is off by default.
void TestSim::motionModel()
{
    using mivo::sim::Drive;
    const auto position = [](Drive& d, double t) { return d.execute("RV 0", t).lines.at(0); };
    mivo::sim::MotionModel model;
    model.accel = 100000;
    model.ringing = mivo::sim::Ringing{20, 30, 40};
    Drive ramp(0, 0, model);
    ramp.execute("EN 1", 0);
    ramp.execute("VA 2", 0);  // 8000 counts/s, reached after 80 ms
    ramp.execute("MA 2000", 0);
    QCOMPARE(position(ramp, 10), std::string("5"));     // a t^2 / 2
    QCOMPARE(position(ramp, 100), std::string("480"));  // 320 to 80 ms, then 8000 counts/s
    const int past = std::stoi(position(ramp, 337.5));   // a quarter period after arriving at 330 ms
    QVERIFY2(past > 2005 && past < 2020, std::to_string(past).c_str());
    QCOMPARE(position(ramp, 1000), std::string("2000"));
    QCOMPARE(position(ramp, 1001), std::string("2000"));

    model = {};
    model.stall_at = 600;
    Drive blocked(0, 0, model);
    blocked.execute("EN 1", 0);
    blocked.execute("MA 1000", 0);  // 4000 counts/s
    QCOMPARE(position(blocked, 1000), std::string("600"));
    blocked.execute("MA 2000", 1000);
    QCOMPARE(position(blocked, 1500), std::string("600"));
    blocked.execute("MA 0", 1500);
    QCOMPARE(position(blocked, 1550), std::string("400"));

    Drive plain(0, 0);
    plain.execute("EN 1", 0);
    plain.execute("MA 1000", 0);
    QCOMPARE(position(plain, 100), std::string("400"));
}

void TestSim::badOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown") << QStringList{"--bogus"};
    QTest::newRow("station 32") << QStringList{"--stations", "32"};
    QTest::newRow("empty station") << QStringList{"--stations", "0,,5"};
    QTest::newRow("missing value") << QStringList{"--stations"};
    QTest::newRow("negative ms") << QStringList{"--latency-ms", "-1"};
    QTest::newRow("word for ms") << QStringList{"--home-ms", "long"};
    QTest::newRow("fault on absent station") << QStringList{"--stations", "0", "--silent", "3"};
    QTest::newRow("flag with value") << QStringList{"--no-cr=1"};
    QTest::newRow("hangup after 0") << QStringList{"--hangup-after", "0"};
    QTest::newRow("empty link") << QStringList{"--link", ""};
    QTest::newRow("accel 0") << QStringList{"--accel", "0"};
    QTest::newRow("ringing of two") << QStringList{"--ringing", "10,30"};
    QTest::newRow("ringing period 0") << QStringList{"--ringing", "10,0,40"};
    QTest::newRow("stall at a word") << QStringList{"--stall-at", "far"};
}

void TestSim::badOptions()
{
    QFETCH(QStringList, args);
    std::vector<std::string> list;
    for (const auto& a : args)
        list.push_back(a.toStdString());
    QVERIFY_THROWS_EXCEPTION(mivo::sim::OptionError, mivo::sim::parse_options(list));

    QProcess proc;
    proc.start(MIVO_DRIVE_SIM_EXE, args + QStringList{"--link", "/tmp/mivo-sim-never-made"});
    QVERIFY(proc.waitForFinished(5000));
    QCOMPARE(proc.exitCode(), 2);
    QVERIFY(!proc.readAllStandardError().isEmpty());
    QVERIFY(!exists("/tmp/mivo-sim-never-made"));
}

void TestSim::executable()
{
    QTemporaryDir dir;
    const std::string link = dir.filePath("ttyMIVO").toStdString();
    const QString log = dir.filePath("wire.log");

    QProcess missingLink;
    missingLink.start(MIVO_DRIVE_SIM_EXE, {"--stations", "0"});
    QVERIFY(missingLink.waitForFinished(5000));
    QCOMPARE(missingLink.exitCode(), 2);

    QVERIFY(symlink("/dev/null", link.c_str()) == 0);  // left over from an earlier run
    QProcess proc;
    proc.start(MIVO_DRIVE_SIM_EXE, {"--stations", "0,5", "--link", QString::fromStdString(link), "--log", log});
    QVERIFY(proc.waitForStarted(5000));
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += proc.readAllStandardOutput()).contains('\n'), 5000);
    QCOMPARE(out, "ready: " + QByteArray::fromStdString(link) + "\n");

    {
        Port port(link);
        QVERIFY(port.isOpen());
        QCOMPARE(port.ask("ST 5"), QByteArray(">"));
        QCOMPARE(port.ask("RD 0 3"), QByteArray("P3=120\r>"));
    }

    ::kill(static_cast<pid_t>(proc.processId()), SIGTERM);
    QVERIFY(proc.waitForFinished(5000));
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.exitCode(), 0);
    QVERIFY(!exists(link));
    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().count('\n'), 4);

    // A path that is not a symlink is never overwritten.
    std::ofstream(link) << "keep me";
    QProcess refused;
    refused.start(MIVO_DRIVE_SIM_EXE, {"--link", QString::fromStdString(link)});
    QVERIFY(refused.waitForFinished(5000));
    QCOMPARE(refused.exitCode(), 1);
    std::string kept;
    std::getline(std::ifstream(link), kept);
    QCOMPARE(QByteArray::fromStdString(kept), QByteArray("keep me"));
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"

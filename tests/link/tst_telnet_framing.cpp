// The telnet side of a network line without a socket: the line's bytes in
// and out, what is taken out of what the server sends, what is owed back.
#include "link/telnet_framing.h"

#include <QtTest>

#include <initializer_list>

using namespace mivo;

namespace {

enum : int { IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, GA = 249, SE = 240 };
enum : int { BINARY = 0, ECHO = 1, SGA = 3, TTYPE = 24, NAWS = 31, COM_PORT = 44 };

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// As every connection is once its opening has gone out.
TelnetFraming opened()
{
    TelnetFraming t;
    t.opening(TelnetFraming::Line{});
    return t;
}

}  // namespace

class TestTelnetFraming : public QObject {
    Q_OBJECT

private slots:
    void every_byte_value_crosses_the_connection()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QByteArray sent = TelnetFraming::encode(all + all);
        QCOMPARE(sent.size(), 2 * 257);
        TelnetFraming t = opened();
        QCOMPARE(t.decode(sent), all + all);
        QVERIFY(t.take_answers().isEmpty());
    }

    void commands_are_taken_out_however_the_bytes_are_split_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("escaped 0xFF") << bytes({'A', IAC, IAC, 'B'}) << bytes({'A', 0xFF, 'B'});
        QTest::newRow("go-ahead") << bytes({'A', IAC, GA, 'B'}) << QByteArray("AB");
        QTest::newRow("negotiations") << bytes({'A', IAC, WILL, NAWS, 'B', IAC, DO, TTYPE}) << QByteArray("AB");
        // Settings as the server took them: a value byte 0xFF doubled, one
        // that looks like SE, then a second subnegotiation.
        QTest::newRow("subnegotiations")
            << bytes({'A', IAC, SB, COM_PORT, 101, 0, IAC, IAC, SE, 0, IAC, SE, IAC, SB, COM_PORT, 107, 0, IAC, SE,
                      'B', IAC, IAC})
            << bytes({'A', 'B', 0xFF});
    }
    void commands_are_taken_out_however_the_bytes_are_split()
    {
        QFETCH(QByteArray, received);
        QFETCH(QByteArray, line);
        TelnetFraming whole = opened();
        QCOMPARE(whole.decode(received), line);
        const QByteArray owed = whole.take_answers();
        for (qsizetype split = 1; split < received.size(); ++split) {
            TelnetFraming t = opened();
            QByteArray got = t.decode(received.left(split));
            got += t.decode(received.mid(split));
            QVERIFY2(got == line, qPrintable(QStringLiteral("split at %1: %2").arg(split).arg(got.toHex(' '))));
            QCOMPARE(t.take_answers(), owed);
        }
        TelnetFraming bytewise = opened();
        QByteArray got;
        for (const char c : received)
            got += bytewise.decode(QByteArray(1, c));
        QCOMPARE(got, line);
        QCOMPARE(bytewise.take_answers(), owed);
    }

    // Only what changes an option is answered: with a server that answers
    // every answer, anything more would go on for ever.
    void negotiation_answers_data()
    {
        QTest::addColumn<bool>("after_opening");
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QByteArray>("answers");
        QTest::newRow("ser2net's greeting")
            << true
            << bytes({IAC, WILL, SGA, IAC, DO, SGA, IAC, WILL, ECHO, IAC, DONT, ECHO, IAC, DO, BINARY, IAC, WILL,
                      BINARY, IAC, DO, COM_PORT})
            << QByteArray();
        QTest::newRow("our requests refused")
            << true << bytes({IAC, WONT, BINARY, IAC, DONT, COM_PORT}) << QByteArray();
        QTest::newRow("unknown offered, refusal acknowledged")
            << true << bytes({IAC, WILL, NAWS, IAC, WONT, NAWS}) << bytes({IAC, DONT, NAWS});
        QTest::newRow("unknown asked, refusal acknowledged")
            << true << bytes({IAC, DO, TTYPE, IAC, DONT, TTYPE}) << bytes({IAC, WONT, TTYPE});
        QTest::newRow("binary offered twice, unasked")
            << false << bytes({IAC, WILL, BINARY, IAC, WILL, BINARY}) << bytes({IAC, DO, BINARY});
        QTest::newRow("binary ended twice")
            << true << bytes({IAC, DO, BINARY, IAC, DONT, BINARY, IAC, DONT, BINARY}) << bytes({IAC, WONT, BINARY});
    }
    void negotiation_answers()
    {
        QFETCH(bool, after_opening);
        QFETCH(QByteArray, received);
        TelnetFraming t = after_opening ? opened() : TelnetFraming();
        QVERIFY(t.decode(received).isEmpty());
        QTEST(t.take_answers(), "answers");
    }

    void the_opening_sets_the_line_data()
    {
        QTest::addColumn<quint32>("baud");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stop");
        QTest::addColumn<QByteArray>("settings");
        QTest::newRow("115200 8N1") << quint32(115200) << 8 << 1 << 1
                                    << bytes({IAC, SB, COM_PORT, 1, 0x00, 0x01, 0xC2, 0x00, IAC, SE,  //
                                              IAC, SB, COM_PORT, 2, 8, IAC, SE, IAC, SB, COM_PORT, 3, 1, IAC, SE,
                                              IAC, SB, COM_PORT, 4, 1, IAC, SE});
        // A value byte 0xFF is doubled inside the subnegotiation.
        QTest::newRow("0xFF in the rate, 7E2") << quint32(0x0001C2FF) << 7 << 3 << 2
                                               << bytes({IAC, SB, COM_PORT, 1, 0x00, 0x01, 0xC2, IAC, IAC, IAC, SE,
                                                         IAC, SB, COM_PORT, 2, 7, IAC, SE, IAC, SB, COM_PORT, 3, 3,
                                                         IAC, SE, IAC, SB, COM_PORT, 4, 2, IAC, SE});
    }
    void the_opening_sets_the_line()
    {
        QFETCH(quint32, baud);
        QFETCH(int, size);
        QFETCH(int, parity);
        QFETCH(int, stop);
        TelnetFraming t;
        const QByteArray opening = t.opening({baud, quint8(size), quint8(parity), quint8(stop)});
        QFETCH(QByteArray, settings);
        QVERIFY2(opening.endsWith(settings), qPrintable(opening.toHex(' ')));
        // The option is offered before it is used, and nothing is left to send.
        const qsizetype offered = opening.indexOf(bytes({IAC, WILL, COM_PORT}));
        QVERIFY(offered >= 0 && offered < opening.indexOf(bytes({IAC, SB})));
        QVERIFY(t.take_answers().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTelnetFraming)
#include "tst_telnet_framing.moc"

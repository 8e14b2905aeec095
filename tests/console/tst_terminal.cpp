// The "Terminal" page through the real window, against the drive simulator.
#include "window/form1.h"
#include "window/transcript_box.h"

#include "../support/console_fixture.h"
#include "../support/sim_line.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace mivo;

class TestTerminal : public QObject, ConsoleFixture {
    Q_OBJECT

    std::unique_ptr<sim::SimHarness> sim;

    QLineEdit* command() { return form->controls().tx_command; }
    TranscriptBox* transcript() { return form->controls().tx_response; }

    void type_and_enter(const QString& text)
    {
        QTest::keyClicks(command(), text);
        QTest::keyClick(command(), Qt::Key_Return);
    }

private slots:
    void init()
    {
        sim = std::make_unique<sim::SimHarness>(std::vector<std::string>{"--stations", "1,5", "--home-ms", "300"});
        start_console();
    }
    void cleanup()
    {
        stop_console();
        sim.reset();
    }

    void enter_sends_the_line_and_shows_the_reply()
    {
        open_on(*form, *sim);
        messages->take();
        type_and_enter(QStringLiteral("ST 5"));
        type_and_enter(QStringLiteral("RD 0 3"));
        QCOMPARE(received_lines(*sim), (QStringList{"ST 5", "RD 0 3"}));
        const QString shown = transcript()->text();
        QVERIFY2(shown.startsWith(QStringLiteral("ST 5\r\n>RD 0 3\r\nP3=")), qPrintable(shown));
        QVERIFY(shown.endsWith(QStringLiteral("\r>")));
        QVERIFY(transcript()->textCursor().atEnd());
        QVERIFY(!transcript()->textCursor().hasSelection());
        QVERIFY(command()->text().isEmpty());
        QVERIFY(messages->texts.isEmpty());
        // The terminal leaves the exchange's variables alone.
        QVERIFY(form->vars().last_command.isEmpty());
        QVERIFY(form->vars().rx_text.isEmpty());
    }

    void send_button_with_an_empty_box_sends_a_cr_alone()
    {
        open_on(*form, *sim);
        QTest::mouseClick(form->controls().cmd_send_command, Qt::LeftButton);
        QCOMPARE(received_lines(*sim), QStringList{""});
        QCOMPARE(transcript()->text(), QStringLiteral("\r\n"));  // station 0 is absent: no answer
        // The transcript shows one line break per CR LF.
        QCOMPARE(transcript()->toPlainText(), QStringLiteral("\n"));
    }

    void homing_typed_here_does_not_wait()
    {
        open_on(*form, *sim);
        type_and_enter(QStringLiteral("ST 1"));
        type_and_enter(QStringLiteral("HM"));
        QCOMPARE(transcript()->text(), QStringLiteral("ST 1\r\n>HM\r\n"));  // no wait for the prompt
        auto homed = [this] {
            const auto log = sim->wire_log();
            return !log.empty() && log.back().dir == sim::WireEvent::Tx && log.back().bytes == ">";
        };
        QTRY_VERIFY(homed());
        // The prompt that ends the homing run is taken by the next read.
        type_and_enter(QString());
        QCOMPARE(transcript()->text(), QStringLiteral("ST 1\r\n>HM\r\n\r\n>>"));
    }

    void only_what_was_typed_goes_out()
    {
        open_on(*form, *sim);
        messages->take();
        // A character without a byte of its own: refused, nothing sent, the
        // box keeps the text.
        for (const QString& typed : {QStringLiteral("RD 0 3 \u20ac"), QStringLiteral("ST \U0001F600")}) {
            command()->setText(typed);
            QTest::keyClick(command(), Qt::Key_Return);
            QCOMPARE(messages->take().size(), 1);
            QCOMPARE(command()->text(), typed);
        }
        QVERIFY(sim->rx_lines().empty());
        QVERIFY(transcript()->text().isEmpty());

        // Latin-1 goes out byte for byte; a long line goes out whole.
        command()->setText(QStringLiteral("\u00e9"));
        QTest::keyClick(command(), Qt::Key_Return);
        const QString long_line(40000, u'A');
        command()->setText(long_line);
        QTest::keyClick(command(), Qt::Key_Return);
        QVERIFY(transcript()->text().startsWith(QStringLiteral("\u00e9\r\n")));
        QVERIFY(transcript()->text().contains(QStringLiteral("\r\n") + long_line + QStringLiteral("\r\n")));
        const auto log = sim->wire_log();
        QCOMPARE(log.front().bytes, std::string("\xe9"));
    }

    void transcript_keeps_a_scrollback_and_short_lines()
    {
        TranscriptBox box;
        // A long run without a line end is shown in pieces; the text stays exact.
        const QString run(2 * TranscriptBox::kShownLineChars + 10, u'U');
        box.append(QStringLiteral("RV 0\r\n") + run + QStringLiteral("\r>"));
        QCOMPARE(box.text(), QStringLiteral("RV 0\r\n") + run + QStringLiteral("\r>"));
        const QStringList shown = box.toPlainText().split(u'\n');
        QCOMPARE(shown.size(), 1 + 3 + 1);
        for (const QString& line : shown)
            QVERIFY(line.size() <= TranscriptBox::kShownLineChars);
        QCOMPARE(shown.mid(1, 3).join(QString()), run);

        // Beyond the scrollback the oldest text goes, in the store and on the pane.
        const QString chunk = QString(999, u'x') + u'\r';
        for (qsizetype kept = 0; kept < 2 * TranscriptBox::kKeptChars; kept += chunk.size())
            box.append(chunk);
        box.append(QStringLiteral("last>"));
        QVERIFY(box.text().size() <= TranscriptBox::kKeptChars + TranscriptBox::kKeptChars / 4);
        QVERIFY(box.text().endsWith(chunk + QStringLiteral("last>")));
        QVERIFY(!box.text().contains(u'U'));
        QVERIFY(box.document()->blockCount() <= TranscriptBox::kShownLines);
        QVERIFY(box.toPlainText().endsWith(QStringLiteral("\nlast>")));
    }

    void a_streaming_line_is_read_a_bounded_piece_at_a_time()
    {
        // The drive starts streaming after the first line it receives.
        sim::SimHarness streaming({"--stations", "1", "--burst", "3000000"});
        open_on(*form, streaming);
        type_and_enter(QStringLiteral("ST 1"));
        // However late the stream comes on a busy machine, no exchange takes
        // more than one read's worth of it.
        int pieces = 0;
        for (int i = 0; i < 200 && pieces < 4; ++i) {
            const qsizetype before = transcript()->text().size();
            type_and_enter(QString());
            const qsizetype taken = transcript()->text().size() - before - 2;  // after the CR LF
            QVERIFY2(taken <= mivo::SerialPort::kReadCapBytes, qPrintable(QString::number(taken)));
            pieces += taken > 0;
        }
        QCOMPARE(pieces, 4);
    }

    void link_first_while_closed()
    {
        QTest::mouseClick(form->controls().cmd_send_command, Qt::LeftButton);
        QCOMPARE(messages->take(), QStringList{"Link First!"});
        QTest::keyClicks(command(), QStringLiteral("ab"));
        QCOMPARE(messages->take(), (QStringList{"Link First!", "Link First!"}));
        QCOMPARE(command()->text(), QStringLiteral("ab"));  // the keys still reach the box
        QTest::keyClick(command(), Qt::Key_Tab);  // leaving the box is no typing
        QVERIFY(messages->texts.isEmpty());
        QTest::keyClick(command(), Qt::Key_Return);
        QCOMPARE(messages->take(), QStringList{"Link First!"});
        QVERIFY(transcript()->text().isEmpty());
        QVERIFY(sim->rx_lines().empty());
    }

    void clean_response_in_any_state()
    {
        open_on(*form, *sim);
        type_and_enter(QStringLiteral("ST 1"));
        QTest::mouseClick(form->controls().cmd_clean_response, Qt::LeftButton);
        QVERIFY(transcript()->text().isEmpty());
        QVERIFY(transcript()->toPlainText().isEmpty());

        // With the link closed (the tab control is then disabled, but the
        // handler itself has no link test).
        type_and_enter(QStringLiteral("ST 1"));
        form->controls().cmd_port_close->click();
        messages->take();
        form->cmd_clean_response_Click();
        QVERIFY(transcript()->text().isEmpty());
        QVERIFY(messages->texts.isEmpty());
    }
};

QTEST_MAIN(TestTerminal)
#include "tst_terminal.moc"

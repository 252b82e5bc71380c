// Write Setup and Format Flash end to end, through the real window and a pseudo-terminal, from
// the mouse and the keyboard, and the demo session.

#include "app/demosession.h"
#include "expected.h"
#include "rig.h"

#include <tuple>

using namespace quillon;
using namespace quillon::test;

namespace {

// Format Flash is enabled only after an exchange the device answered.
void ReadOnce(Rig &rig)
{
    rig.pick("COM3");
    rig.click("read_setup");
    QTRY_VERIFY(rig.button("button_format_flash")->isEnabled());
}

} // namespace

class tst_Commands : public QObject
{
    Q_OBJECT
private slots:
    // Each refused field ends Write Setup before any exchange; the write that follows sends
    // exactly the record, whatever is edited while it runs.
    void writeRefusesThenSendsExactFrame()
    {
        Rig rig;
        rig.pick("COM3");
        const QList<std::tuple<Box, QString, QString, bool>> refusals{
            {Box::ipadr2, "", "IP Address octet 2 has no valid value", true},
            {Box::subnetmask4, "256", "Subnet mask octet 4 has no valid value", true},
            {Box::macadr3, "100", "MAC Adr. byte 3 has no valid value", false},
            {Box::serialno, "4294967295", "Serial No. above 2147483647 cannot be written", false},
            {Box::serialno, "", "Serial No. has no valid value", false}};
        for (const auto &[box, text, line, focused] : refusals) {
            Fill(*rig.window, kExample);
            rig.window->setBoxText(box, text);
            rig.button("read_setup")->setFocus();
            // The handler itself: an empty serial number has already disabled the button.
            rig.window->commands().write_setup_Click();
            QCOMPARE(rig.log(), QStringLiteral("Write Setup: %1\r\n").arg(line));
            QCOMPARE(rig.logColor(), kRed);
            QVERIFY(!rig.exchange().busy());
            QCOMPARE(rig.window->findChild<QLineEdit *>(BoxObjectName(box))->hasFocus(), focused);
        }
        Fill(*rig.window, kExample);
        rig.click("write_setup");
        QTest::keyClicks(rig.child<QLineEdit>("ipadr1"), "9");
        QTRY_COMPARE(rig.log(), Log("COM3", "Writing Setup (1", "OK"));
        QCOMPARE(ToBytes(rig.sim->received()), ToBytes(BuildSetupFrame(kExample)));
    }

    // Escape leaves the warning box without formatting and without counting an exchange; Enter
    // formats, and a reply before the bar is full ends the format.
    void formatCancelledThenAnswered()
    {
        Rig rig;
        rig.sim->setFormatTime(std::chrono::milliseconds(200));
        ReadOnce(rig);
        const QString log = rig.log();
        rig.sim->clearReceived();
        QCOMPARE(rig.formatAnswering(Qt::Key_Escape),
                 "Format Flash|WARNING: Formatting will erase ALL files on drive F:|warning");
        QCOMPARE(rig.log(), log);
        QCOMPARE(rig.exchange().exchange_no(), 1);
        QCOMPARE(rig.button("button_format_flash")->text(), QStringLiteral("Format Flash"));
        QVERIFY(rig.button("read_setup")->isEnabled());

        rig.formatAnswering(Qt::Key_Return);
        QCOMPARE(rig.button("button_format_flash")->text(), QStringLiteral("Abort"));
        QVERIFY(rig.button("button_format_flash")->isEnabled());
        QVERIFY(!rig.button("read_setup")->isEnabled());
        rig.exchange().Timer3_Timer();
        QCOMPARE(rig.child<QProgressBar>("bar_format_flash")->value(), 1);
        QTRY_COMPARE(rig.log(), Log("COM3", "Formatting Flash (2", "OK"));
        QCOMPARE(ToBytes(rig.sim->received()), kFormat);
        QCOMPARE(rig.child<QProgressBar>("bar_format_flash")->value(), 0);
        QCOMPARE(rig.button("button_format_flash")->text(), QStringLiteral("Format Flash"));
        for (const char *name : {"read_setup", "write_setup", "button_format_flash"}) {
            QVERIFY2(rig.button(name)->isEnabled(), name);
        }
    }

    // The demo as a newcomer meets it: the real window in front of its simulated Quillon.
    void demoReadEditWrite()
    {
        DemoSession session;
        Driver demo;
        demo.open(session.portMap());
        QVERIFY(demo.ports()->itemData(0, Qt::ToolTipRole).toString().contains("Simulated"));

        demo.pick("COM1");
        demo.click("read_setup");
        QTRY_COMPARE(demo.log(), Log("COM1", "Reading Setup (1", "OK"));
        QCOMPARE(demo.box(Box::serialno), QStringLiteral("12345678"));
        QCOMPARE(demo.box(Box::ipadr4), QStringLiteral("11"));

        Driver::typeInto(demo.child<QLineEdit>("ipadr4"), "42");
        demo.click("write_setup");
        QTRY_COMPARE(demo.log(), Log("COM1", "Writing Setup (2", "OK"));
        QCOMPARE(session.device().settings().ipAddress, (Address{10, 10, 10, 42}));
    }
    // A command button that disables itself never hands the focus to Exit, and gets it back
    // when its exchange ends, so a repeated Space repeats it.
    void spaceRepeatsCommand_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("outcomeAfterSpace"); // of the first exchange
        Row("Read Setup", "read_setup", "Reading Setup (", "OK");
        Row("Write Setup", "write_setup", "Writing Setup (", "OK");
        // During a format the button is the Abort button.
        Row("Format Flash", "button_format_flash", "Formatting Flash (", "Aborted");
    }

    void spaceRepeatsCommand()
    {
        QFETCH(QString, button);
        QFETCH(QString, label);
        QFETCH(QString, outcomeAfterSpace);
        const bool format = button == "button_format_flash";
        Rig rig;
        rig.sim->setSettings(kExample);
        Fill(*rig.window, kExample);
        if (format) {
            ReadOnce(rig);
            rig.sim->setFormatTime(std::chrono::milliseconds(300));
        } else {
            // Slow enough that a second key lands while the reply still arrives.
            rig.pick("COM3");
            rig.sim->setPacing(SimulatedQuillon::Pacing::ByteGaps, std::chrono::milliseconds(2));
        }
        const int first = rig.exchange().exchange_no() + 1;
        // The window's focus, which the keyboard reaches once the warning box has closed.
        QWidget *command = rig.button(qPrintable(button));
        command->setFocus();

        // Space as the keyboard sends it, to the focused widget; a warning box is answered OK.
        const auto space = [&rig] {
            rig.formatAnswering(Qt::Key_Return, [&rig] {
                QTest::keyClick(rig.window->windowHandle(), Qt::Key_Space);
            });
        };
        space();
        QVERIFY(rig.exchange().busy());
        QVERIFY(rig.window->focusWidget() != rig.button("closebutton"));
        space();
        QVERIFY(rig.window->isVisible());
        QTRY_COMPARE(rig.log(), Log("COM3", label + QString::number(first), outcomeAfterSpace));
        QCOMPARE(rig.exchange().exchange_no(), first);
        QCOMPARE(rig.window->focusWidget(), command);

        space();
        QTRY_COMPARE(rig.log(), Log("COM3", label + QString::number(first + 1), "OK"));
        QVERIFY(rig.window->isVisible());
        QCOMPARE(rig.window->focusWidget(), command);
    }
};

QTEST_MAIN(tst_Commands)
#include "tst_commands.moc"

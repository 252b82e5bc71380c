// Write Setup and Format Flash end to end, through the real window and a pseudo-terminal, and
// the demo session.

#include "app/demosession.h"
#include "expected.h"
#include "rig.h"

using namespace quillon;
using namespace quillon::test;

Q_DECLARE_METATYPE(quillon::Box)

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
    void writeSendsExactFrame()
    {
        Rig rig;
        Fill(*rig.window, kExample);
        rig.pick("COM3");
        rig.click("write_setup");
        // Edits during the exchange do not change what was sent.
        QTest::keyClicks(rig.child<QLineEdit>("ipadr1"), "9");
        QTRY_COMPARE(rig.log(), Log("COM3", "Writing Setup (1", "OK"));
        // Written by hand from the record layout: 87 + 100 + 2610 = 2797, checksum ED.
        QByteArray frame = QByteArray::fromHex("025764"
                                               "00bc614e001a2b3c4d5e"
                                               "c0a80064ffffff00c0a80001c0a8000100000000");
        frame.append(70, '\0');
        QCOMPARE(ToBytes(rig.sim->received()), frame + QByteArray::fromHex("ed03"));
    }

    void invalidFieldIsRefused_data()
    {
        QTest::addColumn<Box>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("focused");
        const auto row = [](const char *name, Box box, const char *text, const char *line,
                            bool focused) {
            QTest::newRow(name) << box << QString(text) << QString(line) << focused;
        };
        row("empty octet", Box::ipadr2, "", "IP Address octet 2 has no valid value", true);
        row("octet over 255", Box::subnetmask4, "256", "Subnet mask octet 4 has no valid value",
            true);
        row("MAC above FF", Box::macadr3, "100", "MAC Adr. byte 3 has no valid value", false);
        row("serial too large", Box::serialno, "4294967295",
            "Serial No. above 2147483647 cannot be written", false);
        row("empty serial", Box::serialno, "", "Serial No. has no valid value", false);
    }

    void invalidFieldIsRefused()
    {
        QFETCH(Box, box);
        QFETCH(QString, text);
        QFETCH(QString, line);
        QFETCH(bool, focused);
        Rig rig;
        Fill(*rig.window, kExample);
        rig.pick("COM3");
        rig.window->setBoxText(box, text);
        rig.button("read_setup")->setFocus();
        // The handler itself: an empty serial number has already disabled the button.
        rig.window->commands().write_setup_Click();
        QCOMPARE(rig.log(), QStringLiteral("Write Setup: %1\r\n").arg(line));
        QCOMPARE(rig.logColor(), kRed);
        QCOMPARE(rig.exchange().exchange_no(), 0);
        QVERIFY(!rig.exchange().busy());
        QCOMPARE(rig.window->findChild<QLineEdit *>(BoxObjectName(box))->hasFocus(), focused);
        QTest::qWait(50); // nothing may be written: give a stray write time to arrive
        QVERIFY(rig.sim->received().empty());
    }

    // Escape leaves the warning box without formatting and without counting an exchange.
    void formatCancelChangesNothing()
    {
        Rig rig;
        ReadOnce(rig);
        const QString log = rig.log();
        rig.sim->clearReceived();
        QCOMPARE(rig.formatAnswering(Qt::Key_Escape),
                 "Format Flash|WARNING: Formatting will erase ALL files on drive F:|warning");
        QCOMPARE(rig.log(), log);
        QCOMPARE(rig.exchange().exchange_no(), 1);
        QCOMPARE(rig.button("button_format_flash")->text(), QStringLiteral("Format Flash"));
        QVERIFY(rig.button("read_setup")->isEnabled());
        QVERIFY(rig.sim->received().empty());
    }

    void formatAnsweredBeforeBarIsFull()
    {
        Rig rig;
        rig.sim->setFormatTime(std::chrono::milliseconds(200));
        ReadOnce(rig);
        rig.sim->clearReceived();
        rig.formatAnswering(Qt::Key_Return);
        QCOMPARE(rig.button("button_format_flash")->text(), QStringLiteral("Abort"));
        QVERIFY(rig.button("button_format_flash")->isEnabled());
        QVERIFY(!rig.button("read_setup")->isEnabled());
        rig.exchange().Timer3_Timer();
        QCOMPARE(rig.child<QProgressBar>("bar_format_flash")->value(), 1);
        QTRY_COMPARE(rig.log(), Log("COM3", "Formatting Flash (2", "OK"));
        QCOMPARE(ToBytes(rig.sim->received()), QByteArray("\x02\x46\x00\x46\x03", 5));
        QCOMPARE(rig.child<QProgressBar>("bar_format_flash")->value(), 0);
        QCOMPARE(rig.button("button_format_flash")->text(), QStringLiteral("Format Flash"));
        for (const char *name : {"read_setup", "write_setup", "button_format_flash"}) {
            QVERIFY2(rig.button(name)->isEnabled(), name);
        }
    }

    // The demo as a newcomer meets it: the real window in front of its simulated Quillon.
    void demoReadEditWriteReadFormatAbort()
    {
        DemoSession session;
        Driver demo;
        demo.open(session.portMap());
        QCOMPARE(demo.ports()->itemText(0), QStringLiteral("COM1"));
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

        Driver::typeInto(demo.child<QLineEdit>("ipadr4"), "7");
        demo.click("read_setup");
        QTRY_COMPARE(demo.log(), Log("COM1", "Reading Setup (3", "OK"));
        QCOMPARE(demo.box(Box::ipadr4), QStringLiteral("42"));

        demo.formatAnswering(Qt::Key_Return);
        QCOMPARE(demo.button("button_format_flash")->text(), QStringLiteral("Abort"));
        demo.exchange().Timer3_Timer();
        demo.click("button_format_flash");
        QCOMPARE(demo.log(), Log("COM1", "Formatting Flash (4", "Aborted"));
        // The bar stays where the abort stopped it.
        QCOMPARE(demo.child<QProgressBar>("bar_format_flash")->value(), 1);
        QCOMPARE(demo.button("button_format_flash")->text(), QStringLiteral("Format Flash"));
        QVERIFY(!demo.exchange().findChild<QTimer *>("Timer3")->isActive());
    }
};

QTEST_MAIN(tst_Commands)
#include "tst_commands.moc"

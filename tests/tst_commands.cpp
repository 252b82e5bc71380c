// Write Setup and Format Flash end to end, through the real window and a pseudo-terminal.

#include "rig.h"
#include "window/boxnames.h"

using namespace quillon;
using namespace quillon::test;

Q_DECLARE_METATYPE(quillon::DeviceSettings)

namespace {

// Written by hand from the record layout: the frame of the example settings.
QByteArray ExampleFrame()
{
    QByteArray frame = QByteArray::fromHex("025764"
                                           "00bc614e001a2b3c4d5e"
                                           "c0a80064ffffff00c0a80001c0a8000100000000");
    frame.append(70, '\0');
    frame.append(QByteArray::fromHex("ed03"));
    return frame;
}

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
    void writeSendsExactFrame_data();
    void writeSendsExactFrame();
    void invalidFieldIsRefused_data();
    void invalidFieldIsRefused();
    void formatCancelChangesNothing();
    void formatAnsweredBeforeBarIsFull();
    void formatEndsWithoutReplyOnce_data();
    void formatEndsWithoutReplyOnce();
    void exchangeNumbersRunOn();
};

void tst_Commands::writeSendsExactFrame_data()
{
    QTest::addColumn<DeviceSettings>("settings");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("example") << kExample << ExampleFrame();
    QByteArray zero = QByteArray::fromHex("025764");
    zero.append(100, '\0');
    zero.append(QByteArray::fromHex("bb03"));
    QTest::newRow("all zero") << DeviceSettings{} << zero;
    DeviceSettings max{2147483647, {}, {}, {}, {}, {}, {}};
    max.mac.fill(255);
    for (Address *a : Addresses(max)) {
        a->fill(255);
    }
    QByteArray full = QByteArray::fromHex("0257647fffffff");
    full.append(26, '\xff');
    full.append(70, '\0');
    full.append(QByteArray::fromHex("1d03")); // 7709 modulo 256
    QTest::newRow("maximum") << max << full;
}

void tst_Commands::writeSendsExactFrame()
{
    QFETCH(DeviceSettings, settings);
    QFETCH(QByteArray, frame);
    Rig rig;
    Fill(*rig.window, settings);
    rig.pick("COM3");
    rig.click("write_setup");
    // Edits during the exchange do not change what was sent.
    QTest::keyClicks(rig.child<QLineEdit>("ipadr1"), "9");
    QTRY_COMPARE(rig.log(), Log("COM3", "Writing Setup (1", "OK"));
    QCOMPARE(ToBytes(rig.sim->received()), frame);

    // What was written reads back as the same 27 texts.
    Fill(*rig.window, kExample == settings ? DeviceSettings{} : kExample);
    rig.click("read_setup");
    QTRY_COMPARE(rig.log(), Log("COM3", "Reading Setup (2", "OK"));
    QCOMPARE(TextList(*rig.window), TextList(settings));
}

void tst_Commands::invalidFieldIsRefused_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("focused");
    QTest::newRow("empty octet") << int(Box::ipadr2) << ""
                                 << "IP Address octet 2 has no valid value" << true;
    QTest::newRow("octet over 255") << int(Box::subnetmask4) << "256"
                                    << "Subnet mask octet 4 has no valid value" << true;
    QTest::newRow("MAC above FF") << int(Box::macadr3) << "100"
                                  << "MAC Adr. byte 3 has no valid value" << false;
    QTest::newRow("serial too large") << int(Box::serialno) << "4294967295"
                                      << "Serial No. above 2147483647 cannot be written" << false;
    QTest::newRow("empty serial") << int(Box::serialno) << ""
                                  << "Serial No. has no valid value" << false;
}

void tst_Commands::invalidFieldIsRefused()
{
    QFETCH(int, box);
    QFETCH(QString, text);
    QFETCH(QString, line);
    QFETCH(bool, focused);
    Rig rig;
    Fill(*rig.window, kExample);
    rig.pick("COM3");
    rig.window->setBoxText(Box(box), text);
    rig.button("read_setup")->setFocus();
    // The handler itself: an empty serial number has already disabled the button.
    rig.window->commands().write_setup_Click();
    QCOMPARE(rig.log(), QStringLiteral("Write Setup: %1\r\n").arg(line));
    QCOMPARE(rig.logColor(), kRed);
    QCOMPARE(rig.exchange().exchange_no(), 0);
    QVERIFY(!rig.exchange().busy());
    QCOMPARE(rig.window->findChild<QLineEdit *>(BoxObjectName(Box(box)))->hasFocus(), focused);
    QTest::qWait(50); // nothing may be written: give a stray write time to arrive
    QVERIFY(rig.sim->received().empty());
}

void tst_Commands::formatCancelChangesNothing()
{
    Rig rig;
    ReadOnce(rig);
    const QString log = rig.log();
    rig.sim->clearReceived();
    rig.formatAnswering(QMessageBox::Cancel);
    QCOMPARE(rig.log(), log);
    QCOMPARE(rig.exchange().exchange_no(), 1);
    QCOMPARE(rig.button("button_format_flash")->text(), QStringLiteral("Format Flash"));
    QVERIFY(rig.button("read_setup")->isEnabled());
    QVERIFY(rig.sim->received().empty());
}

void tst_Commands::formatAnsweredBeforeBarIsFull()
{
    Rig rig;
    rig.sim->setFormatTime(std::chrono::milliseconds(200));
    ReadOnce(rig);
    rig.sim->clearReceived();
    rig.formatAnswering(QMessageBox::Ok);
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

void tst_Commands::formatEndsWithoutReplyOnce_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<bool>("abort");
    QTest::newRow("abort mid-format") << 7 << true;
    QTest::newRow("no answer: timeout after the full bar") << 151 << false;
    QTest::newRow("abort after the full bar armed the timeout") << 151 << true;
}

// Without a reply the bar stays where it stopped and Format Flash stays enabled.
void tst_Commands::formatEndsWithoutReplyOnce()
{
    QFETCH(int, ticks);
    QFETCH(bool, abort);
    Rig rig;
    ReadOnce(rig);
    rig.sim->setReplyFault(SimulatedQuillon::ReplyFault::NoReply);
    rig.formatAnswering(QMessageBox::Ok);
    for (int i = 0; i < ticks; ++i) {
        rig.exchange().Timer3_Timer();
    }
    if (abort) {
        // The second click aborts and never shows the warning box.
        rig.click("button_format_flash");
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
    const QString log = Log("COM3", "Formatting Flash (2", abort ? "Aborted" : "Timeout");
    QTRY_COMPARE(rig.log(), log);
    QTest::qWait(50); // a second end would follow within 10 ms
    QCOMPARE(rig.log(), log);
    QCOMPARE(rig.logColor(), kRed);
    QCOMPARE(rig.child<QProgressBar>("bar_format_flash")->value(), std::min(ticks, 150));
    QVERIFY(rig.button("button_format_flash")->isEnabled());
    QVERIFY(rig.button("read_setup")->isEnabled());
    QCOMPARE(rig.button("button_format_flash")->text(), QStringLiteral("Format Flash"));
    QVERIFY(!rig.exchange().Timer3().isActive());
}

void tst_Commands::exchangeNumbersRunOn()
{
    Rig rig;
    ReadOnce(rig);
    rig.formatAnswering(QMessageBox::Cancel); // a cancelled format does not count
    rig.click("write_setup");
    QTRY_COMPARE(rig.log(), Log("COM3", "Writing Setup (2", "OK"));
    rig.formatAnswering(QMessageBox::Ok);
    QTRY_COMPARE(rig.log(), Log("COM3", "Formatting Flash (3", "OK"));
    rig.typePort("COM5");
    rig.click("read_setup");
    rig.typePort("COM3");
    rig.click("read_setup");
    QTRY_COMPARE(rig.log(), Log("COM3", "Reading Setup (5", "OK"));
}

QTEST_MAIN(tst_Commands)
#include "tst_commands.moc"

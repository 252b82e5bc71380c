// The demo as a newcomer meets it: the real window in front of its simulated Quillon.

#include "app/demosession.h"
#include "rig.h"

using namespace quillon;
using namespace quillon::test;

class tst_Demo : public QObject
{
    Q_OBJECT
private slots:
    void readEditWriteReadFormatAbort();
};

void tst_Demo::readEditWriteReadFormatAbort()
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
    QVERIFY(!demo.exchange().Timer3().isActive());
}

QTEST_MAIN(tst_Demo)
#include "tst_demo.moc"

// What the status log paints while an exchange runs, in order: the request leaves before the
// log's first paint, so only the order of the painted lines tells that nothing was lost.
#include "rig.h"

#include <QtTest>

using namespace quillon;
using namespace quillon::test;

namespace {

// Every text the label paints, each change once.
class PaintedTexts : public QObject
{
public:
    explicit PaintedTexts(QLabel *label) : label_(label) { label->installEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && (texts.isEmpty() || texts.last() != label_->text())) {
            texts << label_->text();
        }
        return false;
    }

private:
    QLabel *label_;
};

} // namespace

class tst_LogOrder : public QObject
{
    Q_OBJECT
private slots:
    void eachLinePaintedInOrder_data();
    void eachLinePaintedInOrder();
};

void tst_LogOrder::eachLinePaintedInOrder_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("painted");
    const QString open3 = QStringLiteral("OpenCom: COM3\r\n");
    QTest::newRow("read answered")
        << "COM3"
        << QStringList{QString(), open3, open3 + "Reading Setup (1): -> ",
                       Log("COM3", "Reading Setup (1", "OK")};
    // COM5 is mapped to a device that does not exist.
    const QString open5 = QStringLiteral("OpenCom: COM5\r\n");
    QTest::newRow("port that does not open")
        << "COM5" << QStringList{QString(), open5, open5 + "Port error: "};
}

void tst_LogOrder::eachLinePaintedInOrder()
{
    QFETCH(QString, port);
    QFETCH(QStringList, painted);
    Rig rig;
    rig.sim->setSettings(kExample);
    rig.sim->setPacing(SimulatedQuillon::Pacing::LineRate);
    rig.pick("COM3");
    rig.typePort(port);
    QTest::qWait(0);
    PaintedTexts seen(rig.child<QLabel>("status"));
    rig.click("read_setup");
    QTRY_VERIFY(!rig.exchange().busy());
    QTRY_COMPARE(seen.texts.size(), painted.size());
    for (int i = 0; i < painted.size(); ++i) {
        QVERIFY2(seen.texts[i].startsWith(painted[i]), qPrintable(seen.texts[i]));
    }
    QCOMPARE(seen.texts.last(), rig.log());
}

QTEST_MAIN(tst_LogOrder)
#include "tst_logorder.moc"

// quillon-station driven with real keys and clicks, its fixtures simulated Quillons behind
// links, its ledger a real one.
#include "app/stationdemo.h"
#include "cli/quillonctl.h"
#include "ledger/ledger.h"
#include "protocol/factorydefaults.h"
#include "station/fixturetile.h"
#include "station/stationwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

using namespace quillon;

namespace {

constexpr int kSlowMs = 15000;
// Short enough for a quick test, long enough for a loaded machine.
const StationRun::Timing kTiming{{1000}, 50};

using State = FixtureTile::State;

QString LabelText(const QWidget &window, const char *name)
{
    return window.findChild<QLabel *>(QString::fromLatin1(name))->text();
}

QString AccessibleName(FixtureTile *tile)
{
    return QAccessible::queryAccessibleInterface(tile)->text(QAccessible::Name);
}

QList<Ledger::Row> Rows(const StationDemo &demo)
{
    QString error;
    LedgerLocation location;
    location.path = demo.ledgerPath();
    return Ledger::openExisting(location, &error)->rows(&error).value_or(QList<Ledger::Row>{});
}

} // namespace

class tst_station : public QObject
{
    Q_OBJECT
private slots:
    void provisionsAtTheFixtures();
    void refusesWhatQuillonctlRefuses_data();
    void refusesWhatQuillonctlRefuses();
};

void tst_station::provisionsAtTheFixtures()
{
    StationDemo demo(3);
    demo.device(0).setReplyFault(SimulatedQuillon::ReplyFault::NoReply);
    demo.device(1).setReplyFault(SimulatedQuillon::ReplyFault::IgnoreWrites);
    StationWindow window(demo.portMap(), kTiming);
    window.show();
    // A label for each unit that passes, one fixture's printer failing; the station's record.
    const QString labels = demo.folder() + "/labels";
    const QString log = demo.folder() + "/station.ndjson";
    const QString hook = QStringLiteral(R"(echo "$QUILLON_SERIAL $QUILLON_MAC" >> '%1'; )"
                                        R"(case $QUILLON_PORT in */ttyUSB2) exit 3;; esac)")
                             .arg(labels);
    QTest::keyClicks(window.findChild<QLineEdit *>(QStringLiteral("labelHook")), hook);
    QTest::keyClicks(window.findChild<QLineEdit *>(QStringLiteral("stationLog")), log);
    // Mnemonics reach only the active window.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(window.windowHandle(), Qt::Key_S, Qt::AltModifier);
    // A mnemonic clicks the button a moment later, as the eye can follow.
    QTRY_VERIFY(window.running());
    const QList<FixtureTile *> tiles = window.tiles();
    QCOMPARE(tiles.size(), 3);
    QVERIFY2(AccessibleName(tiles[0]).endsWith(QStringLiteral("WAITING")),
             qPrintable(AccessibleName(tiles[0])));
    demo.device(0).setReplyFault(SimulatedQuillon::ReplyFault::None);

    // Two units pass with numbers of their own; one that never answers a write fails, saying so.
    QTRY_COMPARE_WITH_TIMEOUT(tiles[0]->state(), State::Passed, kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(tiles[2]->state(), State::Passed, kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(tiles[1]->state(), State::Failed, kSlowMs);
    QCOMPARE(tiles[1]->detail(), QStringLiteral("No answer to the write"));
    QVERIFY(AccessibleName(tiles[0]).endsWith(QStringLiteral("PASS")));
    QVERIFY(QAccessible::queryAccessibleInterface(tiles[0])
                ->text(QAccessible::Description)
                .contains(QStringLiteral("MAC 02:5C:E1:C0:10:0")));
    QCOMPARE(LabelText(window, "counters"), QStringLiteral("Passed 2    Failed 1"));
    QTRY_VERIFY(LabelText(window, "planSummary").contains(QStringLiteral("997 left")));

    // Closing while units are worked on asks first; declined, the station runs on.
    QTimer::singleShot(0,
                       [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    window.close();
    QVERIFY(window.isVisible() && window.running());
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // Its replacement passes; a fixture whose adapter is pulled says why, and recovers.
    demo.plugIn(1);
    QTRY_COMPARE_WITH_TIMEOUT(tiles[1]->state(), State::Passed, kSlowMs);
    demo.unplug(2);
    QTRY_COMPARE_WITH_TIMEOUT(tiles[2]->state(), State::Unavailable, kSlowMs);
    QVERIFY2(tiles[2]->detail().endsWith(QStringLiteral("does not exist")),
             qPrintable(tiles[2]->detail()));
    demo.plugIn(2);
    QTRY_COMPARE_WITH_TIMEOUT(tiles[2]->state(), State::Passed, kSlowMs);
    QTRY_VERIFY2_WITH_TIMEOUT(tiles[2]->detail().endsWith("Label not printed: exit status 3"),
                              qPrintable(tiles[2]->detail()), kSlowMs);

    // Stop while a slow unit is being worked on: it is finished, and every row is settled.
    demo.device(0).setPacing(SimulatedQuillon::Pacing::ByteGaps, std::chrono::milliseconds(3));
    demo.device(0).setSettings(FactorySettings());
    QTRY_COMPARE_WITH_TIMEOUT(tiles[0]->state(), State::Working, kSlowMs);
    QTest::keyClick(window.windowHandle(), Qt::Key_T, Qt::AltModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!window.running(), kSlowMs);
    QCOMPARE(tiles[0]->state(), State::Passed);

    QSet<quint32> serials;
    QSet<quint64> macs;
    QStringList shown;
    for (const Ledger::Row &row : Rows(demo)) {
        QVERIFY2(row.state == Ledger::State::Verified || row.state == Ledger::State::Failed,
                 qPrintable(Ledger::stateName(row.state)));
        serials << row.serial;
        macs << MacNumber(row.mac);
        if (row.state == Ledger::State::Verified) {
            shown << QStringLiteral("Serial %1").arg(row.serial);
        }
    }
    QCOMPARE(serials.size(), 6);
    QCOMPARE(macs.size(), 6);
    QCOMPARE(shown.size(), 5);
    for (FixtureTile *tile : tiles) {
        QVERIFY(shown.contains(tile->detail().section(QLatin1Char('\n'), 0, 0)));
    }

    // A label for every unit that passed, and every event of the run in the log; both fields
    // are there at the next start.
    QFile printed(labels);
    QVERIFY(printed.open(QIODevice::ReadOnly));
    QCOMPARE(printed.readAll().count('\n'), 5);
    QFile record(log);
    QVERIFY(record.open(QIODevice::ReadOnly));
    const QByteArray events = record.readAll();
    QCOMPARE(events.count(R"("event":"verified")"), 5);
    QCOMPARE(events.count(R"("event":"hook failed")"), 2);
    StationWindow again(demo.portMap(), kTiming);
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("labelHook"))->text(), hook);
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("stationLog"))->text(), log);
}

void tst_station::refusesWhatQuillonctlRefuses_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("errorLabel");
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<bool>("ledgerMissing");

    QTest::newRow("plan backwards")
        << "plan"
        << "planError" << QByteArray(R"({"serial": {"first": 5, "last": 4}})") << false;
    QTest::newRow("no ledger") << "ledger"
                               << "ledgerError" << QByteArray() << true;
    QTest::newRow("no fixture") << "fixtures"
                                << "fixturesError" << QByteArray() << false;
    QTest::newRow("log in no folder") << "stationLog"
                                      << "stationLogError" << QByteArray() << false;
}

void tst_station::refusesWhatQuillonctlRefuses()
{
    QFETCH(QString, field);
    QFETCH(QString, errorLabel);
    QFETCH(QByteArray, plan);
    QFETCH(bool, ledgerMissing);

    StationDemo demo(1);
    const QString planPath = plan.isEmpty() ? demo.planPath() : demo.folder() + "/bad.json";
    const QString ledgerPath = ledgerMissing ? demo.folder() + "/none.sqlite" : demo.ledgerPath();
    QFile file(planPath);
    QVERIFY(plan.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(plan) == plan.size()));
    file.close();

    auto window = std::make_unique<StationWindow>(demo.portMap(), kTiming);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QString logPath =
        field == QStringLiteral("stationLog") ? demo.folder() + "/none/station.ndjson" : QString();
    for (const auto &[name, text] : {std::pair{"plan", planPath}, std::pair{"ledger", ledgerPath},
                                     std::pair{"stationLog", logPath}}) {
        auto *edit = window->findChild<QLineEdit *>(QString::fromLatin1(name));
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    if (field == QStringLiteral("fixtures")) {
        auto *fixtures = window->findChild<QListWidget *>(QStringLiteral("fixtures"));
        fixtures->setFocus();
        fixtures->setCurrentRow(0);
        QTest::keyClick(fixtures, Qt::Key_Space);
    }
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("start")), Qt::LeftButton);
    // The ledger answers from a thread of its own.
    QTRY_VERIFY(!LabelText(*window, errorLabel.toLatin1()).isEmpty());
    QVERIFY(!window->running());
    QVERIFY(window->tiles().isEmpty());
    const QString shown = LabelText(*window, errorLabel.toLatin1());

    if (field != QStringLiteral("fixtures")) {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        CtlOptions options;
        options.portMap = demo.portMap();
        const QStringList log = logPath.isEmpty() ? QStringList() : QStringList{"--log", logPath};
        QVERIFY(RunQuillonCtl(QStringList{"quillonctl", "provision", "--plan", planPath, "--ledger",
                                          ledgerPath, "COM1"} +
                                  log,
                              options, outStream, errStream) != 0);
        errStream.flush();
        QVERIFY2(err.contains(shown), qPrintable(err + " / " + shown));
    } else {
        QCOMPARE(shown, QStringLiteral("Tick at least one fixture"));
        // A device path typed in is ticked, once, and the station starts on it.
        auto *add = window->findChild<QLineEdit *>(QStringLiteral("fixtureAdd"));
        QTest::keyClicks(add, demo.link(0));
        QTest::keyClick(add, Qt::Key_Return);
        QCOMPARE(window->findChild<QListWidget *>(QStringLiteral("fixtures"))->count(), 1);
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("start")),
                          Qt::LeftButton);
        QTRY_VERIFY(window->running());
        window->stop();
        QTRY_VERIFY(!window->running());
    }

    // What was chosen is there at the next start, refused or not.
    window.reset();
    StationWindow again(demo.portMap(), kTiming);
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("plan"))->text(), planPath);
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("ledger"))->text(), ledgerPath);
}

QTEST_MAIN(tst_station)
#include "tst_station.moc"

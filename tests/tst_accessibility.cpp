// What a screen reader announces, read through the same accessibility interfaces it uses.

#include "sim/simulatedquillon.h"
#include "window/main_frm.h"

#include <QAccessible>
#include <QComboBox>
#include <QTest>

using namespace quillon;

class tst_Accessibility : public QObject
{
    Q_OBJECT
private slots:
    void names_data();
    void names();
    void portEntriesNameTheirDevice();
};

void tst_Accessibility::names_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("name");
    // Without its own name a group is announced with the title of the group around it.
    QTest::newRow("Ethernet group") << "Frame4"
                                    << "Ethernet";
    QTest::newRow("logo") << "logo"
                          << "Quillon logo";
}

void tst_Accessibility::names()
{
    QFETCH(QString, object);
    QFETCH(QString, name);
    main_frm window{PortMap{}};
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QAccessibleInterface *spoken =
        QAccessible::queryAccessibleInterface(window.findChild<QWidget *>(object));
    QVERIFY(spoken != nullptr);
    QCOMPARE(spoken->text(QAccessible::Name), name);
}

void tst_Accessibility::portEntriesNameTheirDevice()
{
    SimulatedQuillon left;
    SimulatedQuillon right;
    const QString leftPath = QString::fromStdString(left.devicePath());
    const QString rightPath = QString::fromStdString(right.devicePath());
    PortMap map;
    map.setPort(3, {leftPath, QStringLiteral("left adapter"), {}, {}, {}});
    map.setPort(4, {rightPath, QStringLiteral("right adapter"), {}, {}, {}});
    main_frm window{map};
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto *ports = window.findChild<QComboBox *>(QStringLiteral("comports"));
    QCOMPARE(ports->count(), 2);
    // The entries are the cells of the combo box's list, its first accessible child.
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(ports)->child(0);
    QVERIFY(list != nullptr);
    QCOMPARE(list->childCount(), 2);
    const QList<std::pair<QString, QString>> expected{{"COM3", leftPath}, {"COM4", rightPath}};
    for (int i = 0; i < 2; ++i) {
        QAccessibleInterface *entry = list->child(i);
        QCOMPARE(entry->text(QAccessible::Name), expected[i].first);
        const QString description = entry->text(QAccessible::Description);
        QVERIFY2(description.contains(expected[i].second), qPrintable(description));
        QCOMPARE(description, ports->itemData(i, Qt::ToolTipRole).toString());
    }
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"

#include "fieldeditor.h"
#include "main_frm.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace quillon;

namespace {

QString Name(Box box)
{
    const std::string_view name = BoxObjectName(box);
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QString SpokenName(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

} // namespace

class tst_window : public QObject
{
    Q_OBJECT

    template <typename T = QPushButton> static T *child(main_frm &window, const QString &name)
    {
        return window.findChild<T *>(name);
    }

private slots:
    // Nothing can be sent before a port is picked and the factory fields are locked. A screen
    // reader names every control and tells the 27 boxes apart.
    void startState()
    {
        main_frm window{PortMap{}};
        QList<std::pair<QString, bool>> controls{
            {"comports", true},     {"bar_format_flash", true},     {"read_setup", false},
            {"write_setup", false}, {"button_format_flash", false}, {"default_values", true},
            {"closebutton", true}};
        for (int i = 0; i < kBoxCount; ++i) {
            controls.append({Name(BoxAt(i)), IsOctetBox(BoxAt(i))});
        }
        QSet<QString> spoken;
        for (const auto &[name, enabled] : controls) {
            QWidget *widget = child<QWidget>(window, name);
            QCOMPARE(widget->isEnabled(), enabled);
            QVERIFY2(!SpokenName(widget).isEmpty(), qPrintable(name));
            spoken << SpokenName(widget);
        }
        QCOMPARE(spoken.size(), controls.size());
    }

    void focusOrder()
    {
        main_frm window{PortMap{}};
        window.fields().Timer2_Timer();
        for (auto button : {CommandButton::read_setup, CommandButton::write_setup,
                            CommandButton::button_format_flash}) {
            window.setButtonEnabled(button, true);
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        child(window, "read_setup")->setFocus();

        QStringList expected{"read_setup", "closebutton", "write_setup", "serialno", "macadr1"};
        for (int i = BoxIndex(Box::ipadr1); i < kBoxCount; ++i) {
            expected << Name(BoxAt(i));
        }
        expected += QStringList{"default_values", "macadr2", "macadr3",  "macadr4",
                                "macadr5",        "macadr6", "comports", "button_format_flash",
                                "read_setup"};
        QStringList visited{"read_setup"};
        while (visited.size() < expected.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            // The port box's text field stands for the box itself.
            const bool inPortBox = qobject_cast<QComboBox *>(focus->parentWidget()) != nullptr;
            visited << (inPortBox ? focus->parentWidget() : focus)->objectName();
        }
        QCOMPARE(visited, expected);
    }

    void portBox_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<bool>("writeEnabled");
        QTest::newRow("no serial number") << "" << false;
        QTest::newRow("serial number") << "4711" << true;
    }

    // Typed text is never completed, rewritten or added as an entry; only a pick of an entry
    // enables the commands.
    void portBox()
    {
        QFETCH(QString, serial);
        QFETCH(bool, writeEnabled);
        main_frm window{PortMap{}};
        auto *ports = child<QComboBox>(window, "comports");
        ports->addItem("COM3");
        ports->setCurrentIndex(-1);
        window.setBoxText(Box::serialno, serial);
        window.setButtonEnabled(CommandButton::write_setup, false);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        ports->setFocus();

        QTest::keyClicks(ports, "COM");
        QTest::keyClick(ports, Qt::Key_Return);
        QCOMPARE(ports->count(), 1);
        QCOMPARE(window.portText(), "COM");
        QVERIFY(!child(window, "read_setup")->isEnabled());

        QTest::keyClick(ports, Qt::Key_Down);
        QCOMPARE(window.portText(), "COM3");
        QVERIFY(child(window, "read_setup")->isEnabled());
        QCOMPARE(child(window, "write_setup")->isEnabled(), writeEnabled);
        QVERIFY(!child(window, "button_format_flash")->isEnabled());
    }

    // Coarse timers may fire 5 % early: a hold released at 4.85 s would unlock, and a reply
    // could time out at 1.9 s.
    void timersArePrecise()
    {
        main_frm window{PortMap{}};
        QCOMPARE(window.exchange().Timer1().timerType(), Qt::PreciseTimer);
        QCOMPARE(window.fields().Timer2().timerType(), Qt::PreciseTimer);
        QCOMPARE(window.exchange().Timer3().timerType(), Qt::PreciseTimer);
    }

    void statusShowsPlainText()
    {
        main_frm window{PortMap{}};
        window.setStatusText("<b>COM3\r\n");
        QCOMPARE(SpokenName(child<QLabel>(window, "status")), "<b>COM3\r\n");
    }

    void busyPointerNeverSticks()
    {
        main_frm window{PortMap{}};
        window.setBusyPointer(true);
        window.setBusyPointer(true);
        QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
        QVERIFY(!QApplication::overrideCursor());
        window.setBusyPointer(false);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    }

    void confirmFormat_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("Enter takes the default OK") << int(Qt::Key_Return) << true;
        QTest::newRow("Escape cancels") << int(Qt::Key_Escape) << false;
    }

    void confirmFormat()
    {
        QFETCH(int, key);
        QFETCH(bool, confirmed);
        main_frm window{PortMap{}};
        window.show();
        QString seen;
        QTimer::singleShot(0, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen = box->windowTitle() + '|' + box->text();
                seen += box->icon() == QMessageBox::Warning ? "|warning" : "|no warning icon";
                QTest::keyClick(box, Qt::Key(key));
            }
        });
        QCOMPARE(window.confirmFormat(), confirmed);
        QCOMPARE(seen, "Format Flash|WARNING: Formatting will erase ALL files on drive F:|warning");
    }
};

QTEST_MAIN(tst_window)
#include "tst_window.moc"

#include "fieldeditor.h"
#include "main_frm.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace quillon;

namespace {

QString Name(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString SpokenName(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

} // namespace

class tst_window : public QObject
{
    Q_OBJECT
private slots:
    void startState_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("text");
        QTest::newRow("read_setup") << "read_setup" << false << "Read Setup";
        QTest::newRow("write_setup") << "write_setup" << false << "Write Setup";
        QTest::newRow("button_format_flash") << "button_format_flash" << false << "Format Flash";
        QTest::newRow("default_values") << "default_values" << true << "Default";
        QTest::newRow("closebutton") << "closebutton" << true << "Exit";
        QTest::newRow("comports") << "comports" << true << "";
        for (int i = 0; i < kBoxCount; ++i) {
            const QString box = Name(BoxObjectName(BoxAt(i)));
            QTest::newRow(qPrintable(box)) << box << IsOctetBox(BoxAt(i)) << "";
        }
    }

    void startState()
    {
        QFETCH(QString, control);
        QFETCH(bool, enabled);
        QFETCH(QString, text);
        main_frm window{PortMap{}};
        QCOMPARE(window.windowTitle(), "Quillon V1.02");
        QWidget *widget = window.findChild<QWidget *>(control);
        QVERIFY(widget);
        QCOMPARE(widget->isEnabled(), enabled);
        QCOMPARE(widget->property(qobject_cast<QComboBox *>(widget) ? "currentText" : "text"),
                 text);
        if (auto *box = qobject_cast<QLineEdit *>(widget)) {
            QCOMPARE(box->alignment(), Qt::AlignCenter);
        }
    }

    void accessibleNames()
    {
        main_frm window{PortMap{}};
        for (int i = 0; i < kBoxCount; ++i) {
            const Box box = BoxAt(i);
            QCOMPARE(SpokenName(window.findChild<QLineEdit *>(Name(BoxObjectName(box)))),
                     Name(BoxOperatorName(box)));
        }
        QList<QWidget *> others{window.findChild<QComboBox *>("comports"),
                                window.findChild<QProgressBar *>("bar_format_flash")};
        for (QPushButton *button : window.findChildren<QPushButton *>()) {
            others << button;
        }
        for (QWidget *widget : others) {
            QVERIFY2(!SpokenName(widget).isEmpty(), qPrintable(widget->objectName()));
        }
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
        window.findChild<QWidget *>("read_setup")->setFocus();

        QStringList expected{"read_setup", "closebutton", "write_setup", "serialno", "macadr1"};
        for (int i = BoxIndex(Box::ipadr1); i < kBoxCount; ++i) {
            expected << Name(BoxObjectName(BoxAt(i)));
        }
        expected += QStringList{"default_values", "macadr2", "macadr3",  "macadr4",
                                "macadr5",        "macadr6", "comports", "button_format_flash",
                                "read_setup"};
        QStringList visited{"read_setup"};
        while (visited.size() < expected.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            // The port box's text field stands for the box itself.
            if (qobject_cast<QComboBox *>(focus->parentWidget())) {
                focus = focus->parentWidget();
            }
            visited << focus->objectName();
        }
        QCOMPARE(visited, expected);
    }

    void progressBar()
    {
        main_frm window{PortMap{}};
        auto *bar = window.findChild<QProgressBar *>("bar_format_flash");
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(window.progressMaximum(), 150.0);
        window.setProgressValue(150);
        QCOMPARE(bar->value(), bar->maximum());
    }

    void portBoxKeepsTypedText()
    {
        main_frm window{PortMap{}};
        auto *ports = window.findChild<QComboBox *>("comports");
        ports->addItem("COM3");
        ports->setCurrentIndex(-1);
        QCOMPARE(window.portText(), QString());
        QVERIFY(!ports->completer());

        QTest::keyClicks(ports, "COM9");
        QTest::keyClick(ports, Qt::Key_Return);
        QCOMPARE(ports->count(), 1);
        QCOMPARE(window.portText(), "COM9");
        QVERIFY(!window.findChild<QPushButton *>("read_setup")->isEnabled());
    }

    void portPick_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<bool>("writeEnabled");
        QTest::newRow("no serial number") << "" << false;
        QTest::newRow("serial number") << "4711" << true;
    }

    void portPick()
    {
        QFETCH(QString, serial);
        QFETCH(bool, writeEnabled);
        main_frm window{PortMap{}};
        auto *ports = window.findChild<QComboBox *>("comports");
        ports->addItem("COM3");
        ports->setCurrentIndex(-1);
        window.setBoxText(Box::serialno, serial);
        window.setButtonEnabled(CommandButton::write_setup, false);

        QTest::keyClick(ports, Qt::Key_Down);
        QCOMPARE(window.portText(), "COM3");
        QVERIFY(window.findChild<QPushButton *>("read_setup")->isEnabled());
        QCOMPARE(window.findChild<QPushButton *>("write_setup")->isEnabled(), writeEnabled);
        QVERIFY(!window.findChild<QPushButton *>("button_format_flash")->isEnabled());
    }

    void statusShowsPlainText()
    {
        main_frm window{PortMap{}};
        window.setStatusText("<b>COM3\r\n");
        QCOMPARE(SpokenName(window.findChild<QLabel *>("status")), "<b>COM3\r\n");
    }

    void statusColor_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QColor>("color");
        QTest::newRow("log green") << kLogGreen << QColor(0, 192, 0);
        QTest::newRow("log red") << kLogRed << QColor(255, 0, 0);
    }

    void statusColor()
    {
        QFETCH(int, value);
        QFETCH(QColor, color);
        main_frm window{PortMap{}};
        window.setStatusColor(value);
        QCOMPARE(window.findChild<QLabel *>("status")->palette().color(QPalette::WindowText),
                 color);
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
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                text = box->text();
                icon = box->icon();
                QTest::keyClick(box, Qt::Key(key));
            }
        });
        QCOMPARE(window.confirmFormat(), confirmed);
        QCOMPARE(title, "Format Flash");
        QCOMPARE(text, "WARNING: Formatting will erase ALL files on drive F:");
        QCOMPARE(icon, QMessageBox::Warning);
    }

    void fitsSmallScreenCentred()
    {
        main_frm window{PortMap{}};
        window.show();
        // A 1366x768 screen, less a title bar and a task bar.
        QVERIFY(window.width() <= 1366);
        QVERIFY(window.height() <= 700);
        const QPoint offset =
            window.geometry().center() - window.screen()->availableGeometry().center();
        // The window frame's border shifts the client area by a few pixels.
        QVERIFY(offset.manhattanLength() <= 8);
    }

    void exitClosesWindow()
    {
        main_frm window{PortMap{}};
        window.show();
        QTest::mouseClick(window.findChild<QPushButton *>("closebutton"), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY(window.statusText().isEmpty());
    }
};

QTEST_MAIN(tst_window)
#include "tst_window.moc"

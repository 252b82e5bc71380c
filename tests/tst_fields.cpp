#include "expected.h"
#include "window/fieldeditor.h"
#include "window/main_frm.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace quillon;
using namespace quillon::test;

namespace {

// One key press or release and the text the box must show right after it.
struct KeyStep
{
    bool press;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QString expected;
};
using KeySteps = QList<KeyStep>;

KeySteps Click(Qt::Key key, const QString &afterPress, const QString &afterRelease,
               Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    return {{true, key, mods, afterPress}, {false, key, mods, afterRelease}};
}

QLineEdit *Edit(main_frm &window, Box box)
{
    return window.findChild<QLineEdit *>(BoxObjectName(box));
}

} // namespace

Q_DECLARE_METATYPE(KeySteps)

class tst_fields : public QObject
{
    Q_OBJECT
private slots:
    void keys_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("filled"); // set by the program before typing
        QTest::addColumn<QString>("typed");
        QTest::addColumn<KeySteps>("steps");
        const int octet = BoxIndex(Box::ipadr4);
        const int serial = BoxIndex(Box::serialno);
        const auto shift = Qt::ShiftModifier;
        const auto ctrl = Qt::ControlModifier;
        const auto keypad = Qt::KeypadModifier;
        // After typing, a press and release of the Right arrow, as an operator leaves a box.
        Row("octet over 255", octet, "", "256", Click(Qt::Key_Right, "25", "25"));
        Row("octet 255", octet, "", "255", Click(Qt::Key_Right, "255", "255"));
        Row("octet leading zeros", octet, "", "007", Click(Qt::Key_Right, "007", "007"));
        Row("octet letter", octet, "", "1a", Click(Qt::Key_Right, "1", "1"));
        Row("filled octet, 6 over 255", octet, "25", "6", Click(Qt::Key_Right, "25", "25"));
        Row("serial 007", serial, "", "007", Click(Qt::Key_Right, "007", "7"));
        Row("serial empty", serial, "", "", Click(Qt::Key_Right, "", "0"));
        Row("filled serial, letter", serial, "4711", "x", Click(Qt::Key_Right, "4711", "4711"));
        Row("keypad digit", octet, "", "1", Click(Qt::Key_5, "15", "1", keypad));
        Row("delete undone", octet, "", "12",
            Click(Qt::Key_Home, "12", "12") + Click(Qt::Key_Delete, "2", "12"));
        Row("octet backspace to empty", octet, "", "12",
            Click(Qt::Key_Backspace, "1", "1") + Click(Qt::Key_Backspace, "", ""));
        Row("filled serial, backspace to empty", serial, "47", "",
            Click(Qt::Key_Backspace, "4", "4") + Click(Qt::Key_Backspace, "", ""));
        // A US layout reports Shift+1 as "!"; the release of 1 after Shift is the plain digit.
        Row("shift+1 as !, key released first", octet, "", "1",
            Click(Qt::Key_Exclam, "1!", "1", shift));
        Row("shift+1 as !, shift released first", octet, "", "1",
            KeySteps{{true, Qt::Key_Exclam, shift, "1!"},
                     {false, Qt::Key_Shift, {}, "1"},
                     {false, Qt::Key_1, {}, "1"}});
        // A layout whose digits need Shift reports the digit key itself.
        Row("shifted digit, key released first", octet, "", "1",
            Click(Qt::Key_2, "12", "12", shift));
        Row("shifted digit, shift released first: nothing stray", octet, "", "1",
            KeySteps{{true, Qt::Key_2, shift, "12"},
                     {false, Qt::Key_Shift, {}, "1"},
                     {false, Qt::Key_Eacute, {}, "1"}});
        Row("paste, V released first", octet, "", "1", Click(Qt::Key_V, "199", "1", ctrl));
        Row("paste, Ctrl released first", octet, "", "1",
            KeySteps{{true, Qt::Key_V, ctrl, "199"},
                     {false, Qt::Key_Control, {}, "1"},
                     {false, Qt::Key_V, {}, "1"}});
    }

    void keys()
    {
        QFETCH(int, box);
        QFETCH(QString, filled);
        QFETCH(QString, typed);
        QFETCH(KeySteps, steps);
        QGuiApplication::clipboard()->setText("99");
        main_frm window{PortMap{}};
        window.fields().Timer2_Timer();
        window.setBoxText(BoxAt(box), filled);
        QLineEdit *edit = Edit(window, BoxAt(box));
        QTest::keyClicks(edit, typed);
        for (const KeyStep &step : steps) {
            step.press ? QTest::keyPress(edit, step.key, step.modifiers)
                       : QTest::keyRelease(edit, step.key, step.modifiers);
            QCOMPARE(edit->text(), step.expected);
        }
        // Write Setup follows the serial number box: usable exactly while it holds a text.
        QCOMPARE(window.findChild<QPushButton *>("write_setup")->isEnabled(),
                 !window.boxText(Box::serialno).isEmpty());
    }

    // Default Values keeps the serial number, and the MAC too while it is locked. A click does
    // not unlock the serial number and MAC boxes; a held press of either button does, no
    // earlier than 5000 ms after the press: the one real wait for the hold.
    void defaultsAndUnlock()
    {
        main_frm window{PortMap{}};
        const auto defaults = [&window] {
            for (int i = BoxIndex(Box::macadr1); i <= BoxIndex(Box::macadr6); ++i) {
                window.setBoxText(BoxAt(i), "AA");
            }
            window.setBoxText(Box::serialno, "4711");
            window.findChild<QPushButton *>("write_setup")->setEnabled(false);
            QTest::mouseClick(window.findChild<QPushButton *>("default_values"), Qt::LeftButton);
            QTest::keyClick(Edit(window, Box::ipadr1), Qt::Key_Left);
            QStringList texts;
            for (int i = 0; i < kBoxCount; ++i) {
                texts << window.boxText(BoxAt(i));
            }
            return texts;
        };
        const QStringList octets{"10", "10", "10", "11", "255", "255", "255", "0", "0", "0",
                                 "0",  "0",  "0",  "0",  "0",   "0",   "0",   "0", "0", "0"};
        QCOMPARE(defaults(), QStringList{"4711"} + QStringList(6, "AA") + octets);
        QVERIFY(!window.findChild<QPushButton *>("write_setup")->isEnabled());

        auto *label = window.findChild<QLabel *>("ena_serialno");
        QLineEdit *serial = Edit(window, Box::serialno);
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(!window.fields().Timer2().isActive());
        QVERIFY(!serial->isEnabled());
        QElapsedTimer held;
        qint64 unlockedAt = -1;
        connect(&window.fields().Timer2(), &QTimer::timeout, this, [&] {
            if (unlockedAt < 0 && serial->isEnabled()) {
                unlockedAt = held.elapsed();
            }
        });
        QTest::mousePress(label, Qt::RightButton);
        held.start();
        QTRY_VERIFY_WITH_TIMEOUT(serial->isEnabled(), 10000);
        QTest::mouseRelease(label, Qt::RightButton);
        QVERIFY2(unlockedAt >= 5000, qPrintable(QString::number(unlockedAt)));
        for (int i = BoxIndex(Box::serialno); i <= BoxIndex(Box::macadr6); ++i) {
            QLineEdit *box = Edit(window, BoxAt(i));
            QVERIFY(box->isEnabled());
            QCOMPARE(box->palette().color(QPalette::Base), QColor(128, 255, 128));
        }
        const QStringList mac{"02", "5C", "E1", "C0", "00", "00"};
        QCOMPARE(defaults(), QStringList{"4711"} + mac + octets);
    }
};

QTEST_MAIN(tst_fields)
#include "tst_fields.moc"

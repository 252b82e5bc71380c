#include "fieldeditor.h"
#include "main_frm.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace quillon;

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

KeyStep Press(Qt::Key key, const QString &expected, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    return {true, key, mods, expected};
}

KeyStep Release(Qt::Key key, const QString &expected, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    return {false, key, mods, expected};
}

// filled is the text the program set before typing; null when it set none.
void AddTextRow(const char *name, Box box, const QString &filled, const QString &typed,
                const QString &afterTyping, const QString &afterArrow)
{
    QTest::newRow(name) << BoxIndex(box) << filled << typed << afterTyping << afterArrow;
}

QLineEdit *Edit(main_frm &window, Box box)
{
    const std::string_view name = BoxObjectName(box);
    return window.findChild<QLineEdit *>(QString::fromUtf8(name.data(), qsizetype(name.size())));
}

} // namespace

Q_DECLARE_METATYPE(KeySteps)

class tst_fields : public QObject
{
    Q_OBJECT
private slots:
    void keySequences_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("caret");
        QTest::addColumn<KeySteps>("steps");
        const auto shift = Qt::ShiftModifier;
        const auto ctrl = Qt::ControlModifier;
        const auto keypad = Qt::KeypadModifier;
        QTest::newRow("keypad digit")
            << "1" << -1
            << KeySteps{Press(Qt::Key_5, "15", keypad), Release(Qt::Key_5, "1", keypad)};
        QTest::newRow("delete undone")
            << "12" << 0 << KeySteps{Press(Qt::Key_Delete, "2"), Release(Qt::Key_Delete, "12")};
        QTest::newRow("backspace")
            << "12" << -1
            << KeySteps{Press(Qt::Key_Backspace, "1"), Release(Qt::Key_Backspace, "1")};
        QTest::newRow("backspace to empty")
            << "1" << -1 << KeySteps{Press(Qt::Key_Backspace, ""), Release(Qt::Key_Backspace, "")};
        for (Qt::Key key : {Qt::Key_Left, Qt::Key_Down, Qt::Key_Tab, Qt::Key_Return, Qt::Key_Shift,
                            Qt::Key_Control}) {
            QTest::addRow("key %x keeps text", key)
                << "12" << -1 << KeySteps{Press(key, "12"), Release(key, "12")};
        }
        // A US layout reports Shift+1 as "!"; the release of 1 after Shift is the plain digit.
        QTest::newRow("shift+1 as !, key released first")
            << "1" << -1
            << KeySteps{Press(Qt::Key_Exclam, "1!", shift), Release(Qt::Key_Exclam, "1", shift)};
        QTest::newRow("shift+1 as !, shift released first")
            << "1" << -1
            << KeySteps{Press(Qt::Key_Exclam, "1!", shift), Release(Qt::Key_Shift, "1"),
                        Release(Qt::Key_1, "1")};
        // A layout whose digits need Shift reports the digit key itself.
        QTest::newRow("shifted digit, key released first")
            << "1" << -1
            << KeySteps{Press(Qt::Key_2, "12", shift), Release(Qt::Key_2, "12", shift)};
        QTest::newRow("shifted digit, shift released first: nothing stray")
            << "1" << -1
            << KeySteps{Press(Qt::Key_2, "12", shift), Release(Qt::Key_Shift, "1"),
                        Release(Qt::Key_Eacute, "1")};
        QTest::newRow("paste, V released first")
            << "1" << -1 << KeySteps{Press(Qt::Key_V, "199", ctrl), Release(Qt::Key_V, "1", ctrl)};
        QTest::newRow("paste, Ctrl released first")
            << "1" << -1
            << KeySteps{Press(Qt::Key_V, "199", ctrl), Release(Qt::Key_Control, "1"),
                        Release(Qt::Key_V, "1")};
    }

    void keySequences()
    {
        QFETCH(QString, start);
        QFETCH(int, caret);
        QFETCH(KeySteps, steps);
        QGuiApplication::clipboard()->setText("99");
        main_frm window{PortMap{}};
        QLineEdit *box = Edit(window, Box::ipadr2);
        QTest::keyClicks(box, start);
        if (caret >= 0) {
            box->setCursorPosition(caret);
        }
        for (const KeyStep &step : steps) {
            if (step.press) {
                QTest::keyPress(box, step.key, step.modifiers);
            } else {
                QTest::keyRelease(box, step.key, step.modifiers);
            }
            QCOMPARE(box->text(), step.expected);
        }
    }

    void keyAfterText_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("filled");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("afterTyping");
        QTest::addColumn<QString>("afterArrow");
        const Box octet = Box::ipadr4;
        const Box serial = Box::serialno;
        const QString none;
        AddTextRow("octet over 255", octet, none, "256", "25", "25");
        AddTextRow("octet 255", octet, none, "255", "255", "255");
        AddTextRow("octet leading zeros", octet, none, "007", "007", "007");
        AddTextRow("octet letter", octet, none, "1a", "1", "1");
        AddTextRow("octet period", octet, none, "10.", "10", "10");
        AddTextRow("octet fourth character", octet, none, "1234", "123", "123");
        AddTextRow("filled octet, 6 over 255", octet, "25", "6", "25", "25");
        AddTextRow("filled octet, arrow", octet, "10", "", "10", "10");
        AddTextRow("filled octet, digit", octet, "10", "0", "100", "100");
        AddTextRow("serial 007", serial, none, "007", "007", "7");
        AddTextRow("serial empty", serial, none, "", "", "0");
        AddTextRow("serial letter", serial, none, "12a", "12", "12");
        AddTextRow("serial ten digits", serial, none, "12345678901", "1234567890", "1234567890");
        AddTextRow("filled serial", serial, "00123", "", "00123", "123");
        AddTextRow("filled serial, letter", serial, "4711", "x", "4711", "4711");
    }

    void keyAfterText()
    {
        QFETCH(int, box);
        QFETCH(QString, filled);
        QFETCH(QString, typed);
        QFETCH(QString, afterTyping);
        QFETCH(QString, afterArrow);
        main_frm window{PortMap{}};
        window.fields().Timer2_Timer();
        if (!filled.isNull()) {
            window.setBoxText(BoxAt(box), filled);
        }
        QLineEdit *edit = Edit(window, BoxAt(box));
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), afterTyping);
        QTest::keyClick(edit, Qt::Key_Right);
        QCOMPARE(edit->text(), afterArrow);
    }

    void serialControlsWriteSetup()
    {
        main_frm window{PortMap{}};
        auto *write = window.findChild<QPushButton *>("write_setup");
        QLineEdit *serial = Edit(window, Box::serialno);
        window.setBoxText(Box::serialno, "47");
        QVERIFY(write->isEnabled());

        window.fields().Timer2_Timer();
        QTest::keyClick(serial, Qt::Key_Backspace);
        QTest::keyClick(serial, Qt::Key_Backspace);
        QVERIFY(!write->isEnabled());
        QTest::keyClick(serial, Qt::Key_Up);
        QCOMPARE(serial->text(), "0");
        QVERIFY(write->isEnabled());
    }

    void unlockNeedsHold()
    {
        main_frm window{PortMap{}};
        auto *label = window.findChild<QLabel *>("ena_serialno");
        QTimer &hold = window.fields().Timer2();
        QTest::mousePress(label, Qt::LeftButton);
        QVERIFY(hold.isActive());
        QCOMPARE(hold.interval(), 5000);
        QTest::mouseRelease(label, Qt::LeftButton);
        QVERIFY(!hold.isActive());
        QVERIFY(!Edit(window, Box::serialno)->isEnabled());

        QTest::mousePress(label, Qt::RightButton);
        QVERIFY(hold.isActive());
        window.fields().Timer2_Timer();
        window.fields().Timer2_Timer();
        QTest::mouseRelease(label, Qt::RightButton);
        QVERIFY(!hold.isActive());
        for (int i = BoxIndex(Box::serialno); i <= BoxIndex(Box::macadr6); ++i) {
            QLineEdit *box = Edit(window, BoxAt(i));
            QVERIFY(box->isEnabled());
            QCOMPARE(box->palette().color(QPalette::Base), QColor(128, 255, 128));
            QCOMPARE(box->palette().color(QPalette::Text), QColor(Qt::black));
        }
    }

    void defaults_data()
    {
        QTest::addColumn<bool>("unlocked");
        QTest::addColumn<QStringList>("mac");
        QTest::newRow("locked") << false << QStringList(6, "AA");
        QTest::newRow("unlocked") << true << QStringList{"02", "5C", "E1", "C0", "00", "00"};
    }

    void defaults()
    {
        QFETCH(bool, unlocked);
        QFETCH(QStringList, mac);
        main_frm window{PortMap{}};
        for (int i = BoxIndex(Box::macadr1); i <= BoxIndex(Box::macadr6); ++i) {
            window.setBoxText(BoxAt(i), "AA");
        }
        window.setBoxText(Box::serialno, "4711");
        window.setButtonEnabled(CommandButton::write_setup, false);
        if (unlocked) {
            window.fields().Timer2_Timer();
        }
        QTest::mouseClick(window.findChild<QPushButton *>("default_values"), Qt::LeftButton);

        const QStringList octets{"10", "10", "10", "11", "255", "255", "255", "0", "0", "0",
                                 "0",  "0",  "0",  "0",  "0",   "0",   "0",   "0", "0", "0"};
        QStringList texts;
        for (int i = 0; i < kBoxCount; ++i) {
            texts << window.boxText(BoxAt(i));
        }
        QCOMPARE(texts, QStringList{"4711"} + mac + octets);
        QVERIFY(!window.findChild<QPushButton *>("write_setup")->isEnabled());
        QTest::keyClick(Edit(window, Box::ipadr1), Qt::Key_Left);
        QCOMPARE(window.boxText(Box::ipadr1), "10");
    }
};

QTEST_MAIN(tst_fields)
#include "tst_fields.moc"

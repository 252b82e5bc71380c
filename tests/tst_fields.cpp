// The settings boxes and the status log in an operator's hands: keys, defaults, the held unlock,
// and the log's colours on light and dark desktops. Contrast is worked out here from the WCAG 2
// definition, independently of the window code.

#include "expected.h"
#include "link/frontend.h"
#include "window/fieldeditor.h"
#include "window/logcolors.h"
#include "window/main_frm.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cmath>

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

double Linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor &color)
{
    return 0.2126 * Linear(color.red()) + 0.7152 * Linear(color.green()) +
           0.0722 * Linear(color.blue());
}

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double first = Luminance(a);
    const double second = Luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// The tint still reads as the colour the operator knows: its own channel leads.
bool KeepsHue(const QColor &color, bool failed)
{
    return failed
               ? color.red() == 255 && color.red() > color.green() && color.green() == color.blue()
               : color.green() > color.red() && color.red() == color.blue();
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

    void colorsOnEveryWindow_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<bool>("failed");
        // Lightness 128 and above is a light window.
        const std::pair<const char *, QRgb> windows[]{
            {"white", 0xffffff},     {"lightness 128", 0x808080}, {"black", 0x000000},
            {"blue grey", 0x2a2e32}, {"dark blue", 0x1f3a5f},     {"grey 100", 0x646464}};
        for (const auto &[name, color] : windows) {
            QTest::addRow("%s, running or OK", name) << QColor(color) << false;
            QTest::addRow("%s, failed", name) << QColor(color) << true;
        }
    }

    // Light windows keep the design's green and red exactly; dark ones get tints that still read as
    // green and red at a contrast of at least 4.5:1.
    void colorsOnEveryWindow()
    {
        QFETCH(QColor, window);
        QFETCH(bool, failed);
        QPalette palette;
        palette.setColor(QPalette::Window, window);
        const QColor color = LogColor(failed ? LogState::Failed : LogState::Succeeded, palette);
        if (window.lightness() >= 128) {
            QCOMPARE(color, failed ? QColor(255, 0, 0) : QColor(0, 192, 0));
            return;
        }
        const double contrast = ContrastRatio(color, window);
        QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("%1 on %2: %3:1")
                                                 .arg(color.name(), window.name())
                                                 .arg(contrast, 0, 'f', 2)));
        QVERIFY2(KeepsHue(color, failed), qPrintable(color.name()));
    }

    // A desktop switched between light and dark while the log shows a result recolours it.
    void logFollowsThePalette()
    {
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        dark.setColor(QPalette::Window, QColor(42, 46, 50));
        dark.setColor(QPalette::WindowText, QColor(252, 252, 252));
        main_frm window{PortMap{}};
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QLabel *log = window.findChild<QLabel *>("status");
        const auto color = [log](QPalette::ColorRole role) {
            return log->palette().color(role);
        };
        const auto readable = [&](bool failed) {
            return ContrastRatio(color(QPalette::WindowText), color(QPalette::Window)) >= 4.5 &&
                   KeepsHue(color(QPalette::WindowText), failed);
        };

        window.setLogState(LogState::Failed);
        QCOMPARE(color(QPalette::WindowText), QColor(255, 0, 0));
        QApplication::setPalette(dark);
        QTRY_COMPARE(color(QPalette::Window), QColor(42, 46, 50));
        QVERIFY2(readable(true), qPrintable(color(QPalette::WindowText).name()));
        // A new exchange on the dark desktop starts in the readable green.
        window.setLogState(LogState::Succeeded);
        QVERIFY2(readable(false), qPrintable(color(QPalette::WindowText).name()));
        // Back on a light desktop the failure shows in the design's red again.
        window.setLogState(LogState::Failed);
        QApplication::setPalette(light);
        QTRY_COMPARE(color(QPalette::WindowText), QColor(255, 0, 0));
    }
};

QTEST_MAIN(tst_fields)
#include "tst_fields.moc"

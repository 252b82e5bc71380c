// The status log's colours on light and dark desktops. Contrast is worked out here from the WCAG 2
// definition, independently of the window code.

#include "link/frontend.h"
#include "window/logcolors.h"
#include "window/main_frm.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QTest>

#include <algorithm>
#include <cmath>

using namespace quillon;

namespace {

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

QPalette WithWindow(const QColor &window)
{
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    return palette;
}

// The tint still reads as the colour the operator knows: its own channel leads.
bool KeepsHue(const QColor &color, bool failed)
{
    return failed
               ? color.red() == 255 && color.red() > color.green() && color.green() == color.blue()
               : color.green() > color.red() && color.red() == color.blue();
}

} // namespace

class tst_LogColors : public QObject
{
    Q_OBJECT
private slots:
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
        const QColor color =
            LogColor(failed ? LogState::Failed : LogState::Succeeded, WithWindow(window));
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

    void followsThePaletteWhileRunning()
    {
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        dark.setColor(QPalette::Window, QColor(42, 46, 50));
        dark.setColor(QPalette::WindowText, QColor(252, 252, 252));

        main_frm window{PortMap{}};
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QLabel *log = window.findChild<QLabel *>(QStringLiteral("status"));
        const auto logColor = [log] {
            return log->palette().color(QPalette::WindowText);
        };
        const auto logContrast = [log, &logColor] {
            return ContrastRatio(logColor(), log->palette().color(QPalette::Window));
        };

        window.setLogState(LogState::Failed);
        QCOMPARE(logColor(), QColor(255, 0, 0));
        QApplication::setPalette(dark);
        QTRY_COMPARE(log->palette().color(QPalette::Window), QColor(42, 46, 50));
        QVERIFY2(logContrast() >= 4.5, qPrintable(logColor().name()));
        QVERIFY(KeepsHue(logColor(), true));
        QVERIFY(logColor() != QColor(255, 0, 0));

        // A new exchange on the dark desktop starts in the readable green.
        window.setLogState(LogState::Succeeded);
        QVERIFY2(logContrast() >= 4.5, qPrintable(logColor().name()));
        QVERIFY(KeepsHue(logColor(), false));

        // Back on a light desktop the failure shows in the design's red again.
        window.setLogState(LogState::Failed);
        QApplication::setPalette(light);
        QTRY_COMPARE(logColor(), QColor(255, 0, 0));
    }
};

QTEST_MAIN(tst_LogColors)
#include "tst_logcolors.moc"

// The group boxes' measurements are kept between repaints: the window must look exactly as the
// application's own style draws it, on light and dark desktops, at twice the scale, and when a
// repaint covers only part of a box.

#include "window/groupboxstyle.h"
#include "window/main_frm.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QPushButton>
#include <QTest>

using namespace quillon;

namespace {

QPalette Dark()
{
    QPalette palette(QColor(53, 53, 53));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(35, 35, 35));
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::ButtonText, Qt::white);
    return palette;
}

QImage Render(QWidget &window, const QRegion &region, qreal scale)
{
    QImage image(window.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    window.render(&image, QPoint(), region);
    return image;
}

} // namespace

class tst_GroupBoxStyle : public QObject
{
    Q_OBJECT
private slots:
    void drawsAsTheApplicationStyle_data();
    void drawsAsTheApplicationStyle();
};

void tst_GroupBoxStyle::drawsAsTheApplicationStyle_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<qreal>("scale");
    // The control whose area is repainted, or nothing for the whole window.
    QTest::addColumn<QString>("under");
    QTest::addColumn<bool>("titleBand");
    QTest::newRow("light") << false << 1.0 << QString() << false;
    QTest::newRow("dark") << true << 1.0 << QString() << false;
    QTest::newRow("light at 2x") << false << 2.0 << QString() << false;
    QTest::newRow("dark at 2x") << true << 2.0 << QString() << false;
    // A press repaints the box beneath the button, away from the box's title.
    QTest::newRow("under a button") << false << 1.0 << "read_setup" << false;
    QTest::newRow("under a button, dark at 2x") << true << 2.0 << "write_setup" << false;
    // A repaint that cuts through a title must draw the part it covers.
    QTest::newRow("through a title") << false << 2.0 << "Frame2" << true;
}

void tst_GroupBoxStyle::drawsAsTheApplicationStyle()
{
    QFETCH(bool, dark);
    QFETCH(qreal, scale);
    QFETCH(QString, under);
    QFETCH(bool, titleBand);
    const QPalette light = QApplication::palette();
    if (dark) {
        QApplication::setPalette(Dark());
    }
    main_frm window{PortMap()};
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QRegion region(window.rect());
    if (!under.isEmpty()) {
        const auto *control = window.findChild<QWidget *>(under);
        QRect area(control->mapTo(&window, QPoint()), control->size());
        if (titleBand) {
            area.setSize({area.width() / 2, control->fontMetrics().height() / 2});
        }
        region = area;
    }
    const QList<QGroupBox *> boxes = window.findChildren<QGroupBox *>();
    QVERIFY(!boxes.isEmpty());
    QStyle *measuring = boxes.first()->style();
    QVERIFY(qobject_cast<GroupBoxStyle *>(measuring));

    Render(window, QRegion(window.rect()), scale);
    const QImage kept = Render(window, region, scale);
    for (QGroupBox *box : boxes) {
        box->setStyle(QApplication::style());
    }
    const QImage plain = Render(window, region, scale);
    QApplication::setPalette(light);
    QVERIFY(kept == plain);
}

QTEST_MAIN(tst_GroupBoxStyle)
#include "tst_groupboxstyle.moc"

#pragma once

#include <QFontMetrics>
#include <QPointer>
#include <QProxyStyle>
#include <QRect>
#include <QString>

#include <vector>

namespace quillon {

// Draws exactly as the style it wraps, but measures each group box's frame and title once per
// font, title and size instead of at every repaint, and leaves the title out of a repaint that
// does not reach it. A press on a button repaints the group box beneath it, and the wrapped style
// would lay out the box's title text again each time.
class GroupBoxStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // Takes ownership of `base`.
    explicit GroupBoxStyle(QStyle *base);

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                         SubControl subControl, const QWidget *widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override;

    void polish(QWidget *widget) override;
    void unpolish(QWidget *widget) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What a measurement depends on: the box, everything its option says, and the part asked for.
    struct Measurement
    {
        QPointer<const QWidget> widget;
        QFontMetrics metrics;
        QString text;
        QRect rect;
        int state = 0;
        int subControls = 0;
        int features = 0;
        int alignment = 0;
        int direction = 0;
        int lineWidth = 0;
        int midLineWidth = 0;
        SubControl part = SC_None;
        QRect result;
    };

    void forget(const QWidget *widget);

    mutable std::vector<Measurement> measured_;
    // The group box whose paint event is running, and the part of it being painted.
    const QWidget *painting_ = nullptr;
    QRect paintRect_;
};

} // namespace quillon

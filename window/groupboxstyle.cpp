#include "window/groupboxstyle.h"

#include <QGroupBox>
#include <QPainter>
#include <QPaintEvent>
#include <QStyleOptionGroupBox>

#include <algorithm>

namespace quillon {

namespace {

// Measurements kept at most; past that all are dropped and taken again. The window's five boxes
// need a few each: one per part, state and size.
constexpr std::size_t kMaxMeasurements = 64;

} // namespace

GroupBoxStyle::GroupBoxStyle(QStyle *base) : QProxyStyle(base) {}

QRect GroupBoxStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                                    SubControl subControl, const QWidget *widget) const
{
    const auto *box = qstyleoption_cast<const QStyleOptionGroupBox *>(option);
    if (control != CC_GroupBox || box == nullptr || widget == nullptr) {
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
    const auto same = [&](const Measurement &m) {
        return m.widget == widget && m.part == subControl && m.rect == box->rect &&
               m.metrics == box->fontMetrics && m.text == box->text && m.state == int(box->state) &&
               m.subControls == int(box->subControls) && m.features == int(box->features) &&
               m.alignment == int(box->textAlignment) && m.direction == int(box->direction) &&
               m.lineWidth == box->lineWidth && m.midLineWidth == box->midLineWidth;
    };
    const auto found = std::find_if(measured_.begin(), measured_.end(), same);
    if (found != measured_.end()) {
        return found->result;
    }
    if (measured_.size() >= kMaxMeasurements) {
        measured_.clear();
    }
    const QRect result = QProxyStyle::subControlRect(control, option, subControl, widget);
    measured_.push_back({widget, box->fontMetrics, box->text, box->rect, int(box->state),
                         int(box->subControls), int(box->features), int(box->textAlignment),
                         int(box->direction), box->lineWidth, box->midLineWidth, subControl,
                         result});
    return result;
}

void GroupBoxStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                       QPainter *painter, const QWidget *widget) const
{
    const auto *box = qstyleoption_cast<const QStyleOptionGroupBox *>(option);
    if (control != CC_GroupBox || box == nullptr || widget == nullptr || widget != painting_ ||
        painter->device() != widget || !(box->subControls & SC_GroupBoxLabel)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    // Slanted glyphs and the focus frame may reach a little beyond the title's measured
    // rectangle.
    const int overhang = box->fontMetrics.height() / 4 + 2;
    const QRect title = subControlRect(CC_GroupBox, option, SC_GroupBoxLabel, widget)
                            .adjusted(-overhang, -overhang, overhang, overhang);
    if (paintRect_.intersects(title)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    QStyleOptionGroupBox untitled(*box);
    untitled.subControls &= ~SC_GroupBoxLabel;
    QProxyStyle::drawComplexControl(control, &untitled, painter, widget);
}

void GroupBoxStyle::polish(QWidget *widget)
{
    QProxyStyle::polish(widget);
    if (qobject_cast<QGroupBox *>(widget) != nullptr) {
        forget(widget);
        widget->installEventFilter(this);
    }
}

void GroupBoxStyle::unpolish(QWidget *widget)
{
    widget->removeEventFilter(this);
    forget(widget);
    QProxyStyle::unpolish(widget);
}

bool GroupBoxStyle::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint) {
        painting_ = static_cast<const QWidget *>(watched);
        paintRect_ = static_cast<QPaintEvent *>(event)->rect();
    }
    return QProxyStyle::eventFilter(watched, event);
}

void GroupBoxStyle::forget(const QWidget *widget)
{
    if (painting_ == widget) {
        painting_ = nullptr;
    }
    std::erase_if(measured_, [widget](const Measurement &m) { return m.widget == widget; });
}

} // namespace quillon

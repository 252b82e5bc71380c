#include "window/fieldeditor.h"

#include "protocol/factorydefaults.h"
#include "window/colorvalue.h"
#include "window/fieldrules.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace quillon {

namespace {

// Dark text keeps the unlocked boxes readable under a dark desktop theme too.
const QColor kUnlockTextColor = Qt::black;

} // namespace

FieldEditor::FieldEditor(const Boxes &boxes, QWidget &unlockLabel, QObject *parent)
    : QObject(parent), boxes_(boxes), unlockLabel_(unlockLabel)
{
    // A coarse timer may fire up to 5 % early, and a hold under 5 s must never unlock.
    timer2_.setTimerType(Qt::PreciseTimer);
    timer2_.setInterval(kUnlockHoldMs);
    connect(&timer2_, &QTimer::timeout, this, &FieldEditor::Timer2_Timer);
    for (QLineEdit *box : boxes_) {
        box->installEventFilter(this);
    }
    unlockLabel_.installEventFilter(this);
}

void FieldEditor::setBoxText(Box box, const QString &text)
{
    edit(box)->setText(text);
    // The widget's text, not the argument: the box may have cut it to its length limit.
    const QString shown = edit(box)->text();
    accepted(box) = box == Box::serialno ? NormalisedNumber(shown) : shown;
}

void FieldEditor::OctetKeyUp(Box box, bool digitKey)
{
    showText(box, OctetRule(edit(box)->text(), accepted(box), digitKey));
    accepted(box) = edit(box)->text();
}

void FieldEditor::serialno_KeyUp(bool digitKey)
{
    showText(Box::serialno,
             SerialRule(edit(Box::serialno)->text(), accepted(Box::serialno), digitKey));
    accepted(Box::serialno) = NormalisedNumber(edit(Box::serialno)->text());
}

void FieldEditor::ena_serialno_MouseDown()
{
    timer2_.start();
}

void FieldEditor::ena_serialno_MouseUp()
{
    timer2_.stop();
}

void FieldEditor::Timer2_Timer()
{
    for (int i = BoxIndex(Box::serialno); i <= BoxIndex(Box::macadr6); ++i) {
        QLineEdit *box = boxes_[i];
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, ColorFromValue(kUnlockGreen));
        palette.setColor(QPalette::Text, kUnlockTextColor);
        box->setPalette(palette);
        box->setEnabled(true);
    }
}

void FieldEditor::default_values_Click()
{
    // The MAC address is factory data: only an unlocked window may overwrite it.
    const bool macUnlocked = edit(Box::macadr1)->isEnabled();
    for (int i = BoxIndex(Box::macadr1); i < kBoxCount; ++i) {
        const Box box = BoxAt(i);
        if (IsMacBox(box) && !macUnlocked) {
            continue;
        }
        const std::string_view text = *FactoryDefaultText(box);
        setBoxText(box, QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    }
}

bool FieldEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &unlockLabel_) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            ena_serialno_MouseDown();
            break;
        case QEvent::MouseButtonRelease:
            ena_serialno_MouseUp();
            break;
        default:
            break;
        }
        return false;
    }
    if (event->type() != QEvent::KeyRelease) {
        return false;
    }
    const auto *key = static_cast<QKeyEvent *>(event);
    // A held key repeats its press and release; the operator released it only once.
    if (key->isAutoRepeat()) {
        return false;
    }
    const auto it = std::find(boxes_.begin(), boxes_.end(), watched);
    if (it != boxes_.end()) {
        keyUp(BoxAt(static_cast<int>(it - boxes_.begin())),
              IsDigitKey(key->key(), key->modifiers()));
    }
    return false;
}

void FieldEditor::showText(Box box, const QString &text)
{
    // Leaves the caret where it is when the rule keeps what was typed.
    if (edit(box)->text() != text) {
        edit(box)->setText(text);
    }
}

void FieldEditor::keyUp(Box box, bool digitKey)
{
    if (box == Box::serialno) {
        serialno_KeyUp(digitKey);
    } else if (IsOctetBox(box)) {
        OctetKeyUp(box, digitKey);
    }
}

} // namespace quillon

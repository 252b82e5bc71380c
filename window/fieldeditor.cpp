#include "fieldeditor.h"

#include "colorvalue.h"
#include "exchange.h"
#include "factorydefaults.h"
#include "fieldrules.h"
#include "windowinterface.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace quillon {

namespace {

// Dark text keeps the unlocked boxes readable under a dark desktop theme too.
const QColor kUnlockTextColor = Qt::black;

} // namespace

FieldEditor::FieldEditor(const Boxes &boxes, QWidget &unlockLabel, QAbstractButton &write_setup,
                         const Exchange &exchange, QObject *parent)
    : QObject(parent), boxes_(boxes), unlockLabel_(unlockLabel), write_setup_(write_setup),
      exchange_(exchange)
{
    timer2_.setInterval(kUnlockHoldMs);
    connect(&timer2_, &QTimer::timeout, this, &FieldEditor::Timer2_Timer);
    connect(edit(Box::serialno), &QLineEdit::textChanged, this, &FieldEditor::serialno_Change);
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

void FieldEditor::OctetKeyUp(Box box, int keyCode)
{
    showText(box, OctetRule(edit(box)->text(), accepted(box), keyCode));
    accepted(box) = edit(box)->text();
}

void FieldEditor::serialno_KeyUp(int keyCode)
{
    showText(Box::serialno,
             SerialRule(edit(Box::serialno)->text(), accepted(Box::serialno), keyCode));
    accepted(Box::serialno) = NormalisedNumber(edit(Box::serialno)->text());
}

void FieldEditor::serialno_Change()
{
    // The exchange owns the command buttons until it ends; a serial number arriving in a read
    // reply must not hand the operator a second command meanwhile.
    if (exchange_.busy()) {
        return;
    }
    write_setup_.setEnabled(!edit(Box::serialno)->text().isEmpty());
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
        keyUp(BoxAt(static_cast<int>(it - boxes_.begin())), KeyCode(key->key(), key->modifiers()));
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

void FieldEditor::keyUp(Box box, int keyCode)
{
    if (box == Box::serialno) {
        serialno_KeyUp(keyCode);
    } else if (IsOctetBox(box)) {
        OctetKeyUp(box, keyCode);
    }
}

} // namespace quillon

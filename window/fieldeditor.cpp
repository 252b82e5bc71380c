#include "fieldeditor.h"

#include "colorvalue.h"
#include "exchange.h"
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

constexpr std::array<const char *, 6> kFactoryMac{"02", "5C", "E1", "C0", "00", "00"};

constexpr int kOctetsPerAddress = 4;

// In box order, from ipadr1 on.
constexpr std::array<std::array<const char *, kOctetsPerAddress>, 5> kFactoryAddresses{{
    {"10", "10", "10", "11"},   // IP address
    {"255", "255", "255", "0"}, // subnet mask
    {"0", "0", "0", "0"},       // default gateway
    {"0", "0", "0", "0"},       // primary DNS server
    {"0", "0", "0", "0"},       // secondary DNS server
}};

} // namespace

FieldEditor::FieldEditor(const Boxes &boxes, QWidget &unlockLabel, QAbstractButton &write_setup,
                         const Exchange &exchange, QObject *parent)
    : QObject(parent), boxes_(boxes), unlockLabel_(unlockLabel), write_setup_(write_setup),
      exchange_(exchange)
{
    // A coarse timer may fire up to 5 % early, and a hold under 5 s must never unlock.
    timer2_.setTimerType(Qt::PreciseTimer);
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
    if (edit(Box::macadr1)->isEnabled()) {
        int index = BoxIndex(Box::macadr1);
        for (const char *byte : kFactoryMac) {
            setBoxText(BoxAt(index++), byte);
        }
    }
    int index = BoxIndex(Box::ipadr1);
    for (const auto &address : kFactoryAddresses) {
        for (const char *octet : address) {
            setBoxText(BoxAt(index++), octet);
        }
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

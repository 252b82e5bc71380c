#include "window/portpicker.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace quillon {

PortPicker::PortPicker(QComboBox &box, QObject *parent) : QObject(parent), box_(box)
{
    // The box turns typed text that equals an entry's name into that entry from the text
    // field's returnPressed and editingFinished, and reports it as activated. Slots run in the
    // order they were connected, so these two bracket the box's own handling of both signals.
    auto *edit = new QLineEdit(&box_);
    const auto begin = [this] {
        confirmingText_ = true;
    };
    const auto end = [this] {
        confirmingText_ = false;
    };
    connect(edit, &QLineEdit::returnPressed, this, begin);
    connect(edit, &QLineEdit::editingFinished, this, begin);
    box_.setLineEdit(edit);
    connect(edit, &QLineEdit::returnPressed, this, end);
    connect(edit, &QLineEdit::editingFinished, this, end);

    edit->setMaxLength(kPortTextMaxLength);
    // A completer would rewrite typed text into an entry's name behind the operator's back, and
    // its case-insensitive match would make "com3" confirm COM3. Set after the text field, which
    // brings a default completer.
    box_.setCompleter(nullptr);
    connect(&box_, &QComboBox::activated, this, &PortPicker::onActivated);
    // An editable box gives Home and End to its text field; here they step to the first and the
    // last entry, as on a box without one.
    box_.installEventFilter(this);
    edit->installEventFilter(this);
}

bool PortPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || box_.count() == 0 || box_.view()->isVisible()) {
        return QObject::eventFilter(watched, event);
    }
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() != Qt::NoModifier ||
        (key->key() != Qt::Key_Home && key->key() != Qt::Key_End)) {
        return QObject::eventFilter(watched, event);
    }
    box_.setCurrentIndex(key->key() == Qt::Key_Home ? 0 : box_.count() - 1);
    emit picked();
    return true;
}

void PortPicker::onActivated()
{
    if (!confirmingText_) {
        emit picked();
    }
}

} // namespace quillon

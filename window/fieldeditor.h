#pragma once

#include "protocol/settingsboxes.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>

class QLineEdit;
class QWidget;

namespace quillon {

inline constexpr int kUnlockHoldMs = 5000;

// The editing rules of the settings boxes: the key rules of the octet boxes and the serial
// number, the unlock of the serial number and MAC boxes by a long press on their label, and the
// factory defaults.
class FieldEditor : public QObject
{
    Q_OBJECT
public:
    using Boxes = std::array<QLineEdit *, kBoxCount>;

    // boxes in wire order; unlockLabel is the "Serial No." label.
    FieldEditor(const Boxes &boxes, QWidget &unlockLabel, QObject *parent = nullptr);

    // Text set by the program becomes the box's accepted text at once, so a later rejected key
    // falls back to it rather than to whatever the operator last typed.
    void setBoxText(Box box, const QString &text);

    // The key release of every octet box: ipadr1_KeyUp to secdns4_KeyUp.
    void OctetKeyUp(Box box, bool digitKey);
    void serialno_KeyUp(bool digitKey);

    void ena_serialno_MouseDown();
    void ena_serialno_MouseUp();
    void Timer2_Timer();
    QTimer &Timer2() { return timer2_; }

    void default_values_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *edit(Box box) const { return boxes_[BoxIndex(box)]; }
    QString &accepted(Box box) { return accepted_[BoxIndex(box)]; }
    void showText(Box box, const QString &text);
    void keyUp(Box box, bool digitKey);

    Boxes boxes_;
    BoxTexts<QString> accepted_;
    QWidget &unlockLabel_;
    QTimer timer2_;
};

} // namespace quillon

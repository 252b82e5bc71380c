#pragma once

#include "settingsboxes.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>

class QAbstractButton;
class QLineEdit;
class QWidget;

namespace quillon {

class Exchange;

inline constexpr int kUnlockHoldMs = 5000;

// The editing rules of the settings boxes: the key rules of the octet boxes and the serial
// number, the unlock of the serial number and MAC boxes by a long press on their label, Write
// Setup following the serial number, and the factory defaults.
class FieldEditor : public QObject
{
    Q_OBJECT
public:
    using Boxes = std::array<QLineEdit *, kBoxCount>;

    // boxes in wire order; unlockLabel is the "Serial No." label.
    FieldEditor(const Boxes &boxes, QWidget &unlockLabel, QAbstractButton &write_setup,
                const Exchange &exchange, QObject *parent = nullptr);

    // Text set by the program becomes the box's accepted text at once, so a later rejected key
    // falls back to it rather than to whatever the operator last typed.
    void setBoxText(Box box, const QString &text);

    // The key release of every octet box: ipadr1_KeyUp to secdns4_KeyUp.
    void OctetKeyUp(Box box, int keyCode);
    void serialno_KeyUp(int keyCode);
    void serialno_Change();

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
    void keyUp(Box box, int keyCode);

    Boxes boxes_;
    BoxTexts<QString> accepted_;
    QWidget &unlockLabel_;
    QAbstractButton &write_setup_;
    const Exchange &exchange_;
    QTimer timer2_;
};

} // namespace quillon

#include "fieldrules.h"

#include <limits>

namespace quillon {

int KeyCode(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        const int base = modifiers.testFlag(Qt::KeypadModifier) ? kKeyKeypad0 : kKeyDigit0;
        return base + (qtKey - Qt::Key_0);
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        return kKeyLetterA + (qtKey - Qt::Key_A);
    }
    switch (qtKey) {
    case Qt::Key_Backspace:
        return kKeyBackspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return kKeyTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kKeyEnter;
    case Qt::Key_Shift:
        return kKeyShift;
    case Qt::Key_Control:
        return kKeyControl;
    case Qt::Key_Space:
        return kKeySpace;
    case Qt::Key_Left:
        return kKeyLeft;
    case Qt::Key_Up:
        return kKeyUp;
    case Qt::Key_Right:
        return kKeyRight;
    case Qt::Key_Down:
        return kKeyDown;
    case Qt::Key_Delete:
        return kKeyDelete;
    default:
        return kKeyOther;
    }
}

bool IsDigitKey(int keyCode)
{
    return (keyCode >= kKeyDigit0 && keyCode <= kKeyDigit0 + 9) || keyCode == kKeyBackspace;
}

qint64 NumericValue(const QString &text)
{
    constexpr qint64 kSaturated = std::numeric_limits<qint64>::max();
    qint64 magnitude = 0;
    bool negative = false;
    bool started = false;
    for (const QChar c : text) {
        if (c == u' ' || c == u'\t') {
            continue;
        }
        if (!started && (c == u'+' || c == u'-')) {
            negative = c == u'-';
            started = true;
            continue;
        }
        // Only ASCII digits: other scripts' digits are no number to the device.
        if (c < u'0' || c > u'9') {
            break;
        }
        started = true;
        const int digit = c.unicode() - u'0';
        magnitude = magnitude > (kSaturated - digit) / 10 ? kSaturated : magnitude * 10 + digit;
    }
    return negative ? -magnitude : magnitude;
}

QString NormalisedNumber(const QString &text)
{
    return QString::number(NumericValue(text));
}

QString OctetRule(const QString &text, const QString &accepted, int keyCode)
{
    if (IsDigitKey(keyCode) && NumericValue(text) <= kMaxOctet) {
        return text;
    }
    return accepted;
}

QString SerialRule(const QString &text, const QString &accepted, int keyCode)
{
    return IsDigitKey(keyCode) ? text : NormalisedNumber(accepted);
}

} // namespace quillon

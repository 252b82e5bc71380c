#include "window/fieldrules.h"

#include <limits>

namespace quillon {

bool IsDigitKey(int qtKey, Qt::KeyboardModifiers modifiers)
{
    const bool mainRowDigit =
        qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9 && !modifiers.testFlag(Qt::KeypadModifier);
    return mainRowDigit || qtKey == Qt::Key_Backspace;
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

QString OctetRule(const QString &text, const QString &accepted, bool digitKey)
{
    if (digitKey && NumericValue(text) <= kMaxOctet) {
        return text;
    }
    return accepted;
}

QString SerialRule(const QString &text, const QString &accepted, bool digitKey)
{
    return digitKey ? text : NormalisedNumber(accepted);
}

} // namespace quillon

#pragma once

#include <QString>
#include <Qt>

namespace quillon {

inline constexpr qint64 kMaxOctet = 255;

// The keys the rules keep: main-row digits and Backspace. The key alone decides, so the Shift
// state never turns a key into a digit, and a keypad digit counts as another key.
bool IsDigitKey(int qtKey, Qt::KeyboardModifiers modifiers);

// The number written at the start of the text: blanks ignored, an optional sign, then digits up
// to the first character that cannot continue it; 0 when there is none.
qint64 NumericValue(const QString &text);

// The plain decimal form of the text's numeric value ("007" -> "7", "" -> "0").
QString NormalisedNumber(const QString &text);

// What an octet box shows after a key release: the typed text while the key is a digit key and
// the value stays within a byte, otherwise the text accepted at the previous release.
QString OctetRule(const QString &text, const QString &accepted, bool digitKey);

// What the serial number box shows after a key release: the typed text for a digit key,
// otherwise the normalised accepted text.
QString SerialRule(const QString &text, const QString &accepted, bool digitKey);

} // namespace quillon

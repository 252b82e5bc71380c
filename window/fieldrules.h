#pragma once

#include <QString>
#include <Qt>

namespace quillon {

// Key codes of the field rules, in the host-independent numbering the rules were written for.
inline constexpr int kKeyOther = 0; // any key the rules do not name; never a digit
inline constexpr int kKeyBackspace = 8;
inline constexpr int kKeyTab = 9;
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyShift = 16;
inline constexpr int kKeyControl = 17;
inline constexpr int kKeySpace = 32;
inline constexpr int kKeyLeft = 37;
inline constexpr int kKeyUp = 38;
inline constexpr int kKeyRight = 39;
inline constexpr int kKeyDown = 40;
inline constexpr int kKeyDelete = 46;
inline constexpr int kKeyDigit0 = 48;  // main-row digits 48 to 57
inline constexpr int kKeyLetterA = 65; // letters 65 to 90
inline constexpr int kKeyKeypad0 = 96; // keypad digits 96 to 105

inline constexpr qint64 kMaxOctet = 255;

// The code of a released key, by the key alone: the Shift state never turns a key into a digit.
int KeyCode(int qtKey, Qt::KeyboardModifiers modifiers);

// Main-row digits and Backspace; everything else is a rejected key.
bool IsDigitKey(int keyCode);

// The number written at the start of the text: blanks ignored, an optional sign, then digits up
// to the first character that cannot continue it; 0 when there is none.
qint64 NumericValue(const QString &text);

// The plain decimal form of the text's numeric value ("007" -> "7", "" -> "0").
QString NormalisedNumber(const QString &text);

// What an octet box shows after a key release: the typed text while it is a digit key and the
// value stays within a byte, otherwise the text accepted at the previous release.
QString OctetRule(const QString &text, const QString &accepted, int keyCode);

// What the serial number box shows after a key release: the typed text for a digit key,
// otherwise the normalised accepted text.
QString SerialRule(const QString &text, const QString &accepted, int keyCode);

} // namespace quillon

#include "settings/values.h"

#include <QStringList>

namespace quillon {

namespace {

int DecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9' ? c.unicode() - u'0' : -1;
}

int HexDigit(QChar c)
{
    if (c >= u'a' && c <= u'f') {
        return c.unicode() - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c.unicode() - u'A' + 10;
    }
    return DecimalDigit(c);
}

// Plain decimal digits up to `limit`; stops as soon as the value passes it, so no length wraps.
std::optional<quint32> ParseDecimal(QStringView text, quint32 limit)
{
    if (text.isEmpty()) {
        return std::nullopt;
    }
    quint64 value = 0;
    for (QChar c : text) {
        const int digit = DecimalDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<quint64>(digit);
        if (value > limit) {
            return std::nullopt;
        }
    }
    return static_cast<quint32>(value);
}

} // namespace

std::optional<quint32> ParseSerialNumber(QStringView text)
{
    return ParseDecimal(text, kMaxSerialNumber);
}

std::optional<MacAddress> ParseMacAddress(QStringView text)
{
    constexpr qsizetype kLength = 17; // 6 * 2 digits + 5 separators
    if (text.size() != kLength) {
        return std::nullopt;
    }
    const QChar separator = text[2];
    if (separator != u':' && separator != u'-') {
        return std::nullopt;
    }
    MacAddress mac{};
    for (int i = 0; i < 6; ++i) {
        const qsizetype at = i * 3;
        if (i > 0 && text[at - 1] != separator) {
            return std::nullopt;
        }
        const int high = HexDigit(text[at]);
        const int low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return mac;
}

std::optional<Address> ParseAddress(QStringView text)
{
    const QList<QStringView> parts = text.split(u'.');
    if (parts.size() != 4) {
        return std::nullopt;
    }
    Address address{};
    for (int i = 0; i < 4; ++i) {
        const QStringView part = parts[i];
        if (part.size() > 3 || (part.size() > 1 && part[0] == u'0')) {
            return std::nullopt;
        }
        const std::optional<quint32> octet = ParseDecimal(part, 255);
        if (!octet) {
            return std::nullopt;
        }
        address[i] = static_cast<std::uint8_t>(*octet);
    }
    return address;
}

QString MacText(const MacAddress &mac)
{
    QStringList bytes;
    for (std::uint8_t b : mac) {
        bytes << QStringLiteral("%1").arg(uint{b}, 2, 16, QLatin1Char('0')).toUpper();
    }
    return bytes.join(QLatin1Char(':'));
}

QString AddressText(const Address &address)
{
    QStringList octets;
    for (std::uint8_t b : address) {
        octets << QString::number(uint{b});
    }
    return octets.join(QLatin1Char('.'));
}

quint64 MacNumber(const MacAddress &mac)
{
    quint64 number = 0;
    for (std::uint8_t b : mac) {
        number = (number << 8) | b;
    }
    return number;
}

MacAddress MacFromNumber(quint64 number)
{
    MacAddress mac{};
    for (int i = 5; i >= 0; --i) {
        mac[i] = static_cast<std::uint8_t>(number & 0xFF);
        number >>= 8;
    }
    return mac;
}

quint32 AddressNumber(const Address &address)
{
    quint32 number = 0;
    for (std::uint8_t b : address) {
        number = (number << 8) | b;
    }
    return number;
}

Address AddressFromNumber(quint32 number)
{
    Address address{};
    for (int i = 3; i >= 0; --i) {
        address[i] = static_cast<std::uint8_t>(number & 0xFF);
        number >>= 8;
    }
    return address;
}

} // namespace quillon

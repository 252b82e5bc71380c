#include "settings/values.h"

#include "protocol/settingstexts.h"

#include <QStringList>

namespace quillon {

namespace {

// Only ASCII counts: any other character becomes one that is no digit.
std::string Ascii(QStringView text)
{
    return text.toLatin1().toStdString();
}

std::optional<quint32> ParseDecimal(QStringView text, quint32 limit)
{
    const std::optional<std::uint64_t> value = DecimalValue(Ascii(text), limit);
    if (!value || *value > limit) {
        return std::nullopt;
    }
    return static_cast<quint32>(*value);
}

int HexDigit(QChar c)
{
    return c.unicode() < 0x80 ? HexDigitValue(static_cast<char>(c.unicode())) : -1;
}

// The bytes as one number, the first most significant, and back.
template <std::size_t N> quint64 NumberOf(const std::array<std::uint8_t, N> &bytes)
{
    quint64 number = 0;
    for (std::uint8_t b : bytes) {
        number = (number << 8) | b;
    }
    return number;
}

template <std::size_t N> std::array<std::uint8_t, N> BytesOf(quint64 number)
{
    std::array<std::uint8_t, N> bytes{};
    for (std::size_t i = N; i-- > 0;) {
        bytes[i] = static_cast<std::uint8_t>(number & 0xFF);
        number >>= 8;
    }
    return bytes;
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
        bytes << QString::fromStdString(HexByteText(b));
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
    return NumberOf(mac);
}

MacAddress MacFromNumber(quint64 number)
{
    return BytesOf<6>(number);
}

quint32 AddressNumber(const Address &address)
{
    return static_cast<quint32>(NumberOf(address));
}

Address AddressFromNumber(quint32 number)
{
    return BytesOf<4>(number);
}

} // namespace quillon

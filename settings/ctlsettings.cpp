#include "settings/ctlsettings.h"

#include "protocol/settingstexts.h"

#include <QStringList>

namespace quillon {

namespace {

constexpr int kOctetsPerAddress = 4;

// Shared by the const and the mutable accessor.
template <typename Settings> auto &AddressOf(Settings &s, Setting setting)
{
    switch (setting) {
    case Setting::mask:
        return s.mask;
    case Setting::gateway:
        return s.gateway;
    case Setting::dns1:
        return s.dns1;
    case Setting::dns2:
        return s.dns2;
    default:
        return s.ip;
    }
}

} // namespace

QString SettingLabel(Setting setting)
{
    switch (setting) {
    case Setting::serial:
        return QStringLiteral("Serial No.");
    case Setting::mac:
        return QStringLiteral("MAC Adr.");
    case Setting::ip:
        return QStringLiteral("IP Address");
    case Setting::mask:
        return QStringLiteral("Subnet mask");
    case Setting::gateway:
        return QStringLiteral("Default Gateway");
    case Setting::dns1:
        return QStringLiteral("Primary DNS Server");
    case Setting::dns2:
        return QStringLiteral("Secondary DNS Server");
    }
    return {};
}

QString SettingKey(Setting setting)
{
    static const std::array<QString, 7> kKeys{QStringLiteral("serial"),  QStringLiteral("mac"),
                                              QStringLiteral("ip"),      QStringLiteral("mask"),
                                              QStringLiteral("gateway"), QStringLiteral("dns1"),
                                              QStringLiteral("dns2")};
    return kKeys[static_cast<int>(setting)];
}

Address &CtlSettings::address(Setting setting)
{
    return AddressOf(*this, setting);
}

const Address &CtlSettings::address(Setting setting) const
{
    return AddressOf(*this, setting);
}

std::optional<CtlSettings> CtlSettings::fromBoxTexts(const BoxTexts<std::string> &texts)
{
    // A device may report any 32-bit serial number; the protocol's conversion stops at the
    // largest one it can send, so the serial number is read here and the rest by the protocol.
    const std::string &serialText = texts[BoxIndex(Box::serialno)];
    if (serialText.empty() || serialText.size() > 10) {
        return std::nullopt;
    }
    quint64 serial = 0;
    for (char c : serialText) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        serial = serial * 10 + static_cast<quint64>(c - '0');
    }
    if (serial > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    BoxTexts<std::string> rest = texts;
    rest[BoxIndex(Box::serialno)] = DecimalText(0);
    const SettingsFromTextsResult converted = SettingsFromTexts(rest);
    if (!converted.settings) {
        return std::nullopt;
    }
    const DeviceSettings &d = *converted.settings;
    return CtlSettings{static_cast<quint32>(serial),
                       d.mac,
                       d.ipAddress,
                       d.subnetMask,
                       d.defaultGateway,
                       d.primaryDns,
                       d.secondaryDns};
}

BoxTexts<std::string> CtlSettings::boxTexts() const
{
    BoxTexts<std::string> texts;
    texts[BoxIndex(Box::serialno)] = DecimalText(serial);
    for (int i = 0; i < 6; ++i) {
        texts[BoxIndex(Box::macadr1) + i] = HexByteText(mac[i]);
    }
    int index = BoxIndex(Box::ipadr1);
    for (Setting setting : kAllSettings) {
        if (setting < Setting::ip) {
            continue;
        }
        for (int i = 0; i < kOctetsPerAddress; ++i) {
            texts[index++] = DecimalText(address(setting)[i]);
        }
    }
    return texts;
}

std::optional<DeviceSettings> CtlSettings::deviceSettings() const
{
    // Through the window's own conversion, so the frame is the one the window sends for the
    // same texts.
    return SettingsFromTexts(boxTexts()).settings;
}

QString CtlSettings::valueText(Setting setting) const
{
    switch (setting) {
    case Setting::serial:
        return QString::number(serial);
    case Setting::mac:
        return MacText(mac);
    default:
        return AddressText(address(setting));
    }
}

QString CtlSettings::toText() const
{
    QString text;
    for (Setting setting : kAllSettings) {
        text += QStringLiteral("%1: %2\n").arg(SettingLabel(setting), valueText(setting));
    }
    return text;
}

QByteArray CtlSettings::toJson() const
{
    // Written by hand to keep the keys in wire order; every value is digits, hex or dots, so
    // nothing needs escaping.
    QStringList members;
    for (Setting setting : kAllSettings) {
        const QString value = setting == Setting::serial
                                  ? valueText(setting)
                                  : QStringLiteral("\"%1\"").arg(valueText(setting));
        members << QStringLiteral("\"%1\": %2").arg(SettingKey(setting), value);
    }
    return QStringLiteral("{%1}").arg(members.join(QStringLiteral(", "))).toUtf8();
}

QString DescribeChanges(const CtlSettings &before, const CtlSettings &after)
{
    QString text;
    for (Setting setting : kAllSettings) {
        if (before.valueText(setting) != after.valueText(setting)) {
            text += QStringLiteral("%1: %2 -> %3\n")
                        .arg(SettingLabel(setting), before.valueText(setting),
                             after.valueText(setting));
        }
    }
    return text;
}

QByteArray ChangesJson(const CtlSettings &before, const CtlSettings &after)
{
    return "{\"before\": " + before.toJson() + ", \"after\": " + after.toJson() + "}";
}

} // namespace quillon

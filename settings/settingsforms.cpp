#include "settings/settingsforms.h"

#include <QStringList>

namespace quillon {

namespace {

// Shared by the const and the mutable accessor. The addresses follow the serial number and the
// MAC in both orders.
template <typename Settings> auto &AddressIn(Settings &settings, Setting setting)
{
    return *Addresses(
        settings)[static_cast<std::size_t>(setting) - static_cast<std::size_t>(Setting::Ip)];
}

} // namespace

QString SettingLabel(Setting setting)
{
    switch (setting) {
    case Setting::Serial:
        return QStringLiteral("Serial No.");
    case Setting::Mac:
        return QStringLiteral("MAC Adr.");
    case Setting::Ip:
        return QStringLiteral("IP Address");
    case Setting::Mask:
        return QStringLiteral("Subnet mask");
    case Setting::Gateway:
        return QStringLiteral("Default Gateway");
    case Setting::Dns1:
        return QStringLiteral("Primary DNS Server");
    case Setting::Dns2:
        return QStringLiteral("Secondary DNS Server");
    }
    return {};
}

QString SettingKey(Setting setting)
{
    switch (setting) {
    case Setting::Serial:
        return QStringLiteral("serial");
    case Setting::Mac:
        return QStringLiteral("mac");
    case Setting::Ip:
        return QStringLiteral("ip");
    case Setting::Mask:
        return QStringLiteral("mask");
    case Setting::Gateway:
        return QStringLiteral("gateway");
    case Setting::Dns1:
        return QStringLiteral("dns1");
    case Setting::Dns2:
        return QStringLiteral("dns2");
    }
    return {};
}

Address &AddressOf(DeviceSettings &settings, Setting setting)
{
    return AddressIn(settings, setting);
}

const Address &AddressOf(const DeviceSettings &settings, Setting setting)
{
    return AddressIn(settings, setting);
}

QString ValueText(const DeviceSettings &settings, Setting setting)
{
    switch (setting) {
    case Setting::Serial:
        return QString::number(settings.serialNumber);
    case Setting::Mac:
        return MacText(settings.mac);
    default:
        return AddressText(AddressOf(settings, setting));
    }
}

QString SettingsText(const DeviceSettings &settings)
{
    QString text;
    for (Setting setting : kAllSettings) {
        text += QStringLiteral("%1: %2\n").arg(SettingLabel(setting), ValueText(settings, setting));
    }
    return text;
}

QByteArray SettingsJson(const DeviceSettings &settings)
{
    // Written by hand to keep the keys in wire order; every value is digits, hex or dots, so
    // nothing needs escaping.
    QStringList members;
    for (Setting setting : kAllSettings) {
        const QString value = setting == Setting::Serial
                                  ? ValueText(settings, setting)
                                  : QStringLiteral("\"%1\"").arg(ValueText(settings, setting));
        members << QStringLiteral("\"%1\": %2").arg(SettingKey(setting), value);
    }
    return QStringLiteral("{%1}").arg(members.join(QStringLiteral(", "))).toUtf8();
}

QString JoinChanges(const DeviceSettings &before, const DeviceSettings &after,
                    const QString &separator,
                    const std::function<QString(const SettingChange &)> &word)
{
    QStringList words;
    for (Setting setting : kAllSettings) {
        const SettingChange change{setting, ValueText(before, setting), ValueText(after, setting)};
        if (change.before != change.after) {
            words << word(change);
        }
    }
    return words.join(separator);
}

} // namespace quillon

#pragma once

#include "settings/values.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <functional>

namespace quillon {

// The seven settings, in wire order.
enum class Setting { Serial, Mac, Ip, Mask, Gateway, Dns1, Dns2 };
inline constexpr std::array<Setting, 7> kAllSettings{
    Setting::Serial,  Setting::Mac,  Setting::Ip,  Setting::Mask,
    Setting::Gateway, Setting::Dns1, Setting::Dns2};

// The window's label ("Default Gateway").
QString SettingLabel(Setting setting);
// The JSON key and option name without dashes ("gateway").
QString SettingKey(Setting setting);

// The address behind ip to dns2.
Address &AddressOf(DeviceSettings &settings, Setting setting);
const Address &AddressOf(const DeviceSettings &settings, Setting setting);

// The printed form of one setting: the serial number in decimal, "00:1A:2B:3C:4D:5E",
// "192.168.0.100".
QString ValueText(const DeviceSettings &settings, Setting setting);
// Seven lines "<label>: <value>".
QString SettingsText(const DeviceSettings &settings);
// {"serial": 12345678, "mac": "00:1A:2B:3C:4D:5E", "ip": ..., "dns2": ...} in wire order.
QByteArray SettingsJson(const DeviceSettings &settings);

// One setting that two sets of settings hold differently, in printed form.
struct SettingChange
{
    Setting setting;
    QString before;
    QString after;
};
// The settings that differ, in wire order, each worded by `word` and joined by `separator`:
// a write's changes, a read-back's mismatch, the fields a provisioned unit got wrong.
QString JoinChanges(const DeviceSettings &before, const DeviceSettings &after,
                    const QString &separator,
                    const std::function<QString(const SettingChange &)> &word);

} // namespace quillon

#pragma once

#include "protocol/settingsboxes.h"
#include "settings/values.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <string>

namespace quillon {

// The seven settings, in wire order.
enum class Setting { serial, mac, ip, mask, gateway, dns1, dns2 };
inline constexpr std::array<Setting, 7> kAllSettings{
    Setting::serial,  Setting::mac,  Setting::ip,  Setting::mask,
    Setting::gateway, Setting::dns1, Setting::dns2};

// The window's label ("Default Gateway").
QString SettingLabel(Setting setting);
// The JSON key and option name without dashes ("gateway").
QString SettingKey(Setting setting);

// The device's settings as quillonctl prints and writes them. The serial number is kept as the
// device reports it, which may lie above what can be written back.
struct CtlSettings
{
    quint32 serial = 0;
    MacAddress mac{};
    Address ip{};
    Address mask{};
    Address gateway{};
    Address dns1{};
    Address dns2{};

    bool operator==(const CtlSettings &) const = default;

    // The address behind ip to dns2.
    Address &address(Setting setting);
    const Address &address(Setting setting) const;

    // From the 27 box texts a read reply fills; nullopt when a text holds no value.
    static std::optional<CtlSettings> fromBoxTexts(const BoxTexts<std::string> &texts);
    // The texts the window would hold: MAC bytes as two upper-case hex digits, the rest decimal.
    BoxTexts<std::string> boxTexts() const;
    // What a "W" frame built from boxTexts() carries; nullopt when the serial number cannot be
    // sent.
    std::optional<DeviceSettings> deviceSettings() const;

    // The printed form of one setting.
    QString valueText(Setting setting) const;
    // Seven lines "<label>: <value>".
    QString toText() const;
    // {"serial": 12345678, "mac": "00:1A:2B:3C:4D:5E", "ip": ..., "dns2": ...} in wire order.
    QByteArray toJson() const;
};

// One line "<label>: <before> -> <after>" per setting that differs.
QString DescribeChanges(const CtlSettings &before, const CtlSettings &after);
// {"before": {...}, "after": {...}}
QByteArray ChangesJson(const CtlSettings &before, const CtlSettings &after);

} // namespace quillon

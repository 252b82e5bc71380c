#pragma once

#include "settings/settingsforms.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

namespace quillon {

// The settings a write changes, each either given or left as the device has it.
class SettingsEdit
{
public:
    // Parses one value as the command line or a settings file gives it. On failure, `error`
    // names the problem without the option ("is not a MAC address ...").
    bool set(Setting setting, QStringView text, QString *error);

    // A file as `read --json` prints it; any subset of the seven keys, nothing else.
    static std::optional<SettingsEdit> fromJson(const QByteArray &json, QString *error);
    // The factory defaults of the five addresses, as the window's Default sets them while the
    // serial number and MAC are locked: every fresh unit shares the factory MAC.
    static SettingsEdit factoryDefaults();

    // Splits off the serial number and MAC, which a settings file restores only on request:
    // this edit keeps the five addresses, the result holds the identity it gave.
    SettingsEdit takeIdentity();

    // Takes every setting `later` gives, keeping the rest.
    void overrideWith(const SettingsEdit &later);
    bool changesAnything() const;

    // The device's settings with this edit applied. Fails, saying why, when the result cannot
    // be written: a device serial number above 2147483647 kept unchanged.
    std::optional<DeviceSettings> applyTo(const DeviceSettings &device, QString *error) const;

private:
    std::optional<quint32> serial_;
    std::optional<MacAddress> mac_;
    std::array<std::optional<Address>, 5> addresses_; // ip to dns2
};

// What the value forms look like, for refusals ("six hex bytes joined by ':' or '-'").
QString ExpectedForm(Setting setting);

} // namespace quillon

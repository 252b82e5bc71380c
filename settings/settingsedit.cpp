#include "settings/settingsedit.h"

#include "protocol/settingstexts.h"
#include "settings/jsonobject.h"
#include "settings/settingscheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>
#include <utility>

namespace quillon {

namespace {

int AddressIndex(Setting setting)
{
    return static_cast<int>(setting) - static_cast<int>(Setting::Ip);
}

std::optional<Setting> SettingNamed(const QString &key)
{
    for (Setting setting : kAllSettings) {
        if (SettingKey(setting) == key) {
            return setting;
        }
    }
    return std::nullopt;
}

// A JSON serial number: a whole number in range, never a string or a fraction.
std::optional<quint32> SerialFromJson(const QJsonValue &value)
{
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (number < 0 || number > kMaxSerialNumber || std::floor(number) != number) {
        return std::nullopt;
    }
    return static_cast<quint32>(number);
}

// The value as it stands in the file, for a refusal that quotes it.
QString JsonText(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

QString ExpectedForm(Setting setting)
{
    switch (setting) {
    case Setting::Serial:
        return QStringLiteral("a whole number from 0 to %1").arg(kMaxSerialNumber);
    case Setting::Mac:
        return QStringLiteral("six bytes of two hex digits joined by ':' or '-'");
    default:
        return QStringLiteral("four decimal octets 0 to 255 joined by dots");
    }
}

bool SettingsEdit::set(Setting setting, QStringView text, QString *error)
{
    bool ok = false;
    switch (setting) {
    case Setting::Serial:
        serial_ = ParseSerialNumber(text);
        ok = serial_.has_value();
        break;
    case Setting::Mac:
        mac_ = ParseMacAddress(text);
        ok = mac_.has_value();
        break;
    default:
        addresses_[AddressIndex(setting)] = ParseAddress(text);
        ok = addresses_[AddressIndex(setting)].has_value();
        break;
    }
    if (!ok && error != nullptr) {
        *error = QStringLiteral("\"%1\" is not %2").arg(text.toString(), ExpectedForm(setting));
    }
    return ok;
}

std::optional<SettingsEdit> SettingsEdit::fromJson(const QByteArray &json, QString *error)
{
    const std::optional<QJsonObject> parsed = ParseJsonObject(json, error);
    if (!parsed) {
        return std::nullopt;
    }
    SettingsEdit edit;
    const QJsonObject &object = *parsed;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::optional<Setting> setting = SettingNamed(it.key());
        if (!setting) {
            *error = QStringLiteral("unknown field \"%1\"").arg(it.key());
            return std::nullopt;
        }
        bool ok = false;
        if (*setting == Setting::Serial) {
            edit.serial_ = SerialFromJson(it.value());
            ok = edit.serial_.has_value();
        } else if (it.value().isString()) {
            ok = edit.set(*setting, it.value().toString(), nullptr);
        }
        if (!ok) {
            *error = QStringLiteral("\"%1\": %2 is not %3")
                         .arg(it.key(), JsonText(it.value()), ExpectedForm(*setting));
            return std::nullopt;
        }
    }
    return edit;
}

SettingsEdit SettingsEdit::factoryDefaults()
{
    const DeviceSettings defaults = FactorySettings();
    SettingsEdit edit;
    for (Setting setting : kAllSettings) {
        if (setting >= Setting::Ip) {
            edit.addresses_[AddressIndex(setting)] = AddressOf(defaults, setting);
        }
    }
    return edit;
}

SettingsEdit SettingsEdit::takeIdentity()
{
    SettingsEdit identity;
    identity.serial_ = std::exchange(serial_, std::nullopt);
    identity.mac_ = std::exchange(mac_, std::nullopt);
    return identity;
}

void SettingsEdit::overrideWith(const SettingsEdit &later)
{
    if (later.serial_) {
        serial_ = later.serial_;
    }
    if (later.mac_) {
        mac_ = later.mac_;
    }
    for (std::size_t i = 0; i < addresses_.size(); ++i) {
        if (later.addresses_[i]) {
            addresses_[i] = later.addresses_[i];
        }
    }
}

bool SettingsEdit::changesAnything() const
{
    return serial_ || mac_ ||
           std::any_of(addresses_.begin(), addresses_.end(),
                       [](const std::optional<Address> &a) { return a.has_value(); });
}

std::optional<DeviceSettings> SettingsEdit::applyTo(const DeviceSettings &device,
                                                    QString *error) const
{
    DeviceSettings result = device;
    if (serial_) {
        result.serialNumber = *serial_;
    } else if (!IsWritable(device)) {
        *error = QStringLiteral("the device's serial number %1 is above %2 and cannot be written "
                                "back; give --serial")
                     .arg(device.serialNumber)
                     .arg(kMaxSerialNumber);
        return std::nullopt;
    }
    if (mac_) {
        result.mac = *mac_;
    }
    for (Setting setting : kAllSettings) {
        if (setting >= Setting::Ip && addresses_[AddressIndex(setting)]) {
            AddressOf(result, setting) = *addresses_[AddressIndex(setting)];
        }
    }
    return result;
}

} // namespace quillon

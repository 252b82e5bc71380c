#include "settings/provisionplan.h"

#include "settings/jsonobject.h"
#include "settings/settingscheck.h"
#include "settings/smallfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>

namespace quillon {

namespace {

const QStringList kFields{QStringLiteral("serial"),  QStringLiteral("mac"),
                          QStringLiteral("ip"),      QStringLiteral("mask"),
                          QStringLiteral("gateway"), QStringLiteral("dns1"),
                          QStringLiteral("dns2")};

// Reads one field, remembering the first problem; later reads after a failure do nothing.
class FieldReader
{
public:
    explicit FieldReader(const QJsonObject &plan) : plan_(plan) {}

    bool failed() const { return !error_.isEmpty(); }
    const QString &error() const { return error_; }

    void fail(const QString &message)
    {
        if (error_.isEmpty()) {
            error_ = message;
        }
    }

    std::optional<QJsonValue> field(const QJsonObject &object, const QString &key,
                                    const QString &name)
    {
        if (failed()) {
            return std::nullopt;
        }
        if (!object.contains(key)) {
            fail(QStringLiteral("the plan has no \"%1\"").arg(name));
            return std::nullopt;
        }
        return object.value(key);
    }

    std::optional<quint64> serial(const QJsonObject &object, const QString &key,
                                  const QString &name)
    {
        const std::optional<QJsonValue> value = field(object, key, name);
        if (!value) {
            return std::nullopt;
        }
        const double number = value->toDouble(-1);
        if (!value->isDouble() || number < 0 || std::floor(number) != number) {
            fail(QStringLiteral("the plan's \"%1\" is not a whole number").arg(name));
            return std::nullopt;
        }
        if (number > kMaxSerialNumber) {
            fail(QStringLiteral("the plan's \"%1\" %2 is above %3")
                     .arg(name, QString::number(number, 'f', 0))
                     .arg(kMaxSerialNumber));
            return std::nullopt;
        }
        return static_cast<quint64>(number);
    }

    std::optional<quint64> mac(const QJsonObject &object, const QString &key, const QString &name)
    {
        const std::optional<QJsonValue> value = field(object, key, name);
        const std::optional<MacAddress> mac =
            value ? ParseMacAddress(value->toString()) : std::nullopt;
        if (value && !mac) {
            fail(QStringLiteral("the plan's \"%1\" is not a MAC address (six bytes of two hex "
                                "digits joined by ':' or '-')")
                     .arg(name));
        }
        return mac ? std::optional(MacNumber(*mac)) : std::nullopt;
    }

    std::optional<Address> address(const QJsonObject &object, const QString &key,
                                   const QString &name)
    {
        const std::optional<QJsonValue> value = field(object, key, name);
        const std::optional<Address> address =
            value ? ParseAddress(value->toString()) : std::nullopt;
        if (value && !address) {
            fail(QStringLiteral("the plan's \"%1\" is not an IPv4 address (four decimal octets "
                                "0 to 255 joined by dots)")
                     .arg(name));
        }
        return address;
    }

    // {"first": ..., "last": ...} read by `read`, with first not after last.
    template <typename Read> std::optional<NumberRange> range(const QString &key, Read read)
    {
        const std::optional<QJsonValue> value = field(plan_, key, key);
        if (value && !value->isObject()) {
            fail(QStringLiteral("the plan's \"%1\" is not a range {\"first\": ..., \"last\": ...}")
                     .arg(key));
        }
        if (failed()) {
            return std::nullopt;
        }
        const QJsonObject object = value->toObject();
        for (const QString &inner : object.keys()) {
            if (inner != QLatin1String("first") && inner != QLatin1String("last")) {
                fail(QStringLiteral("the plan's \"%1\" has an unknown field \"%2\"")
                         .arg(key, inner));
                return std::nullopt;
            }
        }
        const auto first = read(object, QStringLiteral("first"), key + QStringLiteral(".first"));
        const auto last = read(object, QStringLiteral("last"), key + QStringLiteral(".last"));
        if (failed()) {
            return std::nullopt;
        }
        if (*first > *last) {
            // A MAC range past FF:FF:FF:FF:FF:FF can only be written as one that wraps.
            fail(QStringLiteral("the plan's \"%1\" range starts after its last value%2")
                     .arg(key, key == QLatin1String("mac")
                                   ? QStringLiteral(" (a range cannot wrap past the end of the "
                                                    "48-bit MAC space)")
                                   : QString()));
            return std::nullopt;
        }
        return NumberRange{*first, *last};
    }

private:
    QJsonObject plan_;
    QString error_;
};

// Bit 40 is the first byte's lowest bit. Two range ends without it that share the bits above
// it enclose no address with it.
bool HoldsMulticast(const NumberRange &mac)
{
    return (mac.first & kMacMulticastBit) != 0 || (mac.last & kMacMulticastBit) != 0 ||
           (mac.first >> 41) != (mac.last >> 41);
}

// Why the plan would give units an identity or addresses they cannot use; empty when it would
// not. Both ends of the IP range host addresses of one subnet means every address between is.
QString PlanProblem(const ProvisionPlan &plan)
{
    const DeviceSettings factory = FactorySettings();
    const auto holds = [](const NumberRange &range, quint64 number) {
        return range.first <= number && number <= range.last;
    };
    if (holds(plan.serial, factory.serialNumber)) {
        return QStringLiteral("the plan's \"serial\" range holds %1, the factory serial number "
                              "that every fresh unit shows")
            .arg(factory.serialNumber);
    }
    if (holds(plan.mac, MacNumber(factory.mac))) {
        return QStringLiteral("the plan's \"mac\" range holds %1, the factory MAC that every "
                              "fresh unit shows")
            .arg(MacText(factory.mac));
    }
    if (const QString problem = MacProblem(MacFromNumber(plan.mac.first)); !problem.isEmpty()) {
        return QStringLiteral("the plan's ") + problem;
    }
    DeviceSettings settings;
    settings.subnetMask = plan.mask;
    settings.defaultGateway = plan.gateway;
    settings.primaryDns = plan.dns1;
    settings.secondaryDns = plan.dns2;
    for (const quint64 end : {plan.ip.first, plan.ip.last}) {
        settings.ipAddress = AddressFromNumber(static_cast<quint32>(end));
        if (const QString problem = NetworkProblem(settings); !problem.isEmpty()) {
            return QStringLiteral("the plan's ") + problem;
        }
    }
    const quint32 mask = AddressNumber(plan.mask);
    if ((plan.ip.first & mask) != (plan.ip.last & mask)) {
        return QStringLiteral("the plan's \"ip\" range spans more than one subnet of mask %1")
            .arg(AddressText(plan.mask));
    }
    return {};
}

} // namespace

std::optional<ProvisionPlan> ProvisionPlan::parse(const QByteArray &json, QString *error)
{
    const std::optional<QJsonObject> parsed = ParseJsonObject(json, error);
    if (!parsed) {
        *error = QStringLiteral("the plan is ") + *error;
        return std::nullopt;
    }
    const QJsonObject &object = *parsed;
    for (const QString &key : object.keys()) {
        if (!kFields.contains(key)) {
            *error = QStringLiteral("the plan has an unknown field \"%1\"").arg(key);
            return std::nullopt;
        }
    }

    FieldReader reader(object);
    ProvisionPlan plan;
    const auto serial =
        reader.range(QStringLiteral("serial"), [&](const auto &o, const auto &k, const auto &n) {
            return reader.serial(o, k, n);
        });
    const auto mac =
        reader.range(QStringLiteral("mac"), [&](const auto &o, const auto &k, const auto &n) {
            return reader.mac(o, k, n);
        });
    const auto ipAsNumber = [&](const auto &o, const auto &k,
                                const auto &n) -> std::optional<quint64> {
        const std::optional<Address> a = reader.address(o, k, n);
        return a ? std::optional<quint64>(AddressNumber(*a)) : std::nullopt;
    };
    std::optional<NumberRange> ip;
    if (object.value(QStringLiteral("ip")).isObject()) {
        ip = reader.range(QStringLiteral("ip"), ipAsNumber);
        plan.ipIsRange = true;
    } else if (const auto single = ipAsNumber(object, QStringLiteral("ip"), QStringLiteral("ip"))) {
        ip = NumberRange{*single, *single};
    }
    const auto mask = reader.address(object, QStringLiteral("mask"), QStringLiteral("mask"));
    const auto gateway =
        reader.address(object, QStringLiteral("gateway"), QStringLiteral("gateway"));
    const auto dns1 = reader.address(object, QStringLiteral("dns1"), QStringLiteral("dns1"));
    const auto dns2 = reader.address(object, QStringLiteral("dns2"), QStringLiteral("dns2"));
    if (!reader.failed() && HoldsMulticast(*mac)) {
        reader.fail(QStringLiteral("the plan's MAC range holds multicast addresses (the lowest "
                                   "bit of the first byte set); give a unicast range"));
    }
    if (reader.failed()) {
        *error = reader.error();
        return std::nullopt;
    }
    plan.serial = *serial;
    plan.mac = *mac;
    plan.ip = *ip;
    plan.mask = *mask;
    plan.gateway = *gateway;
    plan.dns1 = *dns1;
    plan.dns2 = *dns2;
    if (const QString problem = PlanProblem(plan); !problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    return plan;
}

std::optional<ProvisionPlan> ProvisionPlan::readFile(const QString &path, QString *error)
{
    const std::optional<QByteArray> text = ReadSmallFile(path, error);
    if (!text) {
        *error = QStringLiteral("%1: %2").arg(path, *error);
        return std::nullopt;
    }
    std::optional<ProvisionPlan> plan = parse(*text, error);
    if (!plan) {
        *error = QStringLiteral("%1: %2").arg(path, *error);
    }
    return plan;
}

} // namespace quillon

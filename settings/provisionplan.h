#pragma once

#include "settings/values.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillon {

// Inclusive number ranges of a plan; MACs and addresses counted as numbers (MacNumber).
struct NumberRange
{
    quint64 first = 0;
    quint64 last = 0;

    bool operator==(const NumberRange &) const = default;
};

// What a provisioning run hands out: each device its own serial number and MAC (and IP address
// when `ip` is a range); everything else the same for every device.
struct ProvisionPlan
{
    NumberRange serial;
    NumberRange mac;
    NumberRange ip; // first == last for a single address
    bool ipIsRange = false;
    Address mask{};
    Address gateway{};
    Address dns1{};
    Address dns2{};

    // Refuses, with one line naming the problem: text that is not a JSON object, a missing or
    // unknown field, a malformed value, a range whose first is after its last, a serial number
    // above 2147483647, a MAC range holding a multicast address, a range holding the factory
    // identity, addresses a unit cannot use (see NetworkProblem), a key given twice.
    static std::optional<ProvisionPlan> parse(const QByteArray &json, QString *error);
    // The plan in a file; the line then starts with the path.
    static std::optional<ProvisionPlan> readFile(const QString &path, QString *error);
};

} // namespace quillon

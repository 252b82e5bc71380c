#pragma once

#include <QByteArray>

// A plan with room for every run of the provisioning benchmarks.
inline const QByteArray kBenchPlan =
    R"({"serial": {"first": 1000, "last": 999999}, "mac": {"first": "02:5C:E1:C0:10:00", )"
    R"("last": "02:5C:E1:CF:FF:FF"}, "ip": "10.10.10.11", "mask": "255.255.255.0", )"
    R"("gateway": "10.10.10.1", "dns1": "10.10.10.1", "dns2": "0.0.0.0"})";

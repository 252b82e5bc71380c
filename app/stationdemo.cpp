#include "app/stationdemo.h"

#include "ledger/ledger.h"
#include "protocol/factorydefaults.h"
#include "station/stationsetup.h"

#include <QFile>
#include <QSettings>

namespace quillon {

namespace {

const QByteArray kPlan =
    R"({"serial": {"first": 1000, "last": 1999}, "mac": {"first": "02:5C:E1:C0:10:00", )"
    R"("last": "02:5C:E1:C0:13:E7"}, "ip": "10.10.10.11", "mask": "255.255.255.0", )"
    R"("gateway": "10.10.10.1", "dns1": "10.10.10.1", "dns2": "0.0.0.0"})";

} // namespace

StationDemo::StationDemo(int fixtures) : folder_(dir_.path())
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder_);
    QFile plan(planPath());
    if (plan.open(QIODevice::WriteOnly)) {
        plan.write(kPlan);
    }
    plan.close();
    QString error;
    LedgerLocation location;
    location.path = ledgerPath();
    Ledger::create(location, *ProvisionPlan::parse(kPlan, &error), &error);

    StationSetup setup{planPath(), ledgerPath(), {}, {}, {}};
    for (int i = 0; i < fixtures; ++i) {
        devices_.push_back(nullptr);
        plugIn(i);
        portMap_.setPort(PortMap::kFirstPort + i,
                         HostPort{link(i), QStringLiteral("Quillon fixture"), {}, {}, {}});
        setup.fixtures << link(i);
    }
    setup.save();
}

StationDemo::~StationDemo() = default;

QString StationDemo::planPath() const
{
    return folder_ + QStringLiteral("/plan.json");
}

QString StationDemo::ledgerPath() const
{
    return folder_ + QStringLiteral("/ledger.sqlite");
}

QString StationDemo::link(int fixture) const
{
    return folder_ + QStringLiteral("/ttyUSB%1").arg(fixture);
}

void StationDemo::unplug(int fixture)
{
    devices_[fixture]->unplug();
}

void StationDemo::plugIn(int fixture)
{
    devices_[fixture] = std::make_unique<SimulatedQuillon>();
    devices_[fixture]->setSettings(FactorySettings());
    QFile::remove(link(fixture));
    QFile::link(QString::fromStdString(devices_[fixture]->devicePath()), link(fixture));
}

} // namespace quillon

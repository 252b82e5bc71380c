#pragma once

#include "link/portmap.h"
#include "sim/simulatedquillon.h"

#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace quillon {

// A station without hardware, for the screenshot, the tests and the benchmark: a plan, a new
// ledger and simulated Quillons behind links named like USB adapters, all in a folder of its
// own, with the station's set-up remembered there too and never in the user's own.
class StationDemo
{
public:
    explicit StationDemo(int fixtures);
    ~StationDemo();

    const QString &folder() const { return folder_; }
    QString planPath() const;
    QString ledgerPath() const;
    // The fixture's link ("ttyUSB0" in the folder) that the station opens.
    QString link(int fixture) const;
    SimulatedQuillon &device(int fixture) { return *devices_[fixture]; }
    const PortMap &portMap() const { return portMap_; }

    // A unit as it leaves the factory, told apart by its serial number.
    static DeviceSettings freshUnit(quint32 serial);

    // Pulls the unit out: its link then names nothing.
    void unplug(int fixture);
    // Puts a new unit, with a serial number of its own, behind the fixture's link.
    void plugIn(int fixture, quint32 serial);

private:
    QTemporaryDir dir_;
    QString folder_;
    std::vector<std::unique_ptr<SimulatedQuillon>> devices_;
    PortMap portMap_;
};

} // namespace quillon

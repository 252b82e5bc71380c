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

    // Pulls the unit out: its link then names nothing.
    void unplug(int fixture);
    // Puts a new unit, as it leaves the factory, behind the fixture's link.
    void plugIn(int fixture);

private:
    QTemporaryDir dir_;
    QString folder_;
    std::vector<std::unique_ptr<SimulatedQuillon>> devices_;
    PortMap portMap_;
};

} // namespace quillon

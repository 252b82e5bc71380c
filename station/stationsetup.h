#pragma once

#include <QString>
#include <QStringList>

namespace quillon {

// What the operator chose at the station, kept for the next start.
struct StationSetup
{
    QString plan;         // the plan file
    QString ledger;       // a file path or a postgresql:// location
    QStringList fixtures; // device paths
    QString labelHook;
    QString stationLog;

    static StationSetup load();
    void save() const;
};

} // namespace quillon

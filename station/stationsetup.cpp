#include "station/stationsetup.h"

#include <QSettings>

namespace quillon {

namespace {

const QString kPlan = QStringLiteral("plan");
const QString kLedger = QStringLiteral("ledger");
const QString kFixtures = QStringLiteral("fixtures");
const QString kLabelHook = QStringLiteral("labelHook");
const QString kStationLog = QStringLiteral("stationLog");

} // namespace

StationSetup StationSetup::load()
{
    const QSettings settings;
    return {settings.value(kPlan).toString(), settings.value(kLedger).toString(),
            settings.value(kFixtures).toStringList(), settings.value(kLabelHook).toString(),
            settings.value(kStationLog).toString()};
}

void StationSetup::save() const
{
    QSettings settings;
    settings.setValue(kPlan, plan);
    settings.setValue(kLedger, ledger);
    settings.setValue(kFixtures, fixtures);
    settings.setValue(kLabelHook, labelHook);
    settings.setValue(kStationLog, stationLog);
}

} // namespace quillon

#pragma once

#include "link/portmap.h"
#include "station/stationrun.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QThread;

namespace quillon {

namespace Ui {
class StationWindow;
}

class FixtureTile;
struct StationSetup;

// The line operator's window: the set-up on the left, remembered between starts, and one tile
// per fixture. Start watches every chosen fixture through the same provisioning engine as
// `quillonctl provision --watch`; Stop lets running exchanges end.
class StationWindow : public QWidget
{
    Q_OBJECT
public:
    explicit StationWindow(PortMap portMap, const StationRun::Timing &timing = {},
                           QWidget *parent = nullptr);
    ~StationWindow() override;

    bool running() const { return run_ != nullptr; }
    const QList<FixtureTile *> &tiles() const { return tiles_; }

    void start();
    void stop();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void listPorts(const QStringList &chosen);
    // A fixture by its path, ticked: one the host's list does not show.
    void addFixtureItem(const QString &path);
    void addFixture();
    StationSetup currentSetup() const;
    // Each shows its refusal next to its field, in the words quillonctl uses.
    std::optional<ProvisionPlan> checkPlan();
    std::optional<LedgerLocation> ledgerLocation();
    // The set-up's figures from the ledger, opened on a thread of its own and closed again; a
    // pending start goes on once the ledger has answered well.
    void checkLedger();
    void ledgerChecked(const ProvisionPlan &plan, const std::optional<Ledger::Remaining> &left,
                       const QString &error);
    void finishPendingStart(bool ledgerSound);
    void startChecked();
    // The ledger for a run, on a thread of its own.
    std::unique_ptr<LedgerWorker> openLedger(const ProvisionPlan &plan);
    std::optional<QList<PortArgument>> checkFixtures();
    // The plan's ranges, with what is left of them when the ledger can say.
    void showPlan(const ProvisionPlan &plan, const std::optional<Ledger::Remaining> &left);
    // The same from the run's ledger, off this thread.
    void showLeft(LedgerWorker &ledger);
    void showCounters();
    void layOutTiles(const QList<PortArgument> &fixtures);
    void setRunning(bool running);
    void onDeviceDone(int fixture, const DeviceReport &report);
    void onFinished();

    std::unique_ptr<Ui::StationWindow> ui_;
    PortMap portMap_;
    StationRun::Timing timing_;
    std::optional<ProvisionPlan> plan_;
    std::unique_ptr<StationRun> run_;
    QList<FixtureTile *> tiles_;
    int passed_ = 0;
    int failed_ = 0;
    bool closeWhenStopped_ = false;
    int ledgerChecks_ = 0;
    bool startPending_ = false;
    QList<QPointer<QThread>> checks_;
};

} // namespace quillon

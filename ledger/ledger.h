#pragma once

#include "ledger/ledgerconnection.h"
#include "settings/provisionplan.h"
#include "settings/values.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace quillon {

// The provisioning ledger: an SQLite file that holds the plan's ranges and one row per number
// handed out. Allocation is one committed transaction that other processes on the same file
// wait for, so a number is never handed out twice, whatever happens after.
class Ledger
{
public:
    enum class State { allocated, written, verified, failed };

    struct Row
    {
        qint64 id = 0;
        quint32 serial = 0;
        MacAddress mac{};
        Address ip{};
        QString port;
        quint32 previousSerial = 0;
        MacAddress previousMac{};
        QString time; // ISO 8601 UTC, of the last change of state
        State state = State::allocated;
        QString reason;
    };

    struct Allocation
    {
        qint64 id = 0;
        quint32 serial = 0;
        MacAddress mac{};
        Address ip{};
    };

    enum class Outcome { allocated, exhausted, failed };
    struct AllocateResult
    {
        Outcome outcome = Outcome::failed;
        Allocation allocation;
        QString error; // which range ran out, or what the database said
    };

    inline static const QString kDefaultFile = QStringLiteral("quillon-ledger.sqlite");

    // Opens the ledger for a plan, creating the file when there is none. Refuses a file that
    // cannot be opened or written, that is no ledger, or whose ranges differ from the plan's
    // other than by raised `last` values, which then grow the stored ranges.
    static std::unique_ptr<Ledger> openForPlan(const QString &path, const ProvisionPlan &plan,
                                               QString *error);
    // Opens an existing ledger for listing; creates nothing and writes nothing.
    static std::unique_ptr<Ledger> openExisting(const QString &path, QString *error);

    Ledger(const Ledger &) = delete;
    Ledger &operator=(const Ledger &) = delete;

    // The next free serial number and MAC (and IP address when the plan gives a range), stored
    // as allocated for the device on `port` before it is handed out.
    AllocateResult allocate(const QString &port, quint32 previousSerial,
                            const MacAddress &previousMac);
    struct AllocationRequest
    {
        QString port;
        quint32 previousSerial = 0;
        MacAddress previousMac{};
    };
    // The same for several devices in one transaction, so that they wait for the disk once.
    // Once a range runs out, the rest of the requests get `exhausted`; any database failure
    // fails them all and allocates nothing.
    QList<AllocateResult> allocate(const QList<AllocationRequest> &requests);

    bool markWritten(qint64 id, QString *error);
    bool markVerified(qint64 id, QString *error);
    bool markFailed(qint64 id, const QString &reason, QString *error);

    // Whether a device holding this serial number and MAC got them here and was verified;
    // nullopt when the database cannot say.
    std::optional<bool> isProvisioned(quint32 serial, const MacAddress &mac, QString *error);
    // Whether this ledger ever handed out the pair, in any state.
    std::optional<bool> holds(quint32 serial, const MacAddress &mac, QString *error);

    // Every row in allocation order; nullopt when the database cannot be read.
    std::optional<QList<Row>> rows(QString *error);

    static QString stateName(State state);

private:
    Ledger(const QString &path, bool readOnly, QString *error) : sql_(path, readOnly, error) {}

    bool setupFor(const ProvisionPlan &plan, QString *error);
    // A row with the pair and `condition` (" AND ...", or empty).
    std::optional<bool> findPair(const QString &condition, quint32 serial, const MacAddress &mac,
                                 QString *error);
    bool isLedger(QString *error);
    bool setState(qint64 id, State state, const QString &reason, QString *error);
    // FULL: each commit returns once it is on the disk; NORMAL: once the system has it.
    bool syncEveryCommit(bool on, QString *error);

    LedgerConnection sql_;
    std::optional<ProvisionPlan> plan_;
};

} // namespace quillon

#pragma once

#include "ledger/ledgerconnection.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgerschema.h"
#include "settings/provisionplan.h"
#include "settings/values.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace quillon {

// The provisioning ledger: an SQLite file or a PostgreSQL database that holds the plan's ranges
// and one row per number handed out. Allocation is one committed transaction that locks the
// count it increments, so that other processes and stations wait for it and a number is never
// handed out twice, whatever happens after.
class Ledger
{
public:
    enum class State { Allocated, Written, Verified, Failed };

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
        State state = State::Allocated;
        QString reason;
        // Who and where: the station's host name, the operating user, and when the number was
        // handed out, written and verified (empty until then, and in rows older than these).
        QString station;
        QString user;
        QString allocatedAt;
        QString writtenAt;
        QString verifiedAt;
    };

    struct Allocation
    {
        qint64 id = 0;
        quint32 serial = 0;
        MacAddress mac{};
        Address ip{};
    };

    enum class Outcome { Allocated, Exhausted, Failed };
    struct AllocateResult
    {
        Outcome outcome = Outcome::Failed;
        Allocation allocation;
        QString error; // which range ran out, or what the database said
    };

    // Makes a new ledger for the plan; refuses a location that holds one already, or any file.
    static std::unique_ptr<Ledger> create(const LedgerLocation &location, const ProvisionPlan &plan,
                                          QString *error);
    // Opens an existing ledger for a plan after it has been identified as one (a file by plain
    // reads first). `missing` tells that there is none at all. Refuses a ledger whose ranges
    // differ from the plan's other than by raised `last` values, which then grow the stored
    // ranges.
    static std::unique_ptr<Ledger> openForPlan(const LedgerLocation &location,
                                               const ProvisionPlan &plan, QString *error,
                                               bool *missing = nullptr);
    // The same for a provisioning run; a missing ledger is refused with how to make one.
    static std::unique_ptr<Ledger> openForRun(const LedgerLocation &location,
                                              const ProvisionPlan &plan, QString *error);
    // Opens an existing ledger for listing and backups; creates nothing and writes nothing.
    static std::unique_ptr<Ledger> openExisting(const LedgerLocation &location, QString *error);

    Ledger(const Ledger &) = delete;
    Ledger &operator=(const Ledger &) = delete;

    struct AllocationRequest
    {
        QString port;
        quint32 previousSerial = 0;
        MacAddress previousMac{};
    };
    // For each device, the next free serial number and MAC (and IP address when the plan gives
    // a range), stored as allocated for its port before they are handed out; all in one
    // transaction, so that the devices wait for the disk once.
    // Once a range runs out, the rest of the requests get Exhausted; any database failure
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

    // How many numbers of each range are not handed out yet; `ips` only when the plan gives a
    // range of them.
    struct Remaining
    {
        qint64 serials = 0;
        qint64 macs = 0;
        std::optional<qint64> ips;
    };
    std::optional<Remaining> remaining(QString *error);

    // Every row in allocation order; nullopt when the database cannot be read.
    std::optional<QList<Row>> rows(QString *error);

    // A consistent copy in a new file, taken while other processes go on allocating. It is a
    // copy: provisioning from it is refused until it is adopted.
    bool backup(const QString &destination, QString *error);
    // Makes a copy of an SQLite ledger (a backup, a file restored or moved to another disk)
    // the ledger, once the one it was copied from is gone for good.
    static bool adopt(const LedgerLocation &location, QString *error);

    static QString stateName(State state);

private:
    Ledger(const LedgerLocation &location, bool readOnly, QString *error)
        : sql_(location, readOnly, error), schema_(sql_)
    {
    }

    // A row with the pair and `condition` (" AND ...", or empty).
    std::optional<bool> findPair(const QString &condition, quint32 serial, const MacAddress &mac,
                                 QString *error);
    enum class Access { Reading, Writing, Adopting };
    static std::unique_ptr<Ledger> open(const LedgerLocation &location, Access access,
                                        QString *error, bool *missing);
    // An SQLite ledger records the file it was made in; a copy, which the ledger it was taken
    // from would hand out the same numbers as, is refused unless `adopting`, which makes this
    // file the ledger.
    bool checkHome(bool adopting, QString *error);
    bool setState(qint64 id, State state, const QString &reason, QString *error);
    // FULL: each commit returns once it is on the disk; NORMAL: once the system has it.
    bool syncEveryCommit(bool on, QString *error);

    LedgerConnection sql_;
    LedgerSchema schema_;
    std::optional<ProvisionPlan> plan_;
    // Recorded with every allocation.
    QString station_;
    QString user_;
};

} // namespace quillon

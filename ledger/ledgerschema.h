#pragma once

#include "settings/provisionplan.h"

#include <QString>

namespace quillon {

class LedgerConnection;

// The ledger's tables on either kind of database: made once by `ledger init`, brought up to
// date and checked on every open, and matched against the plan of a run.
class LedgerSchema
{
public:
    explicit LedgerSchema(LedgerConnection &sql) : sql_(sql) {}

    // Makes the tables and stores the plan's ranges; inside the caller's transaction.
    bool create(const ProvisionPlan &plan, QString *error);
    // Whether the database is a ledger: its tables and columns are there. An SQLite ledger made
    // before rows named their station, operator and times gains those columns when `migrate`
    // is set (inside the caller's transaction); otherwise they read as empty.
    bool check(bool migrate, QString *error);
    // Whether the stored ranges are sound, so that allocation can never wrap or land on a
    // number a row already holds, however the database was edited by hand.
    bool checkRanges(QString *error);
    // Refuses a plan whose ranges differ from the stored ones other than by raised `last`
    // values; `grows` tells whether it raises any.
    bool matchPlan(const ProvisionPlan &plan, bool *grows, QString *error);
    // Raises the stored `last` values to the plan's; inside the caller's transaction.
    bool growTo(const ProvisionPlan &plan, QString *error);

    bool hasRecordColumns() const { return recordColumns_; }

private:
    LedgerConnection &sql_;
    bool recordColumns_ = true;
};

QString RangeText(const QString &name, qint64 first, qint64 last,
                  QString (*text)(qint64) = nullptr);
QString MacNumberText(qint64 n);
QString AddressNumberText(qint64 n);

} // namespace quillon

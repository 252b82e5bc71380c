#pragma once

#include "settings/provisionplan.h"

#include <QString>
#include <QStringList>

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
    // Whether the database is a ledger: its tables and columns are there. In an SQLite ledger
    // made before rows named their station, operator and times, those read as empty.
    bool check(QString *error);
    // Gives such a ledger those columns, in a transaction of its own.
    bool migrate(QString *error);
    // Whether the stored ranges are sound, so that allocation can never wrap or land on a
    // number a row already holds, however the database was edited by hand.
    bool checkRanges(QString *error);
    // Refuses a plan whose ranges differ from the stored ones other than by raised `last`
    // values, which then grow the stored ranges in a transaction of their own.
    bool adopt(const ProvisionPlan &plan, QString *error);

    bool hasRecordColumns() const { return missingColumns_.isEmpty(); }

private:
    // `grows` tells whether the plan raises any `last` value.
    bool matchPlan(const ProvisionPlan &plan, bool *grows, QString *error);
    bool growTo(const ProvisionPlan &plan, QString *error);

    LedgerConnection &sql_;
    QStringList missingColumns_;
};

QString RangeText(const QString &name, qint64 first, qint64 last,
                  QString (*text)(qint64) = nullptr);
QString MacNumberText(qint64 n);
QString AddressNumberText(qint64 n);

} // namespace quillon

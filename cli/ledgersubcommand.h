#pragma once

#include <QStringList>

namespace quillon {

class CtlContext;

// quillonctl ledger [--ledger LOCATION] [--csv]: the ledger's rows, as a table or as CSV;
// ledger init makes a new ledger for a plan, ledger backup DEST copies one consistently.
int RunLedgerSubcommand(const QStringList &arguments, CtlContext &context);

} // namespace quillon

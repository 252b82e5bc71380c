#pragma once

#include <QStringList>

namespace quillon {

class CtlContext;

// quillonctl ledger [--ledger FILE] [--csv]: the ledger's rows, as a table or as CSV.
int RunLedgerSubcommand(const QStringList &arguments, CtlContext &context);

} // namespace quillon

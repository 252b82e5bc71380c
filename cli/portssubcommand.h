#pragma once

#include <QStringList>

namespace quillon {

class CtlContext;

// quillonctl ports [--json] [--probe [PORT...]]: the COM numbers with their host device, its
// description, how the adapter tells itself apart and whether it opens now; with --probe, the
// ports where a Quillon answers a read.
int RunPortsSubcommand(const QStringList &arguments, CtlContext &context);

} // namespace quillon

#pragma once

#include <QStringList>

namespace quillon {

class CtlContext;

// quillonctl ports [--json]: the COM numbers with their host device, its description and
// whether it opens now.
int RunPortsSubcommand(const QStringList &arguments, CtlContext &context);

} // namespace quillon

#pragma once

#include "cli/ctlcontext.h"

#include <QStringList>
#include <QTextStream>

namespace quillon {

// The whole of quillonctl, callable in-process. `arguments` starts with the program's name, as
// QCoreApplication::arguments() does. Returns the exit status.
int RunQuillonCtl(const QStringList &arguments, const CtlOptions &options, QTextStream &out,
                  QTextStream &err);

} // namespace quillon

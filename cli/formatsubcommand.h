#pragma once

#include "session/portargument.h"

#include <QStringList>

namespace quillon {

class CtlContext;

struct FormatRequest
{
    PortArgument port;
};

// quillonctl format PORT --yes
int RunFormatSubcommand(const QStringList &arguments, CtlContext &context);

// Sends the format request and waits as the window does. Returns the exit status.
int FormatDevice(const FormatRequest &request, CtlContext &context);

} // namespace quillon

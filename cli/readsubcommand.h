#pragma once

#include "session/portargument.h"

#include <QStringList>

namespace quillon {

class CtlContext;

struct ReadRequest
{
    PortArgument port;
    bool json = false;
};

// quillonctl read PORT [--json]
int RunReadSubcommand(const QStringList &arguments, CtlContext &context);

// Reads the device and prints its seven settings. Returns the exit status.
int ReadDevice(const ReadRequest &request, CtlContext &context);

} // namespace quillon

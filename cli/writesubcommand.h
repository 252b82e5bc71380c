#pragma once

#include "session/portargument.h"
#include "settings/settingsedit.h"

#include <QStringList>

namespace quillon {

class CtlContext;

struct WriteRequest
{
    PortArgument port;
    // The device's values <- the --from file <- --defaults <- single options.
    SettingsEdit edit;
    // The --from file's serial number and MAC, left out of the edit without --identity.
    SettingsEdit keptIdentity;
    bool json = false;
};

// quillonctl write PORT [--from FILE] [--serial N] [--mac MAC] [--ip A.B.C.D] ... [--defaults]
// [--json]. Every value is checked before the port is opened.
int RunWriteSubcommand(const QStringList &arguments, CtlContext &context);

// Reads the device, applies request.edit (SettingsEdit::applyTo refuses a device serial number
// that cannot be written back, status 2), writes, reads back and compares. Returns the exit
// status.
int WriteDevice(const WriteRequest &request, CtlContext &context);

} // namespace quillon

#pragma once

#include "link/exchangestate.h"
#include "link/portmap.h"
#include "provisioning/labelhook.h"
#include "session/portargument.h"

#include <QString>
#include <QTextStream>

#include <functional>
#include <optional>

namespace quillon {

// Exit statuses of quillonctl.
enum ExitStatus : int {
    kExitOk = 0,
    kExitDeviceFailed = 1,
    kExitUsage = 2,
    kExitPortUnavailable = 3,
};

// What the installed program takes from the host and tests hand in instead.
struct CtlOptions
{
    // The COM numbers' host devices; the host's own map when not given.
    std::optional<PortMap> portMap;
    // The exchanges' limits; tests shorten them in-process.
    ExchangeTiming timing;
    // Standard error is a terminal, so a format's progress can be shown there.
    bool errIsTerminal = false;
    // How often provision --watch tries an idle port.
    int watchIntervalMs = 1000;
    // How long provision --on-verified lets a unit's command run before stopping it.
    int hookTimeLimitMs = LabelHook::kTimeLimitMs;
    // Called by provision between committing a device's numbers and writing them, with the
    // PORT as given; tests stop the process there.
    std::function<void(const QString &port)> afterAllocation;
    // Tells the file system of a ledger file's folder by its statfs() magic number; statfs()
    // itself when not given.
    std::function<qint64(const QString &folder)> fileSystem;
    // How long an SQLite ledger's statement waits for another process; tests shorten it.
    std::optional<int> ledgerBusyTimeoutMs;
    // Called by provision between a device's good read-back and recording it as verified.
    std::function<void(const QString &port)> beforeVerifiedRecord;
};

// One run of quillonctl: its options and where it prints.
class CtlContext
{
public:
    CtlContext(const CtlOptions &options, QTextStream &out, QTextStream &err)
        : options_(options), out_(out), err_(err)
    {
    }

    const CtlOptions &options() const { return options_; }
    QTextStream &out() { return out_; }
    QTextStream &err() { return err_; }

    // The port map, built from the host's ports once per run when the options have none.
    const PortMap &portMap();
    // A PORT argument resolved; only a COM name has the host's ports listed.
    std::optional<PortArgument> resolvePort(const QString &argument, QString *error);

    // Prints "quillonctl: <message>" on standard error and returns `status`.
    int fail(const QString &message, int status);

private:
    const CtlOptions &options_;
    QTextStream &out_;
    QTextStream &err_;
    std::optional<PortMap> hostMap_;
};

} // namespace quillon

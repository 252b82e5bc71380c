#pragma once

#include "link/portmap.h"
#include "link/portprobe.h"

#include <QList>

#include <memory>

class QThread;

namespace quillon {

// The ports the load step lists: which host device each COM number names, and whether each
// opened. The host's ports are gathered on a worker thread, so the window can be built meanwhile.
class PortScan
{
public:
    struct Result
    {
        PortMap map;
        QList<PortProbe> probes;
    };

    // Starts listing and trying the host's ports at once, on a thread of its own.
    static PortScan host();
    // Ports already known; tried on the caller's thread when the result is taken.
    explicit PortScan(PortMap map);
    PortScan(PortScan &&other) noexcept;
    // Assigning would free the result its worker still writes and destroy a running thread.
    PortScan &operator=(PortScan &&other) = delete;
    ~PortScan();

    // Waits for the worker, if there is one. Call it once.
    Result take();

private:
    PortScan() = default;

    std::unique_ptr<Result> result_;
    std::unique_ptr<QThread> worker_;
};

} // namespace quillon

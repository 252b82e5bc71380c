#include "link/portscan.h"

#include <QThread>

namespace quillon {

PortScan PortScan::host()
{
    PortScan scan;
    scan.result_ = std::make_unique<Result>();
    // A QThread, not a bare thread: each trial open sets up a socket notifier, which needs the
    // thread's own event dispatcher.
    scan.worker_.reset(QThread::create([result = scan.result_.get()] {
        result->map = PortMap::host();
        result->probes = ProbePorts(result->map);
    }));
    scan.worker_->start();
    return scan;
}

PortScan::PortScan(PortMap map) : result_(std::make_unique<Result>(Result{std::move(map), {}})) {}

PortScan::PortScan(PortScan &&other) noexcept = default;

PortScan::~PortScan()
{
    if (worker_) {
        worker_->wait();
    }
}

PortScan::Result PortScan::take()
{
    if (worker_) {
        worker_->wait();
        worker_.reset();
    } else {
        result_->probes = ProbePorts(result_->map);
    }
    return std::move(*result_);
}

} // namespace quillon

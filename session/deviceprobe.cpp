#include "session/deviceprobe.h"

#include "session/devicesession.h"

namespace quillon {

DeviceProbe::DeviceProbe(const QList<PortArgument> &ports, ExchangeTiming timing)
{
    for (const PortArgument &port : ports) {
        answers_.append({port, {}});
        sessions_.push_back(std::make_unique<DeviceSession>(port, timing));
        const std::size_t index = sessions_.size() - 1;
        connect(sessions_.back().get(), &DeviceSession::finished, this,
                [this, index](const ExchangeEnd &end) { onEnded(index, end); });
    }
}

DeviceProbe::~DeviceProbe() = default;

void DeviceProbe::start()
{
    running_ = sessions_.size();
    for (const auto &session : sessions_) {
        session->read();
    }
    if (sessions_.empty()) {
        emit finished();
    }
}

void DeviceProbe::onEnded(std::size_t index, const ExchangeEnd &end)
{
    answers_[static_cast<qsizetype>(index)].end = end;
    if (--running_ == 0) {
        emit finished();
    }
}

} // namespace quillon

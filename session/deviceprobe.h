#pragma once

#include "link/exchangestate.h"
#include "session/portargument.h"

#include <QList>
#include <QObject>

#include <memory>
#include <vector>

namespace quillon {

class DeviceSession;

// Sends one read to each of several ports at once, one session per port on the caller's event
// loop, so finding the Quillons takes about one reply time-out however many ports there are.
class DeviceProbe : public QObject
{
    Q_OBJECT
public:
    struct Answer
    {
        PortArgument port;
        ExchangeEnd end; // end.settings holds the device's settings where a Quillon answered
    };

    DeviceProbe(const QList<PortArgument> &ports, ExchangeTiming timing);
    // Closes the ports of reads still waiting.
    ~DeviceProbe() override;

    // Starts every read; finished() follows once all have ended. A port that does not open
    // ends at once, so finished() may come before this returns: call it from the running loop.
    void start();
    // In the order the ports were given; only after finished().
    const QList<Answer> &answers() const { return answers_; }

signals:
    void finished();

private:
    void onEnded(std::size_t index, const ExchangeEnd &end);

    std::vector<std::unique_ptr<DeviceSession>> sessions_;
    QList<Answer> answers_;
    std::size_t running_ = 0;
};

} // namespace quillon

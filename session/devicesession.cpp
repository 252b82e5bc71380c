#include "session/devicesession.h"

#include "link/portadvice.h"

namespace quillon {

DeviceSession::DeviceSession(const PortArgument &port, ExchangeTiming timing, QObject *parent)
    : QObject(parent), name_(port.argument), exchange_(*this, port.target, timing)
{
    connect(&exchange_, &Exchange::ended, this, &DeviceSession::onEnded);
}

bool DeviceSession::read()
{
    if (exchange_.busy()) {
        return false;
    }
    exchange_.StartRead();
    return true;
}

bool DeviceSession::write(const DeviceSettings &settings)
{
    if (exchange_.busy()) {
        return false;
    }
    exchange_.StartWrite(settings);
    return true;
}

bool DeviceSession::format()
{
    if (exchange_.busy()) {
        return false;
    }
    exchange_.StartFormat();
    return true;
}

void DeviceSession::abort()
{
    exchange_.Abort();
}

QString DeviceSession::failure() const
{
    if (end_.outcome == ExchangeOutcome::Ok) {
        // A read's good frame can still lack the setup record.
        return end_.exchange == ExchangeState::Reading && !end_.settings
                   ? QStringLiteral("the reply carried no settings")
                   : QString();
    }
    // A port error says why rather than only that.
    return end_.outcome == ExchangeOutcome::PortError ? OpenFailureText(end_.openFailure, end_.port)
                                                      : OutcomeText(end_.outcome);
}

void DeviceSession::onEnded(const ExchangeEnd &end)
{
    end_ = end;
    emit finished(end);
}

} // namespace quillon

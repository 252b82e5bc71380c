#pragma once

#include "link/exchange.h"
#include "link/frontend.h"
#include "session/portargument.h"

#include <QObject>
#include <QString>

#include <optional>

namespace quillon {

// One device on one port, driven without a window: the exchange engine on the resolved port.
// Each exchange is started here and reported by finished(); sessions share nothing, so one
// event loop can drive many ports at once.
class DeviceSession : public QObject, private FrontEnd
{
    Q_OBJECT
public:
    DeviceSession(const PortArgument &port, ExchangeTiming timing = {}, QObject *parent = nullptr);

    // Each starts one exchange and returns false, starting nothing, while another runs.
    bool read();
    bool write(const DeviceSettings &settings);
    bool format();
    // Ends a running format as the window's Abort does.
    void abort();
    // Keeps the port open and locked from an exchange that ended "OK" to the next, until
    // release(), so that one device's exchanges take the port's lock once.
    void keepPortOpen() { exchange_.setKeepPortOpen(true); }
    void release() { exchange_.ReleasePort(); }

    bool busy() const { return exchange_.busy(); }
    // How the program's own lines name the port: the PORT as given, "COM3" or the path.
    const QString &name() const { return name_; }

    // The settings of the last exchange, a read that ended "OK" with a whole setup record;
    // nullopt after any other.
    const std::optional<DeviceSettings> &settings() const { return end_.settings; }
    // One line saying how the last exchange failed: the outcome, or why the port did not open.
    // Empty after "OK".
    QString failure() const;
    const ExchangeEnd &lastEnd() const { return end_; }

signals:
    // Raised when an exchange has ended and the port is closed, unless kept open; a slot may
    // start the next one.
    void finished(const quillon::ExchangeEnd &end);
    // The format's progress, 0 to maximum, as the window's bar moves.
    void progress(int value, int maximum);

private:
    void setProgress(int value, int maximum) override { emit progress(value, maximum); }
    void onEnded(const ExchangeEnd &end);

    QString name_;
    Exchange exchange_;
    ExchangeEnd end_;
};

} // namespace quillon

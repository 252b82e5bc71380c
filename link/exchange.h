#pragma once

#include "link/exchangestate.h"
#include "link/frontend.h"
#include "link/mscomm.h"
#include "link/portmap.h"
#include "link/portprobe.h"
#include "link/portscan.h"
#include "protocol/devicesettings.h"
#include "protocol/replyparser.h"
#include "protocol/setupframe.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

// The log line of an exchange's outcome: "OK", "Checksum error", "Timeout", "Aborted", "Port
// error".
QString OutcomeText(ExchangeOutcome outcome);

// The log line that tells the operator why a port could not be opened.
QString PortErrorLine(const OpenFailure &failure, const QString &port);

// One entry of the port box.
struct PortEntry
{
    QString name;    // "COM3"
    QString tooltip; // the host device behind it
};

// The exchange engine: one port, one exchange at a time. It runs the shared sequences of every
// exchange (busy state, port, status log, exchange counter), the reply timeout and progress
// tick, and the receive handling, and shows them through its front end. Engines share nothing,
// so several can drive several ports side by side.
class Exchange : public QObject
{
    Q_OBJECT
public:
    // Each exchange opens the port that the front end's port name selects in the map.
    Exchange(FrontEnd &frontEnd, PortMap portMap, ExchangeTiming timing = {},
             QObject *parent = nullptr);
    // Each exchange opens this port, resolved beforehand; the log names it by its description.
    Exchange(FrontEnd &frontEnd, PortTarget port, ExchangeTiming timing = {},
             QObject *parent = nullptr);

    // The load step: scans COM1 to COM20 and returns those that open, in order.
    QList<PortEntry> Form_Load();
    // The same with a scan gathered elsewhere, whose port map replaces the engine's.
    QList<PortEntry> Form_Load(PortScan::Result scan);
    // Every mapped port the load step tried, with the reason of each that did not open.
    const QList<PortProbe> &scan() const { return scan_; }

    ExchangeState state() const { return state_; }
    bool busy() const { return state_ != ExchangeState::Idle; }
    std::int32_t exchange_no() const { return exchange_no_; }

    // Each starts an exchange, and does nothing unless idle.
    void StartRead();
    void StartWrite(const DeviceSettings &settings);
    void StartFormat();
    // The operator's abort of a running format.
    void Abort();

    // Keeps the port open (and locked) after an exchange that ended "OK", for the next one;
    // any other end closes it as always. Off, as the window has it: each exchange opens and
    // closes the port.
    void setKeepPortOpen(bool keep) { keepPortOpen_ = keep; }
    // Closes a port kept open; nothing while an exchange runs.
    void ReleasePort();

    // Outside an exchange, a port pick and the serial number box enable commands too.
    void PortChosen(bool serialNumberPresent);
    void SerialNumberChanged(bool present);

    void Timer1_Timer();
    void Timer3_Timer();
    void MSComm1_OnComm(CommEvent event, QByteArrayView received);

signals:
    // Raised last, so a front end may start the next exchange or end the program from here.
    void ended(const quillon::ExchangeEnd &end);

private:
    void Start(ExchangeState kind, const Bytes &request);
    // The window's part of entering the busy state; the exchange's own part is done by then.
    void EnterBusy(ExchangeState kind);
    // Why a port could not be opened: the log line, and the failure as data for the front end.
    struct OpenError
    {
        QString line;
        OpenFailure failure;
        QString port;
    };
    // Why the port could not be opened, or nothing once it is open.
    std::optional<OpenError> OpenCom(const QString &name);
    // The log emptied, then its "OpenCom: " line, each painted.
    void ShowOpenCom(const QString &name);
    void AppendStatus(const QString &text);
    // Appends the end path's outcome line with the "CloseCom: " line.
    void CloseCom(ExchangeOutcome outcome);
    void LeaveBusy(bool enable_format);

    void EndWithReply(ReplyOutcome outcome);
    // Timeout and abort: the bar keeps its value and Format Flash keeps its state.
    void EndWithoutReply(ExchangeOutcome outcome);
    // The end path of a port that could not be opened: one red line that says why.
    void FailOpen(const OpenError &error);
    QString PortName() const;
    void StopTimers();
    void ArmReplyTimeout(int ms);
    void SetProgress(int value);
    void ShowControls();

    FrontEnd &frontEnd_;
    PortMap portMap_;
    std::optional<PortTarget> fixedPort_;
    ExchangeTiming timing_;
    // Children named as in the form, so a test or a benchmark can find them.
    MSComm comm_{this};
    ReplyParser parser_;
    QTimer timer1_{this};
    QTimer timer3_{this};
    QList<PortProbe> scan_;
    BoxTexts<std::string> reply_; // the texts of the running read's reply, for its settings
    std::int32_t exchange_no_ = 0;
    ExchangeState state_ = ExchangeState::Idle;
    int progress_ = 0;
    // What enables each command button once idle: a port pick or the end of an exchange for
    // Read Setup, and the serial number box too for Write Setup; a device that answered, or a
    // format that was running, for Format Flash.
    bool readOn_ = false;
    bool writeOn_ = false;
    bool formatOn_ = false;
    bool keepPortOpen_ = false;
};

} // namespace quillon

#pragma once

#include "mscomm.h"
#include "replyparser.h"
#include "setupframe.h"
#include "windowinterface.h"

#include <QList>
#include <QObject>
#include <QTimer>

namespace quillon {

inline constexpr int kReplyTimeoutMs = 2000;
inline constexpr int kFullBarReplyTimeoutMs = 10;
inline constexpr int kProgressTickMs = 1000;
inline constexpr int kProgressSteps = 150;
inline constexpr char kFormatCaption[] = "Format Flash";
inline constexpr char kAbortCaption[] = "Abort";

// The log line that tells the operator why a port could not be opened.
QString PortErrorLine(const OpenFailure &failure, const QString &port);

// One entry of the port box.
struct PortEntry
{
    QString name;    // "COM3"
    QString tooltip; // the host device behind it
};

// The shared sequences of every exchange with the device: busy state, port, status log,
// exchange counter, the reply timeout and progress tick, and the receive handling.
class Exchange : public QObject
{
    Q_OBJECT
public:
    Exchange(WindowInterface &window, PortMap portMap, QObject *parent = nullptr);

    // The load step: scans COM1 to COM20 and returns those that open, in order.
    QList<PortEntry> Form_Load();

    // From EnterBusy until that exchange's LeaveBusy.
    bool busy() const { return busy_; }

    enum class Variant { ReadWrite, Format };
    void EnterBusy(Variant variant);
    // False when the port could not be opened; the failed-open end path has then run.
    bool OpenCom();
    void AppendStatus(const QString &text);
    void CloseCom();
    void LeaveBusy(bool enable_format);

    // Writes a request frame byte by byte.
    void Output(const Bytes &frame);
    // Arms Timer1 with the full reply timeout.
    void ArmReplyTimeout();
    // Bar to 0 and the progress tick on, before a format's EnterBusy.
    void StartProgress();
    // The operator's abort of a format.
    void Abort();

    void Timer1_Timer();
    void Timer3_Timer();
    void MSComm1_OnComm();

    std::int32_t exchange_no() const { return exchange_no_; }
    MSComm &MSComm1() { return comm_; }
    const QTimer &Timer1() const { return timer1_; }
    QTimer &Timer3() { return timer3_; }

private:
    void EndWithReply(ReplyOutcome outcome);
    // Timeout and abort: the bar keeps its value and Format Flash keeps its state.
    void EndWithoutReply(const QString &outcome);
    // The end path of a port that could not be opened: one red line that says why.
    void FailOpen(const QString &reason);
    void StopTimers();

    WindowInterface &window_;
    MSComm comm_;
    ReplyParser parser_;
    QTimer timer1_;
    QTimer timer3_;
    std::int32_t exchange_no_ = 0;
    bool busy_ = false;
};

} // namespace quillon

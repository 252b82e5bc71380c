// Temporary stub; the real sequences follow.
#include "exchange.h"

namespace quillon {

Exchange::Exchange(WindowInterface &window, PortMap portMap, QObject *parent)
    : QObject(parent), window_(window), comm_(std::move(portMap))
{
}
QList<PortEntry> Exchange::Form_Load()
{
    return {};
}
void Exchange::EnterBusy(Variant) {}
bool Exchange::OpenCom()
{
    return false;
}
void Exchange::AppendStatus(const QString &) {}
void Exchange::CloseCom() {}
void Exchange::LeaveBusy(bool) {}
void Exchange::Output(const Bytes &) {}
void Exchange::ArmReplyTimeout() {}
void Exchange::StartProgress() {}
void Exchange::Abort() {}
void Exchange::Timer1_Timer() {}
void Exchange::Timer3_Timer() {}
void Exchange::MSComm1_OnComm() {}
void Exchange::EndWithReply(ReplyOutcome) {}
void Exchange::StopTimers() {}
void Exchange::RepaintStatus() {}

} // namespace quillon

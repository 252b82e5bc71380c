// Temporary stub; the real serial layer follows.
#include "mscomm.h"

namespace quillon {

MSComm::MSComm(PortMap portMap, QObject *parent) : QObject(parent), portMap_(std::move(portMap)) {}
MSComm::~MSComm() = default;
void MSComm::setCommPort(int comNumber)
{
    commPort_ = comNumber;
}
void MSComm::setSettings(const QString &) {}
bool MSComm::setPortOpen(bool)
{
    return false;
}
void MSComm::Output(const QByteArray &) {}
QByteArray MSComm::Input()
{
    return {};
}
void MSComm::onReadyRead() {}
void MSComm::onError(QSerialPort::SerialPortError) {}
void MSComm::deliverPending() {}
OpenFailure MSComm::classify(QSerialPort::SerialPortError) const
{
    return {};
}

} // namespace quillon

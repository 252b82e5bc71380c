#include "mscomm.h"

#include "portadvice.h"

#include <QFile>
#include <QStringList>

#include <unistd.h>

namespace quillon {

OpenFailure ClassifyOpenError(QSerialPort::SerialPortError error, bool deviceAccessible,
                              const QString &detail)
{
    OpenFailure failure;
    failure.detail = detail;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        failure.kind = OpenFailure::Kind::DoesNotExist;
        break;
    case QSerialPort::PermissionError:
        failure.kind =
            deviceAccessible ? OpenFailure::Kind::InUse : OpenFailure::Kind::NoPermission;
        break;
    default:
        failure.kind = OpenFailure::Kind::Other;
        break;
    }
    return failure;
}

namespace {

bool DeviceAccessible(const QString &path)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(path);
    return true;
#endif
}

} // namespace

MSComm::MSComm(PortMap portMap, QObject *parent)
    : QObject(parent), portMap_(std::move(portMap)), port_(new QSerialPort(this))
{
    connect(port_, &QSerialPort::readyRead, this, &MSComm::onReadyRead);
    connect(port_, &QSerialPort::errorOccurred, this, &MSComm::onError);
}

MSComm::~MSComm() = default;

void MSComm::setCommPort(int comNumber)
{
    commPort_ = comNumber;
}

void MSComm::setSettings(const QString &settings)
{
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4) {
        return;
    }
    baudRate_ = parts[0].toInt();
    const QChar parity = parts[1].isEmpty() ? QLatin1Char('n') : parts[1].at(0).toLower();
    parity_ = parity == QLatin1Char('e')   ? QSerialPort::EvenParity
              : parity == QLatin1Char('o') ? QSerialPort::OddParity
                                           : QSerialPort::NoParity;
    dataBits_ = static_cast<QSerialPort::DataBits>(parts[2].toInt());
    stopBits_ = parts[3] == QLatin1String("2") ? QSerialPort::TwoStop : QSerialPort::OneStop;
}

void MSComm::applySettings()
{
    port_->setBaudRate(baudRate_);
    port_->setParity(parity_);
    port_->setDataBits(dataBits_);
    port_->setStopBits(stopBits_);
    // Software flow control would swallow the bytes 0x11 and 0x13 of a frame.
    port_->setFlowControl(QSerialPort::NoFlowControl);
}

bool MSComm::setPortOpen(bool open)
{
    if (!open) {
        open_ = false;
        pending_.clear();
        if (port_->isOpen()) {
            port_->close();
        }
        return true;
    }
    if (open_) {
        return true;
    }
    failure_ = {};
    const HostPort *host = portMap_.port(commPort_);
    if (host == nullptr) {
        failure_.kind = OpenFailure::Kind::DoesNotExist;
        return false;
    }
    port_->setPortName(host->systemLocation);
    // Set while closed, the line settings go to the device once, as part of the open; set
    // after it, each would reprogram the line again (a USB control transfer on many adapters).
    applySettings();
    if (!port_->open(QIODevice::ReadWrite)) {
        failure_ = ClassifyOpenError(port_->error(), DeviceAccessible(host->systemLocation),
                                     port_->errorString());
        port_->clearError();
        ExplainFailure(host->systemLocation);
        return false;
    }
    lost_ = false;
    // A stale frame that arrived before the open must never pass for the reply.
    port_->clear(QSerialPort::Input);
    port_->readAll();
    open_ = true;
    return true;
}

void MSComm::ExplainFailure(const QString &path)
{
    if (failure_.kind == OpenFailure::Kind::NoPermission) {
        failure_.advice = PermissionAdvice(path, AccessOf(path));
    } else if (failure_.kind == OpenFailure::Kind::InUse) {
        // The serial layer reports another user's stale lock file like a port in use.
        failure_.lockFile = StaleLockFile(path);
        if (!failure_.lockFile.isEmpty()) {
            failure_.kind = OpenFailure::Kind::StaleLock;
        }
    }
}

void MSComm::DiscardInput()
{
    if (port_->isOpen()) {
        port_->clear(QSerialPort::Input);
        port_->readAll();
    }
    pending_.clear();
    current_taken_ = true;
}

void MSComm::Output(const QByteArray &bytes)
{
    if (port_->isOpen()) {
        port_->write(bytes);
    }
}

void MSComm::Flush()
{
    if (port_->isOpen()) {
        port_->flush();
    }
}

QByteArray MSComm::Input()
{
    if (current_taken_) {
        return {};
    }
    current_taken_ = true;
    return current_;
}

void MSComm::onReadyRead()
{
    const QByteArray bytes = port_->readAll();
    if (!open_) {
        return;
    }
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    deliverPending();
}

void MSComm::deliverPending()
{
    // A handler that closes the port ends the delivery; the rest is never parsed.
    if (delivering_) {
        return;
    }
    delivering_ = true;
    while (open_ && !pending_.empty()) {
        current_ = QByteArray(1, pending_.front());
        current_taken_ = false;
        pending_.pop_front();
        commEvent_ = kComEvReceive;
        emit OnComm();
    }
    delivering_ = false;
}

void MSComm::onError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) {
        return;
    }
    if (!port_->isOpen() || lost_) {
        return;
    }
    lost_ = true;
    // The device is gone. Qt would report this error again on every poll at full CPU, so the
    // port stops reading at once; the exchange then ends by its timeout.
    port_->clearError();
    QMetaObject::invokeMethod(
        this,
        [this] {
            // A port opened again since then belongs to a new exchange.
            if (lost_ && port_->isOpen()) {
                port_->close();
            }
        },
        Qt::QueuedConnection);
    current_taken_ = true;
    commEvent_ = kComEventRxOver;
    emit OnComm();
}

} // namespace quillon

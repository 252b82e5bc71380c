#include "link/mscomm.h"

#include "link/deviceholder.h"
#include "link/portadvice.h"

#include <QFile>
#include <QFileInfo>

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

MSComm::MSComm(QObject *parent) : QObject(parent), port_(new QSerialPort(this))
{
    connect(port_, &QSerialPort::readyRead, this, &MSComm::onReadyRead);
    connect(port_, &QSerialPort::errorOccurred, this, &MSComm::onError);
}

MSComm::~MSComm() = default;

bool MSComm::setPortOpen(bool open)
{
    if (!open) {
        open_ = false;
        if (port_->isOpen()) {
            port_->close();
        }
        return true;
    }
    // A port kept open stays so unless its device has gone meanwhile: then it is opened afresh,
    // and fails as the open of a missing device does.
    if (open_ && !lost_) {
        return true;
    }
    setPortOpen(false);
    failure_ = {};
    if (location_.isEmpty()) {
        failure_.kind = OpenFailure::Kind::DoesNotExist;
        return false;
    }
    // Every lock is keyed on the device itself, so a symbolic link cannot open it twice.
    const QString device = RealDevicePath(location_);
    port_->setPortName(device);
    // Set while closed, the line settings go to the device once, as part of the open; set
    // after it, each would reprogram the line again (a USB control transfer on many adapters).
    port_->setBaudRate(settings_.baudRate);
    port_->setParity(settings_.parity);
    port_->setDataBits(settings_.dataBits);
    port_->setStopBits(settings_.stopBits);
    // Software flow control would swallow the bytes 0x11 and 0x13 of a frame.
    port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!port_->open(QIODevice::ReadWrite)) {
        failure_ =
            ClassifyOpenError(port_->error(), DeviceAccessible(device), port_->errorString());
        port_->clearError();
        // A path too long to resolve names nothing, whatever the error says.
        if (!QFileInfo::exists(device)) {
            failure_.kind = OpenFailure::Kind::DoesNotExist;
        }
        ExplainFailure(device);
        return false;
    }
    // Other serial programs take no lock file but an advisory lock on the device; one of ours
    // may hold the lock file of the link it was given.
    const qint64 linkHolder = device != location_ ? LockingProcess(location_) : 0;
    if (linkHolder > 0 || !LockDeviceExclusively(static_cast<int>(port_->handle()))) {
        port_->close();
        failure_.kind = OpenFailure::Kind::InUse;
        failure_.holder = linkHolder > 0 ? ProcessName(linkHolder) : DeviceHolder(device);
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
            return;
        }
        // The serial layer reports a lock file it cannot make like one another program holds.
        constexpr qsizetype kMaxFileName = 255;
        if (QFile::encodeName(LockFileName(path)).size() > kMaxFileName) {
            failure_.kind = OpenFailure::Kind::Other;
            failure_.detail = QStringLiteral("its path is too long for a lock file");
            return;
        }
        const qint64 pid = LockingProcess(path);
        failure_.holder = pid > 0 ? ProcessName(pid) : DeviceHolder(path);
    }
}

void MSComm::DiscardInput()
{
    if (port_->isOpen()) {
        port_->clear(QSerialPort::Input);
        port_->readAll();
    }
}

void MSComm::Output(QByteArrayView bytes)
{
    if (port_->isOpen()) {
        port_->write(bytes.data(), bytes.size());
        port_->flush();
    }
}

void MSComm::onReadyRead()
{
    const QByteArray bytes = port_->readAll();
    if (open_ && !bytes.isEmpty()) {
        emit OnComm(CommEvent::Receive, bytes);
    }
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
    emit OnComm(CommEvent::DeviceGone, {});
}

} // namespace quillon

#pragma once

#include "link/portmap.h"

#include <QByteArrayView>
#include <QObject>
#include <QSerialPort>

namespace quillon {

// What raised an OnComm event.
enum class CommEvent {
    Receive,    // bytes arrived
    DeviceGone, // the port stopped delivering data: the device was unplugged
};

// Line settings of the serial line; every open applies them again.
struct LineSettings
{
    qint32 baudRate;
    QSerialPort::Parity parity;
    QSerialPort::DataBits dataBits;
    QSerialPort::StopBits stopBits;
};

// "115200,n,8,1"
inline constexpr LineSettings kLineSettings{115200, QSerialPort::NoParity, QSerialPort::Data8,
                                            QSerialPort::OneStop};

// Why an open failed, told apart so the operator can act on it.
struct OpenFailure
{
    enum class Kind { None, DoesNotExist, InUse, NoPermission, StaleLock, Other };
    Kind kind = Kind::None;
    QString detail;   // the serial layer's own text, for Other
    QString advice;   // the fix that fits the device, for NoPermission
    QString lockFile; // for StaleLock
    QString holder;   // "picocom (process 4242)" for InUse, where it can be found
};

// Tells apart the reasons an operator can act on. The serial layer reports "in use" and "no
// permission" as one error, so the device's access rights decide between them.
OpenFailure ClassifyOpenError(QSerialPort::SerialPortError error, bool deviceAccessible,
                              const QString &detail);

// The serial control: the operations the exchanges rely on, over Qt Serial Port. A raw 8-bit
// line with no flow control; received bytes are pushed to the receiver in arrival order.
class MSComm : public QObject
{
    Q_OBJECT
public:
    explicit MSComm(QObject *parent = nullptr);
    ~MSComm() override;

    // Selects the device the next open uses.
    void setCommPort(const PortTarget &target) { location_ = target.systemLocation; }
    void setSettings(const LineSettings &settings) { settings_ = settings; }

    // Opening returns false on failure, with the reason in openFailure(). Closing a port that
    // is not open does nothing.
    bool setPortOpen(bool open);
    bool portOpen() const { return open_; }
    const OpenFailure &openFailure() const { return failure_; }

    // Writes the bytes unchanged, in one write, and hands them to the line at once: the device
    // is already answering while the front end lays out and paints.
    void Output(QByteArrayView bytes);
    // Drops everything received and not yet handed over.
    void DiscardInput();

signals:
    // The received bytes are valid only during the call; nothing is raised once the port has
    // been closed, and a receiver that closes it stops taking the rest.
    void OnComm(quillon::CommEvent event, QByteArrayView received);

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    // Adds what the operator can do about a refused open.
    void ExplainFailure(const QString &path);

    QSerialPort *port_ = nullptr;
    QString location_;
    LineSettings settings_ = kLineSettings;
    bool open_ = false;
    bool lost_ = false;
    OpenFailure failure_;
};

} // namespace quillon

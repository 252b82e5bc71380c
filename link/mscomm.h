#pragma once

#include "portmap.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>

#include <cstdint>
#include <deque>

namespace quillon {

// CommEvent codes the receive handling meets.
inline constexpr int kComEvReceive = 2;
inline constexpr int kComEventRxOver = 1008; // the port stopped delivering data (device gone)

inline constexpr char kLineSettings[] = "115200,n,8,1";

// Why an open failed, told apart so the operator can act on it.
struct OpenFailure
{
    enum class Kind { None, DoesNotExist, InUse, NoPermission, StaleLock, Other };
    Kind kind = Kind::None;
    QString detail;   // the serial layer's own text, for Other
    QString advice;   // the fix that fits the device, for NoPermission
    QString lockFile; // for StaleLock
};

// Tells apart the reasons an operator can act on. The serial layer reports "in use" and "no
// permission" as one error, so the device's access rights decide between them.
OpenFailure ClassifyOpenError(QSerialPort::SerialPortError error, bool deviceAccessible,
                              const QString &detail);

// The serial control: the operations the exchanges rely on, over Qt Serial Port. A raw 8-bit
// line with no flow control; every received byte is raised as one receive event, in order.
class MSComm : public QObject
{
    Q_OBJECT
public:
    explicit MSComm(PortMap portMap, QObject *parent = nullptr);
    ~MSComm() override;

    // Any number from 1 to 20; one with no host device fails at the open.
    void setCommPort(int comNumber);
    int commPort() const { return commPort_; }

    void setSettings(const QString &settings);

    // Opening returns false on failure, with the reason in openFailure(). Closing a port that
    // is not open does nothing.
    bool setPortOpen(bool open);
    bool portOpen() const { return open_; }
    const OpenFailure &openFailure() const { return failure_; }

    // Writes the bytes unchanged, in order. They go to the line on the event loop's next pass,
    // or at once with Flush().
    void Output(const QByteArray &bytes);
    void Flush();
    // Drops everything received and not yet handed over.
    void DiscardInput();
    // One received byte, or empty when there is none.
    QByteArray Input();
    int CommEvent() const { return commEvent_; }

    const PortMap &portMap() const { return portMap_; }

signals:
    void OnComm();

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void deliverPending();
    void applySettings();
    // Adds what the operator can do about a refused open.
    void ExplainFailure(const QString &path);

    PortMap portMap_;
    QSerialPort *port_ = nullptr;
    int commPort_ = PortMap::kFirstPort;
    qint32 baudRate_ = 115200;
    QSerialPort::Parity parity_ = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits_ = QSerialPort::Data8;
    QSerialPort::StopBits stopBits_ = QSerialPort::OneStop;
    bool open_ = false;
    bool delivering_ = false;
    bool lost_ = false;
    OpenFailure failure_;
    int commEvent_ = 0;
    std::deque<char> pending_;
    QByteArray current_;
    bool current_taken_ = true;
};

} // namespace quillon

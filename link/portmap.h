#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <optional>

namespace quillon {

// The host serial device behind a COM number.
struct HostPort
{
    QString systemLocation; // "/dev/ttyUSB0"; "COM3" on Windows
    QString description;
    QString manufacturer;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    // Defaulted, so a port known by its path alone need not spell them out.
    QString serialNumber{}; // the adapter's own, which stays with it across replugs
    QString byId{};         // "/dev/serial/by-id/usb-..." where udev made one

    // "0403:6001", a "?" for an id not known; empty for a port that is no USB device.
    QString usbIds() const;
    // What tells this adapter from another, as far as known: the by-id name, "USB 0403:6001",
    // the maker and "serial number A50285BI".
    QStringList identity() const;
};

// Natural order of device paths, the same in every locale: runs of digits compare by their
// value ("ttyUSB2" before "ttyUSB10"), everything else byte by byte.
bool NaturalPathLess(const QString &a, const QString &b);

// The device that a port name selects, and how log lines name it.
struct PortTarget
{
    QString systemLocation; // empty when the name has no host device
    QString description;    // "COM3 (/dev/ttyUSB0)", or the path itself
};

// Maps the COM numbers 1 to 20 to host serial devices. A front end that names devices by path
// (a command line) may accept absolute paths as well; the window takes COM names only.
class PortMap
{
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 20;

    // On Windows COMn is the port named "COMn"; elsewhere the host's ports in natural order of
    // their system location, the k-th being COMk. The demo starts the host's ports further up.
    static PortMap host(int firstNumber = kFirstPort);

    void setPort(int comNumber, const HostPort &port);
    // nullptr when the number has no host device.
    const HostPort *port(int comNumber) const;

    void setAcceptsPaths(bool accepts) { acceptsPaths_ = accepts; }

    // What a port name selects: "COM1" to "COM20", spelt exactly, or an absolute device path
    // where paths are accepted. Nothing for any other name.
    std::optional<PortTarget> resolve(const QString &name) const;

    // "COM3"
    static QString comName(int comNumber);
    // "COM3 (/dev/ttyUSB0)", or just "COM3" where the device has the same name or there is none.
    QString describe(int comNumber) const;
    // What the port box shows when the pointer rests on an entry.
    QString tooltip(int comNumber) const;

private:
    std::map<int, HostPort> ports_;
    bool acceptsPaths_ = false;
};

} // namespace quillon

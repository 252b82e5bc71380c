#include "link/portmap.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace quillon {

namespace {

// The stable names udev gives serial devices, by the device each names.
std::map<QString, QString> ByIdNames()
{
    std::map<QString, QString> names;
    const QDir dir(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link :
         dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty() && names.count(target) == 0) {
            names[target] = link.absoluteFilePath();
        }
    }
    return names;
}

HostPort FromInfo(const QSerialPortInfo &info, const std::map<QString, QString> &byId)
{
    HostPort port;
    port.systemLocation = info.systemLocation();
    port.description = info.description();
    port.manufacturer = info.manufacturer();
    port.serialNumber = info.serialNumber();
    const auto name = byId.find(QFileInfo(port.systemLocation).canonicalFilePath());
    if (name != byId.end()) {
        port.byId = name->second;
    }
    if (info.hasVendorIdentifier()) {
        port.vendorId = info.vendorIdentifier();
    }
    if (info.hasProductIdentifier()) {
        port.productId = info.productIdentifier();
    }
    return port;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Compares the digit runs starting at i and j by value, and moves both past their run. Runs of
// any length work: no conversion to a number that could overflow.
int CompareDigitRuns(const QByteArray &a, qsizetype &i, const QByteArray &b, qsizetype &j)
{
    const auto run = [](const QByteArray &s, qsizetype &pos) {
        while (pos < s.size() && s[pos] == '0' && pos + 1 < s.size() && IsDigit(s[pos + 1])) {
            ++pos;
        }
        const qsizetype start = pos;
        while (pos < s.size() && IsDigit(s[pos])) {
            ++pos;
        }
        return QByteArrayView(s).sliced(start, pos - start);
    };
    const QByteArrayView x = run(a, i);
    const QByteArrayView y = run(b, j);
    if (x.size() != y.size()) {
        return x.size() < y.size() ? -1 : 1;
    }
    return x.compare(y);
}

} // namespace

bool NaturalPathLess(const QString &a, const QString &b)
{
    const QByteArray x = a.toUtf8();
    const QByteArray y = b.toUtf8();
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < x.size() && j < y.size()) {
        if (IsDigit(x[i]) && IsDigit(y[j])) {
            if (const int order = CompareDigitRuns(x, i, y, j)) {
                return order < 0;
            }
        } else if (x[i] != y[j]) {
            return static_cast<unsigned char>(x[i]) < static_cast<unsigned char>(y[j]);
        } else {
            ++i;
            ++j;
        }
    }
    if (i < x.size() || j < y.size()) {
        return j < y.size();
    }
    // Equal up to leading zeros ("ttyS02", "ttyS2"): the plain bytes decide, so the order stays
    // strict.
    return x < y;
}

PortMap PortMap::host(int firstNumber)
{
    PortMap map;
    QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    const std::map<QString, QString> byId = ByIdNames();
#ifdef Q_OS_WIN
    Q_UNUSED(firstNumber);
    for (const QSerialPortInfo &info : infos) {
        for (int n = kFirstPort; n <= kLastPort; ++n) {
            if (info.portName() == comName(n)) {
                map.setPort(n, FromInfo(info, byId));
            }
        }
    }
#else
    std::sort(infos.begin(), infos.end(), [](const QSerialPortInfo &a, const QSerialPortInfo &b) {
        return NaturalPathLess(a.systemLocation(), b.systemLocation());
    });
    int n = firstNumber;
    for (const QSerialPortInfo &info : infos) {
        if (n > kLastPort) {
            break;
        }
        map.setPort(n++, FromInfo(info, byId));
    }
#endif
    return map;
}

void PortMap::setPort(int comNumber, const HostPort &port)
{
    ports_[comNumber] = port;
}

const HostPort *PortMap::port(int comNumber) const
{
    const auto it = ports_.find(comNumber);
    return it == ports_.end() ? nullptr : &it->second;
}

std::optional<PortTarget> PortMap::resolve(const QString &name) const
{
    for (int n = kFirstPort; n <= kLastPort; ++n) {
        if (name == comName(n)) {
            const HostPort *host = port(n);
            return PortTarget{host != nullptr ? host->systemLocation : QString(), describe(n)};
        }
    }
    if (acceptsPaths_ && QDir::isAbsolutePath(name)) {
        return PortTarget{name, name};
    }
    return std::nullopt;
}

QString PortMap::comName(int comNumber)
{
    return QStringLiteral("COM%1").arg(comNumber);
}

QString PortMap::describe(int comNumber) const
{
    const QString name = comName(comNumber);
    const HostPort *host = port(comNumber);
    if (host == nullptr || host->systemLocation.isEmpty() || host->systemLocation == name) {
        return name;
    }
    return QStringLiteral("%1 (%2)").arg(name, host->systemLocation);
}

QString PortMap::tooltip(int comNumber) const
{
    const HostPort *host = port(comNumber);
    if (host == nullptr) {
        return comName(comNumber);
    }
    QStringList lines{host->systemLocation};
    if (!host->description.isEmpty()) {
        lines << host->description;
    }
    return (lines + host->identity()).join(QLatin1Char('\n'));
}

QString HostPort::usbIds() const
{
    if (!vendorId && !productId) {
        return {};
    }
    const auto hex = [](const std::optional<quint16> &id) {
        return id ? QStringLiteral("%1").arg(*id, 4, 16, QLatin1Char('0')) : QStringLiteral("?");
    };
    return hex(vendorId) + QLatin1Char(':') + hex(productId);
}

QStringList HostPort::identity() const
{
    QStringList lines;
    if (!byId.isEmpty()) {
        lines << byId;
    }
    if (const QString usb = usbIds(); !usb.isEmpty()) {
        lines << QStringLiteral("USB ") + usb;
    }
    if (!manufacturer.isEmpty()) {
        lines << manufacturer;
    }
    if (!serialNumber.isEmpty()) {
        lines << QStringLiteral("serial number %1").arg(serialNumber);
    }
    return lines;
}

} // namespace quillon

#include "link/portmap.h"

#include <QCollator>
#include <QDir>
#include <QSerialPortInfo>

#include <algorithm>

namespace quillon {

namespace {

HostPort FromInfo(const QSerialPortInfo &info)
{
    HostPort port;
    port.systemLocation = info.systemLocation();
    port.description = info.description();
    port.manufacturer = info.manufacturer();
    if (info.hasVendorIdentifier()) {
        port.vendorId = info.vendorIdentifier();
    }
    if (info.hasProductIdentifier()) {
        port.productId = info.productIdentifier();
    }
    return port;
}

} // namespace

PortMap PortMap::host(int firstNumber)
{
    PortMap map;
    QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
#ifdef Q_OS_WIN
    Q_UNUSED(firstNumber);
    for (const QSerialPortInfo &info : infos) {
        for (int n = kFirstPort; n <= kLastPort; ++n) {
            if (info.portName() == comName(n)) {
                map.setPort(n, FromInfo(info));
            }
        }
    }
#else
    // Natural order, so that ttyUSB2 comes before ttyUSB10.
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(infos.begin(), infos.end(), [&](const QSerialPortInfo &a, const QSerialPortInfo &b) {
        return collator.compare(a.systemLocation(), b.systemLocation()) < 0;
    });
    int n = firstNumber;
    for (const QSerialPortInfo &info : infos) {
        if (n > kLastPort) {
            break;
        }
        map.setPort(n++, FromInfo(info));
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
    if (!host->manufacturer.isEmpty()) {
        lines << host->manufacturer;
    }
    if (host->vendorId || host->productId) {
        const auto hex = [](const std::optional<quint16> &id) {
            return id ? QStringLiteral("%1").arg(*id, 4, 16, QLatin1Char('0'))
                      : QStringLiteral("?");
        };
        lines << QStringLiteral("USB %1:%2").arg(hex(host->vendorId), hex(host->productId));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace quillon

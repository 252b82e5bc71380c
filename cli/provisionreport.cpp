#include "cli/provisionreport.h"

#include "cli/ctlcontext.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace quillon {

namespace {

QString OutcomeName(DeviceReport::Outcome outcome)
{
    switch (outcome) {
    case DeviceReport::Outcome::Verified:
        return QStringLiteral("verified");
    case DeviceReport::Outcome::AlreadyProvisioned:
        return QStringLiteral("already provisioned");
    case DeviceReport::Outcome::NumberedElsewhere:
        return QStringLiteral("numbered elsewhere");
    case DeviceReport::Outcome::Failed:
        break;
    }
    return QStringLiteral("failed");
}

QJsonObject Identity(quint32 serial, const MacAddress &mac)
{
    return {{QStringLiteral("serial"), qint64(serial)}, {QStringLiteral("mac"), MacText(mac)}};
}

QString EventText(const PortEvent &event)
{
    QString text = TimeStampText(event.time) + QLatin1Char(' ') + event.port + QStringLiteral(": ");
    switch (event.kind) {
    case PortEvent::Kind::Waiting:
        return text + QStringLiteral("waiting for a device (%1)").arg(event.reason);
    case PortEvent::Kind::CannotOpen:
        return text + QStringLiteral("cannot open the port: %1; retrying").arg(event.reason);
    case PortEvent::Kind::Removed:
        return text + QStringLiteral("device removed");
    case PortEvent::Kind::Failed:
        return text + QStringLiteral("failed: %1").arg(event.reason);
    case PortEvent::Kind::Found:
        text += QStringLiteral("device found");
        break;
    default:
        text += PortEventName(event.kind);
        break;
    }
    text += QStringLiteral(": serial %1, MAC %2").arg(event.serial).arg(MacText(event.mac));
    if (CarriesIp(event.kind)) {
        text += QStringLiteral(", IP ") + AddressText(event.ip);
    }
    if (!event.reason.isEmpty()) {
        text += QStringLiteral(" (%1)").arg(event.reason);
    }
    return text;
}

} // namespace

bool ProvisionReport::openLog(const QString &path, QString *error)
{
    if (!log_.open(path, error)) {
        *error = QStringLiteral("--log ") + *error;
        return false;
    }
    return true;
}

void ProvisionReport::event(const PortEvent &event)
{
    log_.write(event);
    if (!watch_) {
        return;
    }
    if (json_) {
        context_.out() << PortEventJson(event) << Qt::endl;
    } else {
        context_.out() << EventText(event) << Qt::endl;
    }
}

QString ProvisionReport::outputFailure() const
{
    if (QString failure = log_.failure(); !failure.isEmpty()) {
        return failure;
    }
    if (context_.out().status() != QTextStream::Ok) {
        const QIODevice *device = context_.out().device();
        return QStringLiteral("cannot write standard output: %1")
            .arg(device ? device->errorString() : QStringLiteral("write failed"));
    }
    return {};
}

void ProvisionReport::device(const DeviceReport &report)
{
    switch (report.outcome) {
    case DeviceReport::Outcome::Verified:
        ++verified_;
        break;
    case DeviceReport::Outcome::AlreadyProvisioned:
        ++already_;
        break;
    case DeviceReport::Outcome::Failed:
        ++failed_;
        break;
    case DeviceReport::Outcome::NumberedElsewhere:
        ++elsewhere_;
        break;
    }
    QTextStream &out = context_.out();
    if (json_) {
        QJsonObject line{{QStringLiteral("port"), report.port},
                         {QStringLiteral("outcome"), OutcomeName(report.outcome)},
                         {QStringLiteral("old"), Identity(report.oldSerial, report.oldMac)},
                         {QStringLiteral("new"), Identity(report.newSerial, report.newMac)}};
        if (report.outcome == DeviceReport::Outcome::Failed) {
            line.insert(QStringLiteral("reason"), report.reason);
        }
        out << QJsonDocument(line).toJson(QJsonDocument::Compact) << Qt::endl;
        return;
    }
    out << report.port << ": " << OutcomeName(report.outcome) << ": ";
    if (report.outcome == DeviceReport::Outcome::AlreadyProvisioned) {
        out << "serial " << report.oldSerial << ", MAC " << MacText(report.oldMac);
    } else if (report.outcome == DeviceReport::Outcome::NumberedElsewhere) {
        out << "serial " << report.oldSerial << ", MAC " << MacText(report.oldMac)
            << ", not in this ledger; left untouched (--renumber gives it this plan's numbers)";
    } else {
        out << "serial " << report.oldSerial << " -> " << report.newSerial << ", MAC "
            << MacText(report.oldMac) << " -> " << MacText(report.newMac);
    }
    if (report.outcome == DeviceReport::Outcome::Failed) {
        out << " (" << report.reason << ")";
    }
    out << Qt::endl;
}

void ProvisionReport::portStopped(const QString &port, const QString &reason)
{
    ++stopped_;
    context_.fail(QStringLiteral("provision: %1: %2").arg(port, reason), kExitDeviceFailed);
    if (json_) {
        const QJsonObject line{{QStringLiteral("port"), port},
                               {QStringLiteral("outcome"), QStringLiteral("stopped")},
                               {QStringLiteral("reason"), reason}};
        context_.out() << QJsonDocument(line).toJson(QJsonDocument::Compact) << Qt::endl;
    }
}

void ProvisionReport::summary(bool interrupted)
{
    QTextStream &out = context_.out();
    if (json_) {
        const QJsonObject counts{{QStringLiteral("verified"), verified_},
                                 {QStringLiteral("already_provisioned"), already_},
                                 {QStringLiteral("numbered_elsewhere"), elsewhere_},
                                 {QStringLiteral("failed"), failed_},
                                 {QStringLiteral("ports_stopped"), stopped_},
                                 {QStringLiteral("interrupted"), interrupted}};
        out << QJsonDocument(QJsonObject{{QStringLiteral("summary"), counts}})
                   .toJson(QJsonDocument::Compact)
            << Qt::endl;
        return;
    }
    out << "summary: " << verified_ << " verified, " << already_ << " already provisioned, ";
    if (elsewhere_ > 0) {
        out << elsewhere_ << " numbered elsewhere, ";
    }
    out << failed_ << " failed, " << stopped_ << (stopped_ == 1 ? " port" : " ports") << " stopped"
        << (interrupted ? ", interrupted" : "") << Qt::endl;
}

} // namespace quillon

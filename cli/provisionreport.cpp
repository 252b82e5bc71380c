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
    case DeviceReport::Outcome::Failed:
        break;
    }
    return QStringLiteral("failed");
}

QJsonObject Identity(quint32 serial, const MacAddress &mac)
{
    return {{QStringLiteral("serial"), qint64(serial)}, {QStringLiteral("mac"), MacText(mac)}};
}

} // namespace

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
                                 {QStringLiteral("failed"), failed_},
                                 {QStringLiteral("ports_stopped"), stopped_},
                                 {QStringLiteral("interrupted"), interrupted}};
        out << QJsonDocument(QJsonObject{{QStringLiteral("summary"), counts}})
                   .toJson(QJsonDocument::Compact)
            << Qt::endl;
        return;
    }
    out << "summary: " << verified_ << " verified, " << already_ << " already provisioned, "
        << failed_ << " failed, " << stopped_ << (stopped_ == 1 ? " port" : " ports") << " stopped"
        << (interrupted ? ", interrupted" : "") << Qt::endl;
}

} // namespace quillon

#include "provisioning/labelhook.h"

#include <QProcess>
#include <QTimer>

namespace quillon {

namespace {

const QString kShell = QStringLiteral("/bin/sh");

} // namespace

LabelHook::LabelHook(const QString &command, const ProvisionPlan &plan, int timeLimitMs,
                     QObject *parent)
    : QObject(parent), command_(command), plan_(plan), timeLimitMs_(timeLimitMs)
{
}

void LabelHook::run(const PortEvent &verified)
{
    // No command given: no label to print.
    if (command_.isEmpty()) {
        return;
    }
    auto *process = new QProcess(this);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const std::pair<const char *, QString> values[] = {
        {"QUILLON_PORT", verified.port},
        {"QUILLON_SERIAL", QString::number(verified.serial)},
        {"QUILLON_MAC", MacText(verified.mac)},
        {"QUILLON_IP", AddressText(verified.ip)},
        {"QUILLON_MASK", AddressText(plan_.mask)},
        {"QUILLON_GATEWAY", AddressText(plan_.gateway)},
        {"QUILLON_DNS1", AddressText(plan_.dns1)},
        {"QUILLON_DNS2", AddressText(plan_.dns2)},
    };
    for (const auto &[name, value] : values) {
        environment.insert(QLatin1String(name), value);
    }
    process->setProcessEnvironment(environment);
    // Its output must not mix with the report on standard output; its errors stay visible.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardInputFile(QProcess::nullDevice());

    auto *limit = new QTimer(process);
    limit->setSingleShot(true);
    limit->callOnTimeout(process, [this, process, verified] {
        ended(verified,
              QStringLiteral("did not end within %1; stopped")
                  .arg(timeLimitMs_ < 1000 ? QStringLiteral("%1 ms").arg(timeLimitMs_)
                                           : QStringLiteral("%1 s").arg(timeLimitMs_ / 1000)));
        process->disconnect(this);
        process->kill();
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
    });
    connect(process, &QProcess::finished, this,
            [this, process, verified](int code, QProcess::ExitStatus status) {
                ended(verified, status != QProcess::NormalExit ? QStringLiteral("ended by a signal")
                                : code != 0 ? QStringLiteral("exit status %1").arg(code)
                                            : QString());
                process->deleteLater();
            });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, verified](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    ended(verified,
                          QStringLiteral("cannot be started: %1").arg(process->errorString()));
                    process->deleteLater();
                }
            });
    ++running_;
    limit->start(timeLimitMs_);
    process->start(kShell, {QStringLiteral("-c"), command_});
}

void LabelHook::ended(const PortEvent &unit, const QString &failure)
{
    if (!failure.isEmpty()) {
        PortEvent event = unit;
        event.time = QDateTime::currentDateTime();
        event.kind = PortEvent::Kind::HookFailed;
        event.reason = failure;
        emit failed(event);
    }
    if (--running_ == 0) {
        emit allEnded();
    }
}

} // namespace quillon

#include "cli/portssubcommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"
#include "cli/interruptsignal.h"
#include "cli/synopses.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "link/portprobe.h"
#include "session/deviceprobe.h"
#include "settings/values.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace quillon {

namespace {

// The listing's columns, and under a port whose adapter tells more, its identity, indented.
QString Table(const QList<PortProbe> &states)
{
    QList<QStringList> lines;
    for (const PortProbe &s : states) {
        lines << s.listing();
    }
    QList<qsizetype> widths(3, 0);
    for (const QStringList &line : lines) {
        for (int i = 0; i < 3; ++i) {
            widths[i] = std::max(widths[i], line[i].size());
        }
    }
    QString text;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString row;
        for (int i = 0; i < 3; ++i) {
            row += lines[n][i].leftJustified(widths[i]) + QStringLiteral("  ");
        }
        text += (row + lines[n][3]).trimmed() + QLatin1Char('\n');
        for (const QString &identity : states[n].host.identity()) {
            text += QString(widths[0] + 2, QLatin1Char(' ')) + identity + QLatin1Char('\n');
        }
    }
    return text;
}

QByteArray Json(const PortMap &map, const QList<PortProbe> &states)
{
    QJsonArray ports;
    for (const PortProbe &s : states) {
        const HostPort &host = s.host;
        QJsonObject port{{QStringLiteral("port"), PortMap::comName(s.comNumber)},
                         {QStringLiteral("device"), host.systemLocation},
                         {QStringLiteral("description"), host.description},
                         {QStringLiteral("opens"), s.opens()}};
        if (!s.opens()) {
            port.insert(QStringLiteral("reason"),
                        PortErrorLine(s.failure, map.describe(s.comNumber)));
        }
        const std::pair<const char *, QString> known[] = {{"by_id", host.byId},
                                                          {"usb", host.usbIds()},
                                                          {"manufacturer", host.manufacturer},
                                                          {"serial_number", host.serialNumber}};
        for (const auto &[key, value] : known) {
            if (!value.isEmpty()) {
                port.insert(QLatin1String(key), value);
            }
        }
        ports.append(port);
    }
    return QJsonDocument(ports).toJson(QJsonDocument::Compact);
}

// The ports to probe: those named, or every port the host map has.
std::optional<QList<PortArgument>> ProbeTargets(const CommandLine &line, CtlContext &context,
                                                int *status)
{
    QStringList names = line.positional();
    if (names.isEmpty()) {
        for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n) {
            if (context.portMap().port(n) != nullptr) {
                names << PortMap::comName(n);
            }
        }
    }
    QList<PortArgument> ports;
    for (const QString &name : names) {
        QString error;
        const std::optional<PortArgument> port = context.resolvePort(name, &error);
        if (!port) {
            *status = line.refuse(context, error);
            return std::nullopt;
        }
        ports << *port;
    }
    return ports;
}

// One read to every port at once; lists the Quillons that answer.
int Probe(const CommandLine &line, CtlContext &context)
{
    int status = kExitUsage;
    const std::optional<QList<PortArgument>> ports = ProbeTargets(line, context, &status);
    if (!ports) {
        return status;
    }
    DeviceProbe probe(*ports, context.options().timing);
    QEventLoop loop;
    InterruptSignal interrupt;
    QObject::connect(&probe, &DeviceProbe::finished, &loop, &QEventLoop::quit);
    QObject::connect(&interrupt, &InterruptSignal::interrupted, &loop, &QEventLoop::quit);
    QTimer::singleShot(0, &loop, [&probe] { probe.start(); });
    loop.exec();
    if (InterruptSignal::raised()) {
        return context.fail(QStringLiteral("ports: interrupted"), InterruptSignal::exitStatus());
    }

    const bool json = line.isSet(QStringLiteral("json"));
    QJsonArray found;
    for (const DeviceProbe::Answer &answer : probe.answers()) {
        const ExchangeEnd &end = answer.end;
        if (end.outcome == ExchangeOutcome::PortError && !line.positional().isEmpty()) {
            // A port named on purpose that does not open is worth a word; the host's others
            // were tried only in passing.
            context.fail(PortErrorLine(end.openFailure, end.port), kExitPortUnavailable);
        }
        if (end.outcome != ExchangeOutcome::Ok || !end.settings) {
            continue;
        }
        const QString mac = MacText(end.settings->mac);
        found.append(QJsonObject{{QStringLiteral("port"), answer.port.argument},
                                 {QStringLiteral("device"), answer.port.path()},
                                 {QStringLiteral("serial"), qint64{end.settings->serialNumber}},
                                 {QStringLiteral("mac"), mac}});
        if (!json) {
            context.out() << QStringLiteral("%1: serial %2, MAC %3\n")
                                 .arg(answer.port.target.description)
                                 .arg(end.settings->serialNumber)
                                 .arg(mac);
        }
    }
    if (json) {
        context.out() << QJsonDocument(found).toJson(QJsonDocument::Compact) << '\n';
    }
    context.out().flush();
    if (found.isEmpty()) {
        return context.fail(
            QStringLiteral("ports: no Quillon answered (ports tried: %1)").arg(ports->size()),
            kExitDeviceFailed);
    }
    return kExitOk;
}

} // namespace

int RunPortsSubcommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(QStringLiteral("ports"), kPortsSynopsis);
    line.addFlag(QStringLiteral("json"), QStringLiteral("Print one JSON array of objects."));
    line.addFlag(QStringLiteral("probe"),
                 QStringLiteral("Send one read to every port that opens, or to each PORT given, "
                                "and list those where a Quillon answers."));
    if (const std::optional<int> status = line.parse(arguments, context)) {
        return *status;
    }
    if (line.isSet(QStringLiteral("probe"))) {
        return Probe(line, context);
    }
    if (!line.positional().isEmpty()) {
        return line.refuse(context, QStringLiteral("takes a PORT only with --probe"));
    }
    const PortMap &map = context.portMap();
    const QList<PortProbe> states = ProbePorts(map);
    if (line.isSet(QStringLiteral("json"))) {
        context.out() << Json(map, states) << '\n';
    } else {
        context.out() << Table(states);
    }
    context.out().flush();
    return kExitOk;
}

} // namespace quillon

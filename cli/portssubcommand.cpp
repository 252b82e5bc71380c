#include "cli/portssubcommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "link/portprobe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quillon {

namespace {

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
    for (const QStringList &line : lines) {
        QString row;
        for (int i = 0; i < 3; ++i) {
            row += line[i].leftJustified(widths[i]) + QStringLiteral("  ");
        }
        text += (row + line[3]).trimmed() + QLatin1Char('\n');
    }
    return text;
}

QByteArray Json(const PortMap &map, const QList<PortProbe> &states)
{
    QJsonArray ports;
    for (const PortProbe &s : states) {
        QJsonObject port{{QStringLiteral("port"), PortMap::comName(s.comNumber)},
                         {QStringLiteral("device"), s.host.systemLocation},
                         {QStringLiteral("description"), s.host.description},
                         {QStringLiteral("opens"), s.failure.kind == OpenFailure::Kind::None}};
        if (s.failure.kind != OpenFailure::Kind::None) {
            port.insert(QStringLiteral("reason"),
                        PortErrorLine(s.failure, map.describe(s.comNumber)));
        }
        ports.append(port);
    }
    return QJsonDocument(ports).toJson(QJsonDocument::Compact);
}

} // namespace

int RunPortsSubcommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(QStringLiteral("ports"), QStringLiteral("Usage: quillonctl ports [--json]\n"));
    line.addFlag(QStringLiteral("json"));
    if (const std::optional<int> status = line.parse(arguments, context)) {
        return *status;
    }
    if (!line.positional().isEmpty()) {
        return line.refuse(context, QStringLiteral("takes no PORT"));
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

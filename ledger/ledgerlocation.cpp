#include "ledger/ledgerlocation.h"

#include <QUrl>
#include <QUrlQuery>

namespace quillon {

std::optional<LedgerLocation> LedgerLocation::parse(const QString &text, QString *error)
{
    LedgerLocation location;
    if (text.isEmpty()) {
        *error = QStringLiteral("the ledger's location is empty");
        return std::nullopt;
    }
    if (!text.startsWith(QLatin1String("postgresql://")) &&
        !text.startsWith(QLatin1String("postgres://"))) {
        location.path = text;
        location.name_ = text;
        return location;
    }
    const QUrl url(text, QUrl::StrictMode);
    const QString database = url.path().mid(1);
    const QString socket =
        QUrlQuery(url).queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    if (!url.isValid() || database.isEmpty() || database.contains(QLatin1Char('/')) ||
        (url.host().isEmpty() && socket.isEmpty())) {
        *error = QStringLiteral("%1 is no PostgreSQL location: give "
                                "postgresql://[user[:password]@]host[:port]/database")
                     .arg(url.isValid() ? url.toDisplayString(QUrl::RemovePassword) : text);
        return std::nullopt;
    }
    location.kind = Kind::Postgresql;
    location.host = socket.isEmpty() ? url.host() : socket;
    location.port = url.port(kDefaultPostgresPort);
    location.user = url.userName(QUrl::FullyDecoded);
    location.password = url.password(QUrl::FullyDecoded);
    location.database = database;
    location.name_ = url.toDisplayString(QUrl::RemovePassword);
    return location;
}

std::optional<LedgerLocation> LedgerLocation::resolve(const std::optional<QString> &option,
                                                      QString *error)
{
    if (option) {
        return parse(*option, error);
    }
    if (qEnvironmentVariableIsSet(qPrintable(kEnvironment))) {
        return parse(qEnvironmentVariable(qPrintable(kEnvironment)), error);
    }
    *error = QStringLiteral("name the ledger with --ledger LOCATION or %1").arg(kEnvironment);
    return std::nullopt;
}

} // namespace quillon

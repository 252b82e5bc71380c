#include "settings/jsonobject.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSet>

#include <optional>
#include <vector>

namespace quillon {

namespace {

// The first key that one object of valid JSON text holds twice; the parser would keep only
// one of them without a word. Empty when there is none.
QString DuplicateKey(const QByteArray &json)
{
    std::vector<std::optional<QSet<QString>>> open; // an object's keys, or an array
    bool expectKey = false;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '{' || c == '[') {
            open.emplace_back(c == '{' ? std::optional<QSet<QString>>(QSet<QString>{})
                                       : std::nullopt);
            expectKey = c == '{';
        } else if (c == '}' || c == ']') {
            if (!open.empty()) {
                open.pop_back();
            }
        } else if (c == ',') {
            expectKey = !open.empty() && open.back().has_value();
        } else if (c == '"') {
            const qsizetype start = i;
            for (++i; i < json.size() && json[i] != '"'; ++i) {
                if (json[i] == '\\') {
                    ++i;
                }
            }
            if (expectKey && !open.empty() && open.back()) {
                // Decoded, so that an escaped spelling of a key is the same key.
                const QString key =
                    QJsonDocument::fromJson("[" + json.mid(start, i - start + 1) + "]")
                        .array()
                        .first()
                        .toString();
                if (open.back()->contains(key)) {
                    return key;
                }
                open.back()->insert(key);
            }
            expectKey = false;
        }
    }
    return {};
}

} // namespace

std::optional<QJsonObject> ParseJsonObject(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not valid JSON at byte %1: %2")
                     .arg(parseError.offset)
                     .arg(parseError.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    if (const QString key = DuplicateKey(json); !key.isEmpty()) {
        *error = QStringLiteral("invalid: \"%1\" given twice").arg(key);
        return std::nullopt;
    }
    return document.object();
}

} // namespace quillon

#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace quillon {

// The object a JSON file holds; nullopt with `error` saying where it fails ("not valid JSON at
// byte 12: ...", "not a JSON object").
std::optional<QJsonObject> ParseJsonObject(const QByteArray &json, QString *error);

} // namespace quillon

#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QSet>
#include <QString>

// The API's keys: kept as SHA-256 digests only, asked for in the api_key
// field of every request when there are any.
namespace ApiKeys {
// Reads a --api-keys file: one key a line; blank lines and lines that
// begin with '#' are skipped. Throws TarquellError when the file cannot be
// read or holds no key.
QSet<QByteArray> read(const QString& fileName);
// Throws ApiError unless the request's fields carry one of the keys (400
// for no key, as LibreTranslate asks for one; 403 for a wrong one).
// Nothing is asked when there are no keys.
void check(const QSet<QByteArray>& digests, const QJsonObject& fields);
} // namespace ApiKeys

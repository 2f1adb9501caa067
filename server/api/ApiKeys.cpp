#include "server/api/ApiKeys.h"

#include "server/api/ApiError.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonValue>

namespace {
QByteArray digest(const QByteArray& key)
{
    return QCryptographicHash::hash(key, QCryptographicHash::Sha256);
}
} // namespace

QSet<QByteArray> ApiKeys::read(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw TarquellError(
            QStringLiteral("--api-keys: cannot read %1: %2").arg(fileName, file.errorString()));
    QSet<QByteArray> digests;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(64 * 1024).trimmed();
        if (!line.isEmpty() && !line.startsWith('#'))
            digests.insert(digest(line));
    }
    if (digests.isEmpty())
        throw TarquellError(QStringLiteral("--api-keys: %1 holds no key").arg(fileName));
    return digests;
}

void ApiKeys::check(const QSet<QByteArray>& digests, const QJsonObject& fields)
{
    if (digests.isEmpty())
        return;
    // As LibreTranslate tells them apart: no key at all is a request to go
    // and get one; a key that is not one of ours is refused.
    const QJsonValue key = fields.value(QLatin1String("api_key"));
    if (key.isUndefined() || key.isNull() || (key.isString() && key.toString().isEmpty()))
        throw ApiError::invalid(
            QStringLiteral("Please contact the server operator to get an API key"));
    if (!key.isString() || !digests.contains(digest(key.toString().toUtf8())))
        throw ApiError(403, QStringLiteral("Invalid API key"));
}

#include "server/net/ListenAddress.h"

#include <QHostAddress>

std::optional<ListenAddress> ListenAddress::parse(const QString& text)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return std::nullopt; // an IPv6 address needs its brackets
    bool ok = false;
    const QString portText = text.mid(colon + 1);
    const int port = portText.toInt(&ok);
    if (host.isEmpty() || !ok || port < 0 || port > 65535 || portText.startsWith(QLatin1Char('+')))
        return std::nullopt;
    for (const QChar c : std::as_const(host)) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('.') &&
            c != QLatin1Char('-') && c != QLatin1Char(':') && c != QLatin1Char('%'))
            return std::nullopt;
    }
    return ListenAddress{host, port};
}

QString ListenAddress::urlHost() const
{
    return host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
}

QString ListenAddress::text() const
{
    return urlHost() + QLatin1Char(':') + QString::number(port);
}

bool ListenAddress::isLoopback() const
{
    if (host == QLatin1String("localhost"))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool ListenAddress::isWildcard() const
{
    const QHostAddress address(host);
    return address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6 ||
           address == QHostAddress::Any;
}

#include "server/http/HostCheck.h"

#include "server/net/PageTargets.h"

#include <QHostAddress>
#include <optional>

namespace {
struct HostAndPort
{
    QString host; // lower case, without brackets or a final dot
    std::optional<int> port;
};

std::optional<HostAndPort> split(std::string_view text)
{
    if (text.empty() || text.size() > 255)
        return std::nullopt;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f)
            return std::nullopt;
    }
    HostAndPort out;
    std::string_view host = text;
    std::string_view port;
    if (text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            port = rest.substr(1);
            if (port.empty())
                return std::nullopt;
        }
    } else {
        const size_t colon = text.find(':');
        if (colon != std::string_view::npos) {
            if (text.find(':', colon + 1) != std::string_view::npos)
                return std::nullopt; // an IPv6 address needs its brackets
            host = text.substr(0, colon);
            port = text.substr(colon + 1);
            if (port.empty())
                return std::nullopt;
        }
    }
    if (!port.empty()) {
        if (port.size() > 5)
            return std::nullopt;
        int n = 0;
        for (const char c : port) {
            if (c < '0' || c > '9')
                return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (n > 65535)
            return std::nullopt;
        out.port = n;
    }
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    if (host.empty())
        return std::nullopt;
    out.host = QString::fromLatin1(host.data(), static_cast<qsizetype>(host.size())).toLower();
    return out;
}

// The host as an address, when it is one written the usual way.
std::optional<QHostAddress> asAddress(const QString& host)
{
    QHostAddress a;
    if (!a.setAddress(host))
        return std::nullopt;
    bool mapped = false;
    const quint32 v4 = a.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4) : a;
}

bool namesListen(const HostAndPort& h, const ListenAddress& listen)
{
    if (h.port && *h.port != listen.port)
        return false;
    if (h.host == QLatin1String("localhost") || h.host == listen.host.toLower())
        return true;
    const std::optional<QHostAddress> address = asAddress(h.host);
    if (address) {
        if (const auto bound = asAddress(listen.host); bound && *bound == *address)
            return true;
        if (listen.isLoopback() && address->isLoopback())
            return true;
    }
    if (!listen.isWildcard())
        return false;
    if (address) {
        const auto target = TargetAddress::numeric(address->toString().toStdString());
        return address->isLoopback() || (target && PageTargets::isMachineAddress(*target));
    }
    return PageTargets::machineNames().contains(h.host);
}
} // namespace

HostCheck::HostCheck(QList<ListenAddress> service, const QStringList& names)
    : m_service(std::move(service))
{
    for (const QString& name : names) {
        const QByteArray latin = name.toLatin1();
        if (const auto h = split(std::string_view(latin.constData(), latin.size()));
            h && isName(name))
            m_names.append({h->host, h->port.value_or(-1)});
    }
}

bool HostCheck::isName(const QString& name)
{
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('.') &&
            c != QLatin1Char('-') && c != QLatin1Char(':') && c != QLatin1Char('[') &&
            c != QLatin1Char(']') && c != QLatin1Char('_'))
            return false;
    }
    const QByteArray latin = name.toLatin1();
    return split(std::string_view(latin.constData(), latin.size())).has_value();
}

bool HostCheck::accepts(std::string_view host) const
{
    const std::optional<HostAndPort> h = split(host);
    if (!h)
        return false;
    for (const Name& name : m_names) {
        if (name.host == h->host && (name.port < 0 || name.port == h->port.value_or(-2)))
            return true;
    }
    for (const ListenAddress& listen : m_service) {
        if (namesListen(*h, listen))
            return true;
    }
    return false;
}

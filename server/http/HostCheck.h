#pragma once

#include "server/net/ListenAddress.h"

#include <QList>
#include <QStringList>
#include <string_view>

// Whether a request's Host header names this service. A page elsewhere
// whose host name is made to resolve to this machine (DNS rebinding) has
// its browser send that name, never one of these, so its requests are
// refused.
//
// Accepted: each listen address as bound (an address in any spelling that
// equals it), "localhost", and for a loopback listen any loopback address;
// for a wildcard listen, also this machine's own addresses and its host
// name. The port must be the listen address's; a Host without a port is
// taken as naming that port too, as some simple clients leave it out. A
// request without a Host header at all names nothing and is refused.
//
// Names a reverse proxy or a TLS front puts in Host may be allowed too
// (--allow-host): "NAME" with any port, "NAME:PORT" with that one only.
class HostCheck
{
public:
    HostCheck() = default;
    explicit HostCheck(QList<ListenAddress> service, const QStringList& names = {});

    bool accepts(std::string_view host) const;
    // True for a name --allow-host takes: a host name or address, with or
    // without a port, such as "translate.example.org" or "[::1]:443".
    static bool isName(const QString& name);

private:
    struct Name
    {
        QString host;
        int port = -1; // any
    };
    QList<ListenAddress> m_service;
    QList<Name> m_names;
};

#pragma once

#include "server/net/ListenAddress.h"

#include <QList>
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
class HostCheck
{
public:
    HostCheck() = default;
    explicit HostCheck(QList<ListenAddress> service) : m_service(std::move(service)) {}

    bool accepts(std::string_view host) const;

private:
    QList<ListenAddress> m_service;
};

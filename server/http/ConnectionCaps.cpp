#include "server/http/ConnectionCaps.h"

#include <cstring>
#include <netinet/in.h>

ConnectionCaps::Peer ConnectionCaps::Peer::of(const sockaddr* address)
{
    Peer peer;
    if (!address)
        return peer;
    if (address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        peer.key.assign(reinterpret_cast<const char*>(&in->sin_addr), sizeof in->sin_addr);
        peer.loopback = (ntohl(in->sin_addr.s_addr) >> 24) == 127;
    } else if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        const in6_addr& a = in6->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&a)) {
            // The same machine seen through an IPv6 socket: counted as the
            // IPv4 address it is.
            peer.key.assign(reinterpret_cast<const char*>(a.s6_addr + 12), 4);
            peer.loopback = a.s6_addr[12] == 127;
        } else {
            peer.key.assign(reinterpret_cast<const char*>(a.s6_addr), sizeof a.s6_addr);
            peer.loopback = IN6_IS_ADDR_LOOPBACK(&a);
        }
    }
    return peer;
}

ConnectionCaps::Verdict ConnectionCaps::verdict(const Peer& peer, int open, bool anyIdle) const
{
    if (!peer.loopback && fromAddress(peer) >= m_perAddress)
        return Verdict::Refuse;
    if (open < m_total)
        return Verdict::Take;
    return anyIdle ? Verdict::TakeClosingIdlest : Verdict::Refuse;
}

void ConnectionCaps::opened(const Peer& peer)
{
    if (!peer.loopback)
        ++m_counts[peer.key];
}

void ConnectionCaps::closed(const Peer& peer)
{
    if (peer.loopback)
        return;
    const auto it = m_counts.find(peer.key);
    if (it != m_counts.end() && --it->second <= 0)
        m_counts.erase(it);
}

int ConnectionCaps::fromAddress(const Peer& peer) const
{
    const auto it = m_counts.find(peer.key);
    return it == m_counts.end() ? 0 : it->second;
}

#pragma once

#include <string>
#include <sys/socket.h>
#include <unordered_map>

// How many connections the service holds: at most a total, and at most a
// number from one address. Loopback addresses are not capped one by one:
// every local program (the window, the command line, the browser) comes
// from 127.0.0.1, and a per-address cap would let one of them shut out the
// others. At the total, a newcomer is taken in place of the connection
// idle longest, so that held-open idle connections cannot lock anyone out.
class ConnectionCaps
{
public:
    struct Peer
    {
        std::string key; // the address's bytes
        bool loopback = false;

        static Peer of(const sockaddr* address);
    };

    enum class Verdict { Take, TakeClosingIdlest, Refuse };

    ConnectionCaps(int total, int perAddress) : m_total(total), m_perAddress(perAddress) {}

    // open: the connections held now, not counting those being closed;
    // anyIdle: whether one of them waits for a request and could be closed.
    Verdict verdict(const Peer& peer, int open, bool anyIdle) const;
    void opened(const Peer& peer);
    void closed(const Peer& peer);
    int fromAddress(const Peer& peer) const;

private:
    const int m_total;
    const int m_perAddress;
    std::unordered_map<std::string, int> m_counts;
};

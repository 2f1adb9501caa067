#pragma once

#include "server/net/ListenAddress.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <vector>

// Where the web page gateway may connect. A page is fetched from the
// address its host name resolved to, never from one looked up again, and
// every address is checked first: by default nothing on this machine or a
// private network is fetched, and never this service itself.

// One address a host resolved to (port 0).
struct TargetAddress
{
    sockaddr_storage address{};
    socklen_t length = 0;

    // Numeric, as getnameinfo writes it: "203.0.113.7", "fe80::1%eth0".
    std::string text() const;
    // A numeric address in any spelling getaddrinfo reads; nothing for a
    // name.
    static std::optional<TargetAddress> numeric(const std::string& text);
};

// Looks host names up for the page fetcher. Tests put names of their own in
// front and send every connection to 127.0.0.1.
class HostResolver
{
public:
    struct Lookup
    {
        std::vector<TargetAddress> addresses;
        int error = 0; // getaddrinfo's, when there are none
    };
    virtual ~HostResolver() = default;
    // Every address of the host, a name or an address in any spelling.
    virtual Lookup resolve(const std::string& host) const;
    // The address a connection to a checked address goes to: that address.
    virtual std::string route(const TargetAddress& checked) const { return checked.text(); }
};

namespace PageTargets {
enum class Range {
    Public,
    Loopback,    // 127/8, ::1
    Unspecified, // 0/8, ::
    LinkLocal,   // 169.254/16, fe80::/10
    Private,     // 10/8, 172.16/12, 192.168/16, fc00::/7, fec0::/10 and the like
    Shared,      // 100.64/10, carrier-grade NAT
    Multicast,   // 224/4, ff00::/8
    Broadcast,   // 255.255.255.255
    Reserved,    // 240/4, 100::/64
};

// The range of an address. An IPv4 address carried in IPv6 (mapped,
// compatible, NAT64's well-known prefix, 6to4) is judged as that IPv4
// address.
Range classify(const TargetAddress& address);

// True when the address is one of this machine's own (any interface,
// loopback included). The list is read again at most once a second.
bool isMachineAddress(const TargetAddress& address);
// This machine's own names: "localhost" and the host name.
QList<QString> machineNames();

struct Rules
{
    // Let loopback, link-local, private and shared addresses through, and
    // this machine's own.
    bool allowPrivate = false;
    // The service's own listen addresses: never fetched. A wildcard or
    // loopback listen stands for every address of this machine on its
    // port.
    QList<ListenAddress> service;
};

enum class Refusal {
    None,
    Private,   // on this machine or a private network
    Service,   // this service's own address and port
    NotUnicast // multicast, broadcast, reserved
};

// Whether the fetcher may connect to address:port.
Refusal check(const TargetAddress& address, int port, const Rules& rules);
} // namespace PageTargets

#include "server/net/PageTargets.h"

#include <QHostAddress>
#include <chrono>
#include <cstring>
#include <ifaddrs.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

std::vector<TargetAddress> addressesOf(const addrinfo* list)
{
    std::vector<TargetAddress> out;
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        if ((ai->ai_family != AF_INET && ai->ai_family != AF_INET6) ||
            ai->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        TargetAddress a;
        std::memcpy(&a.address, ai->ai_addr, ai->ai_addrlen);
        a.length = static_cast<socklen_t>(ai->ai_addrlen);
        const std::string text = a.text();
        bool seen = false;
        for (const TargetAddress& b : out)
            seen = seen || b.text() == text;
        if (!seen)
            out.push_back(a);
    }
    return out;
}

// The IPv4 address an IPv6 address carries where it is routed as that
// IPv4 address: mapped (::ffff:0:0/96), translated (::ffff:0:0:0/96),
// compatible (::/96), NAT64's well-known prefix (64:ff9b::/96) and 6to4
// (2002::/16).
std::optional<uint32_t> embeddedIpv4(const in6_addr& a)
{
    const unsigned char* b = a.s6_addr;
    const auto at = [b](int i) {
        return static_cast<uint32_t>(b[i]) << 24 | static_cast<uint32_t>(b[i + 1]) << 16 |
               static_cast<uint32_t>(b[i + 2]) << 8 | b[i + 3];
    };
    const auto zero = [b](int from, int to) {
        for (int i = from; i < to; ++i)
            if (b[i] != 0)
                return false;
        return true;
    };
    if (zero(0, 10) && b[10] == 0xff && b[11] == 0xff)
        return at(12);
    if (zero(0, 8) && b[8] == 0xff && b[9] == 0xff && zero(10, 12))
        return at(12);
    if (zero(0, 12))
        return at(12);
    if (b[0] == 0x00 && b[1] == 0x64 && b[2] == 0xff && b[3] == 0x9b && zero(4, 12))
        return at(12);
    if (b[0] == 0x20 && b[1] == 0x02)
        return at(2);
    return std::nullopt;
}

PageTargets::Range classify4(uint32_t a)
{
    using R = PageTargets::Range;
    const auto in = [a](uint32_t net, int bits) {
        return bits == 0 || (a >> (32 - bits)) == (net >> (32 - bits));
    };
    if (in(0x00000000, 8))
        return R::Unspecified; // "this network": Linux connects it to this machine
    if (in(0x7f000000, 8))
        return R::Loopback;
    if (in(0x0a000000, 8) || in(0xac100000, 12) || in(0xc0a80000, 16))
        return R::Private;
    if (in(0x64400000, 10))
        return R::Shared;
    if (in(0xa9fe0000, 16))
        return R::LinkLocal;
    // The IETF's protocol assignments (DS-Lite and the like) and the
    // benchmarking networks are no public sites either.
    if (in(0xc0000000, 24) || in(0xc6120000, 15))
        return R::Private;
    if (in(0xe0000000, 4))
        return R::Multicast;
    if (a == 0xffffffff)
        return R::Broadcast;
    if (in(0xf0000000, 4))
        return R::Reserved;
    return R::Public;
}

PageTargets::Range classify6(const in6_addr& a)
{
    using R = PageTargets::Range;
    const unsigned char* b = a.s6_addr;
    if (IN6_IS_ADDR_UNSPECIFIED(&a))
        return R::Unspecified;
    if (IN6_IS_ADDR_LOOPBACK(&a))
        return R::Loopback;
    if (const auto v4 = embeddedIpv4(a))
        return classify4(*v4);
    if (b[0] == 0xff)
        return R::Multicast;
    if (b[0] == 0xfe && (b[1] & 0xc0) == 0x80)
        return R::LinkLocal;
    if (b[0] == 0xfe && (b[1] & 0xc0) == 0xc0)
        return R::Private; // site-local, deprecated but still routed on some networks
    if ((b[0] & 0xfe) == 0xfc)
        return R::Private;
    // NAT64 for local use (64:ff9b:1::/48) translates into private networks.
    if (b[0] == 0x00 && b[1] == 0x64 && b[2] == 0xff && b[3] == 0x9b && b[4] == 0x00 &&
        b[5] == 0x01)
        return R::Private;
    // The discard prefix 100::/64.
    if (b[0] == 0x01 && b[1] == 0x00 && b[2] == 0 && b[3] == 0 && b[4] == 0 && b[5] == 0 &&
        b[6] == 0 && b[7] == 0)
        return R::Reserved;
    return R::Public;
}

// An address reduced to what identifies a machine: IPv4 for a mapped
// address, no port, no scope.
QHostAddress comparable(const TargetAddress& t)
{
    QHostAddress a(reinterpret_cast<const sockaddr*>(&t.address));
    a.setScopeId(QString());
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    return ok ? QHostAddress(v4) : a;
}

struct MachineCache
{
    std::mutex mutex;
    Clock::time_point read;
    bool valid = false;
    QList<QHostAddress> addresses;
};

MachineCache& machineCache()
{
    static MachineCache cache;
    return cache;
}
} // namespace

std::string TargetAddress::text() const
{
    char host[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host,
                      nullptr, 0, NI_NUMERICHOST) != 0)
        return {};
    return host;
}

std::optional<TargetAddress> TargetAddress::numeric(const std::string& text)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (::getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::nullopt;
    std::vector<TargetAddress> all = addressesOf(found);
    ::freeaddrinfo(found);
    if (all.empty())
        return std::nullopt;
    return all.front();
}

HostResolver::Lookup HostResolver::resolve(const std::string& host) const
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    Lookup lookup;
    lookup.error = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (found) {
        lookup.addresses = addressesOf(found);
        ::freeaddrinfo(found);
    }
    if (lookup.addresses.empty() && lookup.error == 0)
        lookup.error = EAI_NODATA;
    return lookup;
}

namespace PageTargets {
Range classify(const TargetAddress& address)
{
    if (address.address.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address.address);
        return classify4(ntohl(in->sin_addr.s_addr));
    }
    if (address.address.ss_family == AF_INET6)
        return classify6(reinterpret_cast<const sockaddr_in6*>(&address.address)->sin6_addr);
    return Range::Reserved;
}

bool isMachineAddress(const TargetAddress& address)
{
    const QHostAddress wanted = comparable(address);
    MachineCache& cache = machineCache();
    std::lock_guard lock(cache.mutex);
    const Clock::time_point now = Clock::now();
    if (!cache.valid || now - cache.read > std::chrono::seconds(1)) {
        cache.addresses.clear();
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) == 0) {
            for (const ifaddrs* i = list; i; i = i->ifa_next) {
                if (!i->ifa_addr ||
                    (i->ifa_addr->sa_family != AF_INET && i->ifa_addr->sa_family != AF_INET6))
                    continue;
                QHostAddress a(i->ifa_addr);
                a.setScopeId(QString());
                cache.addresses << a;
            }
            ::freeifaddrs(list);
        }
        cache.read = now;
        cache.valid = true;
    }
    return cache.addresses.contains(wanted);
}

QList<QString> machineNames()
{
    QList<QString> names{QStringLiteral("localhost")};
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0')
        names << QString::fromLatin1(name).toLower();
    return names;
}

Refusal check(const TargetAddress& address, int port, const Rules& rules)
{
    const Range range = classify(address);
    if (range == Range::Multicast || range == Range::Broadcast || range == Range::Reserved)
        return Refusal::NotUnicast;
    // Whatever listens on this machine is reached at its loopback,
    // unspecified or own addresses alike.
    const bool onMachine =
        range == Range::Loopback || range == Range::Unspecified || isMachineAddress(address);
    if (onMachine) {
        for (const ListenAddress& own : rules.service) {
            if (own.port == port)
                return Refusal::Service;
        }
    }
    if (rules.allowPrivate)
        return Refusal::None;
    return onMachine || range != Range::Public ? Refusal::Private : Refusal::None;
}
} // namespace PageTargets

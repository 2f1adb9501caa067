// What a connection's headers and peer say before its request is routed.
#include "server/http/PeerChecks.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <string>
#include <string_view>
#include <strings.h>
#include <sys/socket.h>
#include <vector>

namespace {
// Every value of the Content-Length headers, lists split at commas, is the
// same. Two that differ are read one way here and another by a proxy in
// front: a request smuggled past it.
MHD_Result sameLength(void* cls, MHD_ValueKind, const char* key, const char* value)
{
    auto* lengths = static_cast<std::vector<std::string>*>(cls);
    if (key && value && ::strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0) {
        std::string_view rest(value);
        while (!rest.empty()) {
            const size_t comma = rest.find(',');
            std::string_view item = rest.substr(0, comma);
            while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
                item.remove_prefix(1);
            while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
                item.remove_suffix(1);
            lengths->emplace_back(item);
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
    }
    return MHD_YES;
}

} // namespace

bool conflictingLengths(MHD_Connection* c)
{
    std::vector<std::string> lengths;
    MHD_get_connection_values(c, MHD_HEADER_KIND, &sameLength, &lengths);
    return std::any_of(lengths.begin(), lengths.end(),
                       [&](const std::string& l) { return l != lengths.front(); });
}

bool isLoopbackPeer(MHD_Connection* c)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr)
        return false;
    const sockaddr* a = info->client_addr;
    if (a->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr) >> 24) == 127;
    if (a->sa_family == AF_INET6) {
        const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr;
        return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
    }
    return a->sa_family == AF_UNIX;
}

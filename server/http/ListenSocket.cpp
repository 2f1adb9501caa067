#include "server/http/ListenSocket.h"

#include "platform/Errors.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

int openListenSocket(const ListenAddress& address, int* boundPort)
{
    const std::string host = address.host.toStdString();
    const std::string port = std::to_string(address.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    int error = 0;
    QString reason;
    if (const int rc =
            ::getaddrinfo(host.empty() ? nullptr : host.c_str(), port.c_str(), &hints, &found);
        rc != 0) {
        reason = QString::fromLocal8Bit(::gai_strerror(rc));
    }
    int fd = -1;
    for (addrinfo* ai = found; ai && fd < 0; ai = ai->ai_next) {
        fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                      ai->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        // SO_REUSEADDR allows a quick restart; SO_REUSEPORT is left off, as
        // it would let a second service share the port silently.
        int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, ai->ai_addr, ai->ai_addrlen) != 0 || ::listen(fd, SOMAXCONN) != 0) {
            error = errno;
            ::close(fd);
            fd = -1;
        }
    }
    if (found)
        ::freeaddrinfo(found);
    if (fd < 0) {
        if (reason.isEmpty())
            reason = error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                : QStringLiteral("the address cannot be used");
        throw TarquellError(QStringLiteral("cannot listen on %1: %2").arg(address.text(), reason));
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    *boundPort = bound.ss_family == AF_INET6
                     ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                     : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return fd;
}

long raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1024;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return static_cast<long>(limit.rlim_cur);
}

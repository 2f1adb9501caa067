#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A port of 127.0.0.1 that nothing listens on: bound once, then closed.
// Good for a server the test starts there next, or for a "down" server.
inline int unusedLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

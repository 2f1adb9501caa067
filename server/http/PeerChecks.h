#pragma once

#include <microhttpd.h>

// Two Content-Length headers (or a list in one) that name different
// lengths: a proxy in front may read the body another way.
bool conflictingLengths(MHD_Connection* c);

// The caller is on this machine: loopback, IPv4 loopback mapped into IPv6,
// or a local socket.
bool isLoopbackPeer(MHD_Connection* c);

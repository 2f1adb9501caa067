#pragma once

#include "server/net/ListenAddress.h"

// Opens a listening TCP socket on the address (port 0 picks a free one),
// close-on-exec and non-blocking, and gives the port it is bound to.
// Throws TarquellError ("cannot listen on ADDR:PORT: why").
int openListenSocket(const ListenAddress& address, int* boundPort);

// The soft limit on open descriptors, first raised as far as the hard limit
// allows: a thousand held connections do not fit into the usual 1024.
long raiseDescriptorLimit();

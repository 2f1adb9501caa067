#pragma once

// One request of ServiceServer as its HTTP front holds it.
#include "server/http/ServiceRoute.h"
#include "server/http/ServiceServer.h"

#include <QString>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One request, from its request line to its completion.
struct ServiceServer::Request
{
    std::string target; // as sent, query included
    std::string path;   // decoded, as routed
    std::string method;
    std::string host;            // the Host header
    bool forwardedHttps = false; // X-Forwarded-Proto: https, from a TLS front
    std::string contentType;
    ServiceRoute route; // chosen once its request line and headers are read
    bool loopbackPeer = false;
    bool started = false;
    size_t bodyCap = 0; // the largest body kept; 0: the body is dropped
    Clock::time_point bodyStart;
    std::string body;
    size_t received = 0;
    size_t reserved = 0;  // of the body budget
    unsigned refusal = 0; // 413 or 503, answered once the body is read
    bool submitted = false;
    std::optional<Reply> reply; // from the work queue, or a refusal decided before the body
};

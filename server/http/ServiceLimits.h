#pragma once

#include <chrono>
#include <cstddef>

// What one client, or all of them together, may hold of the service.
struct ServiceLimits
{
    // Open connections in total and from one address; one more is closed
    // as soon as it is accepted. The total is also kept below the
    // descriptor limit.
    int maxConnections = 2048;
    int maxPerAddress = 256;
    // A request's headers must be complete this long after the connection
    // opened or the previous reply went out.
    unsigned headerSeconds = 10;
    // A connection that sends and takes nothing for this long is closed;
    // this is also how long an idle kept-alive connection stays.
    unsigned idleSeconds = 5;
    // After headerSeconds of grace, a body (and a reply) must move at least
    // this fast on average, in bytes per second.
    size_t minBytesPerSecond = 32 * 1024;
    // Threads for translations and their queue; a request beyond the queue
    // gets 503.
    int workers = 8;
    size_t queuedJobs = 256;
    // Request bodies held in memory at once, over all connections; a body
    // beyond it gets 503.
    size_t bodyBudget = 128 * 1024 * 1024;
    // The web page gateway: threads and queue for page fetches, apart from
    // the translations' so that slow sites do not hold them up; the largest
    // page, the time for a whole fetch, the redirects followed.
    int pageWorkers = 4;
    size_t queuedPages = 64;
    size_t pageBytes = 8 * 1024 * 1024;
    std::chrono::milliseconds pageTimeout{20000};
    int pageRedirects = 5;
};

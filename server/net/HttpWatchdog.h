#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

namespace httplib {
class ClientImpl;
}

// Ends an HTTP exchange that outlives its deadline: cpp-httplib's own
// time-outs are per read, and a server that trickles would outlast them.
// The page fetcher and the remote engines' client both run under one.
class HttpWatchdog
{
public:
    HttpWatchdog(httplib::ClientImpl& client, std::chrono::steady_clock::time_point deadline);
    ~HttpWatchdog() { finish(); }
    HttpWatchdog(const HttpWatchdog&) = delete;
    HttpWatchdog& operator=(const HttpWatchdog&) = delete;

    // True when the deadline passed before the exchange ended.
    bool finish();

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    bool m_fired = false;
    std::thread m_thread;
};

// "1 second", "20 seconds", "2.5 seconds": a limit in the user's messages.
QString durationText(std::chrono::milliseconds ms);
// "8 MiB", "64 KiB", "1000 bytes".
QString sizeText(size_t bytes);

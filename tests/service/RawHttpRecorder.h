#pragma once

#include <QString>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A tiny HTTP/1.1 server on a free port of 127.0.0.1 that keeps the exact
// bytes of every request (cpp-httplib sorts headers, which hides their
// order) and answers each with canned bytes chosen by the request target.
// Connections stay open unless the request or the answer closes them.
class RawHttpRecorder
{
public:
    struct Request
    {
        int connection = 0; // numbered from 1 in order of acceptance
        std::string raw;    // request line, headers and body as received
        std::string method;
        std::string target; // as on the request line (absolute through a proxy)
        std::string body;
        std::vector<std::pair<std::string, std::string>> headers; // in order

        std::string header(const std::string& name) const; // case-insensitive
        std::vector<std::string> headerNames() const;
    };

    RawHttpRecorder();
    ~RawHttpRecorder();
    RawHttpRecorder(const RawHttpRecorder&) = delete;
    RawHttpRecorder& operator=(const RawHttpRecorder&) = delete;

    // The answer to requests for this target (path with query, or the
    // absolute URL a proxy is asked for). Others get 404.
    void route(const std::string& target, std::string rawResponse);
    // Asked first for every request; an empty answer falls back to the routes.
    void setHandler(std::function<std::string(const Request&)> handler);
    // A complete response with Content-Length.
    static std::string response(int status, const std::string& reason, const std::string& body,
                                const std::string& extraHeaders = {});

    void start();
    int port() const { return m_port; }
    QString url(const QString& path) const;

    std::vector<Request> requests() const;
    int connectionCount() const;
    // Waits until at least n requests have arrived; false after 20 s.
    bool waitForRequests(std::size_t n) const;

private:
    void acceptLoop();
    void serve(int fd, int connection);

    int m_listen = -1;
    int m_port = 0;
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    std::map<std::string, std::string> m_routes;
    std::function<std::string(const Request&)> m_handler;
    std::vector<Request> m_requests;
    std::vector<int> m_openFds;
    std::vector<std::thread> m_connectionThreads;
    int m_connections = 0;
    bool m_stopping = false;
};

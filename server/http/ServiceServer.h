#pragma once

#include "server/http/ConnectionCaps.h"
#include "server/http/HostCheck.h"
#include "server/http/ServiceLimits.h"
#include "server/http/ServiceRoute.h"
#include "server/net/ListenAddress.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>

struct MHD_Connection;
struct MHD_Daemon;
class WorkQueue;

// The HTTP front of tarquell-service: it asks its route table which route
// takes each request, and hands the request, read whole, over. One thread reads and answers every
// connection through GNU libmicrohttpd's epoll loop, with a deadline for
// each request, caps on connections and on the bodies held; translations
// run on a bounded WorkQueue while their connection waits, suspended.
class ServiceServer
{
public:
    // Largest request body taken; a larger one gets 413.
    static constexpr size_t maxRequestBytes = 16 * 1024 * 1024;

    // routes: what each request is answered with, this server's own.
    explicit ServiceServer(std::unique_ptr<ServiceRouter> routes, const ServiceLimits& limits = {});
    ~ServiceServer();
    ServiceServer(const ServiceServer&) = delete;
    ServiceServer& operator=(const ServiceServer&) = delete;

    // Binds the socket; port 0 picks a free port. Returns the address bound
    // to (with the chosen port). Throws TarquellError.
    ListenAddress bind(const ListenAddress& address);
    // Every address the service listens on, as bound (a request's Host
    // header must name one, and the gateway never fetches them), and
    // whether the gateway may fetch pages on this machine and private
    // networks. Call before serve(); without it, the service is this
    // server's address alone and private pages are refused. allowHosts:
    // more names a request's Host may give (a reverse proxy's).
    // loopbackOnlyKeyless: SOAP and the gateways, whose clients cannot send
    // an API key, answer callers on this machine only (set when the API
    // asks for keys).
    void setAccess(const QList<ListenAddress>& service, bool allowPrivatePages,
                   const QStringList& allowHosts = {}, bool loopbackOnlyKeyless = false);
    // Serves until stop(). False when serving failed.
    bool serve();
    // Safe from any thread, also before serve() has begun: serve() then
    // returns at once. Replies under way are finished first.
    void stop();

    // The connection cap in force: the limits' total, lowered to fit the
    // descriptors this process may open.
    int connectionCap() const { return m_connectionCap; }

private:
    friend struct ServerCallbacks;
    struct Request;
    using Reply = ServiceReply;
    using Clock = std::chrono::steady_clock;

    int beginRequest(MHD_Connection* c, Request& req, const char* url, const char* method);
    int takeBody(MHD_Connection* c, Request& req, const char* data, size_t length);
    int finishRequest(MHD_Connection* c, Request& req);
    int queueReply(MHD_Connection* c, Reply reply);
    bool runLater(MHD_Connection* c, Request& req);
    ServiceCall call(Request& req, int connectionFd) const;
    Reply refusal(const Request& req, unsigned status) const;
    void setDeadline(MHD_Connection* c, Clock::time_point deadline);
    void cutOverdue();
    // Gives up the queued work of clients that closed their connection.
    void noticeDepartures();
    struct Connection;
    void cut(Connection& connection);

    const std::unique_ptr<ServiceRouter> m_routes;
    const ServiceLimits m_limits;
    int m_connectionCap = 0;
    ListenAddress m_address;
    int m_listenFd = -1;
    int m_wakeFd = -1;
    std::unique_ptr<WorkQueue> m_work;
    // Requests that wait for other sites (the web page gateway).
    std::unique_ptr<WorkQueue> m_pageWork;
    HostCheck m_hostCheck;
    bool m_accessSet = false;
    bool m_loopbackOnlyKeyless = false;
    std::atomic<bool> m_stopRequested{false};

    // Touched by the serving thread only.
    struct Connection
    {
        int fd = -1;
        Clock::time_point deadline;
        bool cut = false;
        ConnectionCaps::Peer peer;
        bool inRequest = false;
        Clock::time_point idleSince;
        // The request's work on a queue, given up when the client leaves.
        std::shared_ptr<std::atomic<bool>> work;
    };
    std::unordered_map<MHD_Connection*, Connection> m_connections;
    std::unique_ptr<ConnectionCaps> m_caps;
    int m_cutConnections = 0; // shut down, not yet closed
    size_t m_bodyBytes = 0;   // held by all requests, against bodyBudget
    int m_requests = 0;       // between request line and completion
    // Suspended connections whose job has not resumed them yet.
    std::atomic<int> m_inFlight{0};
};

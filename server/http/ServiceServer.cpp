#include "server/http/ServiceServer.h"

#include "server/http/PeerChecks.h"
#include "server/net/ServiceVersion.h"

#include "server/ServerLogging.h"
#include "server/http/ListenSocket.h"
#include "server/http/ServiceRequest.h"
#include "server/http/WorkQueue.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <memory>
#include <microhttpd.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using ServiceText::fromStd;
using ServiceText::toStd;

namespace {
const char* const textType = ServiceText::plain;

// A body beyond the size limit is still read and dropped, up to this much,
// so that the caller gets to read the 413 before the connection closes.
constexpr size_t maxDroppedBytes = 4 * ServiceServer::maxRequestBytes;
// How often the deadlines are checked.
constexpr std::chrono::milliseconds sweepInterval{250};
// Descriptors kept free for everything but connections: the listening
// socket, the epoll and wake descriptors, Apertium's pipes, logs.
constexpr long reservedDescriptors = 128;

std::string header(MHD_Connection* c, const char* name)
{
    const char* value = MHD_lookup_connection_value(c, MHD_HEADER_KIND, name);
    return value ? std::string(value) : std::string();
}

} // namespace

// libmicrohttpd calls C functions; these hand each call to the server.
struct ServerCallbacks
{
    using Request = ServiceServer::Request;

    static MHD_Result accept(void* cls, const sockaddr* address, socklen_t)
    {
        // Over the caps a connection is closed at once, never queued:
        // libmicrohttpd's own cap is set above ours, as reaching it would
        // stop the accepting and leave new connections in the backlog.
        auto* self = static_cast<ServiceServer*>(cls);
        const int open = static_cast<int>(self->m_connections.size()) - self->m_cutConnections;
        ServiceServer::Connection* idlest = nullptr;
        if (open >= self->m_connectionCap) {
            for (auto& [c, state] : self->m_connections) {
                if (!state.cut && !state.inRequest && state.fd >= 0 &&
                    (!idlest || state.idleSince < idlest->idleSince))
                    idlest = &state;
            }
        }
        switch (self->m_caps->verdict(ConnectionCaps::Peer::of(address), open, idlest)) {
        case ConnectionCaps::Verdict::Take:
            return MHD_YES;
        case ConnectionCaps::Verdict::TakeClosingIdlest:
            self->cut(*idlest);
            qCDebug(lcServer) << "closed the connection idle longest for a new one";
            return MHD_YES;
        case ConnectionCaps::Verdict::Refuse:
            break;
        }
        return MHD_NO;
    }

    static void* requestLine(void* cls, const char* uri, MHD_Connection* c)
    {
        auto* self = static_cast<ServiceServer*>(cls);
        ++self->m_requests;
        if (const auto it = self->m_connections.find(c); it != self->m_connections.end())
            it->second.inRequest = true;
        auto* req = new Request;
        req->target = uri ? uri : "";
        return req;
    }

    static MHD_Result handle(void* cls, MHD_Connection* c, const char* url, const char* method,
                             const char*, const char* data, size_t* length, void** reqCls)
    {
        auto* self = static_cast<ServiceServer*>(cls);
        auto*& req = reinterpret_cast<Request*&>(*reqCls);
        if (!req) {
            req = static_cast<Request*>(requestLine(cls, url, c));
        }
        int result = MHD_YES;
        if (!req->started)
            result = self->beginRequest(c, *req, url, method);
        else if (*length > 0) {
            result = self->takeBody(c, *req, data, *length);
            *length = 0;
        } else
            result = self->finishRequest(c, *req);
        return result == MHD_YES ? MHD_YES : MHD_NO;
    }

    static void completed(void* cls, MHD_Connection* c, void** reqCls, MHD_RequestTerminationCode)
    {
        auto* self = static_cast<ServiceServer*>(cls);
        auto* req = static_cast<Request*>(*reqCls);
        if (!req)
            return;
        *reqCls = nullptr;
        self->m_bodyBytes -= req->reserved;
        --self->m_requests;
        delete req;
        if (const auto it = self->m_connections.find(c); it != self->m_connections.end()) {
            it->second.inRequest = false;
            it->second.idleSince = ServiceServer::Clock::now();
            it->second.work.reset();
        }
        // The next request's headers, or the idle time-out, from here.
        self->setDeadline(c, ServiceServer::Clock::now() +
                                 std::chrono::seconds(self->m_limits.headerSeconds));
    }

    static void connection(void* cls, MHD_Connection* c, void**,
                           MHD_ConnectionNotificationCode code)
    {
        auto* self = static_cast<ServiceServer*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            const MHD_ConnectionInfo* info =
                MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
            const MHD_ConnectionInfo* client =
                MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            const auto now = ServiceServer::Clock::now();
            ServiceServer::Connection state;
            state.fd = info ? info->connect_fd : -1;
            state.deadline = now + std::chrono::seconds(self->m_limits.headerSeconds);
            state.peer = ConnectionCaps::Peer::of(client ? client->client_addr : nullptr);
            state.idleSince = now;
            self->m_caps->opened(state.peer);
            self->m_connections[c] = std::move(state);
        } else if (const auto it = self->m_connections.find(c); it != self->m_connections.end()) {
            self->m_caps->closed(it->second.peer);
            if (it->second.cut)
                --self->m_cutConnections;
            self->m_connections.erase(it);
        }
    }

    static void log(void*, const char* format, va_list args)
    {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        qCDebug(lcServer).noquote() << "http:" << QString::fromLocal8Bit(text).trimmed();
    }

    static void freeBody(void* body) { delete static_cast<std::string*>(body); }
};

ServiceServer::ServiceServer(std::unique_ptr<ServiceRouter> routes, const ServiceLimits& limits)
    : m_routes(std::move(routes)), m_limits(limits),
      m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

ServiceServer::~ServiceServer()
{
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

ListenAddress ServiceServer::bind(const ListenAddress& address)
{
    int boundPort = 0;
    const int fd = openListenSocket(address, &boundPort);
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    m_listenFd = fd;
    m_address = ListenAddress{address.host, boundPort};

    const long descriptors = raiseDescriptorLimit();
    const long room =
        descriptors > 2 * reservedDescriptors ? descriptors - reservedDescriptors : descriptors / 2;
    m_connectionCap = static_cast<int>(std::min<long>(m_limits.maxConnections, room));
    if (m_connectionCap < m_limits.maxConnections)
        qCWarning(lcServer).noquote()
            << QStringLiteral("at most %1 connections: the descriptor limit is %2")
                   .arg(m_connectionCap)
                   .arg(descriptors);
    return m_address;
}

void ServiceServer::setAccess(const QList<ListenAddress>& service, bool allowPrivatePages,
                              const QStringList& allowHosts, bool loopbackOnlyKeyless)
{
    m_hostCheck = HostCheck(service, allowHosts);
    m_loopbackOnlyKeyless = loopbackOnlyKeyless;
    m_routes->setAccess(m_address, service, allowPrivatePages);
    m_accessSet = true;
}

bool ServiceServer::serve()
{
    if (m_stopRequested)
        return true;
    if (m_listenFd < 0 || m_wakeFd < 0)
        return false;
    if (!m_accessSet)
        setAccess({m_address}, false);
    m_work = std::make_unique<WorkQueue>(m_limits.workers, m_limits.queuedJobs);
    m_pageWork = std::make_unique<WorkQueue>(m_limits.pageWorkers, m_limits.queuedPages);
    // The logger comes first, so that no message goes to libmicrohttpd's
    // own (standard error) before it is set.
    m_caps = std::make_unique<ConnectionCaps>(m_connectionCap, m_limits.maxPerAddress);
    m_cutConnections = 0;
    MHD_Daemon* daemon = MHD_start_daemon(
        MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG, 0, &ServerCallbacks::accept,
        this, &ServerCallbacks::handle, this, MHD_OPTION_EXTERNAL_LOGGER, &ServerCallbacks::log,
        this, MHD_OPTION_LISTEN_SOCKET, m_listenFd, MHD_OPTION_CONNECTION_LIMIT,
        static_cast<unsigned>(m_connectionCap + 64), MHD_OPTION_CONNECTION_TIMEOUT,
        m_limits.idleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<size_t>(32 * 1024),
        MHD_OPTION_NOTIFY_COMPLETED, &ServerCallbacks::completed, this,
        MHD_OPTION_NOTIFY_CONNECTION, &ServerCallbacks::connection, this,
        MHD_OPTION_URI_LOG_CALLBACK, &ServerCallbacks::requestLine, this, MHD_OPTION_END);
    if (!daemon) {
        qCWarning(lcServer) << "the HTTP server did not start";
        m_work.reset();
        return false;
    }
    const int loop = ::epoll_create1(EPOLL_CLOEXEC);
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_EPOLL_FD);
    bool ok = loop >= 0 && info;
    for (const int fd : {ok ? info->epoll_fd : -1, m_wakeFd}) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        ok = ok && ::epoll_ctl(loop, EPOLL_CTL_ADD, fd, &event) == 0;
    }

    bool stopping = false;
    Clock::time_point stopAt;
    Clock::time_point nextSweep = Clock::now() + sweepInterval;
    while (ok) {
        // Without connections there is nothing to sweep, and the service
        // sleeps until one comes. A wait is rounded up: rounded down to
        // 0 ms, it would spin until the sweep.
        const Clock::time_point now = Clock::now();
        if (m_connections.empty())
            nextSweep = now + sweepInterval;
        auto wait = m_connections.empty()
                        ? std::chrono::milliseconds(-1)
                        : std::chrono::ceil<std::chrono::milliseconds>(nextSweep - now);
        MHD_UNSIGNED_LONG_LONG mhdWait = 0;
        if (MHD_get_timeout(daemon, &mhdWait) == MHD_YES)
            wait = wait.count() < 0 ? std::chrono::milliseconds(mhdWait)
                                    : std::min(wait, std::chrono::milliseconds(mhdWait));
        epoll_event events[2];
        const int n =
            ::epoll_wait(loop, events, 2, static_cast<int>(wait.count() < 0 ? -1 : wait.count()));
        if (n < 0 && errno != EINTR) {
            ok = false;
            break;
        }
        for (int i = 0; i < n; ++i) {
            if (events[i].data.fd != m_wakeFd)
                continue;
            // A job has resumed its connection, or stop() was called.
            eventfd_t ignored;
            ::eventfd_read(m_wakeFd, &ignored);
        }
        if (!stopping && m_stopRequested) {
            // No new connections; those open get their replies.
            stopping = true;
            stopAt = Clock::now();
            const MHD_socket listening = MHD_quiesce_daemon(daemon);
            if (listening != MHD_INVALID_SOCKET && listening == m_listenFd) {
                ::close(m_listenFd);
                m_listenFd = -1;
            }
        }
        MHD_run(daemon);
        const Clock::time_point after = Clock::now();
        if (after >= nextSweep) {
            cutOverdue();
            noticeDepartures();
            nextSweep = after + sweepInterval;
        }
        // Stopping waits for every translation under way, which gives up
        // when the service stops, and a moment for replies still being
        // read.
        if (stopping && m_inFlight == 0 &&
            (m_requests == 0 || after - stopAt > std::chrono::seconds(1))) {
            MHD_run(daemon);
            break;
        }
    }
    if (!ok) {
        // Nothing may stay suspended when the daemon goes.
        m_work.reset();
        m_pageWork.reset();
        while (m_inFlight > 0)
            std::this_thread::yield();
        MHD_run(daemon);
    }
    MHD_stop_daemon(daemon);
    m_listenFd = -1; // closed by libmicrohttpd or above
    if (loop >= 0)
        ::close(loop);
    m_work.reset();
    m_pageWork.reset();
    m_connections.clear();
    m_cutConnections = 0;
    return ok;
}

void ServiceServer::stop()
{
    m_stopRequested = true;
    if (m_wakeFd >= 0)
        ::eventfd_write(m_wakeFd, 1);
}

void ServiceServer::setDeadline(MHD_Connection* c, Clock::time_point deadline)
{
    const auto it = m_connections.find(c);
    if (it != m_connections.end())
        it->second.deadline = deadline;
}

// A per-read time-out is reset by every byte a trickling client sends; the
// deadlines are not. A connection past its deadline is shut down, which
// libmicrohttpd sees as the client going away.
void ServiceServer::cutOverdue()
{
    const Clock::time_point now = Clock::now();
    for (auto& [connection, state] : m_connections) {
        if (state.cut || state.fd < 0 || state.deadline > now)
            continue;
        cut(state);
        qCDebug(lcServer) << "closed a connection past its deadline";
    }
}

// A suspended connection is not watched by libmicrohttpd: its socket is
// looked at here. The end of the client's stream is taken as the client
// gone (as HTTP servers commonly do), and its request's work gives up.
void ServiceServer::noticeDepartures()
{
    for (auto& [connection, state] : m_connections) {
        if (!state.work || state.fd < 0 || *state.work)
            continue;
        pollfd p{state.fd, POLLRDHUP, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
            *state.work = true;
            qCDebug(lcServer) << "a client left; its request's work is given up";
        }
    }
}

// Shut down here, closed by libmicrohttpd when it next looks at it.
void ServiceServer::cut(Connection& connection)
{
    if (connection.cut || connection.fd < 0)
        return;
    connection.cut = true;
    ++m_cutConnections;
    ::shutdown(connection.fd, SHUT_RDWR);
}

int ServiceServer::beginRequest(MHD_Connection* c, Request& req, const char* url,
                                const char* method)
{
    req.started = true;
    req.path = url ? url : "";
    req.method = method ? method : "";
    req.bodyStart = Clock::now();
    req.host = header(c, MHD_HTTP_HEADER_HOST);
    req.contentType = header(c, MHD_HTTP_HEADER_CONTENT_TYPE);
    req.forwardedHttps = ::strcasecmp(header(c, "X-Forwarded-Proto").c_str(), "https") == 0;
    setDeadline(c, req.bodyStart + std::chrono::seconds(m_limits.headerSeconds));
    // Whatever the request: one that does not name this service came
    // through a name someone else controls.
    if (!m_hostCheck.accepts(req.host))
        return queueReply(c, {421,
                              "This service answers requests addressed to " +
                                  toStd(m_address.text()) + " only.\n",
                              textType, nullptr, true});
    if (conflictingLengths(c))
        return queueReply(
            c, {400, "The request gives two different lengths.\n", textType, nullptr, true});
    req.loopbackPeer = isLoopbackPeer(c);
    // The route, and with it which bodies are kept, and how large.
    const auto mark = req.target.find('?');
    req.route =
        m_routes->choose(req.method, req.path,
                         mark == std::string::npos ? std::string() : req.target.substr(mark + 1));
    req.bodyCap = req.route.bodyCap;
    if (req.route.refuseType) {
        // The body is read and dropped, never kept, and the refusal follows
        // it: a reply sent before the body would be lost to the client's
        // reset when the connection closes with its body unread.
        if (std::optional<Reply> refused = req.route.refuseType(req.contentType)) {
            req.reply = std::move(*refused);
            req.bodyCap = 0;
        }
    }
    const std::string declared = header(c, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (declared.empty())
        return MHD_YES;
    const unsigned long long length = std::strtoull(declared.c_str(), nullptr, 10);
    if (length > std::max(maxDroppedBytes, req.bodyCap)) {
        // Too much to read and drop: answered at once, and closed.
        return queueReply(c, refusal(req, 413));
    }
    // The budget is charged with what arrives, not with what is declared:
    // a client that declares much and sends little holds nothing.
    if (req.bodyCap > 0 && length > req.bodyCap)
        req.refusal = 413;
    return MHD_YES;
}

int ServiceServer::takeBody(MHD_Connection* c, Request& req, const char* data, size_t length)
{
    req.received += length;
    // Headers' grace, then the minimum rate for all that came so far.
    setDeadline(c, req.bodyStart + std::chrono::seconds(m_limits.headerSeconds) +
                       std::chrono::milliseconds(req.received * 1000 /
                                                 std::max<size_t>(1, m_limits.minBytesPerSecond)));
    if (req.received > std::max(maxDroppedBytes, req.bodyCap))
        return MHD_NO;
    if (req.bodyCap == 0 || req.refusal != 0)
        return MHD_YES;
    if (req.received > req.bodyCap) {
        req.refusal = 413;
    } else if (req.received > req.reserved) {
        const size_t more = req.received - req.reserved;
        if (m_bodyBytes + more > m_limits.bodyBudget) {
            req.refusal = 503;
        } else {
            m_bodyBytes += more;
            req.reserved += more;
        }
    }
    if (req.refusal != 0) {
        std::string().swap(req.body);
        m_bodyBytes -= req.reserved;
        req.reserved = 0;
        return MHD_YES;
    }
    req.body.append(data, length);
    return MHD_YES;
}

int ServiceServer::finishRequest(MHD_Connection* c, Request& req)
{
    if (req.reply) {
        Reply reply = std::move(*req.reply);
        req.reply.reset();
        return queueReply(c, std::move(reply));
    }
    if (req.submitted)
        return MHD_YES; // resumed without a reply: cannot happen, wait on
    if (req.refusal != 0)
        return queueReply(c, refusal(req, req.refusal));
    // With API keys asked for, the translations that cannot carry one are
    // for this machine only: on a LAN address they would spend the owner's
    // remote engine keys for anyone.
    if (req.route.keyless && m_loopbackOnlyKeyless && !req.loopbackPeer)
        return queueReply(
            c, {403, "This service asks for API keys, which SOAP and web page requests "
                     "cannot send: they are answered for callers on this machine only.\n"});
    if (req.route.run != ServiceRoute::Run::AtOnce)
        return runLater(c, req) ? MHD_YES : MHD_NO;
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
    return queueReply(c, req.route.answer(call(req, info ? info->connect_fd : -1)));
}

// The request as its route's handler takes it; the body moves along.
ServiceCall ServiceServer::call(Request& req, int connectionFd) const
{
    ServiceCall call{req.method,      req.path,      req.target, req.host,    req.forwardedHttps,
                     req.contentType, std::string(), m_address,  connectionFd};
    call.body.swap(req.body);
    return call;
}

// A request refused before it is read whole: 413, too large; 503, busy.
ServiceServer::Reply ServiceServer::refusal(const Request& req, unsigned status) const
{
    const QString text = status == 413
                             ? QStringLiteral("The request is larger than %1 MiB.")
                                   .arg(std::max(req.bodyCap, maxRequestBytes) / (1024 * 1024))
                             : QStringLiteral("The service is busy; try again shortly.");
    if (req.route.refuse) {
        Reply reply = req.route.refuse(status, text);
        reply.close = true;
        return reply;
    }
    return {status, toStd(text) + "\n", ServiceText::plain, nullptr, true};
}

// The work that may wait runs on the work queue while the connection is
// suspended; the job resumes it with the reply in place.
bool ServiceServer::runLater(MHD_Connection* c, Request& req)
{
    Request* const r = &req;
    req.submitted = true;
    setDeadline(c, Clock::time_point::max());
    // Suspended before the job is queued, so that its resume cannot come
    // first.
    MHD_suspend_connection(c);
    ++m_inFlight;
    WorkQueue& queue = req.route.run == ServiceRoute::Run::PageQueue ? *m_pageWork : *m_work;
    auto taken = std::make_shared<ServiceCall>(call(req, -1));
    taken->givenUp = std::make_shared<std::atomic<bool>>(false);
    if (const auto it = m_connections.find(c); it != m_connections.end())
        it->second.work = taken->givenUp;
    const bool queued = queue.tryPush([this, c, r, taken] {
        Reply reply;
        try {
            reply = r->route.answer(*taken);
        } catch (...) {
            reply = {500, "The service failed on this request.\n"};
        }
        std::string().swap(taken->body);
        r->reply = std::move(reply);
        // libmicrohttpd's own loop is ours, and resuming does not wake it.
        MHD_resume_connection(c);
        --m_inFlight;
        ::eventfd_write(m_wakeFd, 1);
    });
    if (!queued) {
        req.reply = refusal(req, 503);
        MHD_resume_connection(c);
        --m_inFlight;
    }
    return true;
}

int ServiceServer::queueReply(MHD_Connection* c, Reply reply)
{
    MHD_Response* response = nullptr;
    size_t size = 0;
    if (reply.fd >= 0) {
        // libmicrohttpd closes the file once sent, or when it fails here.
        size = static_cast<size_t>(reply.fdSize);
        response = MHD_create_response_from_fd64(static_cast<uint64_t>(reply.fdSize), reply.fd);
    } else {
        auto* body = new std::string(std::move(reply.body));
        size = body->size();
        response = MHD_create_response_from_buffer_with_free_callback_cls(
            body->size(), body->data(), &ServerCallbacks::freeBody, body);
        if (!response)
            delete body;
    }
    if (!response) {
        if (reply.fd >= 0)
            ::close(reply.fd);
        return MHD_NO;
    }
    MHD_add_response_header(response, "Server", ServiceVersion::serverHeader);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.type.c_str());
    if (reply.allow)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, reply.allow);
    if (reply.close)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    MHD_add_response_header(response, "Content-Security-Policy", reply.policy);
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
    for (const auto& [name, value] : reply.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    if (!reply.engine.empty())
        MHD_add_response_header(response, "X-Tarquell-Engine", reply.engine.c_str());
    // The reply, too, must be taken at the minimum rate.
    setDeadline(c, Clock::now() + std::chrono::seconds(m_limits.headerSeconds) +
                       std::chrono::milliseconds(size * 1000 /
                                                 std::max<size_t>(1, m_limits.minBytesPerSecond)));
    const MHD_Result queued = MHD_queue_response(c, reply.status, response);
    MHD_destroy_response(response);
    return queued;
}

#pragma once

// What the HTTP front hands over and gets back: the front reads a request,
// asks its ServiceRouter once which route takes it, and gives the request,
// read whole, to that route's handler.
#include "server/net/ListenAddress.h"

#include <QList>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ServiceText {
inline const char* const xml = "text/xml; charset=utf-8";
inline const char* const plain = "text/plain; charset=utf-8";
// Nothing this service writes runs script, unless a reply says otherwise.
inline const char* const noScriptPolicy = "default-src 'none'; sandbox";

inline QString fromStd(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::string toStd(const QString& s)
{
    return s.toStdString();
}
} // namespace ServiceText

struct ServiceReply
{
    unsigned status = 200;
    std::string body;
    std::string type = ServiceText::plain;
    const char* allow = nullptr;
    bool close = false;
    const char* policy = ServiceText::noScriptPolicy; // Content-Security-Policy
    std::vector<std::pair<std::string, std::string>> headers = {};
    int fd = -1; // a file sent instead of body, closed once sent
    qint64 fdSize = 0;
    // The engine that translated, for X-Tarquell-Engine.
    std::string engine = {};
};

// A request read whole, as a route's handler sees it.
struct ServiceCall
{
    std::string method;
    std::string path;            // decoded
    std::string target;          // as sent, query included
    std::string host;            // the Host header
    bool forwardedHttps = false; // X-Forwarded-Proto: https, from a TLS front
    std::string contentType;
    std::string body; // kept up to the route's bodyCap
    // The address the server listens on, as bound.
    ListenAddress listening;
    // The connection's socket, for its local address; -1 when the handler
    // runs on the work queue.
    int connectionFd = -1;
    // Raised by the front when the client goes away while the handler runs
    // on a queue: its work may give up. Null for handlers run at once.
    std::shared_ptr<std::atomic<bool>> givenUp = {};

    // "translate.wsdl" of "/vx_engine/wsdl.vep?translate.wsdl", undecoded.
    std::string query() const
    {
        const auto mark = target.find('?');
        return mark == std::string::npos ? std::string() : target.substr(mark + 1);
    }
};

// The way one request takes, chosen before its body is read.
struct ServiceRoute
{
    enum class Run {
        AtOnce,   // on the serving thread: needs no engine, file or page
        Queue,    // on the work queue, the connection suspended meanwhile
        PageQueue // on the queue of requests that wait for other sites
    };
    // The largest body kept; 0: the body is read and dropped.
    size_t bodyCap = 0;
    Run run = Run::AtOnce;
    // A translation that cannot carry an API key: when the service asks for
    // keys, it is answered for callers on this machine only.
    bool keyless = false;
    std::function<ServiceReply(const ServiceCall&)> answer;
    // The route's own form of the front's refusals (413, 503); plain text
    // when empty.
    std::function<ServiceReply(unsigned status, const QString& text)> refuse = {};
    // A refusal the request's Content-Type alone decides: its body is then
    // dropped as it arrives, never kept; none when the route takes that
    // type.
    std::function<std::optional<ServiceReply>(const std::string& contentType)> refuseType = {};
};

// The one route table the front asks.
class ServiceRouter
{
public:
    virtual ~ServiceRouter() = default;
    // path: decoded; query: undecoded, without the '?'.
    virtual ServiceRoute choose(const std::string& method, const std::string& path,
                                const std::string& query) const = 0;
    // The address this server listens on, every address of the service
    // (pages there are never fetched), and whether pages on this machine
    // and private networks may be. Called before the first request.
    virtual void setAccess(const ListenAddress& listening, const QList<ListenAddress>& service,
                           bool allowPrivatePages) = 0;
};

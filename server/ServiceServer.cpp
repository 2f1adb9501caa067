#include "ServiceServer.h"

#include "ServerLogging.h"
#include "ServiceFault.h"
#include "SoapReply.h"
#include "SoapRequest.h"
#include "WsdlDocuments.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <httplib.h>
#include <sys/socket.h>
#include <thread>

Q_LOGGING_CATEGORY(lcServer, "tarquell.server", QtInfoMsg)

const char* const ServiceServer::serverHeader = "tarquell-service/4.0";

namespace {
const char* const xmlType = "text/xml; charset=utf-8";
const char* const textType = "text/plain; charset=utf-8";

QString fromStd(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string toStd(const QString& s)
{
    return s.toStdString();
}

// The query as sent, undecoded: "translate.wsdl" of
// "/vx_engine/wsdl.vep?translate.wsdl".
QString rawQuery(const httplib::Request& req)
{
    const auto mark = req.target.find('?');
    return mark == std::string::npos ? QString() : fromStd(req.target.substr(mark + 1));
}

// A Host header is only taken into a document when it is a plain host and
// port.
bool plausibleHost(const std::string& host)
{
    if (host.empty() || host.size() > 255)
        return false;
    for (char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != ':' &&
            c != '[' && c != ']')
            return false;
    }
    return true;
}

void methodNotAllowed(httplib::Response& res, const char* allowed)
{
    res.status = 405;
    res.set_header("Allow", allowed);
    res.set_content(std::string("This address takes ") + allowed + " requests only.\n", textType);
}

void notFound(const httplib::Request& req, httplib::Response& res)
{
    res.status = 404;
    res.set_content("Nothing is published at " + req.path + ".\n", textType);
}
} // namespace

ServiceServer::ServiceServer(TranslationEngine& engine, bool debugPaths)
    : m_engine(engine), m_debugPaths(debugPaths), m_http(std::make_unique<httplib::Server>())
{
    setUpRoutes();
}

ServiceServer::~ServiceServer() = default;

ListenAddress ServiceServer::bind(const ListenAddress& address)
{
    // The default options add SO_REUSEPORT, which would let a second
    // service share the port silently; SO_REUSEADDR alone still allows a
    // quick restart.
    m_http->set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    const std::string host = toStd(address.host);
    int port = address.port;
    errno = 0;
    if (port == 0)
        port = m_http->bind_to_any_port(host);
    else if (!m_http->bind_to_port(host, port))
        port = -1;
    if (port <= 0) {
        const int error = errno;
        throw TarquellError(
            QStringLiteral("cannot listen on %1: %2")
                .arg(address.text(), error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                                : QStringLiteral("the address cannot be used")));
    }
    m_address = ListenAddress{address.host, port};
    return m_address;
}

bool ServiceServer::serve()
{
    {
        std::lock_guard lock(m_stateMutex);
        if (m_stopRequested)
            return true;
        m_listening = true;
    }
    const bool ok = m_http->listen_after_bind();
    m_served = true;
    return ok;
}

void ServiceServer::stop()
{
    {
        std::lock_guard lock(m_stateMutex);
        m_stopRequested = true;
        if (!m_listening)
            return;
    }
    // serve() has begun: httplib only stops a server that it already
    // counts as running, which takes it a moment after serve() starts.
    for (int i = 0; i < 500 && !m_http->is_running() && !m_served; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    m_http->stop();
}

void ServiceServer::answerSoap(const std::string& body, httplib::Response& res)
{
    QByteArray reply;
    try {
        const SoapCall call =
            parseSoapCall(QByteArray(body.data(), static_cast<qsizetype>(body.size())));
        const TranslationMode mode = TranslationMode::parse(call.mode);
        const QString translation = m_engine.translate(mode, call.text);
        res.status = 200;
        reply = SoapReply::response(call, translation);
        qCDebug(lcServer) << "translated" << mode.text() << call.text.size() << "characters";
    } catch (const ServiceFault& fault) {
        res.status = 500;
        reply = SoapReply::fault(fault);
        qCDebug(lcServer).noquote() << "fault:" << fault.message();
    } catch (const std::exception& e) {
        res.status = 500;
        const ServiceFault fault = ServiceFault::server(
            QStringLiteral("The translation service failed: %1").arg(QString::fromUtf8(e.what())));
        reply = SoapReply::fault(fault);
        qCWarning(lcServer).noquote() << fault.message();
    }
    res.set_content(reply.constData(), static_cast<size_t>(reply.size()), xmlType);
}

void ServiceServer::setUpRoutes()
{
    httplib::Server& http = *m_http;
    http.set_payload_max_length(maxRequestBytes);
    http.set_default_headers({{"Server", serverHeader}});
    // A kept-alive connection holds a worker while it idles; a short idle
    // time and a pool twice httplib's default keep several desktop clients
    // and a benchmark from waiting on each other.
    http.set_keep_alive_timeout(2);
    http.new_task_queue = [] { return new httplib::ThreadPool(16); };
    // Replies are written in more than one piece; without this, Nagle's
    // algorithm and the caller's delayed ACK hold each reply back ~40 ms.
    http.set_tcp_nodelay(true);
    // Asked to, httplib compresses every text reply with Brotli at its
    // highest quality: milliseconds of work per reply that save nothing on
    // loopback. Replies go out as they are. (The request object is ours,
    // handed over as const only by the handler's signature.)
    http.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
        return httplib::Server::HandlerResponse::Unhandled;
    });

    const std::string endpoint = toStd(WsdlDocuments::endpointPath());

    // The body is read here rather than by httplib, whose size limit only
    // covers bodies with a Content-Length, not chunked ones.
    http.Post(endpoint, [this](const httplib::Request&, httplib::Response& res,
                               const httplib::ContentReader& reader) {
        std::string body;
        bool tooLarge = false;
        size_t skipped = 0;
        const bool complete = reader([&](const char* data, size_t length) {
            if (!tooLarge && body.size() + length <= maxRequestBytes) {
                body.append(data, length);
                return true;
            }
            // The rest is read and dropped, within reason, so that the
            // caller gets to read the 413 before the connection closes.
            tooLarge = true;
            std::string().swap(body);
            skipped += length;
            return skipped <= 4 * maxRequestBytes;
        });
        if (tooLarge || res.status == 413) {
            res.status = 413;
            res.set_header("Connection", "close");
            res.set_content("The request is larger than 16 MiB.\n", textType);
        } else if (!complete) {
            res.status = 400;
            res.set_header("Connection", "close");
            res.set_content("The request body could not be read.\n", textType);
        } else {
            answerSoap(body, res);
        }
    });
    http.Post(endpoint, [this](const httplib::Request& req, httplib::Response& res) {
        answerSoap(req.body, res);
    });
    const auto postOnly = [](const httplib::Request&, httplib::Response& res) {
        methodNotAllowed(res, "POST");
    };
    http.Get(endpoint, postOnly);
    http.Put(endpoint, postOnly);
    http.Patch(endpoint, postOnly);
    http.Delete(endpoint, postOnly);
    http.Options(endpoint, postOnly);

    http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        const QString path = fromStd(req.path);
        if (const auto kind = WsdlDocuments::forRequest(path, rawQuery(req))) {
            // The address of the endpoint is the one the service listens
            // on; when that is every address of the machine, the one the
            // caller used.
            ListenAddress at = m_address;
            if (!at.isWildcard() && !at.host.isEmpty() && at.host != QLatin1String("localhost")) {
                // as bound
            } else if (plausibleHost(req.get_header_value("Host"))) {
                const QString host = fromStd(req.get_header_value("Host"));
                const auto parsed = ListenAddress::parse(host);
                at = parsed ? *parsed : ListenAddress{host, 80};
            } else {
                at = ListenAddress{fromStd(req.local_addr), req.local_port};
            }
            const QString url =
                QStringLiteral("http://") + at.text() + WsdlDocuments::endpointPath();
            const QByteArray doc = WsdlDocuments::document(*kind, url);
            res.set_content(doc.constData(), static_cast<size_t>(doc.size()), xmlType);
            return;
        }
        if (m_debugPaths && m_address.isLoopback() && path == QLatin1String("/debug/pipelines")) {
            res.set_content(toStd(m_engine.debugReport()), textType);
            return;
        }
        notFound(req, res);
    });
    // A WSDL document's address takes GET only; anything else is unknown.
    const auto otherMethods = [](const httplib::Request& req, httplib::Response& res) {
        const QString path = fromStd(req.path);
        if (WsdlDocuments::forRequest(path, rawQuery(req)))
            methodNotAllowed(res, "GET");
        else
            notFound(req, res);
    };
    http.Post(".*", otherMethods);
    http.Put(".*", otherMethods);
    http.Patch(".*", otherMethods);
    http.Delete(".*", otherMethods);

    http.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty())
                return httplib::Server::HandlerResponse::Unhandled;
            switch (res.status) {
            case 413:
                res.set_content("The request is larger than 16 MiB.\n", textType);
                break;
            case 400:
                res.set_content("The request is not valid HTTP.\n", textType);
                break;
            default:
                res.set_content("The request failed with HTTP status " +
                                    std::to_string(res.status) + ".\n",
                                textType);
            }
            return httplib::Server::HandlerResponse::Handled;
        }));
    http.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            res.status = 500;
            res.set_content("The service failed on this request.\n", textType);
        });
}

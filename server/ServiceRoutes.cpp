#include "server/ServiceRoutes.h"
#include "server/http/ServiceServer.h"

#include "server/ServerLogging.h"
#include "server/api/LibreTranslateApi.h"
#include "server/engine/ServiceFault.h"
#include "server/engine/TranslationEngine.h"
#include "server/engine/WorkScope.h"
#include "server/gateway/GatewayRequest.h"
#include "server/gateway/WebGateway.h"
#include "server/soap/SoapReply.h"
#include "server/soap/SoapRequest.h"
#include "server/soap/WsdlDocuments.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

using ServiceText::fromStd;
using ServiceText::toStd;

namespace {
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

QString socketAddressText(const sockaddr* address)
{
    char host[INET6_ADDRSTRLEN] = {};
    int port = 0;
    if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        ::inet_ntop(AF_INET6, &in6->sin6_addr, host, sizeof host);
        port = ntohs(in6->sin6_port);
    } else if (address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        ::inet_ntop(AF_INET, &in->sin_addr, host, sizeof host);
        port = ntohs(in->sin_port);
    }
    return ListenAddress{QString::fromLatin1(host), port}.text();
}
} // namespace

ServiceReply ServiceRoutes::answerGet(const ServiceCall& req) const
{
    const QString path = fromStd(req.path);
    const auto kind = WsdlDocuments::forRequest(path, fromStd(req.query()));
    if (!kind)
        return {404, "Nothing is published at " + req.path + ".\n"};
    // The address of the endpoint is the one the service listens on; when
    // that is every address of the machine, the one the caller used.
    ListenAddress at = req.listening;
    const std::string& host = req.host;
    if (!at.isWildcard() && !at.host.isEmpty() && at.host != QLatin1String("localhost")) {
        // as bound
    } else if (plausibleHost(host)) {
        const auto parsed = ListenAddress::parse(fromStd(host));
        at = parsed ? *parsed : ListenAddress{fromStd(host), 80};
    } else {
        sockaddr_storage local{};
        socklen_t length = sizeof local;
        if (req.connectionFd >= 0 &&
            ::getsockname(req.connectionFd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
            at = *ListenAddress::parse(socketAddressText(reinterpret_cast<sockaddr*>(&local)));
    }
    const QString url = QStringLiteral("http://") + at.text() + WsdlDocuments::endpointPath();
    const QByteArray doc = WsdlDocuments::document(*kind, url);
    return {200, doc.toStdString(), ServiceText::xml};
}

// Where the client reached this service, for links back to it. Behind a
// TLS front that says so, the links are https: they go back to the same
// client only.
QString ServiceRoutes::origin(const ServiceCall& req)
{
    return (req.forwardedHttps ? QStringLiteral("https://") : QStringLiteral("http://")) +
           (plausibleHost(req.host) ? fromStd(req.host) : req.listening.text());
}

ServiceReply ServiceRoutes::answerApi(const ServiceCall& req) const
{
    LibreTranslateApi::Reply answer =
        m_api->answer({req.method, req.path, req.query(),
                       QByteArray::fromStdString(req.contentType), req.body, origin(req)});
    ServiceReply reply{answer.status, std::move(answer.body), std::move(answer.contentType)};
    reply.headers = std::move(answer.headers);
    reply.fd = answer.fd;
    reply.fdSize = answer.fdSize;
    return reply;
}

// The API's own form of the front's refusals: {"error": ...}.
ServiceReply ServiceRoutes::apiRefusal(unsigned status, const QString& text)
{
    LibreTranslateApi::Reply answer = LibreTranslateApi::error(status, text);
    ServiceReply reply{status, std::move(answer.body), std::move(answer.contentType)};
    reply.headers = std::move(answer.headers);
    return reply;
}

ServiceReply ServiceRoutes::answerGateway(const ServiceCall& req) const
{
    // Links lead back to where the browser found the service.
    const WebGateway::Answer answer =
        m_gateway->answer(fromStd(req.path), fromStd(req.query()), origin(req));
    ServiceReply reply{answer.status, answer.body,
                       answer.html ? "text/html; charset=utf-8" : ServiceText::plain};
    reply.policy = answer.translated ? WebGateway::translatedPolicy : WebGateway::ownPagePolicy;
    return reply;
}

// A SOAP call sent as anything but XML (a page in a browser may send text
// or a form to any site without asking first) is answered with a fault
// before its body is read.
std::optional<ServiceReply> ServiceRoutes::soapTypeRefusal(const std::string& contentType)
{
    if (isSoapContentType(
            QByteArrayView(contentType.data(), static_cast<qsizetype>(contentType.size()))))
        return std::nullopt;
    // Only what the caller sent is named, and only so much of it.
    QString sent;
    for (const char c : contentType.substr(0, 60))
        sent += c >= 0x20 && c < 0x7F ? QLatin1Char(c) : QLatin1Char('?');
    const ServiceFault fault = ServiceFault::client(
        sent.isEmpty() ? QStringLiteral("The request has no Content-Type; a SOAP call is sent as "
                                        "text/xml or application/soap+xml")
                       : QStringLiteral("The request is sent as \"%1\"; a SOAP call is sent as "
                                        "text/xml or application/soap+xml")
                             .arg(sent));
    const QByteArray envelope = SoapReply::fault(fault);
    return ServiceReply{500, std::string(envelope.constData(), size_t(envelope.size())),
                        ServiceText::xml};
}

ServiceReply ServiceRoutes::answerSoap(const ServiceCall& req) const
{
    if (std::optional<ServiceReply> refused = soapTypeRefusal(req.contentType))
        return std::move(*refused);
    ServiceReply reply{200, {}, ServiceText::xml};
    QByteArray envelope;
    try {
        // Read in place: the body may be 16 MiB, and the request outlives the call.
        const SoapCall call = parseSoapCall(
            QByteArray::fromRawData(req.body.data(), static_cast<qsizetype>(req.body.size())));
        const TranslationMode mode = TranslationMode::parse(call.mode);
        const NamedTranslation translation = m_engine.translateNamed(mode, call.text);
        envelope = SoapReply::response(call, translation.text);
        // Which engine took it, for clients that tell their user (the
        // translation may have left this machine).
        for (const QChar c : translation.engine) {
            if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
                reply.engine += static_cast<char>(c.unicode());
        }
        qCDebug(lcServer) << "translated" << mode.text() << call.text.size() << "characters";
    } catch (const ServiceFault& fault) {
        reply.status = 500;
        envelope = SoapReply::fault(fault);
        qCDebug(lcServer).noquote() << "fault:" << fault.message();
    } catch (const std::exception& e) {
        reply.status = 500;
        const ServiceFault fault = ServiceFault::server(
            QStringLiteral("The translation service failed: %1").arg(QString::fromUtf8(e.what())));
        envelope = SoapReply::fault(fault);
        qCWarning(lcServer).noquote() << fault.message();
    }
    reply.body.assign(envelope.constData(), static_cast<size_t>(envelope.size()));
    return reply;
}

ServiceRoutes::ServiceRoutes(TranslationEngine& engine, bool debugPaths,
                             const ServiceLimits& limits, LibreTranslateApi* api)
    : m_engine(engine), m_debugPaths(debugPaths),
      m_gateway(std::make_unique<WebGateway>(
          engine, FetchLimits{limits.pageBytes, limits.pageTimeout, limits.pageRedirects})),
      m_api(api)
{
}

ServiceRoutes::~ServiceRoutes() = default;

void ServiceRoutes::setAccess(const ListenAddress& listening, const QList<ListenAddress>& service,
                              bool allowPrivatePages)
{
    m_debugServed = m_debugPaths && listening.isLoopback();
    m_gateway->setTargets(FetchTargets{{allowPrivatePages, service}, nullptr});
}

ServiceRoute ServiceRoutes::choose(const std::string& method, const std::string& path,
                                   const std::string& query) const
{
    ServiceRoute route = chooseRoute(method, path, query);
    // Work on a queue gives up when its client leaves.
    if (route.run != ServiceRoute::Run::AtOnce)
        route.answer = [answer = std::move(route.answer)](const ServiceCall& call) {
            const WorkScope::Bind bind(call.givenUp);
            return answer(call);
        };
    return route;
}

ServiceRoute ServiceRoutes::chooseRoute(const std::string& method, const std::string& path,
                                        const std::string& query) const
{
    using Run = ServiceRoute::Run;
    const auto answered = [](ServiceReply reply) {
        return [reply](const ServiceCall&) { return reply; };
    };
    // LibreTranslate's API: its POST bodies kept, its refusals in JSON.
    if (m_api && LibreTranslateApi::isApiPath(path)) {
        return {LibreTranslateApi::bodyCap(method, path),
                LibreTranslateApi::answersAtOnce(method, path) ? Run::AtOnce : Run::Queue, false,
                [this](const ServiceCall& call) { return answerApi(call); }, &apiRefusal};
    }
    const QString where = fromStd(path);
    const bool get = method == "GET" || method == "HEAD";
    if (where == WsdlDocuments::endpointPath()) {
        if (method != "POST")
            return {0, Run::AtOnce, false,
                    answered({405, "This address takes POST requests only.\n", ServiceText::plain,
                              "POST"})};
        return {ServiceServer::maxRequestBytes,
                Run::Queue,
                true,
                [this](const ServiceCall& call) { return answerSoap(call); },
                {},
                &ServiceRoutes::soapTypeRefusal};
    }
    if (get) {
        if (GatewayRequest::isGatewayPath(where, fromStd(query)))
            return {0, Run::PageQueue, true,
                    [this](const ServiceCall& call) { return answerGateway(call); }};
        if (m_debugServed && where == QLatin1String("/debug/pipelines"))
            return {0, Run::Queue, false, [this](const ServiceCall&) {
                        return ServiceReply{200, toStd(m_engine.debugReport())};
                    }};
        if (m_debugServed && where == QLatin1String("/debug/engines"))
            return {0, Run::Queue, false, [this](const ServiceCall&) {
                        return ServiceReply{200, toStd(m_engine.routeReport())};
                    }};
        return {0, Run::AtOnce, false, [this](const ServiceCall& call) { return answerGet(call); }};
    }
    // A WSDL document's address takes GET only; anything else is unknown.
    if (WsdlDocuments::forRequest(where, fromStd(query)))
        return {
            0, Run::AtOnce, false,
            answered({405, "This address takes GET requests only.\n", ServiceText::plain, "GET"})};
    return {0, Run::AtOnce, false, answered({404, "Nothing is published at " + path + ".\n"})};
}

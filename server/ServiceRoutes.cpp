// The routes of ServiceServer: what each kind of request is answered with,
// once its HTTP front has read it whole.
#include "server/http/ServiceRequest.h"

#include "server/ServerLogging.h"
#include "server/api/LibreTranslateApi.h"
#include "server/engine/ServiceFault.h"
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

ServiceServer::Reply ServiceServer::answerGet(const Request& req, int connectionFd) const
{
    const QString path = fromStd(req.path);
    const auto kind = WsdlDocuments::forRequest(path, req.rawQuery());
    if (!kind)
        return {404, "Nothing is published at " + req.path + ".\n"};
    // The address of the endpoint is the one the service listens on; when
    // that is every address of the machine, the one the caller used.
    ListenAddress at = m_address;
    const std::string& host = req.host;
    if (!at.isWildcard() && !at.host.isEmpty() && at.host != QLatin1String("localhost")) {
        // as bound
    } else if (plausibleHost(host)) {
        const auto parsed = ListenAddress::parse(fromStd(host));
        at = parsed ? *parsed : ListenAddress{fromStd(host), 80};
    } else {
        sockaddr_storage local{};
        socklen_t length = sizeof local;
        if (connectionFd >= 0 &&
            ::getsockname(connectionFd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
            at = *ListenAddress::parse(socketAddressText(reinterpret_cast<sockaddr*>(&local)));
    }
    const QString url = QStringLiteral("http://") + at.text() + WsdlDocuments::endpointPath();
    const QByteArray doc = WsdlDocuments::document(*kind, url);
    return {200, doc.toStdString(), ServiceText::xml};
}

// Where the client reached this service, for links back to it. Behind a
// TLS front that says so, the links are https: they go back to the same
// client only.
QString ServiceServer::origin(const Request& req) const
{
    return (req.forwardedHttps ? QStringLiteral("https://") : QStringLiteral("http://")) +
           (plausibleHost(req.host) ? fromStd(req.host) : m_address.text());
}

ServiceServer::Reply ServiceServer::answerApi(const Request& req) const
{
    const auto mark = req.target.find('?');
    LibreTranslateApi::Reply answer =
        m_api->answer({req.method, req.path,
                       mark == std::string::npos ? std::string() : req.target.substr(mark + 1),
                       QByteArray::fromStdString(req.contentType), req.body, origin(req)});
    Reply reply{answer.status, std::move(answer.body), std::move(answer.contentType)};
    reply.headers = std::move(answer.headers);
    reply.fd = answer.fd;
    reply.fdSize = answer.fdSize;
    return reply;
}

// A request refused before it is read whole: 413, too large; 503, busy.
ServiceServer::Reply ServiceServer::refusal(const Request& req, unsigned status) const
{
    const QString text = status == 413
                             ? QStringLiteral("The request is larger than %1 MiB.")
                                   .arg(std::max(req.bodyCap, maxRequestBytes) / (1024 * 1024))
                             : QStringLiteral("The service is busy; try again shortly.");
    if (req.api) {
        LibreTranslateApi::Reply answer = LibreTranslateApi::error(status, text);
        Reply reply{status, std::move(answer.body), std::move(answer.contentType), nullptr, true};
        reply.headers = std::move(answer.headers);
        return reply;
    }
    return {status, toStd(text) + "\n", ServiceText::plain, nullptr, true};
}

ServiceServer::Reply ServiceServer::answerGateway(const Request& req) const
{
    // Links lead back to where the browser found the service.
    const WebGateway::Answer answer =
        m_gateway->answer(fromStd(req.path), req.rawQuery(), origin(req));
    Reply reply{answer.status, answer.body,
                answer.html ? "text/html; charset=utf-8" : ServiceText::plain};
    reply.policy = answer.translated ? WebGateway::translatedPolicy : WebGateway::ownPagePolicy;
    return reply;
}

ServiceServer::Reply ServiceServer::answerSoap(const std::string& body) const
{
    Reply reply{200, {}, ServiceText::xml};
    QByteArray envelope;
    try {
        const SoapCall call =
            parseSoapCall(QByteArray(body.data(), static_cast<qsizetype>(body.size())));
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

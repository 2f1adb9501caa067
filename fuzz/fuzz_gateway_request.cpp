// The web page gateway's request reader and the Host rule on any bytes, as
// any page can send them. Input: a byte that picks the path (one of the
// gateways', or the bytes up to '?'), the query, and after the last '\n'
// a Host header. Besides crashes it checks that a request it accepts names
// an http or https page with a host, two languages, and a link prefix that
// leads back to the same gateway; and that the page's host, as an
// address, is judged without failing.
#include "server/gateway/GatewayRequest.h"
#include "server/http/HostCheck.h"
#include "server/net/PageTargets.h"

#include <QString>
#include <QUrl>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}

const char* const paths[] = {"/systran/cgi",           "/tr", "/url_b.html", "/", "/translate_c",
                             "/Translate/index.shtml", "/x"};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 64 * 1024)
        return 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string_view host;
    if (const size_t nl = input.rfind('\n'); nl != std::string_view::npos) {
        host = input.substr(nl + 1);
        input = input.substr(0, nl);
    }
    QString path;
    const size_t pick = data[0] % (std::size(paths) + 1);
    if (pick < std::size(paths)) {
        path = QString::fromLatin1(paths[pick]);
    } else {
        const size_t mark = input.find('?');
        const std::string_view p = input.substr(0, mark);
        path = QString::fromUtf8(p.data(), static_cast<qsizetype>(p.size()));
        input = mark == std::string_view::npos ? std::string_view() : input.substr(mark + 1);
    }
    const QString query = QString::fromUtf8(input.data(), static_cast<qsizetype>(input.size()));

    const bool isGateway = GatewayRequest::isGatewayPath(path, query);
    const GatewayRequest request = GatewayRequest::read(path, query);
    check(isGateway || !request.problem.isEmpty());
    if (request.problem.isEmpty()) {
        check(request.server >= 1 && request.server <= 7);
        check(!request.mode.source.isEmpty() && !request.mode.target.isEmpty());
        check(request.linkPrefix.startsWith(path + QLatin1Char('?')));
        const QUrl url = QUrl::fromEncoded(request.address.toUtf8(), QUrl::TolerantMode);
        const QString scheme = url.scheme().toLower();
        check(scheme == QLatin1String("http") || scheme == QLatin1String("https"));
        check(!url.host().isEmpty());
        if (const auto address = TargetAddress::numeric(url.host().toStdString())) {
            (void)PageTargets::classify(*address);
            (void)PageTargets::check(*address, url.port(80), {});
        }
    }

    static const HostCheck service(
        {{QStringLiteral("127.0.0.1"), 8731}, {QStringLiteral("::"), 2000}});
    if (service.accepts(host)) {
        // Whatever is taken names the service's port, or none.
        const size_t colon = host.rfind(':');
        const size_t bracket = host.rfind(']');
        const bool hasPort = colon != std::string_view::npos &&
                             (bracket == std::string_view::npos || colon > bracket);
        const long port =
            hasPort ? std::strtol(std::string(host.substr(colon + 1)).c_str(), nullptr, 10) : 0;
        check(!hasPort || port == 8731 || port == 2000);
    }
    return 0;
}

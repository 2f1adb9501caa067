#include "server/gateway/PageFetcher.h"

#include "server/net/HttpWatchdog.h"
#include "server/net/ServiceVersion.h"

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <optional>
#include <sys/socket.h>
#include <system_error>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Lookups given up at a deadline and still running; beyond this many, a
// name is not looked up until some of them have ended.
constexpr int MaxAbandonedLookups = 32;
std::atomic<int> abandonedLookups{0};

// A name is looked up on a thread of its own, so that the lookup counts
// against the fetch's deadline: the C library's resolver has time-outs of
// its own that add up to tens of seconds per name. A lookup past the
// deadline is left to end by itself. Nothing when the deadline came first.
std::optional<HostResolver::Lookup>
lookUpWithin(const QUrl& url, const std::shared_ptr<const HostResolver>& resolver,
             const std::string& host, Clock::time_point deadline)
{
    // A numeric address needs no name service.
    if (TargetAddress::numeric(host))
        return resolver->resolve(host);
    if (abandonedLookups.load() >= MaxAbandonedLookups)
        throw FetchFailure(FetchFailure::Kind::TooSlow,
                           QStringLiteral("The page %1 cannot be fetched now: too many host names "
                                          "that do not answer are being looked up. Try again in "
                                          "a minute.")
                               .arg(url.toDisplayString()));
    struct State
    {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        bool abandoned = false;
        HostResolver::Lookup lookup;
    };
    auto state = std::make_shared<State>();
    try {
        std::thread([state, resolver, host] {
            HostResolver::Lookup lookup = resolver->resolve(host);
            std::lock_guard lock(state->mutex);
            state->lookup = std::move(lookup);
            state->done = true;
            if (state->abandoned)
                --abandonedLookups;
            state->ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return resolver->resolve(host); // no thread to be had: look it up here
    }
    std::unique_lock lock(state->mutex);
    if (!state->ended.wait_until(lock, deadline, [&] { return state->done; })) {
        state->abandoned = true;
        ++abandonedLookups;
        return std::nullopt;
    }
    return std::move(state->lookup);
}

// True when the host is an address in any spelling ("127.1", "[::1]")
// rather than a name.
bool isAddressLiteral(const std::string& host)
{
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (found)
        ::freeaddrinfo(found);
    return rc == 0;
}

// The host's addresses, each checked against the rules: a host that does
// not resolve is told apart from one that does not answer, and one with any
// address the rules refuse is not fetched at all. Nothing when the lookup
// did not end by the deadline.
std::optional<std::vector<TargetAddress>>
resolveAndCheck(const QUrl& url, const std::string& host, int port, const FetchTargets& targets,
                const std::shared_ptr<const HostResolver>& resolver, Clock::time_point deadline)
{
    const std::optional<HostResolver::Lookup> found = lookUpWithin(url, resolver, host, deadline);
    if (!found)
        return std::nullopt;
    const HostResolver::Lookup& lookup = *found;
    if (lookup.addresses.empty()) {
        const int rc = lookup.error;
        if (rc == EAI_NONAME || rc == EAI_NODATA || rc == EAI_FAIL)
            throw FetchFailure(FetchFailure::Kind::NoSuchHost,
                               QStringLiteral("The page %1 cannot be fetched: there is no host "
                                              "named %2.")
                                   .arg(url.toDisplayString(), url.host()));
        throw FetchFailure(
            FetchFailure::Kind::NoSuchHost,
            QStringLiteral(
                "The page %1 cannot be fetched: the host name %2 could not be looked up (%3).")
                .arg(url.toDisplayString(), url.host(),
                     QString::fromLocal8Bit(::gai_strerror(rc))));
    }
    for (const TargetAddress& address : lookup.addresses) {
        const PageTargets::Refusal refusal = PageTargets::check(address, port, targets.rules);
        if (refusal == PageTargets::Refusal::None)
            continue;
        // A name is refused as the caller wrote it: the address it leads to
        // would map the names of the network behind the service for anyone.
        const QString where =
            isAddressLiteral(host) ? QString::fromStdString(address.text()) : url.host();
        QString why;
        switch (refusal) {
        case PageTargets::Refusal::Service:
            why = QStringLiteral("%1 port %2 is this translation service itself, and it does not "
                                 "fetch its own pages.")
                      .arg(where, QString::number(port));
            break;
        case PageTargets::Refusal::NotUnicast:
            why = QStringLiteral("%1 is a multicast, broadcast or reserved address, and this "
                                 "service does not fetch pages from it.")
                      .arg(where);
            break;
        default:
            why = QStringLiteral("%1 is an address on this machine or a private network, and "
                                 "this service does not fetch pages from there.")
                      .arg(where);
            if (!targets.rules.allowPrivate)
                why += QStringLiteral(" (Started with --allow-private-pages, it does.)");
            break;
        }
        throw FetchFailure(
            FetchFailure::Kind::Refused,
            QStringLiteral("The page %1 cannot be fetched: %2").arg(url.toDisplayString(), why));
    }
    return lookup.addresses;
}

// One request to one address: what came back.
struct Attempt
{
    int status = 0;
    std::string reason;
    std::string location;
    std::string contentType;
    bool tooLarge = false;
    bool late = false;
    std::string body;
    httplib::Result result{nullptr, httplib::Error::Unknown};
};

Attempt attempt(const std::string& host, int port, bool https, const std::string& route,
                const std::string& target, Clock::time_point deadline, const FetchLimits& limits)
{
    std::unique_ptr<httplib::ClientImpl> client;
    if (https) {
        // The name, not the address, is what the certificate must match and
        // what SNI sends.
        auto ssl = std::make_unique<httplib::SSLClient>(host, port);
        ssl->enable_server_certificate_verification(true);
        client = std::move(ssl);
    } else {
        client = std::make_unique<httplib::ClientImpl>(host, port);
    }
    // The connection goes to the checked address, never to one the client
    // would look up again.
    client->set_hostname_addr_map({{host, route}});
    // The watchdog ends the fetch at the deadline; the client's own
    // time-outs only back it up.
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    const auto backup = left + std::chrono::seconds(1);
    client->set_connection_timeout(backup);
    client->set_read_timeout(backup);
    client->set_write_timeout(backup);
    client->set_keep_alive(false);
    client->set_follow_location(false);

    const httplib::Headers headers{
        {"User-Agent", ServiceVersion::serverHeader},
        {"Accept", "text/html,application/xhtml+xml,text/plain;q=0.9,*/*;q=0.1"}};
    Attempt a;
    HttpWatchdog watchdog(*client, deadline);
    a.result = client->Get(
        target, headers,
        [&](const httplib::Response& res) {
            a.status = res.status;
            a.reason = res.reason;
            a.location = res.get_header_value("Location");
            a.contentType = res.get_header_value("Content-Type");
            if (isRedirect(a.status) || a.status >= 400)
                return false; // the body is not needed
            if (res.has_header("Content-Length") &&
                std::strtoull(res.get_header_value("Content-Length").c_str(), nullptr, 10) >
                    limits.maxBytes) {
                a.tooLarge = true;
                return false;
            }
            return true;
        },
        [&](const char* data, size_t length) {
            if (a.body.size() + length > limits.maxBytes) {
                a.tooLarge = true;
                return false;
            }
            a.body.append(data, length);
            return true;
        });
    a.late = watchdog.finish();
    return a;
}

void checkScheme(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        throw FetchFailure(FetchFailure::Kind::Scheme,
                           QStringLiteral("Only http and https pages can be translated, not "
                                          "\"%1\".")
                               .arg(url.toDisplayString()));
    if (url.host().isEmpty())
        throw FetchFailure(
            FetchFailure::Kind::Scheme,
            QStringLiteral("\"%1\" is not a page address.").arg(url.toDisplayString()));
}
} // namespace

FetchedPage fetchPage(const QUrl& start, const FetchLimits& limits, const FetchTargets& targets)
{
    static const auto systemResolver = std::make_shared<const HostResolver>();
    const std::shared_ptr<const HostResolver> resolver =
        targets.resolver ? targets.resolver : systemResolver;
    const Clock::time_point deadline = Clock::now() + limits.timeout;
    const auto tooSlow = [&](const QUrl& url) {
        return FetchFailure(FetchFailure::Kind::TooSlow,
                            QStringLiteral("The page %1 did not arrive within %2.")
                                .arg(url.toDisplayString(), durationText(limits.timeout)));
    };
    QUrl url = start;
    for (int redirects = 0;; ++redirects) {
        checkScheme(url);
        const bool https = url.scheme().toLower() == QLatin1String("https");
        std::string host = url.host(QUrl::FullyEncoded).toStdString();
        // An IPv6 address's zone ("fe80::1%eth0") stands percent-encoded in
        // a URL.
        if (const size_t zone = host.find("%25");
            zone != std::string::npos && host.find(':') != std::string::npos)
            host = host.substr(0, zone) + '%' + host.substr(zone + 3);
        const int port = url.port(https ? 443 : 80);
        const std::optional<std::vector<TargetAddress>> checked =
            resolveAndCheck(url, host, port, targets, resolver, deadline);
        if (!checked)
            throw tooSlow(start);
        const std::vector<TargetAddress>& addresses = *checked;

        QString path = url.path(QUrl::FullyEncoded);
        if (path.isEmpty())
            path = QStringLiteral("/");
        if (url.hasQuery())
            path += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
        const std::string target = path.toStdString();

        // The addresses in the resolver's order; the next one only when
        // this one takes no connection.
        Attempt a;
        for (size_t n = 0; n < addresses.size(); ++n) {
            if (Clock::now() >= deadline)
                throw tooSlow(start);
            a = attempt(host, port, https, resolver->route(addresses[n]), target, deadline, limits);
            if (a.status != 0 || a.late || a.result.error() != httplib::Error::Connection)
                break;
        }
        if (a.late || Clock::now() >= deadline)
            throw tooSlow(start);
        if (a.tooLarge)
            throw FetchFailure(FetchFailure::Kind::TooLarge,
                               QStringLiteral("The page %1 is larger than %2, more than this "
                                              "gateway translates.")
                                   .arg(url.toDisplayString(), sizeText(limits.maxBytes)));
        const int status = a.status;
        if (status == 0 || (!a.result && a.result.error() != httplib::Error::Canceled)) {
            const httplib::Error error = a.result.error();
            QString why;
            switch (error) {
            case httplib::Error::SSLServerVerification:
                throw FetchFailure(FetchFailure::Kind::Tls,
                                   QStringLiteral("The page %1 cannot be fetched: the site's "
                                                  "certificate could not be verified.")
                                       .arg(url.toDisplayString()));
            case httplib::Error::SSLConnection:
            case httplib::Error::SSLLoadingCerts:
                throw FetchFailure(FetchFailure::Kind::Tls,
                                   QStringLiteral("The page %1 cannot be fetched: no secure "
                                                  "connection could be made with %2.")
                                       .arg(url.toDisplayString(), url.host()));
            case httplib::Error::ConnectionTimeout:
                throw tooSlow(start);
            case httplib::Error::Connection:
                why = QStringLiteral("%1 does not answer").arg(url.authority());
                break;
            default:
                why = QStringLiteral("the connection to %1 broke off (%2)")
                          .arg(url.authority(), QString::fromStdString(httplib::to_string(error)));
                break;
            }
            throw FetchFailure(FetchFailure::Kind::Unreachable,
                               QStringLiteral("The page %1 cannot be fetched: %2.")
                                   .arg(url.toDisplayString(), why));
        }
        if (isRedirect(status)) {
            if (a.location.empty())
                throw FetchFailure(FetchFailure::Kind::Status,
                                   QStringLiteral("The site sent the page %1 elsewhere without "
                                                  "saying where.")
                                       .arg(url.toDisplayString()));
            if (redirects >= limits.maxRedirects)
                throw FetchFailure(FetchFailure::Kind::Redirects,
                                   QStringLiteral("The page %1 was sent elsewhere more than %2 "
                                                  "times.")
                                       .arg(start.toDisplayString())
                                       .arg(limits.maxRedirects));
            url = url.resolved(
                QUrl::fromEncoded(QByteArray::fromStdString(a.location), QUrl::TolerantMode));
            url.setFragment(QString());
            continue;
        }
        if (status >= 300) {
            const QString statusText =
                a.reason.empty()
                    ? QString::number(status)
                    : QStringLiteral("%1 %2").arg(status).arg(QString::fromStdString(a.reason));
            throw FetchFailure(FetchFailure::Kind::Status,
                               QStringLiteral("The site answered the request for %1 with %2.")
                                   .arg(url.toDisplayString(), statusText));
        }
        return {url, a.contentType, std::move(a.body)};
    }
}

#include "PageFetcher.h"

#include "ServiceServer.h"

#include <httplib.h>

#include <condition_variable>
#include <mutex>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Ends a fetch that outlives its deadline: the client's own time-outs are
// per read, and a server that trickles would outlast them.
class Watchdog
{
public:
    Watchdog(httplib::ClientImpl& client, Clock::time_point deadline)
        : m_thread([this, &client, deadline] {
              std::unique_lock lock(m_mutex);
              if (!m_wake.wait_until(lock, deadline, [this] { return m_done; })) {
                  m_fired = true;
                  lock.unlock();
                  client.stop();
              }
          })
    {
    }
    ~Watchdog() { finish(); }
    // True when the deadline passed before the fetch ended.
    bool finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        return m_fired;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    bool m_fired = false;
    std::thread m_thread;
};

QString seconds(std::chrono::milliseconds ms)
{
    if (ms.count() == 1000)
        return QStringLiteral("1 second");
    if (ms.count() % 1000 == 0)
        return QStringLiteral("%1 seconds").arg(ms.count() / 1000);
    return QStringLiteral("%1 seconds").arg(static_cast<double>(ms.count()) / 1000.0, 0, 'f', 1);
}

QString sizeText(size_t bytes)
{
    if (bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

// A host that does not resolve is told apart from one that does not
// answer.
void lookUp(const QUrl& url, const QString& host)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.toStdString().c_str(), nullptr, &hints, &found);
    if (found)
        ::freeaddrinfo(found);
    if (rc == 0)
        return;
    if (rc == EAI_NONAME || rc == EAI_NODATA || rc == EAI_FAIL)
        throw FetchFailure(FetchFailure::Kind::NoSuchHost,
                           QStringLiteral("The page %1 cannot be fetched: there is no host named "
                                          "%2.")
                               .arg(url.toDisplayString(), url.host()));
    throw FetchFailure(
        FetchFailure::Kind::NoSuchHost,
        QStringLiteral(
            "The page %1 cannot be fetched: the host name %2 could not be looked up (%3).")
            .arg(url.toDisplayString(), url.host(), QString::fromLocal8Bit(::gai_strerror(rc))));
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

FetchedPage fetchPage(const QUrl& start, const FetchLimits& limits)
{
    const Clock::time_point deadline = Clock::now() + limits.timeout;
    const auto tooSlow = [&](const QUrl& url) {
        return FetchFailure(FetchFailure::Kind::TooSlow,
                            QStringLiteral("The page %1 did not arrive within %2.")
                                .arg(url.toDisplayString(), seconds(limits.timeout)));
    };
    QUrl url = start;
    for (int redirects = 0;; ++redirects) {
        checkScheme(url);
        const bool https = url.scheme().toLower() == QLatin1String("https");
        const QString host = QString::fromLatin1(url.host(QUrl::FullyEncoded).toLatin1());
        lookUp(url, host);
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            throw tooSlow(start);

        std::unique_ptr<httplib::ClientImpl> client;
        const int port = url.port(https ? 443 : 80);
        if (https) {
            auto ssl = std::make_unique<httplib::SSLClient>(host.toStdString(), port);
            ssl->enable_server_certificate_verification(true);
            client = std::move(ssl);
        } else {
            client = std::make_unique<httplib::ClientImpl>(host.toStdString(), port);
        }
        // The watchdog ends the fetch at the deadline; the client's own
        // time-outs only back it up.
        const auto backup = left + std::chrono::seconds(1);
        client->set_connection_timeout(backup);
        client->set_read_timeout(backup);
        client->set_write_timeout(backup);
        client->set_keep_alive(false);
        client->set_follow_location(false);

        QString target = url.path(QUrl::FullyEncoded);
        if (target.isEmpty())
            target = QStringLiteral("/");
        if (url.hasQuery())
            target += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
        const httplib::Headers headers{
            {"User-Agent", ServiceServer::serverHeader},
            {"Accept", "text/html,application/xhtml+xml,text/plain;q=0.9,*/*;q=0.1"}};

        int status = 0;
        std::string reason;
        std::string location;
        std::string contentType;
        bool tooLarge = false;
        std::string body;
        bool late = false;
        httplib::Result result = [&] {
            Watchdog watchdog(*client, deadline);
            auto r = client->Get(
                target.toStdString(), headers,
                [&](const httplib::Response& res) {
                    status = res.status;
                    reason = res.reason;
                    location = res.get_header_value("Location");
                    contentType = res.get_header_value("Content-Type");
                    if (isRedirect(status) || status >= 400)
                        return false; // the body is not needed
                    if (res.has_header("Content-Length") &&
                        std::strtoull(res.get_header_value("Content-Length").c_str(), nullptr, 10) >
                            limits.maxBytes) {
                        tooLarge = true;
                        return false;
                    }
                    return true;
                },
                [&](const char* data, size_t length) {
                    if (body.size() + length > limits.maxBytes) {
                        tooLarge = true;
                        return false;
                    }
                    body.append(data, length);
                    return true;
                });
            late = watchdog.finish();
            return r;
        }();
        if (late || Clock::now() >= deadline)
            throw tooSlow(start);
        if (tooLarge)
            throw FetchFailure(FetchFailure::Kind::TooLarge,
                               QStringLiteral("The page %1 is larger than %2, more than this "
                                              "gateway translates.")
                                   .arg(url.toDisplayString(), sizeText(limits.maxBytes)));
        if (status == 0 || (!result && result.error() != httplib::Error::Canceled)) {
            const httplib::Error error = result.error();
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
            if (location.empty())
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
                QUrl::fromEncoded(QByteArray::fromStdString(location), QUrl::TolerantMode));
            url.setFragment(QString());
            continue;
        }
        if (status >= 300) {
            const QString statusText =
                reason.empty()
                    ? QString::number(status)
                    : QStringLiteral("%1 %2").arg(status).arg(QString::fromStdString(reason));
            throw FetchFailure(FetchFailure::Kind::Status,
                               QStringLiteral("The site answered the request for %1 with %2.")
                                   .arg(url.toDisplayString(), statusText));
        }
        return {url, contentType, std::move(body)};
    }
}

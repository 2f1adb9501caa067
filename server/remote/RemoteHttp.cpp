#include "server/remote/RemoteHttp.h"

#include "server/net/HttpWatchdog.h"
#include "server/net/ServiceVersion.h"

#include <QHostAddress>
#include <httplib.h>

#include <condition_variable>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

bool resolves(const std::string& host)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (found)
        ::freeaddrinfo(found);
    return rc == 0 || (rc != EAI_NONAME && rc != EAI_NODATA && rc != EAI_FAIL);
}

bool isLoopback(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
        host.endsWith(QLatin1String(".localhost"), Qt::CaseInsensitive))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

// Whether no_proxy's list sends the host around the proxy.
bool bypassed(const QString& host, const QString& noProxy)
{
    const QHostAddress address(host);
    for (QString entry : noProxy.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        entry = entry.trimmed().toLower();
        if (entry == QLatin1String("*"))
            return true;
        if (entry.contains(QLatin1Char('/')) && !address.isNull()) {
            const auto subnet = QHostAddress::parseSubnet(entry);
            if (subnet.second >= 0 && address.isInSubnet(subnet))
                return true;
            continue;
        }
        // "example.com:8080": the port is not looked at.
        const qsizetype colon = entry.lastIndexOf(QLatin1Char(':'));
        if (colon > 0 && !entry.contains(QLatin1Char(']')) && entry.count(QLatin1Char(':')) == 1)
            entry.truncate(colon);
        if (entry.startsWith(QLatin1Char('[')) && entry.endsWith(QLatin1Char(']')))
            entry = entry.mid(1, entry.size() - 2);
        while (entry.startsWith(QLatin1Char('.')))
            entry.remove(0, 1);
        if (entry.isEmpty())
            continue;
        const QString lower = host.toLower();
        if (lower == entry || lower.endsWith(QLatin1Char('.') + entry))
            return true;
        const QHostAddress listed(entry);
        if (!address.isNull() && !listed.isNull() && address.isEqual(listed))
            return true;
    }
    return false;
}
} // namespace

ProxyChoice ProxyChoice::forUrl(const QUrl& url, const Environment& environment)
{
    ProxyChoice choice;
    const QString host = url.host();
    if (isLoopback(host))
        return choice;
    const bool https = url.scheme().toLower() == QLatin1String("https");
    QString named;
    QString variable;
    const auto pick = [&](const char* name) {
        if (named.isEmpty()) {
            named = environment(name).trimmed();
            if (!named.isEmpty())
                variable = QLatin1String(name);
        }
    };
    // HTTP_PROXY is left alone, as curl does: a web server's CGI
    // programs get it from a request's Proxy header.
    if (https) {
        pick("https_proxy");
        pick("HTTPS_PROXY");
    } else {
        pick("http_proxy");
    }
    pick("all_proxy");
    pick("ALL_PROXY");
    if (named.isEmpty())
        return choice;
    QString noProxy = environment("no_proxy");
    if (noProxy.isEmpty())
        noProxy = environment("NO_PROXY");
    if (bypassed(host, noProxy))
        return choice;

    const QUrl proxy =
        QUrl(named.contains(QLatin1String("://")) ? named : QStringLiteral("http://") + named);
    choice.direct = false;
    if (!proxy.isValid() || proxy.host().isEmpty() ||
        proxy.scheme().toLower() != QLatin1String("http")) {
        choice.problem = QStringLiteral("the proxy named in %1 cannot be used: only http:// "
                                        "proxies are supported")
                             .arg(variable);
        return choice;
    }
    choice.host = proxy.host(QUrl::FullyEncoded).toStdString();
    choice.port = proxy.port(1080);
    choice.user = proxy.userName(QUrl::FullyDecoded).toStdString();
    choice.password = proxy.password(QUrl::FullyDecoded).toStdString();
    return choice;
}

ProxyChoice ProxyChoice::fromSystem(const QUrl& url)
{
    return forUrl(url, [](const char* name) { return qEnvironmentVariable(name); });
}

RemoteHttp::RemoteHttp(const QUrl& base, const QString& caFile, std::chrono::milliseconds timeout,
                       const QString& serverName)
    : m_base(base), m_caFile(caFile), m_timeout(timeout), m_serverName(serverName),
      m_proxy(ProxyChoice::fromSystem(base))
{
}

RemoteHttp::~RemoteHttp() = default;

QString RemoteHttp::serverText() const
{
    return QStringLiteral("The translation server at ") + m_serverName;
}

QString RemoteHttp::timeoutText() const
{
    return QStringLiteral("within ") + durationText(m_timeout);
}

std::unique_ptr<httplib::ClientImpl> RemoteHttp::newClient() const
{
    const bool https = m_base.scheme().toLower() == QLatin1String("https");
    const std::string host = m_base.host(QUrl::FullyEncoded).toStdString();
    const int port = m_base.port(https ? 443 : 80);
    std::unique_ptr<httplib::ClientImpl> client;
    if (https) {
        auto ssl = std::make_unique<httplib::SSLClient>(host, port);
        ssl->enable_server_certificate_verification(true);
        if (!m_caFile.isEmpty())
            ssl->set_ca_cert_path(m_caFile.toStdString());
        client = std::move(ssl);
    } else {
        client = std::make_unique<httplib::ClientImpl>(host, port);
    }
    client->set_keep_alive(true);
    client->set_follow_location(false);
    client->set_tcp_nodelay(true);
    client->set_url_encode(false);
    if (!m_proxy.direct) {
        client->set_proxy(m_proxy.host, m_proxy.port);
        if (!m_proxy.user.empty())
            client->set_proxy_basic_auth(m_proxy.user, m_proxy.password);
    }
    return client;
}

void RemoteHttp::abortAll()
{
    std::lock_guard lock(m_mutex);
    m_aborted = true;
    for (httplib::ClientImpl* client : m_active)
        client->stop();
}

RemoteHttp::Answer RemoteHttp::get(const QString& path, size_t maxBytes)
{
    return exchange("GET", (m_base.path(QUrl::FullyEncoded) + path).toStdString(), {}, {},
                    maxBytes);
}

RemoteHttp::Answer RemoteHttp::getAbsolute(const std::string& path, size_t maxBytes)
{
    return exchange("GET", path, {}, {}, maxBytes);
}

RemoteHttp::Answer RemoteHttp::post(const QString& path, const std::string& body,
                                    const std::string& contentType, size_t maxBytes)
{
    return exchange("POST", (m_base.path(QUrl::FullyEncoded) + path).toStdString(), body,
                    contentType, maxBytes);
}

RemoteHttp::Answer RemoteHttp::exchange(const std::string& method, const std::string& path,
                                        const std::string& body, const std::string& contentType,
                                        size_t maxBytes)
{
    if (!m_proxy.problem.isEmpty())
        throw RemoteFailure(
            RemoteFailure::Kind::Unreachable,
            QStringLiteral("%1 cannot be reached: %2").arg(serverText(), m_proxy.problem));
    const Clock::time_point deadline = Clock::now() + m_timeout;
    // A kept connection the server has closed meanwhile fails at once; the
    // request then goes once more on a new one.
    for (int attempt = 0;; ++attempt) {
        std::unique_ptr<httplib::ClientImpl> client;
        bool reused = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_aborted)
                throw RemoteFailure(
                    RemoteFailure::Kind::Unreachable,
                    QStringLiteral("%1 was not asked: the service is stopping.").arg(serverText()));
            if (!m_idle.empty()) {
                client = std::move(m_idle.back());
                m_idle.pop_back();
                reused = true;
            } else {
                client = newClient();
            }
            m_active.push_back(client.get());
        }
        // Off the list of those under way however the exchange ends.
        struct Active
        {
            RemoteHttp& http;
            httplib::ClientImpl* client;
            ~Active()
            {
                std::lock_guard lock(http.m_mutex);
                std::erase(http.m_active, client);
            }
        } active{*this, client.get()};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            throw RemoteFailure(
                RemoteFailure::Kind::Unreachable,
                QStringLiteral("%1 did not answer %2.").arg(serverText(), timeoutText()));
        const auto backup = left + std::chrono::seconds(1);
        client->set_connection_timeout(backup);
        client->set_read_timeout(backup);
        client->set_write_timeout(backup);

        httplib::Request request;
        request.method = method;
        request.path = path;
        request.headers = {{"User-Agent", ServiceVersion::serverHeader},
                           {"Accept", "application/json"}};
        if (method == "POST") {
            request.body = body;
            request.headers.emplace("Content-Type", contentType);
        }
        Answer answer;
        bool tooLarge = false;
        bool headed = false;
        request.response_handler = [&](const httplib::Response& res) {
            headed = true;
            if (res.has_header("Content-Length") &&
                std::strtoull(res.get_header_value("Content-Length").c_str(), nullptr, 10) >
                    maxBytes) {
                tooLarge = true;
                return false;
            }
            return true;
        };
        request.content_receiver = [&](const char* data, size_t length, uint64_t, uint64_t) {
            if (answer.body.size() + length > maxBytes) {
                tooLarge = true;
                return false;
            }
            answer.body.append(data, length);
            return true;
        };
        httplib::Response response;
        httplib::Error error = httplib::Error::Success;
        bool ok = false;
        bool late = false;
        {
            HttpWatchdog watchdog(*client, deadline);
            ok = client->send(request, response, error);
            late = watchdog.finish();
        }
        if (!ok && (late || Clock::now() >= deadline))
            throw RemoteFailure(
                RemoteFailure::Kind::Unreachable,
                QStringLiteral("%1 did not answer %2.").arg(serverText(), timeoutText()));
        if (tooLarge)
            throw RemoteFailure(RemoteFailure::Kind::Failed,
                                QStringLiteral("%1 sent an answer larger than %2, more than this "
                                               "service takes.")
                                    .arg(serverText(), sizeText(maxBytes)));
        if (!ok) {
            if (reused && !headed && attempt == 0 &&
                (error == httplib::Error::Read || error == httplib::Error::Write ||
                 error == httplib::Error::Connection))
                continue;
            QString why;
            switch (error) {
            case httplib::Error::SSLServerVerification:
                why = QStringLiteral("has a certificate that could not be verified");
                break;
            case httplib::Error::SSLConnection:
            case httplib::Error::SSLLoadingCerts:
                why = QStringLiteral("could not be reached over a secure connection");
                break;
            case httplib::Error::ConnectionTimeout:
                why = QStringLiteral("did not answer %1").arg(timeoutText());
                break;
            case httplib::Error::Connection:
                if (!m_proxy.direct)
                    why = QStringLiteral("cannot be reached through the proxy %1:%2")
                              .arg(QString::fromStdString(m_proxy.host))
                              .arg(m_proxy.port);
                else if (!resolves(m_base.host(QUrl::FullyEncoded).toStdString()))
                    why = QStringLiteral("cannot be reached: there is no host named %1")
                              .arg(m_base.host());
                else
                    why = QStringLiteral("does not answer");
                break;
            default:
                why = QStringLiteral("broke off the connection (%1)")
                          .arg(QString::fromStdString(httplib::to_string(error)));
                break;
            }
            throw RemoteFailure(RemoteFailure::Kind::Unreachable,
                                QStringLiteral("%1 %2.").arg(serverText(), why));
        }
        answer.status = response.status;
        answer.reason = response.reason;
        answer.contentType = response.get_header_value("Content-Type");
        const bool closes = response.get_header_value("Connection") == "close";
        if (!closes && !late) {
            std::lock_guard lock(m_mutex);
            // A few kept connections are plenty for the workers.
            if (m_idle.size() < 8)
                m_idle.push_back(std::move(client));
        }
        return answer;
    }
}

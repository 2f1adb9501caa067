#pragma once

#include "platform/Errors.h"

#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace httplib {
class ClientImpl;
}

// A remote engine's failure, in a sentence that names the server ("The
// translation server at https://... refused the API key").
class RemoteFailure : public TarquellError
{
public:
    enum class Kind {
        Unreachable, // no connection, no answer in time, a broken secure connection
        Refused,     // the server refuses us: a wrong or missing key, a ban
        Busy,        // 429, 502, 503, 504: the server cannot serve now
        Failed,      // this request failed; the server is fine otherwise
    };
    RemoteFailure(Kind kind, const QString& message) : TarquellError(message), m_kind(kind) {}
    Kind kind() const noexcept { return m_kind; }
    // Whether the engine is better skipped until it is asked again.
    bool takesEngineDown() const noexcept { return m_kind != Kind::Failed; }

private:
    Kind m_kind;
};

// The proxy a request goes through, from the environment as curl reads
// it: http_proxy for http, https_proxy (or HTTPS_PROXY) for https, then
// all_proxy (ALL_PROXY); no_proxy (NO_PROXY) lists hosts and domains to
// reach directly ("*" for all). Loopback addresses and localhost are
// always reached directly.
struct ProxyChoice
{
    bool direct = true;
    std::string host;
    int port = 0;
    std::string user;
    std::string password;
    // Set when the environment names a proxy that cannot be used (not
    // http, no host): requests then fail with this reason rather than go
    // around the proxy.
    QString problem;

    using Environment = std::function<QString(const char*)>;
    static ProxyChoice forUrl(const QUrl& url, const Environment& environment);
    static ProxyChoice fromSystem(const QUrl& url);
};

// HTTP exchanges with one remote engine, blocking the calling thread for at
// most the time-out each (however the server trickles), reading at most
// the given number of bytes. https certificates are verified against the
// system's authorities, or the given file's. Connections are kept open
// between exchanges and shared by the calling threads. Thread-safe.
class RemoteHttp
{
public:
    struct Answer
    {
        int status = 0;
        std::string reason;
        std::string contentType;
        std::string body;
    };

    // serverName: "https://..." as messages show it.
    RemoteHttp(const QUrl& base, const QString& caFile, std::chrono::milliseconds timeout,
               const QString& serverName);
    ~RemoteHttp();
    RemoteHttp(const RemoteHttp&) = delete;
    RemoteHttp& operator=(const RemoteHttp&) = delete;

    // path: relative to the base address ("languages"). Any status is
    // answered; only a failed exchange throws RemoteFailure.
    Answer get(const QString& path, size_t maxBytes);
    Answer post(const QString& path, const std::string& body, const std::string& contentType,
                size_t maxBytes);
    // An absolute path on the same server (for addresses the server gave).
    Answer getAbsolute(const std::string& path, size_t maxBytes);

    // Ends the exchanges under way, and refuses new ones: the service is
    // stopping.
    void abortAll();

    std::chrono::milliseconds timeout() const { return m_timeout; }
    const QUrl& base() const { return m_base; }
    // "The translation server at https://..."
    QString serverText() const;
    // "within 30 seconds"
    QString timeoutText() const;

private:
    Answer exchange(const std::string& method, const std::string& path, const std::string& body,
                    const std::string& contentType, size_t maxBytes);
    std::unique_ptr<httplib::ClientImpl> newClient() const;

    const QUrl m_base;
    const QString m_caFile;
    const std::chrono::milliseconds m_timeout;
    const QString m_serverName;
    const ProxyChoice m_proxy;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<httplib::ClientImpl>> m_idle;
    std::vector<httplib::ClientImpl*> m_active;
    bool m_aborted = false;
};

#pragma once

// The request and reply of ServiceServer, shared by its HTTP front
// (ServiceServer.cpp) and its routes (ServiceRoutes.cpp).
#include "server/http/ServiceServer.h"

#include <QString>
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

struct ServiceServer::Reply
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

// One request, from its request line to its completion.
struct ServiceServer::Request
{
    std::string target; // as sent, query included
    std::string path;   // decoded, as routed
    std::string method;
    std::string host; // the Host header
    bool forwardedHttps = false; // X-Forwarded-Proto: https, from a TLS front
    std::string contentType;
    bool gateway = false;
    bool api = false; // LibreTranslate's API
    bool loopbackPeer = false;
    bool started = false;
    size_t bodyCap = 0; // the largest body kept; 0: the body is dropped
    Clock::time_point bodyStart;
    std::string body;
    size_t received = 0;
    size_t reserved = 0;  // of the body budget
    unsigned refusal = 0; // 413 or 503, answered once the body is read
    bool submitted = false;
    std::optional<Reply> reply; // from the work queue

    // "translate.wsdl" of "/vx_engine/wsdl.vep?translate.wsdl", undecoded.
    QString rawQuery() const
    {
        const auto mark = target.find('?');
        return mark == std::string::npos ? QString()
                                         : ServiceText::fromStd(target.substr(mark + 1));
    }
};

#pragma once

// The one route table of tarquell-service: which wing answers a request,
// how large a body it keeps, and whether it waits on the work queue. The
// HTTP front asks it once per request.
#include "server/http/ServiceLimits.h"
#include "server/http/ServiceRoute.h"

#include <memory>

class TranslationEngine;
class WebGateway;
class LibreTranslateApi;

class ServiceRoutes : public ServiceRouter
{
public:
    // debugPaths: serve /debug/pipelines and /debug/engines (for tests);
    // honoured only on a loopback address. api: LibreTranslate's API,
    // shared by the servers of all addresses; none when null.
    ServiceRoutes(TranslationEngine& engine, bool debugPaths = false,
                  const ServiceLimits& limits = {}, LibreTranslateApi* api = nullptr);
    ~ServiceRoutes() override;
    ServiceRoutes(const ServiceRoutes&) = delete;
    ServiceRoutes& operator=(const ServiceRoutes&) = delete;

    ServiceRoute choose(const std::string& method, const std::string& path,
                        const std::string& query) const override;
    void setAccess(const ListenAddress& listening, const QList<ListenAddress>& service,
                   bool allowPrivatePages) override;

private:
    ServiceRoute chooseRoute(const std::string& method, const std::string& path,
                             const std::string& query) const;
    ServiceReply answerSoap(const ServiceCall& req) const;
    static std::optional<ServiceReply> soapTypeRefusal(const std::string& contentType);
    // A WSDL document; the connection says where the caller reached us.
    ServiceReply answerGet(const ServiceCall& req) const;
    ServiceReply answerGateway(const ServiceCall& req) const;
    ServiceReply answerApi(const ServiceCall& req) const;
    static ServiceReply apiRefusal(unsigned status, const QString& text);
    static QString origin(const ServiceCall& req);

    TranslationEngine& m_engine;
    const bool m_debugPaths;
    bool m_debugServed = false; // debugPaths, on a loopback address
    // Web page gateway requests, which wait for other sites.
    std::unique_ptr<WebGateway> m_gateway;
    LibreTranslateApi* const m_api;
};

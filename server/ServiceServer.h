#pragma once

#include "ListenAddress.h"
#include "TranslationEngine.h"

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace httplib {
class Server;
struct Response;
} // namespace httplib

// The HTTP side of tarquell-service: the WSDL documents, the SOAP endpoint
// and the answers to everything else, on cpp-httplib's thread pool.
class ServiceServer
{
public:
    // Largest request body taken; a larger one gets 413.
    static constexpr size_t maxRequestBytes = 16 * 1024 * 1024;
    // The Server header of every reply; --probe looks for it.
    static const char* const serverHeader;

    // debugPaths: serve /debug/pipelines (the Apertium process ids, for
    // tests); honoured only on a loopback address.
    ServiceServer(TranslationEngine& engine, bool debugPaths = false);
    ~ServiceServer();
    ServiceServer(const ServiceServer&) = delete;
    ServiceServer& operator=(const ServiceServer&) = delete;

    // Binds the socket; port 0 picks a free port. Returns the address bound
    // to (with the chosen port). Throws TarquellError.
    ListenAddress bind(const ListenAddress& address);
    // Serves until stop(). False when serving failed.
    bool serve();
    // Safe from any thread, also before serve() has begun: serve() then
    // returns at once.
    void stop();

private:
    void setUpRoutes();
    void answerSoap(const std::string& body, httplib::Response& res);

    TranslationEngine& m_engine;
    bool m_debugPaths;
    ListenAddress m_address;
    std::unique_ptr<httplib::Server> m_http;
    std::mutex m_stateMutex;
    bool m_stopRequested = false;
    bool m_listening = false;
    std::atomic<bool> m_served{false};
};

#include "TestHttpServer.h"

#include <stdexcept>

TestHttpServer::TestHttpServer() = default;

TestHttpServer::~TestHttpServer()
{
    stop();
}

void TestHttpServer::start()
{
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("test server: no free port on 127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // stop() only ends a server that is already running: wait until it is,
    // so that a server stopped right after its start never hangs the test.
    while (!m_server.is_running())
        std::this_thread::yield();
}

void TestHttpServer::stop()
{
    if (m_thread.joinable()) {
        m_server.stop();
        m_thread.join();
    }
}

QString TestHttpServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port) + path;
}

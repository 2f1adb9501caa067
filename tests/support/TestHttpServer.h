#pragma once

#include <httplib.h>

#include <QString>
#include <thread>

// A cpp-httplib server on a free port of 127.0.0.1, running on its own
// thread for the lifetime of the object. Register handlers on server()
// before calling start().
class TestHttpServer
{
public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    httplib::Server& server() { return m_server; }
    void start();
    void stop();
    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path
    QString url(const QString& path = QString()) const;

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
};

#pragma once

#include <httplib.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <string>

// tarquell-service as a child process on a free port of 127.0.0.1 (unless the
// arguments say --listen), from the
// build folder that CTest names in TARQUELL_BUILD_DIR. Stopped with SIGTERM
// when the object goes.
class ServiceProcess
{
public:
    // Its log goes to the test's standard error, or is kept for log().
    enum class Log { Forwarded, Kept };
    explicit ServiceProcess(const QStringList& arguments, const QStringList& environment = {},
                            Log log = Log::Forwarded);
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    static QString program();

    // False when it did not start or printed no "listening on" line;
    // error() says what happened.
    bool isRunning() const { return m_port > 0; }
    const QString& error() const { return m_error; }
    int port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    QString url(const QString& path) const;

    httplib::Result get(const std::string& path);
    httplib::Result post(const std::string& body, const std::string& path = "/soap");
    // A fresh connection for each call: tests of the HTTP layer should not
    // depend on keep-alive.
    httplib::Client client() const;

    // Sends SIGTERM and waits for the end. True when it exited normally
    // with code 0.
    bool terminate();
    QProcess& process() { return m_process; }
    // With Log::Kept: what it has written to standard error so far (the
    // event loop must have run for it to arrive).
    QString log();

private:
    QProcess m_process;
    QString m_error;
    QString m_log;
    int m_port = 0;
};

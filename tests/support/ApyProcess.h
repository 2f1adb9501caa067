#pragma once

#include <QProcess>
#include <QString>

// Debian's apertium-apy (Apertium's own HTTP server) as a child process on
// 127.0.0.1 and a free port, serving the modes of the given folder. APy
// itself listens on every interface; it is started here with its listening
// socket bound to 127.0.0.1 only. Stopped when the object goes.
class ApyProcess
{
public:
    explicit ApyProcess(const QString& modesDir);
    ~ApyProcess();
    ApyProcess(const ApyProcess&) = delete;
    ApyProcess& operator=(const ApyProcess&) = delete;

    // False when APy is not installed or did not answer /listPairs in time;
    // error() says which.
    bool isRunning() const { return m_port > 0; }
    const QString& error() const { return m_error; }
    int port() const { return m_port; }
    // "http://127.0.0.1:<port>/"
    QString url() const;
    static bool isInstalled();

private:
    QProcess m_process;
    QString m_error;
    int m_port = 0;
};

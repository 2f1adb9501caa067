#pragma once

#include <QProcess>
#include <QString>

// The local translation service for the length of one run: when a text
// server's location is the default one and no tarquell-service answers on
// the default address, a private one is started on a free port of
// 127.0.0.1, the location is pointed at it, and it stops with this object
// (or with the process, however that ends).
class LocalService
{
public:
    LocalService() = default;
    ~LocalService();
    LocalService(const LocalService&) = delete;
    LocalService& operator=(const LocalService&) = delete;

    // tarquell-service beside this program (installed), or in the build
    // folder's server/ (a build tree).
    static QString program();

    // The location to use for the default location given. Failing to start
    // the service is no error here: the call then fails with its own message.
    // note receives what happened; verbose lets the service's own
    // diagnostics through to standard error.
    QString locationFor(const QString& defaultLocation, bool verbose, QString* note);

    // False when no service could be started where one was needed.
    bool available() const { return m_available; }

    // The private service's address ("127.0.0.1:port"), empty when none was
    // started.
    const QString& address() const { return m_address; }

private:
    QProcess m_process;
    QString m_address;
    bool m_available = true;
};

#pragma once

#include "platform/Errors.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

// The document service does not answer at all (nothing listens on its
// address): the caller says how to start it.
class DocumentServiceDown : public TarquellError
{
public:
    explicit DocumentServiceDown(const QString& url);
    const QString& url() const { return m_url; }

private:
    QString m_url;
};

// Whole documents through a document service that speaks LibreTranslate's
// API (the local tarquell-service by default): POST /translate_file, then
// GET of the address it answers with. While the service translates, its
// progress is asked for (GET /translate_file/progress/<id>, where the
// service has it) and Esc ends the wait (POST /translate_file/cancel/<id>).
// Qt Network with the SOAP client's rules: the proxy of the settings or
// the system's, the network time-out for every exchange, and each exchange
// waiting in a local event loop that lets the window repaint but takes no
// clicks or keys. Failures are TarquellErrors with the service's own
// reason; cancel() ends a call with SilentAbort.
class DocumentClient : public QObject
{
    Q_OBJECT
public:
    struct Progress
    {
        enum class Step { Sending, Translating, Receiving };
        Step step = Step::Sending;
        qint64 done = 0;
        qint64 total = 0; // 0: not known yet
    };
    using ProgressSink = std::function<void(const Progress&)>;
    // The whole call as a percentage: sending and receiving are the first
    // and last five; -1 while the service has said nothing of its own.
    static int percentOf(const Progress& progress);

    struct Result
    {
        QByteArray file;
        QString format;           // what the file is given as: ".docx"
        QString fileName;         // the service's name for it: "report.es.docx"
        QString detectedLanguage; // for source "auto", where the service says
    };

    explicit DocumentClient(QObject* parent = nullptr);
    ~DocumentClient() override;

    // The service's address, "http://127.0.0.1:8731/"; its paths are taken
    // relative to it.
    void setServiceUrl(const QString& url);
    QString serviceUrl() const { return m_base.toString(); }
    // "host:port"; empty: the system's proxy settings decide.
    void setProxy(const QString& hostColonPort);
    // How long the service may stay silent, in milliseconds (<= 0: no
    // limit); a translation gets the time the service gives a document of
    // its size on top.
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

    // The file types the service translates, as it lists them (".docx").
    QStringList supportedFormats();
    // Translates one document; source may be "auto".
    Result translate(const QString& fileName, const QByteArray& content, const QString& source,
                     const QString& target, const ProgressSink& progress = {});
    // Ends the call in flight with SilentAbort and asks the service to
    // stop its translation. Does nothing outside a call.
    void cancel();
    // Waits, at most timeoutMs, until the service has taken the cancel
    // that cancel() sent, so that a program about to quit does not leave
    // the service translating for nobody.
    void awaitCancel(int timeoutMs);
    bool isBusy() const { return m_busy; }

    // Largest file sent (the service takes no larger) and taken back.
    static constexpr qint64 MaxUploadBytes = 64 * 1024 * 1024;
    static constexpr qint64 MaxDownloadBytes = 256 * 1024 * 1024;
    // What the service gives a document of this many bytes (a minute and
    // half a minute per MiB, at most half an hour), in milliseconds.
    static qint64 translationAllowance(qint64 bytes);

private:
    struct Answer
    {
        int status = 0;
        QByteArray body;
    };
    QUrl urlOf(const QString& path) const;
    QNetworkRequest request(const QUrl& url, qint64 timeout) const;
    // Waits for the reply; throws for transport failures, cancel and
    // bodies over maxBytes. HTTP statuses come back in the answer.
    Answer wait(QNetworkReply* reply, qint64 maxBytes,
                const std::function<void(qint64, qint64)>& sent = {},
                const std::function<void(qint64, qint64)>& received = {});
    [[noreturn]] void failWith(const Answer& answer, const QString& what) const;
    void pollProgress(const QString& id, const ProgressSink& progress);

    QNetworkAccessManager* m_manager;
    QUrl m_base;
    int m_timeout = 50000;
    bool m_busy = false;
    bool m_cancelled = false;
    QString m_progressId;
    QPointer<QNetworkReply> m_reply;
    QPointer<QNetworkReply> m_poll;
    QPointer<QNetworkReply> m_stop; // the cancel sent to the service
};

#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <utility>

class IDialogs;
class QAuthenticator;
class QNetworkAccessManager;
class QNetworkProxy;
class QNetworkReply;
class QNetworkRequest;

// The HTTP transport of one THTTPRIO component, on Qt Network.
//
// The POSTs of a component go through one network access manager, so the
// connection to the endpoint stays open between calls; a failed POST closes
// it. Documents (WSDL) are fetched through a second manager with
// "Connection: close". Each exchange waits in a local event loop that lets
// the window repaint but takes no clicks or keys (Esc is let through for
// cancelling); abort() from anything that runs meanwhile ends the call
// with CallCancelled.
class THTTPReqResp : public QObject
{
    Q_OBJECT
public:
    explicit THTTPReqResp(QObject* parent = nullptr);
    ~THTTPReqResp() override;

    // "host:port"; empty: the system's proxy settings decide.
    void setProxy(const QString& hostColonPort);
    QString proxy() const { return m_proxy; }
    // The HTTP proxy a "host:port" setting names (port 80 when none is
    // given); the document client follows the same rule.
    static QNetworkProxy proxyFromText(const QString& hostColonPort);
    void setAgent(const QString& agent) { m_agent = agent; }
    QString agent() const { return m_agent; }
    // Transfer time-out of every exchange in milliseconds; <= 0: none.
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    int timeout() const { return m_timeout; }
    // Asked for a user name and password when the server or proxy answers
    // a POST with 401 or 407. Without dialogs that ends the call silently.
    void setDialogs(IDialogs* dialogs) { m_dialogs = dialogs; }
    IDialogs* dialogs() const { return m_dialogs; }

    // Ends the exchange in flight, and the call it belongs to, with
    // CallCancelled. Does nothing outside a call.
    void abort();

    // Most bytes one reply may have; a longer one fails the call.
    static constexpr qint64 MaxReplyBytes = 64 * 1024 * 1024;

    // --- used by THTTPRIO ---

    // Marks the span of one call, so that abort() between two exchanges of
    // it still stops the call.
    void beginCall();
    void endCall();

    // GET of a document over http or https. The status rule and the
    // transport error text apply with the URL as given.
    QByteArray fetchDocument(const QString& url);
    // POST of a SOAP envelope; the reply body of a 2xx or 500 answer.
    QByteArray post(const QString& url, const QString& soapAction, const QByteArray& envelope);

    // The system's proxy answers within one call (see the source).
    struct ProxyDecisions;

    using Headers = QList<std::pair<QByteArray, QByteArray>>;

signals:
    // The headers of every answered POST, for a caller that wants to show
    // what the server says about itself (which engine translated).
    void postAnswered(const THTTPReqResp::Headers& headers);

private:
    enum class Kind { Document, Post };
    QByteArray exchange(Kind kind, const QString& url, const QString& soapAction,
                        const QByteArray& body);
    void applyProxy(QNetworkAccessManager* manager) const;
    void onAuthentication(QNetworkReply* reply, QAuthenticator* authenticator);
    void onProxyAuthentication(const QNetworkProxy& proxy, QAuthenticator* authenticator);
    bool askCredentials(QAuthenticator* authenticator, const QString& host, bool forProxy);

    QString m_proxy;
    QString m_agent = QStringLiteral("Borland SOAP 1.1");
    int m_timeout = 0;
    IDialogs* m_dialogs = nullptr;

    QNetworkAccessManager* m_postManager = nullptr;
    QNetworkAccessManager* m_documentManager = nullptr;
    std::shared_ptr<ProxyDecisions> m_proxyDecisions;
    QPointer<QNetworkReply> m_reply;
    bool m_inCall = false;
    bool m_aborted = false;
    bool m_credentialsCancelled = false;
};

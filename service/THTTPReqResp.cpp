#include "service/THTTPReqResp.h"

#include "platform/BlockingWait.h"
#include "platform/Dialogs.h"
#include "service/SoapErrors.h"
#include "service/SoapLog.h"

#include <QAuthenticator>
#include <QEventLoop>
#include <QHash>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

// What the system's proxy settings said within the call in flight. Asking
// them costs a round trip to the proxy library's own thread for every
// request; within one call the answer for a scheme, host and port is taken
// once and reused (the two WSDL reads and the POST usually go to one
// server). It is forgotten when the call ends, so that the next call
// follows any change of the system's settings.
struct THTTPReqResp::ProxyDecisions
{
    QMutex mutex;
    bool reuse = false;
    QHash<QString, QList<QNetworkProxy>> decided;

    static QString keyOf(const QNetworkProxyQuery& query)
    {
        if (query.queryType() != QNetworkProxyQuery::UrlRequest)
            return QString();
        const QUrl url = query.url();
        return url.scheme().toLower() + QLatin1String("://") + url.host().toLower() +
               QLatin1Char(':') + QString::number(url.port(-1));
    }

    QList<QNetworkProxy> query(const QNetworkProxyQuery& query)
    {
        const QString key = keyOf(query);
        QMutexLocker lock(&mutex);
        const bool reusable = reuse && !key.isEmpty();
        if (reusable) {
            const auto it = decided.constFind(key);
            if (it != decided.constEnd())
                return *it;
        }
        lock.unlock();
        const QList<QNetworkProxy> answer = QNetworkProxyFactory::systemProxyForQuery(query);
        lock.relock();
        if (reusable && reuse)
            decided.insert(key, answer);
        return answer;
    }
    void setReuse(bool on)
    {
        QMutexLocker lock(&mutex);
        reuse = on;
        decided.clear();
    }
};

namespace {

// Without a proxy of our own, the system's settings decide per request
// (environment variables on Linux), for this manager only.
class SystemProxyFactory : public QNetworkProxyFactory
{
public:
    explicit SystemProxyFactory(std::shared_ptr<THTTPReqResp::ProxyDecisions> decisions)
        : m_decisions(std::move(decisions))
    {
    }
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        return m_decisions->query(query);
    }

private:
    std::shared_ptr<THTTPReqResp::ProxyDecisions> m_decisions;
};

QNetworkProxy parseProxy(const QString& hostColonPort)
{
    QString host = hostColonPort.trimmed();
    quint16 port = 80;
    const auto colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon > 0 && !host.endsWith(QLatin1Char(']'))) {
        bool ok = false;
        const uint value = host.mid(colon + 1).toUInt(&ok);
        if (ok && value > 0 && value <= 65535)
            port = quint16(value);
        host.truncate(colon);
    }
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    return QNetworkProxy(QNetworkProxy::HttpProxy, host, port);
}

} // namespace

THTTPReqResp::THTTPReqResp(QObject* parent)
    : QObject(parent), m_postManager(new QNetworkAccessManager(this)),
      m_documentManager(new QNetworkAccessManager(this)),
      m_proxyDecisions(std::make_shared<ProxyDecisions>())
{
    // Only the POST asks for credentials; a document fetch answered with
    // 401 or 407 fails like any other status.
    connect(m_postManager, &QNetworkAccessManager::authenticationRequired, this,
            &THTTPReqResp::onAuthentication);
    connect(m_postManager, &QNetworkAccessManager::proxyAuthenticationRequired, this,
            &THTTPReqResp::onProxyAuthentication);
    applyProxy(m_postManager);
    applyProxy(m_documentManager);
}

THTTPReqResp::~THTTPReqResp() = default;

QNetworkProxy THTTPReqResp::proxyFromText(const QString& hostColonPort)
{
    return parseProxy(hostColonPort);
}

void THTTPReqResp::setProxy(const QString& hostColonPort)
{
    m_proxy = hostColonPort.trimmed();
    applyProxy(m_postManager);
    applyProxy(m_documentManager);
}

void THTTPReqResp::applyProxy(QNetworkAccessManager* manager) const
{
    if (m_proxy.isEmpty())
        manager->setProxyFactory(new SystemProxyFactory(m_proxyDecisions));
    else
        manager->setProxy(parseProxy(m_proxy));
}

void THTTPReqResp::abort()
{
    if (!m_inCall && !m_reply)
        return;
    m_aborted = true;
    if (m_reply)
        m_reply->abort();
}

void THTTPReqResp::beginCall()
{
    m_inCall = true;
    m_aborted = false;
    m_proxyDecisions->setReuse(true);
}

void THTTPReqResp::endCall()
{
    m_inCall = false;
    m_aborted = false;
    m_proxyDecisions->setReuse(false);
}

QByteArray THTTPReqResp::fetchDocument(const QString& url)
{
    return exchange(Kind::Document, url, QString(), QByteArray());
}

QByteArray THTTPReqResp::post(const QString& url, const QString& soapAction,
                              const QByteArray& envelope)
{
    return exchange(Kind::Post, url, soapAction, envelope);
}

QByteArray THTTPReqResp::exchange(Kind kind, const QString& url, const QString& soapAction,
                                  const QByteArray& body)
{
    if (m_reply)
        throw TarquellError(SoapMessages::componentBusy());
    if (m_inCall && m_aborted)
        throw CallCancelled();
    if (!m_inCall)
        m_aborted = false;

    const bool isPost = kind == Kind::Post;
    // The action as the error texts show it: "" on document fetches.
    const QString shownAction = isPost ? soapAction : QString();

    QNetworkRequest request{QUrl(url)};
    if (isPost) {
        // The SOAP action header comes first, then the content type.
        const bool noAction = soapAction.isEmpty() || soapAction == QLatin1String("\"\"");
        request.setRawHeader("SOAPAction",
                             noAction ? QByteArray("\"\"") : '"' + soapAction.toUtf8() + '"');
        request.setRawHeader("Content-Type", "text/xml");
        request.setRawHeader("Accept", "text/xml");
    } else {
        request.setRawHeader("Accept", "*/*");
        request.setRawHeader("Connection", "close");
    }
    request.setRawHeader("User-Agent", m_agent.toUtf8());
    // 3xx answers fail the call, so redirects are not followed.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    if (m_timeout > 0)
        request.setTransferTimeout(m_timeout);

    QNetworkAccessManager* manager = isPost ? m_postManager : m_documentManager;
    if (isPost)
        qCDebug(lcService).noquote() << "POST" << url << "SOAPAction:" << soapAction << '\n'
                                     << QString::fromUtf8(body);
    else
        qCDebug(lcService).noquote() << "GET" << url;

    QNetworkReply* reply = isPost ? manager->post(request, body) : manager->get(request);
    m_reply = reply;
    m_credentialsCancelled = false;

    QEventLoop loop;
    bool tooLarge = false;
    QPointer<THTTPReqResp> self(this);
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);
    connect(reply, &QNetworkReply::downloadProgress, &loop,
            [&tooLarge, reply](qint64 received, qint64 total) {
                if (received > MaxReplyBytes || total > MaxReplyBytes) {
                    tooLarge = true;
                    reply->abort();
                }
            });
    if (!reply->isFinished())
        execBlockingUserInput(loop);
    if (!self)
        throw CallCancelled(); // the component went away during the call

    m_reply = nullptr;
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> release(reply, [](QNetworkReply* r) {
        r->disconnect();
        r->deleteLater();
    });
    // A failed POST closes the connection; the next call opens a new one.
    auto fail = [&](const QString& message) {
        if (isPost)
            m_postManager->clearConnectionCache();
        qCDebug(lcService).noquote() << "failed:" << message;
        throw TarquellError(message);
    };

    if (m_aborted || m_credentialsCancelled) {
        if (isPost)
            m_postManager->clearConnectionCache();
        qCDebug(lcService) << "cancelled:" << url;
        throw CallCancelled();
    }
    if (tooLarge)
        fail(SoapMessages::replyTooLarge(url));

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.isValid() ? status.toInt() : 0;
    if (code >= 300 && code != 500) {
        const QString reason = QString::fromUtf8(
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
        fail(SoapMessages::httpStatus(reason, code, url));
    }
    const auto error = reply->error();
    // Nothing else aborts a reply unasked: the transfer time-out ran out.
    // Qt reports that as a cancellation, which the user did not do.
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
        fail(SoapMessages::transportFailed(SoapMessages::timedOut(), url, shownAction));
    if (error != QNetworkReply::NoError &&
        !(code == 500 && error == QNetworkReply::InternalServerError))
        fail(SoapMessages::transportFailed(reply->errorString(), url, shownAction));

    const QByteArray data = reply->readAll();
    qCDebug(lcService).noquote() << "HTTP" << code << url << '\n' << QString::fromUtf8(data);
    if (isPost)
        emit postAnswered(reply->rawHeaderPairs());
    return data;
}

void THTTPReqResp::onAuthentication(QNetworkReply* reply, QAuthenticator* authenticator)
{
    if (reply != m_reply)
        return;
    askCredentials(authenticator, reply->url().host(), false);
}

void THTTPReqResp::onProxyAuthentication(const QNetworkProxy& proxy, QAuthenticator* authenticator)
{
    if (!m_reply)
        return;
    askCredentials(authenticator, proxy.hostName(), true);
}

bool THTTPReqResp::askCredentials(QAuthenticator* authenticator, const QString& host, bool forProxy)
{
    // Left unanswered, the authenticator makes the request fail with its
    // status; the cancelled flag turns that into a silent end.
    if (!m_dialogs) {
        m_credentialsCancelled = true;
        return false;
    }
    const auto answer = m_dialogs->askCredentials(authenticator->realm(), host, forProxy);
    if (!answer) {
        m_credentialsCancelled = true;
        return false;
    }
    authenticator->setUser(answer->user);
    authenticator->setPassword(answer->password);
    return true;
}

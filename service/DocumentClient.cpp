#include "service/DocumentClient.h"

#include "common/MultipartForm.h"
#include "platform/BlockingWait.h"
#include "service/SoapLog.h"
#include "service/THTTPReqResp.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTimer>
#include <climits>
#include <memory>

namespace {
// Replies that are JSON and nothing else stay small.
constexpr qint64 jsonReplyBytes = 1024 * 1024;
// How often the progress of a translation is asked for.
constexpr int pollInterval = 300;

// Without a proxy of our own, the system's settings decide per request.
class SystemProxies : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        return QNetworkProxyFactory::systemProxyForQuery(query);
    }
};

QString hex128()
{
    QString id;
    for (int i = 0; i < 2; ++i)
        id += QStringLiteral("%1").arg(QRandomGenerator::system()->generate64(), 16, 16,
                                       QLatin1Char('0'));
    return id;
}

QJsonObject jsonObject(const QByteArray& body)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    return error.error == QJsonParseError::NoError && doc.isObject() ? doc.object() : QJsonObject();
}

int defaultPort(const QUrl& url)
{
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}
} // namespace

DocumentServiceDown::DocumentServiceDown(const QString& url)
    : TarquellError(QStringLiteral("The document service at %1 is not running").arg(url)),
      m_url(url)
{
}

DocumentClient::DocumentClient(QObject* parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    setProxy(QString());
    setServiceUrl(QStringLiteral("http://127.0.0.1:8731/"));
}

DocumentClient::~DocumentClient()
{
    if (m_reply)
        m_reply->abort();
    if (m_poll)
        m_poll->abort();
}

void DocumentClient::setServiceUrl(const QString& url)
{
    QUrl base = QUrl::fromUserInput(url.trimmed());
    // Its paths are taken relative to it: the base ends with a slash.
    if (!base.path().endsWith(QLatin1Char('/')))
        base.setPath(base.path() + QLatin1Char('/'));
    m_base = base;
}

void DocumentClient::setProxy(const QString& hostColonPort)
{
    const QString proxy = hostColonPort.trimmed();
    if (proxy.isEmpty())
        m_manager->setProxyFactory(new SystemProxies);
    else
        m_manager->setProxy(THTTPReqResp::proxyFromText(proxy));
}

int DocumentClient::percentOf(const Progress& p)
{
    switch (p.step) {
    case Progress::Step::Sending:
        return p.total > 0 ? int(5 * p.done / p.total) : 0;
    case Progress::Step::Translating:
        return p.total > 0 ? 5 + int(90 * p.done / p.total) : -1;
    case Progress::Step::Receiving:
        return 95 + (p.total > 0 ? int(5 * p.done / p.total) : 0);
    }
    return -1;
}

qint64 DocumentClient::translationAllowance(qint64 bytes)
{
    const qint64 ms = 60000 + 30000 * (bytes / (1024 * 1024));
    return std::min<qint64>(ms, 30 * 60 * 1000);
}

QUrl DocumentClient::urlOf(const QString& path) const
{
    return m_base.resolved(QUrl(path));
}

QNetworkRequest DocumentClient::request(const QUrl& url, qint64 timeout) const
{
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", "Tarquell Translator");
    request.setRawHeader("Accept", "application/json, */*");
    // Answers come from the service's own address: a redirect would lead
    // elsewhere.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    if (timeout > 0)
        request.setTransferTimeout(int(std::min<qint64>(timeout, INT_MAX)));
    return request;
}

DocumentClient::Answer DocumentClient::wait(QNetworkReply* reply, qint64 maxBytes,
                                            const std::function<void(qint64, qint64)>& sent,
                                            const std::function<void(qint64, qint64)>& received)
{
    m_reply = reply;
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> release(reply, [](QNetworkReply* r) {
        r->disconnect();
        r->deleteLater();
    });
    QEventLoop loop;
    bool tooLarge = false;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(reply, &QNetworkReply::uploadProgress, &loop, [&](qint64 done, qint64 total) {
        if (sent)
            sent(done, total);
    });
    connect(reply, &QNetworkReply::downloadProgress, &loop, [&](qint64 done, qint64 total) {
        if (done > maxBytes || total > maxBytes) {
            tooLarge = true;
            reply->abort();
            return;
        }
        if (received)
            received(done, total);
    });
    QPointer<DocumentClient> self(this);
    // 0: the loop ended because the application quits.
    if (!reply->isFinished() && execBlockingUserInput(loop) == 0 && !reply->isFinished()) {
        reply->abort();
        throw SilentAbort();
    }
    if (!self)
        throw SilentAbort();
    m_reply = nullptr;
    if (m_cancelled)
        throw SilentAbort();
    const QString url = reply->url().toString();
    if (tooLarge)
        throw TarquellError(QStringLiteral("The answer of %1 is larger than %2 MiB")
                                .arg(url)
                                .arg(maxBytes / (1024 * 1024)));
    Answer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    if (answer.status == 0 || error == QNetworkReply::OperationCanceledError ||
        error == QNetworkReply::TimeoutError) {
        // No HTTP answer at all.
        qCDebug(lcService).noquote() << "document service:" << url << reply->errorString();
        if (error == QNetworkReply::ConnectionRefusedError)
            throw DocumentServiceDown(m_base.toString());
        if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
            throw TarquellError(QStringLiteral("The document service at %1 did not answer in time")
                                    .arg(m_base.toString()));
        throw TarquellError(QStringLiteral("The document service at %1 cannot be reached: %2")
                                .arg(m_base.toString(), reply->errorString()));
    }
    answer.body = reply->readAll();
    return answer;
}

void DocumentClient::failWith(const Answer& answer, const QString& what) const
{
    const QString reason =
        jsonObject(answer.body).value(QLatin1String("error")).toString().left(1000).trimmed();
    if (!reason.isEmpty())
        throw TarquellError(reason);
    throw TarquellError(QStringLiteral("The document service at %1 answered %2 to %3")
                            .arg(m_base.toString())
                            .arg(answer.status)
                            .arg(what));
}

QStringList DocumentClient::supportedFormats()
{
    if (m_busy)
        throw TarquellError(QStringLiteral("A document is being translated already"));
    m_busy = true;
    m_cancelled = false;
    const auto done = qScopeGuard([this] { m_busy = false; });
    const QUrl url = urlOf(QStringLiteral("frontend/settings"));
    const Answer answer = wait(m_manager->get(request(url, m_timeout)), jsonReplyBytes);
    if (answer.status != 200)
        failWith(answer, QStringLiteral("the question for its file types"));
    const QJsonObject settings = jsonObject(answer.body);
    if (settings.isEmpty())
        throw TarquellError(
            QStringLiteral(
                "The document service at %1 does not answer as LibreTranslate's API does")
                .arg(m_base.toString()));
    if (!settings.value(QLatin1String("filesTranslation")).toBool(true))
        throw TarquellError(QStringLiteral("The document service at %1 does not translate files")
                                .arg(m_base.toString()));
    QStringList formats;
    for (const QJsonValue& value :
         settings.value(QLatin1String("supportedFilesFormat")).toArray()) {
        QString format = value.toString().trimmed().toLower();
        if (format.isEmpty() || format.size() > 16 || format.contains(QLatin1Char('/')))
            continue;
        if (!format.startsWith(QLatin1Char('.')))
            format.prepend(QLatin1Char('.'));
        if (!formats.contains(format))
            formats << format;
    }
    return formats;
}

void DocumentClient::cancel()
{
    if (!m_busy)
        return;
    m_cancelled = true;
    if (m_poll)
        m_poll->abort();
    if (m_reply)
        m_reply->abort();
    // The service stops its work too; the answer is not waited for.
    if (!m_progressId.isEmpty()) {
        QNetworkReply* stop = m_manager->post(
            request(urlOf(QStringLiteral("translate_file/cancel/") + m_progressId), m_timeout),
            QByteArray());
        connect(stop, &QNetworkReply::finished, stop, &QObject::deleteLater);
        m_stop = stop;
    }
}

void DocumentClient::awaitCancel(int timeoutMs)
{
    if (!m_stop || m_stop->isFinished())
        return;
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(m_stop, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    bound.start(timeoutMs);
    execBlockingUserInput(loop);
}

void DocumentClient::pollProgress(const QString& id, const ProgressSink& progress)
{
    if (m_poll || !progress)
        return;
    QNetworkReply* poll =
        m_manager->get(request(urlOf(QStringLiteral("translate_file/progress/") + id), m_timeout));
    m_poll = poll;
    connect(poll, &QNetworkReply::finished, this, [this, poll, progress] {
        poll->deleteLater();
        if (m_poll == poll)
            m_poll = nullptr;
        if (m_cancelled || poll->error() != QNetworkReply::NoError || !m_reply)
            return;
        const QJsonObject state = jsonObject(poll->read(jsonReplyBytes));
        const qint64 total = qint64(state.value(QLatin1String("total")).toDouble());
        const qint64 done = qint64(state.value(QLatin1String("done")).toDouble());
        if (total > 0 && done >= 0 && done <= total)
            progress({Progress::Step::Translating, done, total});
    });
}

DocumentClient::Result DocumentClient::translate(const QString& fileName, const QByteArray& content,
                                                 const QString& source, const QString& target,
                                                 const ProgressSink& progress)
{
    if (m_busy)
        throw TarquellError(QStringLiteral("A document is being translated already"));
    if (content.size() > MaxUploadBytes)
        throw TarquellError(QStringLiteral("The file is larger than %1 MiB, the most the document "
                                           "service takes")
                                .arg(MaxUploadBytes / (1024 * 1024)));
    m_busy = true;
    m_cancelled = false;
    m_progressId = hex128();
    const auto done = qScopeGuard([this] {
        m_busy = false;
        m_progressId.clear();
        if (m_poll)
            m_poll->abort();
    });
    const auto report = [&](Progress::Step step, qint64 doneBytes, qint64 total) {
        if (progress)
            progress({step, doneBytes, total});
    };

    MultipartForm form;
    form.addField("source", source.toUtf8());
    form.addField("target", target.toUtf8());
    form.addField("progress_id", m_progressId.toLatin1());
    form.addFile("file", fileName, content);
    const QByteArray body = form.finish();

    QNetworkRequest post = request(urlOf(QStringLiteral("translate_file")),
                                   m_timeout + translationAllowance(content.size()));
    post.setHeader(QNetworkRequest::ContentTypeHeader, form.contentType());
    report(Progress::Step::Sending, 0, content.size());
    QNetworkReply* reply = m_manager->post(post, body);
    // The service's progress is asked for all along: until the request is
    // read, the service knows no translation under the id.
    QTimer poll;
    poll.setInterval(pollInterval);
    const QString id = m_progressId;
    connect(&poll, &QTimer::timeout, this, [&] { pollProgress(id, progress); });
    poll.start();
    bool sentAll = false;
    const Answer answer = wait(reply, jsonReplyBytes, [&](qint64 sent, qint64 total) {
        if (sentAll)
            return;
        // The multipart framing is counted as part of the file.
        report(Progress::Step::Sending, std::min<qint64>(sent, content.size()), content.size());
        if (total > 0 && sent >= total) {
            sentAll = true;
            report(Progress::Step::Translating, 0, 0);
        }
    });
    poll.stop();
    if (answer.status != 200)
        failWith(answer, QStringLiteral("the document"));
    const QJsonObject reply200 = jsonObject(answer.body);
    const QUrl fileUrl(reply200.value(QLatin1String("translatedFileUrl")).toString());
    // The file comes from the service itself, never from an address its
    // answer could name anywhere else.
    if (!fileUrl.isValid() || fileUrl.scheme() != m_base.scheme() ||
        fileUrl.host().compare(m_base.host(), Qt::CaseInsensitive) != 0 ||
        defaultPort(fileUrl) != defaultPort(m_base) ||
        !fileUrl.path().startsWith(m_base.path() + QStringLiteral("download_file/")))
        throw TarquellError(
            QStringLiteral("The document service at %1 gave no address on itself for the "
                           "translated file")
                .arg(m_base.toString()));

    Result result;
    result.fileName = QFileInfo(fileUrl.path()).fileName();
    result.format = reply200.value(QLatin1String("translatedFileFormat")).toString().toLower();
    if (result.format.isEmpty() || !result.format.startsWith(QLatin1Char('.')) ||
        result.format.size() > 16) {
        const QString suffix = QFileInfo(result.fileName).suffix().toLower();
        result.format = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
    }
    result.detectedLanguage = reply200.value(QLatin1String("detectedLanguage"))
                                  .toObject()
                                  .value(QLatin1String("language"))
                                  .toString()
                                  .left(16);

    report(Progress::Step::Receiving, 0, 0);
    const Answer file =
        wait(m_manager->get(request(fileUrl, m_timeout)), MaxDownloadBytes, {},
             [&](qint64 got, qint64 total) { report(Progress::Step::Receiving, got, total); });
    if (file.status != 200)
        failWith(file, QStringLiteral("the download of the translated file"));
    result.file = file.body;
    return result;
}

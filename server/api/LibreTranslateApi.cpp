#include "server/api/LibreTranslateApi.h"

#include "common/LanguageDetector.h"
#include "server/ServerLogging.h"
#include "server/api/ApiError.h"
#include "server/api/ApiRequest.h"
#include "server/documents/DocumentError.h"
#include "server/engine/ApertiumStream.h"
#include "server/engine/ServiceFault.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QUrl>
#include <cmath>
#include <map>
#include <unistd.h>

namespace {
const std::string downloadPrefix = "/download_file/";
const std::string progressPrefix = "/translate_file/progress/";
const std::string cancelPrefix = "/translate_file/cancel/";

bool startsWith(const std::string& path, const std::string& prefix)
{
    return path.rfind(prefix, 0) == 0;
}

// As LibreTranslate sends them, so that pages and browser extensions may
// call the service.
const std::vector<std::pair<std::string, std::string>> corsHeaders = {
    {"Access-Control-Allow-Origin", "*"},
    {"Access-Control-Allow-Headers", "Authorization, Content-Type"},
    {"Access-Control-Expose-Headers", "Authorization"},
    {"Access-Control-Allow-Methods", "GET, POST"},
    {"Access-Control-Allow-Credentials", "true"},
    {"Access-Control-Max-Age", "1728000"},
};

// The method each path takes.
const char* methodOf(const std::string& path)
{
    if (path == "/translate" || path == "/detect" || path == "/translate_file" ||
        path == "/suggest" || startsWith(path, cancelPrefix))
        return "POST";
    return "GET";
}

LibreTranslateApi::Reply jsonReply(const QJsonDocument& doc, unsigned status = 200)
{
    LibreTranslateApi::Reply reply;
    reply.status = status;
    reply.body = doc.toJson(QJsonDocument::Compact).toStdString();
    reply.headers = corsHeaders;
    return reply;
}

// Language codes as LibreTranslate takes them: "EN" is "en".
QString languageField(const QJsonObject& fields, const char* name);

QString missing(const char* name)
{
    return QStringLiteral("Invalid request: missing %1 parameter").arg(QLatin1String(name));
}

// A parameter that must be a text: absent, null and "" count as missing.
QString textField(const QJsonObject& fields, const char* name)
{
    const QJsonValue value = fields.value(QLatin1String(name));
    if (value.isUndefined() || value.isNull())
        return {};
    if (!value.isString())
        throw ApiError::invalid(
            QStringLiteral("Invalid request: %1 must be a text").arg(QLatin1String(name)));
    return value.toString();
}

QString languageField(const QJsonObject& fields, const char* name)
{
    return textField(fields, name).toLower();
}

// q as a list of texts, and whether it came as a list (a batch).
std::pair<QStringList, bool> texts(const QJsonObject& fields, bool json)
{
    const QJsonValue q = fields.value(QLatin1String("q"));
    QStringList list;
    bool batch = false;
    if (q.isArray()) {
        batch = true;
        for (const QJsonValue& item : q.toArray()) {
            if (!item.isString())
                throw ApiError::invalid(
                    QStringLiteral("Invalid request: every item of q must be a text"));
            list << item.toString();
        }
        if (list.isEmpty())
            throw ApiError::invalid(missing("q"));
    } else {
        const QString text = textField(fields, "q");
        if (text.isEmpty())
            throw ApiError::invalid(missing("q"));
        list << text;
    }
    if (!json) {
        // A form's line ends are counted and translated as "\n".
        for (QString& text : list) {
            text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        }
    }
    return {list, batch};
}

qsizetype characters(const QString& text)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
            ++n;
    }
    return n;
}

bool hasLetters(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t c = text[i].isHighSurrogate() && i + 1 < text.size()
                               ? QChar::surrogateToUcs4(text[i], text[i + 1])
                               : text[i].unicode();
        if (QChar::isLetter(c))
            return true;
    }
    return false;
}

QJsonObject detectedObject(const QString& code, double confidence)
{
    return {{QStringLiteral("confidence"), confidence}, {QStringLiteral("language"), code}};
}

// The texts of a batch in one pass through the engine rather than one pass
// each: every text's stream ends a sentence of its own, and a superblank
// that no escaped text can spell stands between them. Empty when the
// answer does not come back in as many parts (the caller then translates
// the texts one by one).
QStringList translateTogether(TranslationEngine& engine, const TranslationMode& mode,
                              const QStringList& texts)
{
    static const QByteArray separator = "[<tarquell-batch-text/>]";
    QByteArray stream;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (i > 0)
            stream += separator;
        stream += ApertiumStream::toStream(texts[i]);
    }
    const QByteArray translated = engine.translateStream(mode, stream);
    QStringList parts;
    qsizetype start = 0;
    for (;;) {
        const qsizetype at = translated.indexOf(separator, start);
        parts << ApertiumStream::fromStream(translated.mid(start, at < 0 ? -1 : at - start));
        if (at < 0)
            break;
        start = at + separator.size();
    }
    if (parts.size() != texts.size())
        return {};
    return parts;
}

// The body without a copy; it outlives every use here.
QByteArray bodyOf(const LibreTranslateApi::Request& request)
{
    return QByteArray::fromRawData(request.body.data(),
                                   static_cast<qsizetype>(request.body.size()));
}

QByteArray digest(const QByteArray& key)
{
    return QCryptographicHash::hash(key, QCryptographicHash::Sha256);
}
} // namespace

LibreTranslateApi::LibreTranslateApi(TranslationEngine& engine, Options options)
    : m_engine(engine), m_options(std::move(options)),
      m_files(m_options.filesParent, m_options.fileStoreBytes, m_options.fileLifetime),
      m_documents(engine, m_options.documents)
{
}

LibreTranslateApi::~LibreTranslateApi()
{
    stop();
}

void LibreTranslateApi::stop()
{
    {
        std::lock_guard lock(m_turnMutex);
        m_stopping = true;
    }
    m_turnFree.notify_all();
    m_documents.cancelAll();
}

// A document's turn: at most documentJobs translate at once, as many wait.
// Registers its progress under the request's progress_id for the time it
// runs.
class LibreTranslateApi::DocumentTurn
{
public:
    DocumentTurn(LibreTranslateApi& api, const QString& id) : m_api(api), m_id(id)
    {
        m_progress = std::make_shared<DocumentProgress>();
        std::unique_lock lock(api.m_turnMutex);
        const int jobs = std::max(1, api.m_options.documentJobs);
        if (api.m_stopping)
            throw ApiError(503, QStringLiteral("The service is stopping"));
        if (api.m_documentsRunning >= jobs && api.m_documentsWaiting >= jobs)
            throw ApiError(503, QStringLiteral("The service is translating other documents; try "
                                               "again shortly"));
        if (!id.isEmpty()) {
            if (std::erase(api.m_cancelledEarly, id) > 0)
                m_progress->cancelled = true;
            if (!api.m_progress.emplace(id, m_progress).second)
                throw ApiError::invalid(QStringLiteral(
                    "Invalid request: a translation with this progress_id is under way"));
        }
        ++api.m_documentsWaiting;
        api.m_turnFree.wait(lock, [&] {
            return api.m_documentsRunning < jobs || api.m_stopping || m_progress->cancelled;
        });
        --api.m_documentsWaiting;
        if (api.m_stopping || m_progress->cancelled) {
            forget();
            throw DocumentError(DocumentError::Kind::Cancelled,
                                QStringLiteral("The document's translation was cancelled"));
        }
        ++api.m_documentsRunning;
        m_progress->started = true;
    }
    ~DocumentTurn()
    {
        {
            std::lock_guard lock(m_api.m_turnMutex);
            --m_api.m_documentsRunning;
            forget();
        }
        m_api.m_turnFree.notify_all();
    }
    DocumentTurn(const DocumentTurn&) = delete;
    DocumentTurn& operator=(const DocumentTurn&) = delete;

    DocumentControl control() const
    {
        DocumentControl control;
        std::shared_ptr<DocumentProgress> progress = m_progress;
        control.cancelled = [progress] { return progress->cancelled.load(); };
        control.progress = [progress](qint64 done, qint64 total) {
            progress->total = total;
            progress->done = done;
        };
        return control;
    }

private:
    // With the lock held.
    void forget()
    {
        if (!m_id.isEmpty())
            m_api.m_progress.erase(m_id);
    }

    LibreTranslateApi& m_api;
    QString m_id;
    std::shared_ptr<DocumentProgress> m_progress;
};

bool LibreTranslateApi::isApiPath(const std::string& path)
{
    return path == "/translate" || path == "/languages" || path == "/detect" ||
           path == "/translate_file" || path == "/frontend/settings" || path == "/download_file" ||
           path == "/spec" || path == "/health" || path == "/suggest" ||
           startsWith(path, downloadPrefix) || startsWith(path, progressPrefix) ||
           startsWith(path, cancelPrefix);
}

size_t LibreTranslateApi::bodyCap(const std::string& method, const std::string& path)
{
    if (method != "POST" || std::string(methodOf(path)) != "POST" || path == "/suggest")
        return 0;
    // Room for an api_key only.
    if (startsWith(path, cancelPrefix))
        return 4096;
    // The multipart framing around the largest file, and a few fields.
    return path == "/translate_file" ? uploadBytes + 64 * 1024 : textBodyBytes;
}

bool LibreTranslateApi::answersAtOnce(const std::string& method, const std::string& path)
{
    const std::string wanted = methodOf(path);
    // A document's progress and its cancel take a lock for a moment: they
    // must not wait behind the translations they are about.
    return method == "OPTIONS" || !(method == wanted || (wanted == "GET" && method == "HEAD")) ||
           startsWith(path, progressPrefix) || startsWith(path, cancelPrefix) || path == "/spec" ||
           path == "/health" || path == "/suggest";
}

LibreTranslateApi::Reply LibreTranslateApi::error(unsigned status, const QString& message)
{
    return jsonReply(QJsonDocument(QJsonObject{{QStringLiteral("error"), message}}), status);
}

QSet<QByteArray> LibreTranslateApi::readKeys(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw TarquellError(
            QStringLiteral("--api-keys: cannot read %1: %2").arg(fileName, file.errorString()));
    QSet<QByteArray> digests;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(64 * 1024).trimmed();
        if (!line.isEmpty() && !line.startsWith('#'))
            digests.insert(digest(line));
    }
    if (digests.isEmpty())
        throw TarquellError(QStringLiteral("--api-keys: %1 holds no key").arg(fileName));
    return digests;
}

QString LibreTranslateApi::downloadName(const QString& uploaded, const QString& target,
                                        const QString& extension)
{
    QString name = uploaded.mid(
        std::max(uploaded.lastIndexOf(QLatin1Char('/')), uploaded.lastIndexOf(QLatin1Char('\\'))) +
        1);
    const QString given = fileExtension(name);
    name.chop(given.size());
    QString clean;
    for (const QChar c : std::as_const(name)) {
        if (c.category() == QChar::Other_Control || c == QLatin1Char('"') ||
            c == QLatin1Char('%') || c == QLatin1Char(':'))
            clean += QLatin1Char('_');
        else
            clean += c;
    }
    clean = clean.trimmed();
    while (clean.startsWith(QLatin1Char('.')))
        clean.remove(0, 1);
    clean.truncate(100);
    if (!clean.isEmpty() && clean.back().isHighSurrogate())
        clean.chop(1);
    if (clean.trimmed().isEmpty())
        clean = QStringLiteral("document");
    return clean + QLatin1Char('.') + target + extension;
}

void LibreTranslateApi::checkKey(const QJsonObject& fields) const
{
    if (m_options.keyDigests.isEmpty())
        return;
    // As LibreTranslate tells them apart: no key at all is a request to go
    // and get one; a key that is not one of ours is refused.
    const QJsonValue key = fields.value(QLatin1String("api_key"));
    if (key.isUndefined() || key.isNull() || (key.isString() && key.toString().isEmpty()))
        throw ApiError::invalid(
            QStringLiteral("Please contact the server operator to get an API key"));
    if (!key.isString() || !m_options.keyDigests.contains(digest(key.toString().toUtf8())))
        throw ApiError(403, QStringLiteral("Invalid API key"));
}

void LibreTranslateApi::checkKey(const Request& request) const
{
    if (m_options.keyDigests.isEmpty())
        return;
    checkKey(ApiRequest::read(request.contentType, bodyOf(request),
                              QByteArray::fromStdString(request.rawQuery))
                 .fields);
}

int LibreTranslateApi::charLimit() const
{
    return m_options.charLimit > 0 ? m_options.charLimit : static_cast<int>(textBodyBytes);
}

LibreTranslateApi::LanguageTable LibreTranslateApi::languageTable() const
{
    const QStringList& codes = ServiceLanguages::codes();
    LanguageTable table;
    QSet<QString> reached;
    for (const QString& source : codes) {
        QStringList targets;
        for (const QString& target : codes) {
            if (target != source && m_engine.canTranslate({source, target}))
                targets << target;
        }
        targets.sort();
        for (const QString& t : std::as_const(targets))
            reached.insert(t);
        table.emplace_back(source, targets);
    }
    // A language nothing translates from or into is left out.
    std::erase_if(table, [&](const auto& row) {
        return row.second.isEmpty() && !reached.contains(row.first);
    });
    // A text already in the language asked for comes back as it is, so
    // every language is one of its own targets, as LibreTranslate lists it.
    for (auto& [code, targets] : table) {
        targets << code;
        targets.sort();
    }
    return table;
}

bool LibreTranslateApi::isSupported(const LanguageTable& table, const QString& code)
{
    return std::any_of(table.begin(), table.end(),
                       [&](const auto& row) { return row.first == code; });
}

TranslationMode LibreTranslateApi::checkedMode(const QString& source, const QString& target) const
{
    const TranslationMode mode{source, target};
    if (source != target && !m_engine.canTranslate(mode))
        throw ApiError::invalid(
            QStringLiteral("%1 (%2) is not available as a target language from %3 (%4)")
                .arg(ServiceLanguages::name(target), target, ServiceLanguages::name(source),
                     source));
    return mode;
}

LibreTranslateApi::Reply LibreTranslateApi::answer(const Request& request)
{
    const std::string& path = request.path;
    const std::string wanted = isApiPath(path) ? methodOf(path) : "GET";
    if (request.method == "OPTIONS") {
        Reply reply{200, {}, "text/plain; charset=utf-8", corsHeaders};
        reply.headers.emplace_back("Allow", wanted + ", OPTIONS");
        return reply;
    }
    const bool head = request.method == "HEAD";
    if (!(request.method == wanted || (wanted == "GET" && head))) {
        Reply reply =
            error(405, QStringLiteral("Method not allowed: %1 takes %2 requests")
                           .arg(QString::fromStdString(path), QString::fromStdString(wanted)));
        reply.headers.emplace_back("Allow", wanted + ", OPTIONS");
        return reply;
    }
    try {
        if (path == "/translate")
            return translate(request);
        if (path == "/detect")
            return detect(request);
        if (path == "/translate_file")
            return translateFile(request);
        if (path == "/languages")
            return languages();
        if (path == "/frontend/settings")
            return settings();
        if (path == "/spec")
            return spec();
        if (path == "/health")
            return jsonReply(
                QJsonDocument(QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")}}));
        if (path == "/suggest")
            throw ApiError(403, QStringLiteral("Suggestions are disabled on this server."));
        if (startsWith(path, progressPrefix)) {
            checkKey(request);
            return documentProgress(path);
        }
        if (startsWith(path, cancelPrefix)) {
            checkKey(request);
            return cancelDocument(path);
        }
        return downloadFile(path);
    } catch (const ApiError& e) {
        return error(e.status(), e.message());
    } catch (const TarquellError& e) {
        qCWarning(lcServer).noquote() << "api:" << e.message();
        return error(500, path == "/translate"
                              ? QStringLiteral("Cannot translate text: %1").arg(e.message())
                              : e.message());
    } catch (const std::exception& e) {
        qCWarning(lcServer) << "api:" << e.what();
        return error(500, QStringLiteral("The service failed on this request: %1")
                              .arg(QString::fromUtf8(e.what())));
    }
}

LibreTranslateApi::Reply LibreTranslateApi::translate(const Request& request)
{
    const ApiRequest::Params params = ApiRequest::read(request.contentType, bodyOf(request),
                                                       QByteArray::fromStdString(request.rawQuery));
    checkKey(params.fields);
    auto [items, batch] = texts(params.fields, params.json);
    const QString source = languageField(params.fields, "source");
    if (source.isEmpty())
        throw ApiError::invalid(missing("source"));
    const QString target = languageField(params.fields, "target");
    if (target.isEmpty())
        throw ApiError::invalid(missing("target"));

    // Each text of a batch is held to the limit on its own. The limit is
    // never "any": clients size their input box by it.
    for (const QString& text : std::as_const(items)) {
        const qsizetype chars = characters(text);
        if (chars > charLimit())
            throw ApiError::invalid(
                QStringLiteral("Invalid request: request (%1) exceeds text limit (%2)")
                    .arg(chars)
                    .arg(charLimit()));
    }
    int alternatives = 0;
    if (const QJsonValue given = params.fields.value(QLatin1String("alternatives"));
        !given.isUndefined() && !given.isNull()) {
        bool ok = given.isDouble() && given.toDouble() == std::floor(given.toDouble());
        alternatives = given.toInt();
        if (given.isString())
            alternatives = given.toString().trimmed().toInt(&ok);
        if (!ok)
            throw ApiError::invalid(
                QStringLiteral("Invalid request: alternatives parameter is not a number"));
    }

    QString format = textField(params.fields, "format");
    if (format.isEmpty())
        format = QStringLiteral("text");
    const bool html = format == QLatin1String("html");

    // Each text's language: its own when it is long enough to tell, else
    // that of all the texts together.
    const bool autoSource = source == QLatin1String("auto");
    std::vector<Detected> sources;
    if (autoSource) {
        const QList<LanguageDetector::Guess> overall =
            LanguageDetector::detect(items.join(QLatin1Char('\n')), html);
        for (const QString& text : std::as_const(items)) {
            QList<LanguageDetector::Guess> guesses;
            if (characters(text) > 40)
                guesses = LanguageDetector::detect(text, html);
            if (guesses.isEmpty())
                guesses = overall;
            if (!guesses.isEmpty()) {
                sources.push_back({guesses.front().code, guesses.front().confidence});
            } else if (!hasLetters(text)) {
                sources.push_back({QStringLiteral("en"), 0});
            } else {
                throw ApiError::invalid(QStringLiteral(
                    "Invalid request: the language of the text cannot be detected; give "
                    "it as the source parameter"));
            }
        }
    } else {
        sources.assign(static_cast<size_t>(items.size()), Detected{source, 100});
    }
    const LanguageTable table = languageTable();
    for (const Detected& d : sources) {
        if (!isSupported(table, d.code))
            throw ApiError::invalid(QStringLiteral("%1 is not supported").arg(d.code));
    }
    if (!isSupported(table, target))
        throw ApiError::invalid(QStringLiteral("%1 is not supported").arg(target));
    if (format != QLatin1String("text") && !html)
        throw ApiError::invalid(QStringLiteral("%1 format is not supported").arg(format));

    // Nothing to translate (digits, emoji, blanks) comes back as it was.
    QStringList results = items;
    std::map<QString, QList<qsizetype>> textsOf; // by source language
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString& from = sources[static_cast<size_t>(i)].code;
        const TranslationMode mode = checkedMode(from, target);
        if (!hasLetters(items[i]) || from == target)
            continue;
        if (html)
            results[i] = m_engine.translateHtml(mode, items[i]);
        else
            textsOf[from] << i;
    }
    for (const auto& [from, indexes] : textsOf) {
        const TranslationMode mode{from, target};
        QStringList together;
        if (indexes.size() > 1) {
            QStringList texts;
            for (const qsizetype i : indexes)
                texts << items[i];
            together = translateTogether(m_engine, mode, texts);
        }
        for (qsizetype k = 0; k < indexes.size(); ++k)
            results[indexes[k]] =
                together.isEmpty() ? m_engine.translate(mode, items[indexes[k]]) : together[k];
    }
    const QJsonArray translated = QJsonArray::fromStringList(results);

    QJsonObject answer;
    answer.insert(QStringLiteral("translatedText"),
                  batch ? QJsonValue(translated) : translated.first());
    if (autoSource) {
        QJsonArray detected;
        for (const Detected& d : sources)
            detected.append(detectedObject(d.code, d.confidence));
        answer.insert(QStringLiteral("detectedLanguage"),
                      batch ? QJsonValue(detected) : detected.first());
    }
    // Alternative translations: Apertium has one translation only.
    if (alternatives > 0) {
        QJsonArray none;
        for (qsizetype i = 0; batch && i < items.size(); ++i)
            none.append(QJsonArray());
        answer.insert(QStringLiteral("alternatives"), none);
    }
    return jsonReply(QJsonDocument(answer));
}

LibreTranslateApi::Reply LibreTranslateApi::detect(const Request& request)
{
    const ApiRequest::Params params = ApiRequest::read(request.contentType, bodyOf(request),
                                                       QByteArray::fromStdString(request.rawQuery));
    checkKey(params.fields);
    const auto [items, batch] = texts(params.fields, params.json);
    QJsonArray found;
    for (const LanguageDetector::Guess& guess :
         LanguageDetector::detect(items.join(QLatin1Char('\n'))))
        found.append(detectedObject(guess.code, guess.confidence));
    // As LibreTranslate answers a text it cannot place.
    if (found.isEmpty())
        found.append(detectedObject(QStringLiteral("en"), 0));
    return jsonReply(QJsonDocument(found));
}

namespace {
// The answer to a document the translator did not translate.
ApiError apiErrorOf(const DocumentError& e)
{
    switch (e.kind()) {
    case DocumentError::Kind::Unsupported:
    case DocumentError::Kind::NoPair:
    case DocumentError::Kind::Refused:
        return ApiError::invalid(e.message());
    case DocumentError::Kind::TooLarge:
        return ApiError(413, e.message());
    case DocumentError::Kind::Cancelled:
        return ApiError(503, e.message());
    case DocumentError::Kind::TimedOut:
    case DocumentError::Kind::Failed:
        break;
    }
    return ApiError(500, e.message());
}

// The download's type; for text, the encoding it is written in.
QString contentTypeOf(const TranslatedDocument& document)
{
    const QString& type = document.mimeType;
    if (!type.startsWith(QLatin1String("text/")) && type != QLatin1String("application/x-subrip") &&
        type != QLatin1String("application/xhtml+xml"))
        return type;
    const bool utf16 = document.file.startsWith("\xFF\xFE") || document.file.startsWith("\xFE\xFF");
    return type + (utf16 ? QStringLiteral("; charset=utf-16") : QStringLiteral("; charset=utf-8"));
}
} // namespace

LibreTranslateApi::Reply LibreTranslateApi::translateFile(const Request& request)
{
    const ApiRequest::Params params = ApiRequest::read(request.contentType, bodyOf(request),
                                                       QByteArray::fromStdString(request.rawQuery));
    checkKey(params.fields);
    if (!params.file)
        throw ApiError::invalid(missing("file"));
    const QString source = languageField(params.fields, "source");
    if (source.isEmpty())
        throw ApiError::invalid(missing("source"));
    const QString target = languageField(params.fields, "target");
    if (target.isEmpty())
        throw ApiError::invalid(missing("target"));
    const ApiRequest::File& file = *params.file;
    if (file.fileName.isEmpty())
        throw ApiError::invalid(QStringLiteral("Invalid request: empty file"));
    if (!DocumentFormats::takes(file.fileName))
        throw ApiError::invalid(QStringLiteral("Invalid request: file format not supported"));
    if (static_cast<size_t>(file.data.size()) > uploadBytes)
        throw ApiError(413, QStringLiteral("Invalid request: the file is larger than %1 MiB")
                                .arg(uploadBytes / (1024 * 1024)));
    const QString progressId = textField(params.fields, "progress_id");
    if (!progressId.isEmpty() && !FileStore::isId(progressId))
        throw ApiError::invalid(QStringLiteral(
            "Invalid request: progress_id must be 32 lower-case hexadecimal digits"));

    try {
        const DocumentTurn turn(*this, progressId);
        const DocumentControl control = turn.control();
        QString from = source;
        std::optional<Detected> detected;
        if (source == QLatin1String("auto")) {
            const QList<LanguageDetector::Guess> guesses = LanguageDetector::detect(
                m_documents.detectText(file.data, file.fileName, 20000, control));
            if (guesses.isEmpty())
                throw ApiError::invalid(QStringLiteral(
                    "Invalid request: the language of the file cannot be detected; give it as "
                    "the source parameter"));
            from = guesses.front().code;
            detected = Detected{guesses.front().code, guesses.front().confidence};
        }
        const LanguageTable table = languageTable();
        if (!isSupported(table, from))
            throw ApiError::invalid(QStringLiteral("%1 is not supported").arg(from));
        if (!isSupported(table, target))
            throw ApiError::invalid(QStringLiteral("%1 is not supported").arg(target));
        // A document already in the language asked for comes back as it is.
        TranslatedDocument translated;
        if (from == target) {
            const QString extension = fileExtension(file.fileName).mid(1);
            translated = {file.data, file.fileName, DocumentTranslator::mimeTypeOf(extension),
                          extension};
        } else {
            translated =
                m_documents.translate(file.data, file.fileName, checkedMode(from, target), control);
        }
        const QString format = QLatin1Char('.') + translated.formatGiven;
        const QString name = downloadName(file.fileName, target, format);
        QString id;
        try {
            id = m_files.put(translated.file, name, contentTypeOf(translated));
        } catch (const TarquellError& e) {
            throw ApiError(503, e.message());
        }
        const QString url = request.origin + QString::fromStdString(downloadPrefix) + id +
                            QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(name));
        // translatedFileFormat is ours: the type the file is given as, which
        // is not the one sent where that cannot be written (".docx" for a
        // WordPerfect file).
        QJsonObject answer{{QStringLiteral("translatedFileUrl"), url},
                           {QStringLiteral("translatedFileFormat"), format}};
        if (detected)
            answer.insert(QStringLiteral("detectedLanguage"),
                          detectedObject(detected->code, detected->confidence));
        return jsonReply(QJsonDocument(answer));
    } catch (const DocumentError& e) {
        qCInfo(lcServer).noquote() << "api: document not translated:" << e.message();
        throw apiErrorOf(e);
    }
}

LibreTranslateApi::Reply LibreTranslateApi::documentProgress(const std::string& path)
{
    const QString id = QString::fromUtf8(path.substr(progressPrefix.size()));
    std::shared_ptr<DocumentProgress> progress;
    {
        std::lock_guard lock(m_turnMutex);
        const auto it = m_progress.find(id);
        if (it != m_progress.end())
            progress = it->second;
    }
    if (!progress)
        throw ApiError(404, QStringLiteral("No document translation runs under this id"));
    return jsonReply(QJsonDocument(
        QJsonObject{{QStringLiteral("state"),
                     progress->started ? QStringLiteral("translating") : QStringLiteral("waiting")},
                    {QStringLiteral("done"), static_cast<double>(progress->done.load())},
                    {QStringLiteral("total"), static_cast<double>(progress->total.load())}}));
}

LibreTranslateApi::Reply LibreTranslateApi::cancelDocument(const std::string& path)
{
    const QString id = QString::fromUtf8(path.substr(cancelPrefix.size()));
    if (!FileStore::isId(id))
        throw ApiError::invalid(QStringLiteral("Invalid request: not a progress_id"));
    {
        std::lock_guard lock(m_turnMutex);
        const auto it = m_progress.find(id);
        if (it != m_progress.end()) {
            it->second->cancelled = true;
        } else if (std::find(m_cancelledEarly.begin(), m_cancelledEarly.end(), id) ==
                   m_cancelledEarly.end()) {
            // Its request may still be on its way or in the queue.
            m_cancelledEarly.push_back(id);
            if (m_cancelledEarly.size() > 64)
                m_cancelledEarly.pop_front();
        }
    }
    m_turnFree.notify_all();
    return jsonReply(QJsonDocument(QJsonObject{{QStringLiteral("cancelled"), true}}));
}

LibreTranslateApi::Reply LibreTranslateApi::downloadFile(const std::string& path)
{
    const auto invalid = [] { return ApiError::invalid(QStringLiteral("Invalid filename")); };
    if (path.rfind(downloadPrefix, 0) != 0)
        throw invalid();
    const QString rest = QString::fromUtf8(path.substr(downloadPrefix.size()));
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0)
        throw invalid();
    const QString id = rest.left(slash);
    const QString name = rest.mid(slash + 1);
    if (!FileStore::isId(id) || name.isEmpty() || name == QLatin1String(".") ||
        name == QLatin1String("..") || name.contains(QLatin1Char('/')) ||
        name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
        throw invalid();
    const std::optional<FileStore::Taken> taken = m_files.open(id, name);
    if (!taken)
        throw ApiError(404, QStringLiteral("The file is not available: it expired, or newer "
                                           "files took its room"));
    Reply reply;
    reply.contentType = taken->contentType.toStdString();
    reply.headers = corsHeaders;
    QByteArray ascii;
    for (const QChar c : taken->name)
        ascii += c.unicode() >= 0x20 && c.unicode() < 0x7f && c != QLatin1Char('"') &&
                         c != QLatin1Char('\\')
                     ? static_cast<char>(c.unicode())
                     : '_';
    reply.headers.emplace_back("Content-Disposition",
                               "attachment; filename=\"" + ascii.toStdString() +
                                   "\"; filename*=UTF-8''" +
                                   QUrl::toPercentEncoding(taken->name).toStdString());
    reply.fd = taken->fd;
    reply.fdSize = taken->size;
    return reply;
}

LibreTranslateApi::Reply LibreTranslateApi::languages() const
{
    QJsonArray list;
    for (const auto& [code, targets] : languageTable())
        list.append(QJsonObject{{QStringLiteral("code"), code},
                                {QStringLiteral("name"), ServiceLanguages::name(code)},
                                {QStringLiteral("targets"), QJsonArray::fromStringList(targets)}});
    return jsonReply(QJsonDocument(list));
}

LibreTranslateApi::Reply LibreTranslateApi::settings() const
{
    // The target a page offers first: the first English translates into,
    // else the first any language does.
    const auto table = languageTable();
    QString target;
    for (const auto& [code, targets] : table) {
        if (!targets.isEmpty() && (target.isEmpty() || code == QLatin1String("en"))) {
            target = targets.front();
            if (code == QLatin1String("en"))
                break;
        }
    }
    if (target.isEmpty())
        target = QStringLiteral("en");
    const bool keys = !m_options.keyDigests.isEmpty();
    const QJsonObject settings{
        {QStringLiteral("charLimit"), charLimit()},
        {QStringLiteral("frontendTimeout"), 500},
        {QStringLiteral("apiKeys"), keys},
        {QStringLiteral("keyRequired"), keys},
        {QStringLiteral("suggestions"), false},
        {QStringLiteral("filesTranslation"), true},
        {QStringLiteral("supportedFilesFormat"),
         QJsonArray::fromStringList(DocumentFormats::extensions())},
        {QStringLiteral("language"),
         QJsonObject{{QStringLiteral("source"),
                      QJsonObject{{QStringLiteral("code"), QStringLiteral("auto")},
                                  {QStringLiteral("name"), QStringLiteral("Auto Detect")}}},
                     {QStringLiteral("target"),
                      QJsonObject{{QStringLiteral("code"), target},
                                  {QStringLiteral("name"), ServiceLanguages::name(target)}}}}},
    };
    return jsonReply(QJsonDocument(settings));
}

namespace {
QJsonObject parameter(const char* name, const char* description, bool required,
                      const char* type = "string")
{
    return {{QStringLiteral("in"), QStringLiteral("formData")},
            {QStringLiteral("name"), QLatin1String(name)},
            {QStringLiteral("type"), QLatin1String(type)},
            {QStringLiteral("required"), required},
            {QStringLiteral("description"), QLatin1String(description)}};
}

QJsonObject operation(const char* summary, const QJsonArray& parameters)
{
    const QJsonObject error{
        {QStringLiteral("description"), QStringLiteral("{\"error\": message}")}};
    return {{QStringLiteral("summary"), QLatin1String(summary)},
            {QStringLiteral("tags"), QJsonArray{QStringLiteral("translate")}},
            {QStringLiteral("parameters"), parameters},
            {QStringLiteral("responses"),
             QJsonObject{{QStringLiteral("200"),
                          QJsonObject{{QStringLiteral("description"), QStringLiteral("Done")}}},
                         {QStringLiteral("400"), error},
                         {QStringLiteral("403"), error},
                         {QStringLiteral("500"), error}}}};
}
} // namespace

// An OpenAPI (Swagger 2.0) description of the routes, as LibreTranslate
// serves one at /spec: its clients check info.title to tell an instance.
LibreTranslateApi::Reply LibreTranslateApi::spec() const
{
    const QJsonObject key = parameter("api_key", "API key", !m_options.keyDigests.isEmpty());
    const QJsonObject get{
        {QStringLiteral("get"), operation("Retrieve list of supported languages", {})}};
    const QJsonObject paths{
        {QStringLiteral("/translate"),
         QJsonObject{{QStringLiteral("post"),
                      operation("Translate text from a language to another",
                                {parameter("q", "Text(s) to translate", true),
                                 parameter("source", "Source language code, or auto", true),
                                 parameter("target", "Target language code", true),
                                 parameter("format", "text or html", false),
                                 parameter("alternatives", "Alternative translations wanted", false,
                                           "integer"),
                                 key})}}},
        {QStringLiteral("/detect"),
         QJsonObject{
             {QStringLiteral("post"), operation("Detect the language of a single text",
                                                {parameter("q", "Text to detect", true), key})}}},
        {QStringLiteral("/translate_file"),
         QJsonObject{{QStringLiteral("post"),
                      operation("Translate file from a language to another",
                                {parameter("file", "File to translate", true, "file"),
                                 parameter("source", "Source language code, or auto", true),
                                 parameter("target", "Target language code", true), key})}}},
        {QStringLiteral("/languages"), get},
        {QStringLiteral("/frontend/settings"),
         QJsonObject{
             {QStringLiteral("get"), operation("Retrieve frontend specific settings", {})}}},
        {QStringLiteral("/health"),
         QJsonObject{{QStringLiteral("get"), operation("Health check", {})}}},
    };
    const QJsonObject doc{
        {QStringLiteral("swagger"), QStringLiteral("2.0")},
        {QStringLiteral("info"),
         QJsonObject{{QStringLiteral("title"), QStringLiteral("LibreTranslate")},
                     {QStringLiteral("version"), QStringLiteral("1.9.6")},
                     {QStringLiteral("description"),
                      QStringLiteral("LibreTranslate's API on tarquell-service")}}},
        {QStringLiteral("paths"), paths},
    };
    return jsonReply(QJsonDocument(doc));
}

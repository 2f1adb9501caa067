#include "server/api/LibreTranslateApi.h"

#include "common/LanguageDetector.h"
#include "server/ServerLogging.h"
#include "server/api/ApiDescription.h"
#include "server/api/ApiError.h"
#include "server/api/ApiFields.h"
#include "server/api/ApiKeys.h"
#include "server/api/ApiLanguages.h"
#include "server/api/ApiRequest.h"
#include "server/documents/DocumentError.h"
#include "server/engine/ApertiumStream.h"
#include "server/engine/ServiceFault.h"

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

using ApiFields::characters;
using ApiFields::hasLetters;
using ApiFields::languageField;
using ApiFields::missing;
using ApiFields::textField;
using ApiFields::texts;

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

} // namespace

LibreTranslateApi::LibreTranslateApi(TranslationEngine& engine, Options options)
    : m_engine(engine), m_options(std::move(options)),
      m_files(m_options.filesParent, m_options.fileStoreBytes, m_options.fileLifetime),
      m_jobs(engine, m_options.documents, m_options.documentJobs)
{
}

LibreTranslateApi::~LibreTranslateApi()
{
    stop();
}

void LibreTranslateApi::stop()
{
    m_jobs.stop();
}

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
    ApiKeys::check(m_options.keyDigests, fields);
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
    const ApiLanguages::Table table = ApiLanguages::table(m_engine);
    for (const Detected& d : sources) {
        if (!ApiLanguages::isSupported(table, d.code))
            throw ApiError::invalid(QStringLiteral("%1 is not supported").arg(d.code));
    }
    if (!ApiLanguages::isSupported(table, target))
        throw ApiError::invalid(QStringLiteral("%1 is not supported").arg(target));
    if (format != QLatin1String("text") && !html)
        throw ApiError::invalid(QStringLiteral("%1 format is not supported").arg(format));

    // Nothing to translate (digits, emoji, blanks) comes back as it was.
    QStringList results = items;
    std::map<QString, QList<qsizetype>> textsOf; // by source language
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString& from = sources[static_cast<size_t>(i)].code;
        const TranslationMode mode = ApiLanguages::checkedMode(m_engine, from, target);
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
        const DocumentJobs::Turn turn(m_jobs, progressId);
        const DocumentControl control = turn.control();
        const DocumentJobs::Translated result =
            m_jobs.translate(file.data, file.fileName, source, target, turn.control());
        const TranslatedDocument& translated = result.document;
        const QString format = QLatin1Char('.') + translated.formatGiven;
        const QString name = downloadName(file.fileName, target, format);
        QString id;
        try {
            id = m_files.put(translated.file, name, DocumentJobs::contentTypeOf(translated));
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
        if (result.detected)
            answer.insert(QStringLiteral("detectedLanguage"),
                          detectedObject(result.detected->code, result.detected->confidence));
        return jsonReply(QJsonDocument(answer));
    } catch (const DocumentError& e) {
        qCInfo(lcServer).noquote() << "api: document not translated:" << e.message();
        throw DocumentJobs::errorOf(e);
    }
}

LibreTranslateApi::Reply LibreTranslateApi::documentProgress(const std::string& path)
{
    const QString id = QString::fromUtf8(path.substr(progressPrefix.size()));
    const std::optional<DocumentJobs::Progress> progress = m_jobs.progress(id);
    if (!progress)
        throw ApiError(404, QStringLiteral("No document translation runs under this id"));
    return jsonReply(QJsonDocument(
        QJsonObject{{QStringLiteral("state"),
                     progress->started ? QStringLiteral("translating") : QStringLiteral("waiting")},
                    {QStringLiteral("done"), static_cast<double>(progress->done)},
                    {QStringLiteral("total"), static_cast<double>(progress->total)}}));
}

LibreTranslateApi::Reply LibreTranslateApi::cancelDocument(const std::string& path)
{
    const QString id = QString::fromUtf8(path.substr(cancelPrefix.size()));
    if (!FileStore::isId(id))
        throw ApiError::invalid(QStringLiteral("Invalid request: not a progress_id"));
    m_jobs.cancel(id);
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
    for (const auto& [code, targets] : ApiLanguages::table(m_engine))
        list.append(QJsonObject{{QStringLiteral("code"), code},
                                {QStringLiteral("name"), ServiceLanguages::name(code)},
                                {QStringLiteral("targets"), QJsonArray::fromStringList(targets)}});
    return jsonReply(QJsonDocument(list));
}

LibreTranslateApi::Reply LibreTranslateApi::settings() const
{
    // The target a page offers first: the first English translates into,
    // else the first any language does.
    const auto table = ApiLanguages::table(m_engine);
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

// An OpenAPI description of the routes, as LibreTranslate serves one at
// /spec: its clients check info.title to tell an instance.
LibreTranslateApi::Reply LibreTranslateApi::spec() const
{
    return jsonReply(QJsonDocument(ApiDescription::document(!m_options.keyDigests.isEmpty())));
}

#include "server/remote/RemoteEngine.h"

#include "common/MultipartForm.h"
#include "server/engine/ApertiumStream.h"
#include "server/engine/HtmlTranslation.h"
#include "server/remote/TextPieces.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr size_t kib = 1024;
constexpr size_t mib = 1024 * 1024;
// The largest answers taken: a list of languages or pairs, settings, one
// request's translation, a translated file.
constexpr size_t listBytes = 1 * mib;
constexpr size_t settingsBytes = 64 * kib;
constexpr size_t fileBytes = 64 * mib;
// A translation is seldom more than a few times its text.
size_t answerBytesFor(qsizetype characters)
{
    return 64 * kib + static_cast<size_t>(characters) * 16;
}

QString statusText(const RemoteHttp::Answer& answer)
{
    return answer.reason.empty()
               ? QString::number(answer.status)
               : QStringLiteral("%1 %2")
                     .arg(answer.status)
                     .arg(RemoteReplies::shown(QString::fromStdString(answer.reason)));
}

QByteArray bytesOf(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

QByteArray formValue(const QString& value)
{
    return value.toUtf8().toPercentEncoding();
}

// deshtml and our text writer end a block with a full stop of their own
// before "[]"; the stream's reformatter takes it out again. A server
// translating the run alone would keep or change it, so it does not go.
bool endsWithOwnStop(const QList<TextPieces::Segment>& segments, qsizetype i)
{
    return i + 1 < segments.size() && segments[i + 1].bytes == "[]" &&
           segments[i].bytes.endsWith('.') && !segments[i].bytes.endsWith("\\.");
}
} // namespace

RemoteEngine::RemoteEngine(const RemoteEngineConfig& config)
    : m_config(config), m_http(config.url, config.caFile, config.timeout, config.shownUrl())
{
}

bool RemoteEngine::canTranslate(const TranslationMode& mode) const
{
    std::lock_guard lock(m_mutex);
    return mode.source == mode.target || m_offer.modes.contains(mode.text());
}

std::pair<QString, QString> RemoteEngine::spelling(const TranslationMode& mode) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_offer.spelling.find(mode.text());
    if (it == m_offer.spelling.end())
        throw RemoteFailure(RemoteFailure::Kind::Failed,
                            QStringLiteral("%1 does not translate from %2 to %3.")
                                .arg(m_http.serverText(), ServiceLanguages::name(mode.source),
                                     ServiceLanguages::name(mode.target)));
    return it->second;
}

void RemoteEngine::setOffer(const RemoteReplies::Offer& offer)
{
    std::lock_guard lock(m_mutex);
    m_offer = offer;
}

RemoteFailure RemoteEngine::badReply(const QString& what, const RemoteReplies::BadReply& e) const
{
    return RemoteFailure(RemoteFailure::Kind::Failed,
                         QStringLiteral("%1 sent %2 this service cannot read: %3.")
                             .arg(m_http.serverText(), what, QString::fromUtf8(e.what())));
}

// ---------------------------------------------------------------- LibreTranslate

LibreTranslateEngine::LibreTranslateEngine(const RemoteEngineConfig& config) : RemoteEngine(config)
{
}

qsizetype LibreTranslateEngine::pieceLimit() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_settings.charLimit > 0
               ? static_cast<qsizetype>(std::min<qint64>(m_settings.charLimit, 1 << 24))
               : defaultPiece;
}

QSet<QString> LibreTranslateEngine::discover()
{
    const RemoteHttp::Answer languages = m_http.get(QStringLiteral("languages"), listBytes);
    if (languages.status != 200)
        throw RemoteFailure(
            RemoteFailure::Kind::Refused,
            QStringLiteral("%1 does not answer as a LibreTranslate server: its list "
                           "of languages came with HTTP %2.")
                .arg(m_http.serverText(), statusText(languages)));
    RemoteReplies::Offer offer;
    try {
        offer = RemoteReplies::libreLanguages(bytesOf(languages.body));
    } catch (const RemoteReplies::BadReply& e) {
        throw RemoteFailure(RemoteFailure::Kind::Refused,
                            QStringLiteral("%1 sent a list of languages this service cannot read: "
                                           "%2.")
                                .arg(m_http.serverText(), QString::fromUtf8(e.what())));
    }
    // Servers before the settings route have no limit to tell.
    RemoteReplies::LibreSettings settings;
    const RemoteHttp::Answer answer =
        m_http.get(QStringLiteral("frontend/settings"), settingsBytes);
    if (answer.status == 200) {
        try {
            settings = RemoteReplies::libreSettings(bytesOf(answer.body));
        } catch (const RemoteReplies::BadReply&) {
            // As without the route.
        }
    }
    {
        std::lock_guard lock(m_settingsMutex);
        m_settings = settings;
    }
    setOffer(offer);
    return offer.modes;
}

RemoteFailure LibreTranslateEngine::failureFor(const RemoteHttp::Answer& answer) const
{
    const QString server = m_http.serverText();
    QString error = RemoteReplies::libreError(bytesOf(answer.body));
    // A server that repeats the key in its error does not get it into a
    // fault or the log.
    if (!m_config.apiKey.isEmpty())
        error.replace(m_config.apiKey, QStringLiteral("(the API key)"));
    const QString said = error.isEmpty() ? QStringLiteral("HTTP ") + statusText(answer) : error;
    using Kind = RemoteFailure::Kind;
    switch (answer.status) {
    case 403:
        if (error.compare(QLatin1String("Invalid API key"), Qt::CaseInsensitive) == 0)
            return {Kind::Refused, QStringLiteral("%1 refused the API key.").arg(server)};
        return {Kind::Refused, QStringLiteral("%1 refused the request: %2.").arg(server, said)};
    case 401:
        return {Kind::Refused, QStringLiteral("%1 refused the request: %2.").arg(server, said)};
    case 400:
        if (error.contains(QLatin1String("API key"), Qt::CaseInsensitive))
            return {Kind::Refused,
                    QStringLiteral("%1 asks for an API key: %2.")
                        .arg(server, error.endsWith(QLatin1Char('.')) ? error.chopped(1) : error)};
        return {Kind::Failed,
                QStringLiteral("%1 could not translate the text: %2.").arg(server, said)};
    case 429:
        return {Kind::Busy, QStringLiteral("%1 asks to slow down: %2.").arg(server, said)};
    case 502:
    case 503:
    case 504:
        return {Kind::Busy,
                QStringLiteral("%1 is not available (HTTP %2).").arg(server, statusText(answer))};
    default:
        if (answer.status >= 500)
            return {Kind::Failed,
                    QStringLiteral("%1 failed to translate the text: %2.").arg(server, said)};
        return {Kind::Failed,
                QStringLiteral("%1 answered with HTTP %2.").arg(server, statusText(answer))};
    }
}

QStringList LibreTranslateEngine::translateTexts(const TranslationMode& mode,
                                                 const QStringList& texts, const char* format,
                                                 size_t maxAnswer)
{
    const auto [source, target] = spelling(mode);
    QJsonObject request;
    if (texts.size() == 1)
        request.insert(QLatin1String("q"), texts.front());
    else
        request.insert(QLatin1String("q"), QJsonArray::fromStringList(texts));
    request.insert(QLatin1String("source"), source);
    request.insert(QLatin1String("target"), target);
    request.insert(QLatin1String("format"), QLatin1String(format));
    if (!m_config.apiKey.isEmpty())
        request.insert(QLatin1String("api_key"), m_config.apiKey);
    const RemoteHttp::Answer answer =
        m_http.post(QStringLiteral("translate"),
                    QJsonDocument(request).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json", maxAnswer);
    if (answer.status != 200)
        throw failureFor(answer);
    try {
        return RemoteReplies::libreTranslation(bytesOf(answer.body),
                                               texts.size() == 1 ? 0 : texts.size());
    } catch (const RemoteReplies::BadReply& e) {
        throw badReply(QStringLiteral("a translation"), e);
    }
}

QStringList LibreTranslateEngine::translateMany(const TranslationMode& mode,
                                                const QStringList& texts)
{
    const qsizetype limit = pieceLimit();
    // Each text as pieces that fit; the pieces in batches that fit.
    QList<QList<TextPieces::Piece>> cutTexts;
    QStringList cores;
    for (const QString& text : texts) {
        cutTexts << TextPieces::cut(text, limit);
        for (const TextPieces::Piece& piece : std::as_const(cutTexts.back())) {
            if (!piece.core.isEmpty())
                cores << piece.core;
        }
    }
    // A server's batch limit is not published; a modest batch is taken
    // everywhere.
    constexpr qsizetype maxBatch = 25;
    QStringList translated;
    qsizetype requests = 0;
    for (qsizetype i = 0; i < cores.size();) {
        QStringList batch;
        qsizetype characters = 0;
        while (i < cores.size() && batch.size() < maxBatch) {
            const qsizetype size = TextPieces::codePoints(cores[i]);
            if (!batch.isEmpty() && characters + size > limit)
                break;
            batch << cores[i++];
            characters += size;
        }
        if (++requests > maxRequests)
            throw RemoteFailure(RemoteFailure::Kind::Failed,
                                QStringLiteral("%1 takes %2 characters at a time; this text would "
                                               "need more than %3 requests.")
                                    .arg(m_http.serverText())
                                    .arg(limit)
                                    .arg(maxRequests));
        translated += translateTexts(mode, batch, "text", answerBytesFor(characters));
    }
    QStringList results;
    qsizetype next = 0;
    for (const QList<TextPieces::Piece>& pieces : std::as_const(cutTexts)) {
        QString joined;
        for (const TextPieces::Piece& piece : pieces)
            joined +=
                piece.lead + (piece.core.isEmpty() ? QString() : translated[next++]) + piece.trail;
        results << joined;
    }
    return results;
}

QString LibreTranslateEngine::translate(const TranslationMode& mode, const QString& text)
{
    if (mode.source == mode.target || text.trimmed().isEmpty())
        return text;
    return translateMany(mode, {text}).front();
}

QByteArray LibreTranslateEngine::translateStream(const TranslationMode& mode,
                                                 const QByteArray& stream)
{
    if (mode.source == mode.target)
        return stream;
    const QList<TextPieces::Segment> segments = TextPieces::segments(stream);
    QStringList texts;
    QList<qsizetype> sent; // the segments whose text goes
    QList<bool> ownStop;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (!segments[i].text || !TextPieces::hasLetters(segments[i].bytes))
            continue;
        const bool stop = endsWithOwnStop(segments, i);
        QString text =
            TextPieces::unescape(stop ? segments[i].bytes.chopped(1) : segments[i].bytes);
        sent << i;
        ownStop << stop;
        texts << text;
    }
    const QStringList translated = texts.isEmpty() ? QStringList() : translateMany(mode, texts);
    QByteArray out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (next < sent.size() && sent[next] == i) {
            out += TextPieces::escape(translated[next]);
            if (ownStop[next])
                out += '.';
            ++next;
        } else {
            out += segments[i].bytes;
        }
    }
    return out;
}

QString LibreTranslateEngine::translateHtml(const TranslationMode& mode, const QString& html)
{
    if (mode.source == mode.target)
        return html;
    const qsizetype size = TextPieces::codePoints(html);
    if (size <= std::min(pieceLimit(), wholeHtmlLimit))
        return translateTexts(mode, {html}, "html", answerBytesFor(size)).front();
    return HtmlTranslation::translate(*this, mode, html);
}

std::optional<QByteArray> LibreTranslateEngine::translateFile(const TranslationMode& mode,
                                                              const QString& fileName,
                                                              const QByteArray& content)
{
    const QString suffix = QLatin1Char('.') + QFileInfo(fileName).suffix().toLower();
    {
        std::lock_guard lock(m_settingsMutex);
        if (!m_settings.filesTranslation || !m_settings.fileFormats.contains(suffix))
            return std::nullopt;
    }
    const auto [source, target] = spelling(mode);
    MultipartForm form;
    form.addField("source", source.toUtf8());
    form.addField("target", target.toUtf8());
    if (!m_config.apiKey.isEmpty())
        form.addField("api_key", m_config.apiKey.toUtf8());
    form.addFile("file", fileName, content);
    const RemoteHttp::Answer answer =
        m_http.post(QStringLiteral("translate_file"), form.finish().toStdString(),
                    form.contentType().toStdString(), settingsBytes);
    if (answer.status != 200)
        throw failureFor(answer);
    QString address;
    try {
        address = RemoteReplies::libreFileUrl(bytesOf(answer.body));
    } catch (const RemoteReplies::BadReply& e) {
        throw badReply(QStringLiteral("an answer"), e);
    }
    // The file is fetched from the same server, whatever host the address
    // names (behind a proxy it often names another), and only from its
    // download path: the address comes from the network.
    const QUrl given(address);
    const QString path = given.path(QUrl::FullyEncoded);
    const QString downloads =
        m_config.url.path(QUrl::FullyEncoded) + QLatin1String("download_file/");
    if (!given.isValid() || !path.startsWith(downloads) || path.contains(QLatin1String("/..")) ||
        path.mid(downloads.size()).contains(QLatin1Char('/')) || path.size() == downloads.size())
        throw RemoteFailure(RemoteFailure::Kind::Failed,
                            QStringLiteral("%1 gave an address for the translated file outside its "
                                           "downloads; it was not fetched.")
                                .arg(m_http.serverText()));
    const RemoteHttp::Answer file = m_http.getAbsolute(path.toStdString(), fileBytes);
    if (file.status != 200)
        throw failureFor(file);
    return bytesOf(file.body);
}

// ---------------------------------------------------------------- APy

ApertiumApyEngine::ApertiumApyEngine(const RemoteEngineConfig& config) : RemoteEngine(config) {}

QSet<QString> ApertiumApyEngine::discover()
{
    const RemoteHttp::Answer answer = m_http.get(QStringLiteral("listPairs"), listBytes);
    if (answer.status != 200)
        throw RemoteFailure(RemoteFailure::Kind::Refused,
                            QStringLiteral("%1 does not answer as an Apertium APy server: its list "
                                           "of pairs came with HTTP %2.")
                                .arg(m_http.serverText(), statusText(answer)));
    try {
        const RemoteReplies::Offer offer = RemoteReplies::apyPairs(bytesOf(answer.body));
        setOffer(offer);
        return offer.modes;
    } catch (const RemoteReplies::BadReply& e) {
        throw RemoteFailure(RemoteFailure::Kind::Refused,
                            QStringLiteral("%1 sent a list of pairs this service cannot read: %2.")
                                .arg(m_http.serverText(), QString::fromUtf8(e.what())));
    }
}

QByteArray ApertiumApyEngine::post(const QString& path, const QString& form, size_t maxAnswer)
{
    const RemoteHttp::Answer answer =
        m_http.post(path, form.toStdString(), "application/x-www-form-urlencoded", maxAnswer);
    if (answer.status == 200)
        return bytesOf(answer.body);
    const QString error = RemoteReplies::apyError(bytesOf(answer.body));
    const QString said = error.isEmpty() ? QStringLiteral("HTTP ") + statusText(answer) : error;
    const bool busy = answer.status == 429 || answer.status == 502 || answer.status == 503 ||
                      answer.status == 504;
    const bool refused = answer.status == 401 || answer.status == 403;
    throw RemoteFailure(
        busy      ? RemoteFailure::Kind::Busy
        : refused ? RemoteFailure::Kind::Refused
                  : RemoteFailure::Kind::Failed,
        QStringLiteral("%1 could not translate the text: %2.").arg(m_http.serverText(), said));
}

QString ApertiumApyEngine::translate(const TranslationMode& mode, const QString& text)
{
    if (mode.source == mode.target || text.trimmed().isEmpty())
        return text;
    const auto [source, target] = spelling(mode);
    const QString pair = QStringLiteral("langpair=") +
                         QString::fromLatin1(formValue(source + QLatin1Char('|') + target));
    QString result;
    for (const TextPieces::Piece& piece : TextPieces::cut(text, textPiece)) {
        result += piece.lead;
        if (!piece.core.isEmpty()) {
            const QByteArray answer = post(QStringLiteral("translate"),
                                           pair + QStringLiteral("&format=txt&q=") +
                                               QString::fromLatin1(formValue(piece.core)),
                                           answerBytesFor(piece.core.size()));
            try {
                // APy leaves Apertium's blanks as they come.
                result +=
                    ApertiumStream::keepBlanks(piece.core, RemoteReplies::apyTranslation(answer));
            } catch (const RemoteReplies::BadReply& e) {
                throw badReply(QStringLiteral("a translation"), e);
            }
        }
        result += piece.trail;
    }
    return result;
}

QByteArray ApertiumApyEngine::translateStream(const TranslationMode& mode, const QByteArray& stream)
{
    if (mode.source == mode.target)
        return stream;
    const auto [source, target] = spelling(mode);
    const QString pair = QStringLiteral("langpair=") +
                         QString::fromLatin1(formValue(source + QLatin1Char('|') + target));
    QByteArray out;
    for (const QByteArray& piece : TextPieces::streamPieces(stream, streamPiece)) {
        bool letters = false;
        for (const TextPieces::Segment& segment : TextPieces::segments(piece))
            letters = letters || (segment.text && TextPieces::hasLetters(segment.bytes));
        if (!letters) {
            out += piece;
            continue;
        }
        out += ApertiumStream::keepBlanks(piece,
                                          post(QStringLiteral("translateRaw"),
                                               pair + QStringLiteral("&deformat=False&q=") +
                                                   QString::fromLatin1(piece.toPercentEncoding()),
                                               answerBytesFor(piece.size())));
    }
    return out;
}

std::unique_ptr<RemoteEngine> makeRemoteEngine(const RemoteEngineConfig& config)
{
    if (config.kind == RemoteEngineConfig::Kind::LibreTranslate)
        return std::make_unique<LibreTranslateEngine>(config);
    return std::make_unique<ApertiumApyEngine>(config);
}

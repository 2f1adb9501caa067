#include "FakeLibreTranslate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <stdexcept>
#include <thread>

namespace {
QString fromStd(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Python's len(): code points.
qsizetype pythonLength(const QString& text)
{
    return text.toUcs4().size();
}

void answerJson(httplib::Response& res, int status, const QJsonValue& value)
{
    const QByteArray body = value.isArray()
                                ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    res.status = status;
    res.set_content(body.toStdString(), "application/json");
    // LibreTranslate sends these with every answer.
    res.set_header("Access-Control-Allow-Origin", "*");
}

void answerError(httplib::Response& res, int status, const QString& error)
{
    answerJson(res, status, QJsonObject{{QStringLiteral("error"), error}});
}

const std::map<QString, std::map<QString, QString>>& dictionaries()
{
    static const std::map<QString, std::map<QString, QString>> words = {
        {QStringLiteral("de"),
         {{QStringLiteral("Hello"), QStringLiteral("Hallo")},
          {QStringLiteral("world"), QStringLiteral("Welt")},
          {QStringLiteral("The"), QStringLiteral("Das")},
          {QStringLiteral("the"), QStringLiteral("das")},
          {QStringLiteral("house"), QStringLiteral("Haus")},
          {QStringLiteral("is"), QStringLiteral("ist")},
          {QStringLiteral("big"), QStringLiteral("groß")},
          {QStringLiteral("small"), QStringLiteral("klein")},
          {QStringLiteral("Sentence"), QStringLiteral("Satz")},
          {QStringLiteral("page"), QStringLiteral("Seite")},
          {QStringLiteral("dog"), QStringLiteral("Hund")},
          {QStringLiteral("Hola"), QStringLiteral("Hallo")},
          {QStringLiteral("casa"), QStringLiteral("Haus")}}},
        {QStringLiteral("ja"),
         {{QStringLiteral("Hello"), QStringLiteral("こんにちは")},
          {QStringLiteral("world"), QStringLiteral("世界")},
          {QStringLiteral("house"), QStringLiteral("家")},
          {QStringLiteral("big"), QStringLiteral("大きい")},
          {QStringLiteral("Sentence"), QStringLiteral("文")},
          {QStringLiteral("page"), QStringLiteral("ページ")},
          {QStringLiteral("Hola"), QStringLiteral("こんにちは")}}},
        {QStringLiteral("es"),
         {{QStringLiteral("Hello"), QStringLiteral("Hola")},
          {QStringLiteral("Hallo"), QStringLiteral("Hola")},
          {QStringLiteral("world"), QStringLiteral("mundo")},
          {QStringLiteral("Welt"), QStringLiteral("mundo")},
          {QStringLiteral("house"), QStringLiteral("casa")},
          {QStringLiteral("Haus"), QStringLiteral("casa")}}},
        {QStringLiteral("en"),
         {{QStringLiteral("Hallo"), QStringLiteral("Hello")},
          {QStringLiteral("Welt"), QStringLiteral("world")},
          {QStringLiteral("Haus"), QStringLiteral("house")}}},
        {QStringLiteral("fr"),
         {{QStringLiteral("Hello"), QStringLiteral("Bonjour")},
          {QStringLiteral("world"), QStringLiteral("monde")}}},
    };
    return words;
}
} // namespace

FakeLibreTranslate::FakeLibreTranslate() : m_languages(defaultLanguages()) {}

FakeLibreTranslate::~FakeLibreTranslate()
{
    stop();
}

std::vector<FakeLibreTranslate::Language> FakeLibreTranslate::defaultLanguages()
{
    const std::vector<std::pair<const char*, const char*>> all = {{"en", "English"},
                                                                  {"de", "German"},
                                                                  {"es", "Spanish"},
                                                                  {"fr", "French"},
                                                                  {"ja", "Japanese"}};
    std::vector<Language> languages;
    for (const auto& [code, name] : all) {
        Language language{QString::fromLatin1(code), QString::fromLatin1(name), {}};
        for (const auto& [other, ignored] : all) {
            if (std::string(other) != code)
                language.targets << QString::fromLatin1(other);
        }
        languages.push_back(language);
    }
    return languages;
}

void FakeLibreTranslate::setApiKeys(const QStringList& keys)
{
    std::lock_guard lock(m_mutex);
    m_keys = keys;
}

void FakeLibreTranslate::setLanguages(const std::vector<Language>& languages)
{
    std::lock_guard lock(m_mutex);
    m_languages = languages;
}

std::vector<FakeLibreTranslate::Received> FakeLibreTranslate::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

QString FakeLibreTranslate::translateText(const QString& text, const QString& target)
{
    const auto dictionary = dictionaries().find(target);
    QString out;
    QString word;
    const auto flush = [&] {
        if (dictionary != dictionaries().end()) {
            const auto it = dictionary->second.find(word);
            out += it != dictionary->second.end() ? it->second : word;
        } else {
            out += word;
        }
        word.clear();
    };
    for (const QChar c : text) {
        if (c.isLetter()) {
            word += c;
        } else {
            flush();
            out += c;
        }
    }
    flush();
    return out;
}

QString FakeLibreTranslate::translateHtml(const QString& html, const QString& target)
{
    QString out;
    qsizetype i = 0;
    QString rawUntil; // inside script or style: copied up to its end tag
    while (i < html.size()) {
        if (!rawUntil.isEmpty()) {
            const qsizetype end = html.indexOf(rawUntil, i, Qt::CaseInsensitive);
            const qsizetype stop = end < 0 ? html.size() : end;
            out += html.mid(i, stop - i);
            i = stop;
            rawUntil.clear();
            continue;
        }
        if (html[i] == QLatin1Char('<')) {
            const qsizetype end = html.indexOf(QLatin1Char('>'), i);
            const qsizetype stop = end < 0 ? html.size() : end + 1;
            const QString tag = html.mid(i, stop - i);
            out += tag;
            for (const char* raw : {"script", "style"}) {
                if (tag.startsWith(QLatin1Char('<') + QLatin1String(raw), Qt::CaseInsensitive))
                    rawUntil = QStringLiteral("</") + QLatin1String(raw);
            }
            i = stop;
        } else if (html[i] == QLatin1Char('&')) {
            const qsizetype end = html.indexOf(QLatin1Char(';'), i);
            const qsizetype stop = end < 0 || end - i > 10 ? i + 1 : end + 1;
            out += html.mid(i, stop - i);
            i = stop;
        } else {
            qsizetype stop = i;
            while (stop < html.size() && html[stop] != QLatin1Char('<') &&
                   html[stop] != QLatin1Char('&'))
                ++stop;
            out += translateText(html.mid(i, stop - i), target);
            i = stop;
        }
    }
    return out;
}

QString FakeLibreTranslate::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port) + path;
}

void FakeLibreTranslate::start(int port)
{
    m_server = std::make_unique<httplib::Server>();
    route(*m_server);
    if (port > 0)
        m_port = m_server->bind_to_port("127.0.0.1", port) ? port : -1;
    else
        m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("fake LibreTranslate: cannot listen on 127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running())
        std::this_thread::yield();
}

void FakeLibreTranslate::route(httplib::Server& server)
{
    server.Get("/languages", [this](const httplib::Request&, httplib::Response& res) {
        ++m_languageRequests;
        std::lock_guard lock(m_mutex);
        QJsonArray list;
        for (const Language& language : m_languages)
            list.append(QJsonObject{
                {QStringLiteral("code"), language.code},
                {QStringLiteral("name"), language.name},
                {QStringLiteral("targets"), QJsonArray::fromStringList(language.targets)}});
        answerJson(res, 200, list);
    });

    server.Get("/frontend/settings", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(m_mutex);
        answerJson(
            res, 200,
            QJsonObject{
                {QStringLiteral("charLimit"), m_charLimit},
                {QStringLiteral("frontendTimeout"), 500},
                {QStringLiteral("apiKeys"), !m_keys.isEmpty()},
                {QStringLiteral("keyRequired"), m_keyRequired},
                {QStringLiteral("suggestions"), false},
                {QStringLiteral("filesTranslation"), true},
                {QStringLiteral("supportedFilesFormat"),
                 QJsonArray{QStringLiteral(".txt"), QStringLiteral(".html")}},
                {QStringLiteral("language"),
                 QJsonObject{{QStringLiteral("source"),
                              QJsonObject{{QStringLiteral("code"), QStringLiteral("en")},
                                          {QStringLiteral("name"), QStringLiteral("English")}}},
                             {QStringLiteral("target"),
                              QJsonObject{{QStringLiteral("code"), QStringLiteral("es")},
                                          {QStringLiteral("name"), QStringLiteral("Spanish")}}}}}});
    });

    // The key check LibreTranslate runs before each translation: a wrong
    // key is 403, a missing one 400 where keys are required.
    const auto keyRefused = [this](const QString& key, httplib::Response& res) {
        std::lock_guard lock(m_mutex);
        if (m_keys.isEmpty())
            return false;
        if (!key.isEmpty() && !m_keys.contains(key)) {
            answerError(res, 403, QStringLiteral("Invalid API key"));
            return true;
        }
        if (key.isEmpty() && m_keyRequired) {
            answerError(res, 400,
                        QStringLiteral("Please contact the server operator to get an API key"));
            return true;
        }
        return false;
    };
    // The source or target as a language, or an error answered.
    const auto language = [this](const QString& code) -> const Language* {
        for (const Language& l : m_languages) {
            if (l.code == code)
                return &l;
        }
        return nullptr;
    };

    server.Post("/translate", [this, keyRefused, language](const httplib::Request& req,
                                                           httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_delayMs.load()));
        Received r;
        QJsonValue q;
        const bool json = req.get_header_value("Content-Type").find("application/json") == 0;
        if (json) {
            QJsonParseError error{};
            const QJsonDocument doc =
                QJsonDocument::fromJson(QByteArray::fromStdString(req.body), &error);
            if (error.error != QJsonParseError::NoError || !doc.isObject())
                return answerError(res, 400, QStringLiteral("Invalid JSON format"));
            const QJsonObject body = doc.object();
            q = body.value(QStringLiteral("q"));
            r.source = body.value(QStringLiteral("source")).toString();
            r.target = body.value(QStringLiteral("target")).toString();
            r.format = body.value(QStringLiteral("format")).toString();
            r.apiKey = body.value(QStringLiteral("api_key")).toString();
        } else {
            const auto value = [&](const char* name) {
                return req.has_param(name) ? fromStd(req.get_param_value(name)) : QString();
            };
            if (req.has_param("q"))
                q = value("q");
            r.source = value("source");
            r.target = value("target");
            r.format = value("format");
            r.apiKey = value("api_key");
        }
        if (keyRefused(r.apiKey, res))
            return;
        const bool batch = q.isArray();
        for (const QJsonValue& item : batch ? q.toArray() : QJsonArray{q}) {
            if (item.isString())
                r.texts << item.toString();
        }
        if (r.texts.isEmpty() || (!batch && r.texts.front().isEmpty()))
            return answerError(res, 400, QStringLiteral("Invalid request: missing q parameter"));
        if (r.source.isEmpty())
            return answerError(res, 400,
                               QStringLiteral("Invalid request: missing source parameter"));
        if (r.target.isEmpty())
            return answerError(res, 400,
                               QStringLiteral("Invalid request: missing target parameter"));
        for (const QString& text : std::as_const(r.texts))
            r.characters += pythonLength(text);
        std::lock_guard lock(m_mutex);
        m_received.push_back(r);
        if (m_charLimit != -1 && r.characters > m_charLimit)
            return answerError(
                res, 400,
                QStringLiteral("Invalid request: request (%1) exceeds text limit (%2)")
                    .arg(r.characters)
                    .arg(m_charLimit));
        const Language* source = language(r.source);
        if (!source)
            return answerError(res, 400, QStringLiteral("%1 is not supported").arg(r.source));
        const Language* target = language(r.target);
        if (!target)
            return answerError(res, 400, QStringLiteral("%1 is not supported").arg(r.target));
        if (r.format.isEmpty())
            r.format = QStringLiteral("text");
        if (r.format != QLatin1String("text") && r.format != QLatin1String("html"))
            return answerError(res, 400,
                               QStringLiteral("%1 format is not supported").arg(r.format));
        if (!source->targets.contains(target->code))
            return answerError(res, 400,
                               QStringLiteral("%1 (%2) is not available as a target language "
                                              "from %3 (%4)")
                                   .arg(target->name, target->code, source->name, source->code));
        QJsonArray translated;
        for (const QString& text : std::as_const(r.texts))
            translated.append(r.format == QLatin1String("html")
                                  ? translateHtml(text, target->code)
                                  : translateText(text, target->code));
        answerJson(res, 200,
                   QJsonObject{{QStringLiteral("translatedText"),
                                batch ? QJsonValue(translated) : translated.first()}});
    });

    server.Post("/translate_file", [this, keyRefused, language](const httplib::Request& req,
                                                                httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_delayMs.load()));
        const auto field = [&](const char* name) {
            return req.has_file(name) ? fromStd(req.get_file_value(name).content) : QString();
        };
        if (keyRefused(field("api_key"), res))
            return;
        if (!req.has_file("file"))
            return answerError(res, 400, QStringLiteral("Invalid request: missing file parameter"));
        const httplib::MultipartFormData file = req.get_file_value("file");
        const QString source = field("source");
        const QString target = field("target");
        if (source.isEmpty())
            return answerError(res, 400,
                               QStringLiteral("Invalid request: missing source parameter"));
        if (target.isEmpty())
            return answerError(res, 400,
                               QStringLiteral("Invalid request: missing target parameter"));
        if (file.filename.empty())
            return answerError(res, 400, QStringLiteral("Invalid request: empty file"));
        const QString name = fromStd(file.filename);
        const bool html = name.endsWith(QLatin1String(".html"));
        if (!html && !name.endsWith(QLatin1String(".txt")))
            return answerError(res, 400,
                               QStringLiteral("Invalid request: file format not supported"));
        std::lock_guard lock(m_mutex);
        if (!language(source))
            return answerError(res, 400, QStringLiteral("%1 is not supported").arg(source));
        if (!language(target))
            return answerError(res, 400, QStringLiteral("%1 is not supported").arg(target));
        const QString text = fromStd(file.content);
        const QString translated = html ? translateHtml(text, target) : translateText(text, target);
        const std::string id =
            QString::number(QRandomGenerator::global()->generate64(), 16).toStdString() + "." +
            file.filename;
        m_files[id] = {file.filename, translated.toStdString()};
        answerJson(res, 200,
                   QJsonObject{{QStringLiteral("translatedFileUrl"),
                                url(QStringLiteral("/download_file/") + fromStd(id))}});
    });

    server.Get(
        R"(/download_file/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            const std::string id = req.matches[1];
            if (id.find("..") != std::string::npos || id.find('/') != std::string::npos)
                return answerError(res, 400, QStringLiteral("Invalid filename"));
            std::lock_guard lock(m_mutex);
            const auto it = m_files.find(id);
            if (it == m_files.end())
                return answerError(res, 404, QStringLiteral("Not Found"));
            res.set_content(it->second.second, "application/octet-stream");
            res.set_header("Content-Disposition", "attachment; filename=" + it->second.first);
        });
}

void FakeLibreTranslate::stop()
{
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

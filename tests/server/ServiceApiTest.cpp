// LibreTranslate's API on tarquell-service, run as a child process: the
// requests as LibreTranslate's documentation shows them, every error with
// its text and status, CORS, files and their downloads, API keys and the
// character limit; /languages against real Apertium translations.
#include "QtPrinters.h"
#include "ServiceProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct Answer
{
    int status = 0;
    QJsonDocument json;
    std::string body;
    httplib::Headers headers;

    QString error() const { return json.object().value(s("error")).toString(); }
    QJsonValue value(const char* key) const { return json.object().value(s(key)); }
};

Answer answerOf(const httplib::Result& res)
{
    Answer a;
    if (!res) {
        ADD_FAILURE() << "no reply: " << httplib::to_string(res.error());
        return a;
    }
    a.status = res->status;
    a.body = res->body;
    a.headers = res->headers;
    a.json = QJsonDocument::fromJson(QByteArray::fromStdString(res->body));
    return a;
}

// The service with the echo engine ("[en_es] text"), its translated files in
// a folder of the test's.
class ApiService : public ::testing::Test
{
protected:
    explicit ApiService(QStringList arguments = {})
        : service(QStringList{s("--engine"), s("echo")} + arguments,
                  {s("XDG_CACHE_HOME=") + cache.path()})
    {
    }
    void SetUp() override { ASSERT_TRUE(service.isRunning()) << service.error().toStdString(); }

    Answer postJson(const std::string& path, const QJsonObject& body)
    {
        return post(path, QJsonDocument(body).toJson().toStdString(), "application/json");
    }
    Answer post(const std::string& path, const std::string& body, const char* type)
    {
        return answerOf(service.client().Post(path, body, type));
    }
    Answer postForm(const std::string& path, const httplib::Params& fields)
    {
        return answerOf(service.client().Post(path, fields));
    }
    Answer upload(const std::string& name, const std::string& data,
                  const httplib::MultipartFormDataItems& fields)
    {
        httplib::MultipartFormDataItems items = fields;
        items.push_back({"file", data, name, "application/octet-stream"});
        return answerOf(service.client().Post("/translate_file", items));
    }
    Answer get(const std::string& path) { return answerOf(service.client().Get(path)); }

    // The path of a translatedFileUrl, after checking its form.
    std::string downloadPath(const Answer& a, const char* name)
    {
        const QString url = a.value("translatedFileUrl").toString();
        const auto match = QRegularExpression(s("^http://127\\.0\\.0\\.1:%1(/download_file/"
                                                "[0-9a-f]{32}/(.*))$")
                                                  .arg(service.port()))
                               .match(url);
        EXPECT_TRUE(match.hasMatch()) << a.body;
        EXPECT_EQ(QUrl::fromPercentEncoding(match.captured(2).toUtf8()), s(name));
        return match.captured(1).toStdString();
    }

    QTemporaryDir cache;
    ServiceProcess service;
};

const QString french = s("Le chat dort sur le canapé depuis ce matin.");

// As LibreTranslate's documentation shows them: JSON, form, a batch, HTML,
// auto; the query string counts as a form.
TEST_F(ApiService, AnswersTheDocumentedRequests)
{
    Answer a = postJson("/translate", {{s("q"), s("Hello!")},
                                       {s("source"), s("en")},
                                       {s("target"), s("es")},
                                       {s("api_key"), s("ignored")}});
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.json.object(), (QJsonObject{{s("translatedText"), s("[en_es] Hello!")}}));

    a = postForm("/translate", {{"q", "Hello\r\nthere"}, {"source", "en"}, {"target", "fr"}});
    EXPECT_EQ(a.value("translatedText"), s("[en_fr] Hello\nthere"));

    a = post("/translate?q=Hi&source=de&target=it", "", "application/x-www-form-urlencoded");
    EXPECT_EQ(a.value("translatedText"), s("[de_it] Hi"));

    a = postJson("/translate", {{s("q"), QJsonArray{s("One"), s(""), s("Two")}},
                                {s("source"), s("en")},
                                {s("target"), s("es")}});
    EXPECT_EQ(a.value("translatedText"), (QJsonArray{s("[en_es] One"), s(""), s("[en_es] Two")}));

    a = postJson("/translate", {{s("q"), s("<p class=\"green\">Hello!</p>")},
                                {s("source"), s("en")},
                                {s("target"), s("es")},
                                {s("format"), s("html")}});
    EXPECT_EQ(a.value("translatedText"), s("<p class=\"green\">[en_es] Hello!</p>"));

    a = postJson("/translate",
                 {{s("q"), french}, {s("source"), s("auto")}, {s("target"), s("en")}});
    EXPECT_EQ(a.value("translatedText"), s("[fr_en] ") + french);
    const QJsonObject detected = a.value("detectedLanguage").toObject();
    EXPECT_EQ(detected.value(s("language")), s("fr"));
    EXPECT_GT(detected.value(s("confidence")).toDouble(), 50);
    EXPECT_LE(detected.value(s("confidence")).toDouble(), 100);

    // A batch with auto: one detection per text; short texts take that of
    // the whole batch.
    a = postJson(
        "/translate",
        {{s("q"),
          QJsonArray{french, s("Guten Morgen, wie geht es dir heute, mein Freund?"), s("Bonjour")}},
         {s("source"), s("auto")},
         {s("target"), s("es")}});
    QStringList languages;
    for (const QJsonValue& d : a.value("detectedLanguage").toArray())
        languages << d.toObject().value(s("language")).toString();
    EXPECT_EQ(languages, (QStringList{s("fr"), s("de"), s("fr")})) << a.body;
    EXPECT_EQ(a.value("translatedText").toArray().at(2), s("[fr_es] Bonjour"));

    // Nothing to translate comes back as it was, also with auto.
    a = postJson("/translate",
                 {{s("q"), s("😀 1234 ")}, {s("source"), s("auto")}, {s("target"), s("fr")}});
    EXPECT_EQ(a.value("translatedText"), s("😀 1234 "));
}

// Every refusal: status and LibreTranslate's text, in {"error": ...}.
TEST_F(ApiService, RefusesWithLibreTranslatesTexts)
{
    const QJsonObject en_es{{s("source"), s("en")}, {s("target"), s("es")}};
    const auto with = [&en_es](std::initializer_list<std::pair<const char*, QJsonValue>> more) {
        QJsonObject o = en_es;
        for (const auto& [key, value] : more)
            o.insert(s(key), value);
        return QJsonDocument(o).toJson().toStdString();
    };
    const struct
    {
        const char* path;
        std::string body;
        const char* type;
        int status;
        QString error; // an ending "…" compares the beginning only
    } cases[] = {
        {"/translate", with({}), "application/json", 400,
         s("Invalid request: missing q parameter")},
        {"/translate", with({{"q", s("")}}), "application/json", 400,
         s("Invalid request: missing q parameter")},
        {"/translate", with({{"q", QJsonArray()}}), "application/json", 400,
         s("Invalid request: missing q parameter")},
        {"/translate", R"({"q":"x","target":"es"})", "application/json", 400,
         s("Invalid request: missing source parameter")},
        {"/translate", R"({"q":"x","source":"en"})", "application/json", 400,
         s("Invalid request: missing target parameter")},
        {"/translate", "q=x&source=en", "application/x-www-form-urlencoded", 400,
         s("Invalid request: missing target parameter")},
        {"/translate", with({{"q", s("x")}, {"source", s("xx")}}), "application/json", 400,
         s("xx is not supported")},
        {"/translate", with({{"q", s("x")}, {"target", s("ar")}}), "application/json", 400,
         s("ar is not supported")},
        {"/translate", with({{"q", s("x")}, {"format", s("rtf")}}), "application/json", 400,
         s("rtf format is not supported")},
        {"/translate", with({{"q", 5}}), "application/json", 400,
         s("Invalid request: q must be a text")},
        {"/translate", with({{"q", QJsonArray{s("a"), 1}}}), "application/json", 400,
         s("Invalid request: every item of q must be a text")},
        {"/translate", "[\"q\"]", "application/json", 400,
         s("Invalid JSON format: the body must be a JSON object, such as …")},
        {"/translate", "{\"q\": ", "application/json", 400, s("Invalid JSON format: …")},
        {"/translate", std::string(40, '[') + std::string(40, ']'), "application/json", 400,
         s("Invalid JSON format: nested deeper than 16 levels")},
        {"/translate",
         "{\"q\":[" +
             [] {
                 std::string items = "\"a\"";
                 for (int i = 0; i < 10000; ++i)
                     items += ",\"a\"";
                 return items;
             }() +
             "],\"source\":\"en\",\"target\":\"es\"}",
         "application/json", 400, s("Invalid request: an array holds more than 10000 items")},
        {"/translate", with({{"q", s("Ωμέγα και άλφα")}, {"source", s("auto")}}),
         "application/json", 400, s("Invalid request: the language of the text cannot be …")},
        {"/detect", "{}", "application/json", 400, s("Invalid request: missing q parameter")},
        {"/translate_file", "", "multipart/form-data; boundary=x", 400,
         s("Invalid request: the multipart body …")},
        {"/translate_file",
         "--x\r\nContent-Disposition: form-data; name=\"source\"\r\n\r\nen\r\n--x--",
         "multipart/form-data; boundary=x", 400, s("Invalid request: missing file parameter")},
    };
    for (const auto& c : cases) {
        const Answer a = post(c.path, c.body, c.type);
        EXPECT_EQ(a.status, c.status) << c.path << " " << c.body.substr(0, 80);
        if (c.error.endsWith(QChar(0x2026)))
            EXPECT_TRUE(a.error().startsWith(c.error.chopped(1)))
                << a.error().toStdString() << " for " << c.body.substr(0, 80);
        else
            EXPECT_EQ(a.error(), c.error) << c.body.substr(0, 80);
        EXPECT_EQ(a.headers.find("Access-Control-Allow-Origin")->second, "*");
    }

    // The file's own refusals.
    Answer a = post("/translate_file",
                    "--x\r\nContent-Disposition: form-data; name=\"file\"; filename=\"\"\r\n\r\n"
                    "data\r\n--x\r\nContent-Disposition: form-data; name=\"source\"\r\n\r\nen\r\n"
                    "--x\r\nContent-Disposition: form-data; name=\"target\"\r\n\r\nes\r\n--x--",
                    "multipart/form-data; boundary=x");
    EXPECT_EQ(a.error(), s("Invalid request: empty file"));
    for (const char* name : {"report.xyz", "noextension", ".txt", "a.pdf"}) {
        a = upload(name, "x", {{"source", "en", "", ""}, {"target", "es", "", ""}});
        EXPECT_EQ(a.status, 400) << name;
        EXPECT_EQ(a.error(), s("Invalid request: file format not supported")) << name;
    }
    // A type that is taken, but a file that is not one.
    a = upload("report.docx", "x", {{"source", "en", "", ""}, {"target", "es", "", ""}});
    EXPECT_EQ(a.status, 400);
    EXPECT_EQ(a.error(), s("The file is not a valid Word document: it is not a zip archive"));
    a = upload(
        "report.docx", "x",
        {{"source", "en", "", ""}, {"target", "es", "", ""}, {"progress_id", "../x", "", ""}});
    EXPECT_EQ(a.error(),
              s("Invalid request: progress_id must be 32 lower-case hexadecimal digits"));
    a = upload("a.txt", "x", {{"target", "es", "", ""}});
    EXPECT_EQ(a.error(), s("Invalid request: missing source parameter"));
    a = upload("a.txt", "x", {{"source", "en", "", ""}, {"target", "xx", "", ""}});
    EXPECT_EQ(a.error(), s("xx is not supported"));

    // The wrong method, and a body over the cap (refused as it is declared).
    a = get("/translate");
    EXPECT_EQ(a.status, 405);
    EXPECT_EQ(a.error(), s("Method not allowed: /translate takes POST requests"));
    a = post("/translate", std::string(17 * 1024 * 1024, 'a'), "application/json");
    EXPECT_EQ(a.status, 413);
    EXPECT_EQ(a.error(), s("The request is larger than 16 MiB."));
}

// The points where LibreTranslate's clients found this service different
// from LibreTranslate itself: each request with the status and the one
// value of the answer the clients read.
TEST_F(ApiService, AnswersAsLibreTranslateWhereClientsLook)
{
    const char* json = "application/json";
    const char* form = "application/x-www-form-urlencoded";
    const struct
    {
        const char* method;
        const char* path;
        std::string body;
        const char* type;
        int status;
        const char* key; // a top-level key of the JSON answer, or "" for an array
        QJsonValue value;
    } points[] = {
        // Language codes in capitals are LibreTranslate's lower-case ones.
        {"POST", "/translate", R"({"q":"Hello","source":"EN","target":"ES"})", json, 200,
         "translatedText", s("[en_es] Hello")},
        {"POST", "/translate", "q=Hello&source=Fr&target=DE", form, 200, "translatedText",
         s("[fr_de] Hello")},
        {"POST", "/translate",
         QJsonDocument(
             QJsonObject{{s("q"), french}, {s("source"), s("AUTO")}, {s("target"), s("Es")}})
             .toJson()
             .toStdString(),
         json, 200, "translatedText", s("[fr_es] ") + french},
        // A text in the language asked for comes back as it is.
        {"POST", "/translate", R"({"q":"Hello","source":"en","target":"en"})", json, 200,
         "translatedText", s("Hello")},
        // alternatives is a number, or refused.
        {"POST", "/translate", "q=Hello&source=en&target=es&alternatives=abc", form, 400, "error",
         s("Invalid request: alternatives parameter is not a number")},
        {"POST", "/translate", R"({"q":"Hi","source":"en","target":"es","alternatives":"x"})", json,
         400, "error", s("Invalid request: alternatives parameter is not a number")},
        {"POST", "/translate", R"({"q":"Hi","source":"en","target":"es","alternatives":1.5})", json,
         400, "error", s("Invalid request: alternatives parameter is not a number")},
        {"POST", "/translate", "q=Hello&source=en&target=es&alternatives=3", form, 200,
         "alternatives", QJsonArray()},
        // Suggestions are off, in LibreTranslate's words.
        {"POST", "/suggest", "q=Hello&s=Hola&source=en&target=es", form, 403, "error",
         s("Suggestions are disabled on this server.")},
        {"GET", "/health", "", "", 200, "status", s("ok")},
        // Dialect tells an instance by this title.
        {"GET", "/spec", "", "", 200, "swagger", s("2.0")},
        {"GET", "/detect", "", "", 405, "error",
         s("Method not allowed: /detect takes POST requests")},
    };
    for (const auto& p : points) {
        SCOPED_TRACE(std::string(p.method) + " " + p.path + " " + p.body);
        const Answer a =
            std::string(p.method) == "GET" ? get(p.path) : post(p.path, p.body, p.type);
        EXPECT_EQ(a.status, p.status) << a.body;
        EXPECT_EQ(a.value(p.key), p.value) << a.body;
        EXPECT_EQ(a.headers.find("Access-Control-Allow-Origin")->second, "*");
    }
    const Answer spec = get("/spec");
    const QJsonObject info = spec.value("info").toObject();
    EXPECT_EQ(info.value(s("title")), s("LibreTranslate"));
    EXPECT_TRUE(spec.value("paths").toObject().contains(s("/translate")));

    // A file's languages in capitals too.
    const Answer file =
        upload("a.txt", "Hello", {{"source", "EN", "", ""}, {"target", "ES", "", ""}});
    EXPECT_EQ(file.status, 200) << file.body;
    downloadPath(file, "a.es.txt");
}

// CORS as LibreTranslate sends it, on answers, errors and the preflight.
TEST_F(ApiService, SendsCorsHeaders)
{
    auto client = service.client();
    const auto preflight =
        client.Options("/translate", {{"Origin", "moz-extension://x"},
                                      {"Access-Control-Request-Method", "POST"},
                                      {"Access-Control-Request-Headers", "content-type"}});
    ASSERT_TRUE(preflight);
    EXPECT_EQ(preflight->status, 200);
    for (const Answer& a :
         {answerOf(preflight), get("/languages"), post("/translate", "{}", "application/json")}) {
        EXPECT_EQ(a.headers.find("Access-Control-Allow-Origin")->second, "*");
        EXPECT_EQ(a.headers.find("Access-Control-Allow-Headers")->second,
                  "Authorization, Content-Type");
        EXPECT_EQ(a.headers.find("Access-Control-Allow-Methods")->second, "GET, POST");
        EXPECT_EQ(a.headers.find("Access-Control-Max-Age")->second, "1728000");
    }
}

// With the echo engine every pair translates: all ten languages, each with
// the nine others; the settings page names the file formats and the limit.
TEST_F(ApiService, ListsLanguagesAndSettings)
{
    const Answer a = get("/languages");
    ASSERT_EQ(a.status, 200);
    const QJsonArray list = a.json.array();
    ASSERT_EQ(list.size(), 10);
    EXPECT_EQ(
        list.at(0).toObject(),
        (QJsonObject{{s("code"), s("en")},
                     {s("name"), s("English")},
                     {s("targets"), QJsonArray{s("de"), s("en"), s("es"), s("fr"), s("it"), s("ja"),
                                               s("ko"), s("pt"), s("ru"), s("zh")}}}));
    const Answer settings = get("/frontend/settings");
    // Never -1: Debian 12's Dialect cuts its input box at the limit it
    // reads, and crashes on -1.
    EXPECT_EQ(settings.value("charLimit"), 16 * 1024 * 1024);
    EXPECT_EQ(settings.value("filesTranslation"), true);
    EXPECT_EQ(settings.value("apiKeys"), false);
    const QJsonArray formats = settings.value("supportedFilesFormat").toArray();
    for (const char* format : {".docx", ".odt", ".pptx", ".xlsx", ".rtf", ".html", ".htm", ".txt",
                               ".epub", ".srt", ".doc", ".odp", ".ods"})
        EXPECT_TRUE(formats.contains(s(format))) << format;
    EXPECT_FALSE(formats.contains(s(".pdf")));
    EXPECT_EQ(settings.value("language").toObject().value(s("source")).toObject().value(s("code")),
              s("auto"));

    const Answer detect = postForm("/detect", {{"q", french.toStdString()}});
    ASSERT_EQ(detect.status, 200);
    EXPECT_EQ(detect.json.array().at(0).toObject().value(s("language")), s("fr"));
    // A text in none of the ten: English with no confidence, as
    // LibreTranslate answers.
    EXPECT_EQ(postForm("/detect", {{"q", "12345"}}).json.array(),
              (QJsonArray{QJsonObject{{s("confidence"), 0}, {s("language"), s("en")}}}));
}

// A file goes into the private folder under an unguessable id and comes
// out with its type and name as often as asked for its lifetime:
// LibreTranslate's page downloads it, then offers the same link again.
TEST_F(ApiService, TranslatesFilesAndKeepsThemForTheirLifetime)
{
    Answer a = upload("C:\\docs\\notes.txt", "Caf\xe9 au lait\n",
                      {{"source", "fr", "", ""}, {"target", "en", "", ""}});
    ASSERT_EQ(a.status, 200) << a.body;
    const std::string path = downloadPath(a, "notes.en.txt");

    const QString folder = cache.path() + s("/tarquell-service/files-%1").arg(service.pid());
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);

    // Another name for the same id, or a wrong id: nothing.
    const std::string id = path.substr(15, 32);
    EXPECT_EQ(get("/download_file/" + id + "/other.txt").status, 404);
    EXPECT_EQ(get("/download_file/" + std::string(32, '0') + "/notes.en.txt").status, 404);

    // HEAD answers as GET does, without the body.
    const auto head = service.client().Head(path);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_TRUE(head->body.empty());
    EXPECT_EQ(head->get_header_value("Content-Length"),
              std::to_string(std::string("\xEF\xBB\xBF[fr_en] Café au lait\n").size()));
    EXPECT_EQ(head->get_header_value("Content-Type"), "text/plain; charset=utf-8");

    const auto res = service.client().Get(path);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    // Windows-1252 in, UTF-8 out, with a byte order mark that tells
    // editors so.
    EXPECT_EQ(res->body, "\xEF\xBB\xBF[fr_en] Café au lait\n");
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(res->get_header_value("Content-Disposition"),
              "attachment; filename=\"notes.en.txt\"; filename*=UTF-8''notes.en.txt");
    // Again, and it stays.
    const auto again = service.client().Get(path);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 200);
    EXPECT_EQ(again->body, res->body);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);

    // HTML keeps its markup and now says UTF-8; a name in any script.
    a = upload("résumé.HTML",
               "<html><head><meta charset=\"iso-8859-1\"></head><body><p>The <b>house</b>"
               "</p></body></html>",
               {{"source", "auto", "", ""}, {"target", "de", "", ""}});
    ASSERT_EQ(a.status, 200) << a.body;
    const auto html = service.client().Get(downloadPath(a, "résumé.de.html"));
    ASSERT_TRUE(html);
    EXPECT_EQ(html->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(html->body.find("<meta charset=\"utf-8\">"), std::string::npos) << html->body;
    EXPECT_NE(html->body.find("<b>[en_de] house</b>"), std::string::npos) << html->body;
}

// Any path trickery is an invalid file name; none reaches a file.
TEST_F(ApiService, RefusesPathTrickery)
{
    for (const char* path :
         {"/download_file", "/download_file/", "/download_file/..", "/download_file/../etc/passwd",
          "/download_file/%2e%2e/%2e%2e/etc/passwd", "/download_file/..%2f..%2fetc%2fpasswd",
          "/download_file/0123456789abcdef0123456789abcdef/..",
          "/download_file/0123456789abcdef0123456789abcdef/",
          "/download_file/0123456789ABCDEF0123456789ABCDEF/a.txt",
          "/download_file/0123456789abcdef0123456789abcdef/a/b.txt", "/download_file/x/a.txt"}) {
        const Answer a = get(path);
        EXPECT_EQ(a.status, 400) << path;
        EXPECT_EQ(a.error(), s("Invalid filename")) << path;
    }
}

class ApiServiceShortLived : public ApiService
{
protected:
    ApiServiceShortLived()
        : ApiService({s("--file-lifetime"), s("1"), s("--file-store-bytes"), s("64")})
    {
    }
};

// A file goes when its time is up, without any request to notice; the
// files together stay under the cap, the oldest pushed out first.
TEST_F(ApiServiceShortLived, ExpiresFilesAndCapsTheirSize)
{
    const httplib::MultipartFormDataItems en_es{{"source", "en", "", ""}, {"target", "es", "", ""}};
    Answer a = upload("a.txt", "one", en_es);
    ASSERT_EQ(a.status, 200) << a.body;
    const std::string first = downloadPath(a, "a.es.txt");
    a = upload("b.txt", "two", en_es);
    ASSERT_EQ(a.status, 200) << a.body;
    const std::string second = downloadPath(a, "b.es.txt");
    // "[en_es] one" and "[en_es] two" are 22 bytes of 64; 38 more push
    // out the oldest only.
    a = upload("c.txt", std::string(30, 'c'), en_es);
    ASSERT_EQ(a.status, 200) << a.body;
    const std::string third = downloadPath(a, "c.es.txt");
    EXPECT_EQ(get(first).status, 404);
    EXPECT_EQ(get(second).status, 200);
    EXPECT_EQ(get(third).status, 200);
    // One file larger than the whole cap is refused, and pushes out nothing.
    a = upload("d.txt", std::string(60, 'd'), en_es);
    EXPECT_EQ(a.status, 503);
    EXPECT_EQ(a.error(), s("The translated file is larger than the service may keep (64 bytes)"));
    EXPECT_EQ(get(third).status, 200);

    const QString folder = cache.path() + s("/tarquell-service/files-%1").arg(service.pid());
    QTRY_VERIFY_WITH_TIMEOUT(QDir(folder).entryList(QDir::Files).isEmpty(), 10000);
    EXPECT_EQ(get(third).status, 404);
}

class ApiServiceWithKeys : public ApiService
{
protected:
    ApiServiceWithKeys() : ApiService({s("--api-keys"), keysFile(), s("--char-limit"), s("12")}) {}
    static QString keysFile()
    {
        static QTemporaryDir dir;
        const QString name = dir.filePath(s("keys"));
        QFile f(name);
        if (f.open(QIODevice::WriteOnly))
            f.write("# our keys\nkey-one\n\n  key-two  \n");
        return name;
    }
};

// With keys, a request without one is sent to get one and a wrong one is
// refused, on every route that works for the caller; the pages that need
// none still answer. The character limit holds each text of a batch on its
// own.
TEST_F(ApiServiceWithKeys, AsksForAKeyAndKeepsTheCharacterLimit)
{
    const QJsonObject base{{s("q"), s("Hello")}, {s("source"), s("en")}, {s("target"), s("es")}};
    const QString getOne = s("Please contact the server operator to get an API key");
    for (const auto& [key, status, error] :
         {std::tuple{QJsonValue(), 400, getOne}, std::tuple{QJsonValue(s("")), 400, getOne},
          std::tuple{QJsonValue(s("key-three")), 403, s("Invalid API key")},
          std::tuple{QJsonValue(s("key")), 403, s("Invalid API key")},
          std::tuple{QJsonValue(7), 403, s("Invalid API key")}}) {
        QJsonObject o = base;
        if (!key.isUndefined())
            o.insert(s("api_key"), key);
        const Answer a = postJson("/translate", o);
        EXPECT_EQ(a.status, status) << a.body;
        EXPECT_EQ(a.error(), error);
    }
    // A document's progress and its cancel too.
    const std::string id(32, 'a');
    EXPECT_EQ(get("/translate_file/progress/" + id).error(), getOne);
    EXPECT_EQ(get("/translate_file/progress/" + id + "?api_key=key-three").status, 403);
    EXPECT_EQ(get("/translate_file/progress/" + id + "?api_key=key-one").status, 404);
    EXPECT_EQ(post("/translate_file/cancel/" + id, "", "text/plain").error(), getOne);
    EXPECT_EQ(
        post("/translate_file/cancel/" + id, "api_key=key-one", "application/x-www-form-urlencoded")
            .status,
        200);
    QJsonObject o = base;
    o.insert(s("api_key"), s("key-two"));
    EXPECT_EQ(postJson("/translate", o).value("translatedText"), s("[en_es] Hello"));
    EXPECT_EQ(postForm("/detect", {{"q", "Hello"}, {"api_key", "key-one"}}).status, 200);
    EXPECT_EQ(postForm("/detect", {{"q", "Hello"}}).status, 400);
    EXPECT_EQ(upload("a.txt", "x", {{"source", "en", "", ""}, {"target", "es", "", ""}}).status,
              400);
    EXPECT_EQ(get("/languages").status, 200);
    const Answer settings = get("/frontend/settings");
    EXPECT_EQ(settings.value("apiKeys"), true);
    EXPECT_EQ(settings.value("keyRequired"), true);
    EXPECT_EQ(settings.value("charLimit"), 12);

    // 12 characters pass (an emoji is one), however many texts; 13 in one
    // text do not.
    o.insert(s("q"), QJsonArray{s("Hello world😀"), s("Hello world😀")});
    EXPECT_EQ(postJson("/translate", o).status, 200);
    o.insert(s("q"), QJsonArray{s("Hello"), s("Hello world!😀")});
    const Answer a = postJson("/translate", o);
    EXPECT_EQ(a.status, 400);
    EXPECT_EQ(a.error(), s("Invalid request: request (13) exceeds text limit (12)"));
}

// The service refuses to start on a keys file it cannot use.
TEST(ApiServiceOptions, RefusesAnUnusableKeysFile)
{
    QTemporaryDir dir;
    QFile empty(dir.filePath(s("empty")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.write("# nothing\n\n");
    empty.close();
    for (const QString& file : {empty.fileName(), dir.filePath(s("missing"))}) {
        QProcess p;
        p.start(ServiceProcess::program(),
                {s("--listen"), s("127.0.0.1:0"), s("--api-keys"), file});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 2);
        EXPECT_TRUE(p.readAllStandardError().contains("--api-keys: "));
    }
}

bool apertiumInstalled()
{
    return QFileInfo::exists(s("/usr/share/apertium/modes/eng-spa.mode"));
}

// What /languages lists really translates: each target of English turns an
// English word into another word, and nothing unlisted is offered.
TEST(ApiApertium, ListsOnlyWhatTranslates)
{
    if (!apertiumInstalled())
        GTEST_SKIP() << "apertium-eng-spa is not installed (scripts/deps.sh installs it)";
    QTemporaryDir cache;
    ServiceProcess service({}, {s("XDG_CACHE_HOME=") + cache.path()});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const auto res = service.get("/languages");
    ASSERT_TRUE(res);
    QJsonArray english;
    QStringList listed;
    for (const QJsonValue& row :
         QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).array()) {
        listed << row.toObject().value(s("code")).toString();
        if (row.toObject().value(s("code")) == s("en"))
            english = row.toObject().value(s("targets")).toArray();
    }
    EXPECT_FALSE(listed.contains(s("ru"))) << res->body;
    ASSERT_TRUE(english.contains(s("es"))) << res->body;
    for (const QJsonValue& target : english) {
        const auto r = service.client().Post(
            "/translate",
            QJsonDocument(
                QJsonObject{{s("q"), s("house")}, {s("source"), s("en")}, {s("target"), target}})
                .toJson()
                .toStdString(),
            "application/json");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 200) << target.toString().toStdString() << r->body;
        const QString word = QJsonDocument::fromJson(QByteArray::fromStdString(r->body))
                                 .object()
                                 .value(s("translatedText"))
                                 .toString();
        EXPECT_FALSE(word.isEmpty());
        EXPECT_NE(word, s("house")) << target.toString().toStdString();
    }
    // A language listed nowhere is refused as LibreTranslate refuses it.
    const auto r = service.client().Post(
        "/translate", R"({"q":"house","source":"en","target":"ru"})", "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->body, R"({"error":"ru is not supported"})");

    // HTML through the gateway's route: the markup stays, the text is Spanish.
    const auto h = service.client().Post(
        "/translate",
        R"({"q":"<p class=\"green\">The <b>house</b> is red.</p>","source":"auto","target":"es","format":"html"})",
        "application/json");
    ASSERT_TRUE(h);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(h->body))
                  .object()
                  .value(s("translatedText")),
              s("<p class=\"green\">La <b>casa</b> es roja.</p>"))
        << h->body;
}
} // namespace

namespace {
// A batch goes through the engine in one pass; each text must come back
// exactly as it does alone, whatever it holds.
TEST(ApiApertium, TranslatesABatchAsEachTextAlone)
{
    if (!apertiumInstalled())
        GTEST_SKIP() << "apertium-eng-spa is not installed (scripts/deps.sh installs it)";
    QTemporaryDir cache;
    ServiceProcess service({}, {s("XDG_CACHE_HOME=") + cache.path()});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const QStringList texts{s("The house is red."),
                            s("no full stop here"),
                            s("Two lines:\nthe dog sleeps\n\n  and the cat eats."),
                            s("Brackets [like <these>] and a \\ backslash ^ $ @ / { } ~ stay"),
                            s("[<tarquell-batch-text/>] cannot split it."),
                            s("  "),
                            s("42"),
                            s("Where is the nearest train station? I would like a coffee!")};
    const auto translate = [&](const QJsonValue& q) {
        const auto r = service.client().Post(
            "/translate",
            QJsonDocument(QJsonObject{{s("q"), q}, {s("source"), s("en")}, {s("target"), s("es")}})
                .toJson()
                .toStdString(),
            "application/json");
        EXPECT_TRUE(r && r->status == 200) << (r ? r->body : std::string());
        return r ? QJsonDocument::fromJson(QByteArray::fromStdString(r->body))
                       .object()
                       .value(s("translatedText"))
                 : QJsonValue();
    };
    const QJsonArray together = translate(QJsonArray::fromStringList(texts)).toArray();
    ASSERT_EQ(together.size(), texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i)
        EXPECT_EQ(together.at(i), translate(texts[i])) << texts[i].toStdString();
    EXPECT_EQ(together.at(0), s("La casa es roja."));
}
} // namespace

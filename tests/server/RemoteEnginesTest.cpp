// The pieces of the remote engines: their settings, the proxy rule, how
// texts are cut, how servers' answers are read, and the LibreTranslate
// client against a server that answers LibreTranslate's documented API.
#include "FakeLibreTranslate.h"
#include "LoopbackPort.h"
#include "RemoteTestCertificate.h"
#include "TestHttpServer.h"
#include "platform/ProfileFile.h"
#include "server/ServiceOptions.h"
#include "server/remote/RemoteEngine.h"
#include "server/remote/TextPieces.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

TranslationMode mode(const char* text)
{
    return TranslationMode::parse(s(text));
}

RemoteEngineConfig libreAt(const QString& url, const QString& key = {},
                           std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    RemoteEngineConfig config;
    config.kind = RemoteEngineConfig::Kind::LibreTranslate;
    config.url = QUrl(url);
    config.apiKey = key;
    config.timeout = timeout;
    return config;
}

QString failureOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const RemoteFailure& failure) {
        return failure.message();
    }
    return {};
}
} // namespace

// ------------------------------------------------------------------ settings

TEST(EngineSettings, TheFileListsRemotesInOrderAndTheCommandLineReplacesThem)
{
    ProfileFile file;
    file.loadFromBytes("[Engines]\n"
                       "Remote2Kind=apertium-apy\n"
                       "Remote2URL=http://127.0.0.1:2737\n"
                       "Remote1Kind=LibreTranslate\n"
                       "Remote1URL=https://libretranslate.com/\n"
                       "Remote1Key=secret-key\n"
                       "Remote1Timeout=12\n"
                       "Remote3Kind=deepl\n"
                       "Remote3URL=https://api.deepl.com/\n"
                       "Remote4Kind=libretranslate\n"
                       "Remote4URL=ftp://example.org/\n"
                       "Route en_es=2\n"
                       "Route en_fr=libretranslate\n"
                       "Route en_de=7\n"
                       "Refresh=5\n");
    QStringList problems;
    const EngineSettings settings = EngineSettings::read(file, &problems);
    ASSERT_EQ(settings.remotes.size(), 2);
    EXPECT_EQ(settings.remotes[0].label(), s("LibreTranslate at https://libretranslate.com/"));
    EXPECT_EQ(settings.remotes[0].apiKey, s("secret-key"));
    EXPECT_EQ(settings.remotes[0].timeout, std::chrono::seconds(12));
    EXPECT_EQ(settings.remotes[1].label(), s("Apertium APy at http://127.0.0.1:2737/"));
    EXPECT_EQ(settings.remotes[1].timeout, std::chrono::seconds(30));
    EXPECT_EQ(settings.routes, (std::map<QString, int>{{s("en_es"), 1}, {s("en_fr"), 0}}));
    EXPECT_EQ(settings.refresh, std::chrono::seconds(300));
    EXPECT_EQ(problems,
              (QStringList{
                  s("[Engines] Remote3Kind is libretranslate or apertium-apy, not \"deepl\"; "
                    "remote 3 is left out"),
                  s("[Engines] Remote4URL needs an http or https address, such as "
                    "https://libretranslate.com/, not \"ftp://example.org/\"; remote 4 is left "
                    "out"),
                  s("[Engines] Route en_de names no remote engine (\"7\"); the mode is routed as "
                    "usual"),
                  s("[Engines] Refresh is a number of seconds from 10 to 86400; 300 is used")}));

    const ServiceOptions options =
        ServiceOptions::parse({s("--remote"), s("apertium-apy=http://127.0.0.1:9/"), s("--remote"),
                               s("libretranslate=http://127.0.0.1:8/lt"), s("--remote-key"),
                               s("libretranslate=k2"), s("--remote-timeout"), s("3"), s("--route"),
                               s("EN_DE=2"), s("--remote-refresh"), s("60")});
    const EngineSettings overridden = settings.overriddenBy(options.engines);
    ASSERT_EQ(overridden.remotes.size(), 2);
    EXPECT_EQ(overridden.remotes[0].label(), s("Apertium APy at http://127.0.0.1:9/"));
    EXPECT_EQ(overridden.remotes[1].label(), s("LibreTranslate at http://127.0.0.1:8/lt/"));
    EXPECT_EQ(overridden.remotes[1].apiKey, s("k2"));
    EXPECT_EQ(overridden.remotes[0].timeout, std::chrono::seconds(3));
    // The file's routes named the file's remotes.
    EXPECT_EQ(overridden.routes, (std::map<QString, int>{{s("en_de"), 1}}));
    EXPECT_EQ(overridden.refresh, std::chrono::seconds(60));
}

TEST(EngineSettings, AWrongCommandLineSaysWhatIsWrongWithoutTheKey)
{
    const struct
    {
        QStringList arguments;
        const char* message;
    } rows[] = {
        {{s("--remote"), s("http://x/")},
         "--remote needs KIND=URL, where KIND is libretranslate or apertium-apy, not "
         "\"http://x/\""},
        {{s("--remote"), s("libretranslate=libretranslate.com")},
         "--remote needs an http or https address, such as https://libretranslate.com/, not "
         "\"libretranslate.com\""},
        {{s("--remote"), s("libretranslate=https://user:pw@lt.example/")},
         "--remote: a user name or password in the address is not supported; use an API key"},
        {{s("--remote-key"), s("TOPSECRET")},
         "--remote-key needs KIND=KEY, where KIND is libretranslate or apertium-apy"},
        {{s("--remote-timeout"), s("0")}, "--remote-timeout needs seconds, not \"0\""},
        {{s("--route"), s("en_es")},
         "--route needs MODE=ENGINE, such as en_es=libretranslate, not \"en_es\""},
    };
    for (const auto& row : rows) {
        try {
            ServiceOptions::parse(row.arguments);
            ADD_FAILURE() << row.message;
        } catch (const TarquellError& e) {
            EXPECT_EQ(e.message(), s(row.message));
        }
    }
    const struct
    {
        QStringList arguments;
        const char* message;
    } late[] = {
        {{s("--remote-key"), s("apertium-apy=TOPSECRET")},
         "--remote-key apertium-apy=...: no remote engine of that kind is given"},
        {{s("--remote"), s("apertium-apy=http://h/"), s("--route"), s("en_xx=1")},
         "--route needs MODE=ENGINE with a mode such as en_fr, not \"en_xx\""},
        {{s("--remote"), s("apertium-apy=http://h/"), s("--route"), s("en_fr=libretranslate")},
         "--route en_fr=libretranslate: no such remote engine; give its number in the order of "
         "--remote, or its kind"},
    };
    for (const auto& row : late) {
        try {
            EngineSettings().overriddenBy(ServiceOptions::parse(row.arguments).engines);
            ADD_FAILURE() << row.message;
        } catch (const TarquellError& e) {
            EXPECT_EQ(e.message(), s(row.message));
            EXPECT_FALSE(e.message().contains(s("TOPSECRET")));
        }
    }
}

TEST(ProxyChoice, FollowsTheEnvironmentAsCurlDoes)
{
    const struct
    {
        const char* url;
        std::map<std::string, const char*> environment;
        const char* proxy; // "" direct; "!" refused
    } rows[] = {
        {"https://lt.example/", {}, ""},
        {"https://lt.example/", {{"https_proxy", "http://proxy.lan:3128"}}, "proxy.lan:3128"},
        {"https://lt.example/", {{"HTTPS_PROXY", "proxy.lan:8080"}}, "proxy.lan:8080"},
        {"http://lt.example/", {{"http_proxy", "http://u:p@proxy.lan"}}, "u:p@proxy.lan:1080"},
        // HTTP_PROXY may come from a request header of a CGI program.
        {"http://lt.example/", {{"HTTP_PROXY", "http://evil:1"}}, ""},
        {"http://lt.example/", {{"all_proxy", "http://proxy.lan:3"}}, "proxy.lan:3"},
        {"https://lt.example/",
         {{"https_proxy", "http://proxy.lan:3"}, {"no_proxy", "example.org, .example"}},
         ""},
        {"https://lt.example/", {{"https_proxy", "http://proxy.lan:3"}, {"NO_PROXY", "*"}}, ""},
        {"https://lt.example.org/",
         {{"https_proxy", "http://proxy.lan:3"}, {"no_proxy", "example"}},
         "proxy.lan:3"},
        {"http://10.1.2.3:5000/",
         {{"http_proxy", "http://proxy.lan:3"}, {"no_proxy", "10.0.0.0/8"}},
         ""},
        {"http://127.0.0.1:5000/", {{"http_proxy", "http://proxy.lan:3"}}, ""},
        {"http://localhost:5000/", {{"http_proxy", "http://proxy.lan:3"}}, ""},
        {"https://lt.example/", {{"https_proxy", "socks5://proxy.lan:1080"}}, "!"},
    };
    for (const auto& row : rows) {
        const ProxyChoice choice = ProxyChoice::forUrl(QUrl(s(row.url)), [&](const char* name) {
            const auto it = row.environment.find(name);
            return it == row.environment.end() ? QString() : s(it->second);
        });
        QString got;
        if (!choice.problem.isEmpty())
            got = s("!");
        else if (!choice.direct)
            got = (choice.user.empty()
                       ? QString()
                       : QString::fromStdString(choice.user + ":" + choice.password + "@")) +
                  QString::fromStdString(choice.host) + QStringLiteral(":%1").arg(choice.port);
        EXPECT_EQ(got, s(row.proxy)) << row.url;
    }
}

// ------------------------------------------------------------------ pieces

TEST(TextPieces, CutWhereSentencesEndAndJoinBackToTheText)
{
    const struct
    {
        const char* text;
        qsizetype limit;
        std::vector<const char*> cores;
    } rows[] = {
        {"  One. Two. Three.\n", 100, {"One. Two. Three."}},
        {"One two. Three four five. Six.", 20, {"One two.", "Three four five.", "Six."}},
        {"Alpha beta gamma delta", 12, {"Alpha beta", "gamma delta"}},
        {"Abcdefghij", 4, {"Abcd", "efgh", "ij"}},
        {"Line one\nLine two", 12, {"Line one", "Line two"}},
        {"文一。文二。文三。", 4, {"文一。", "文二。", "文三。"}},
        // Code points, as the servers count them: 😀 is one.
        {"😀😀😀 😀😀", 4, {"😀😀😀", "😀😀"}},
        {"   ", 5, {}},
    };
    for (const auto& row : rows) {
        const QString text = s(row.text);
        const QList<TextPieces::Piece> pieces = TextPieces::cut(text, row.limit);
        QString joined;
        QStringList cores;
        for (const TextPieces::Piece& piece : pieces) {
            joined += piece.lead + piece.core + piece.trail;
            if (!piece.core.isEmpty())
                cores << piece.core;
            EXPECT_LE(TextPieces::codePoints(piece.core), row.limit) << row.text;
            EXPECT_EQ(piece.core.trimmed(), piece.core) << row.text;
        }
        EXPECT_EQ(joined, text);
        QStringList expected;
        for (const char* core : row.cores)
            expected << s(core);
        EXPECT_EQ(cores, expected) << row.text;
    }
}

TEST(TextPieces, StreamPiecesNeverCutASuperblankOrAnEscape)
{
    const QByteArray stream =
        ".[][<html><head><title>]T.[][<\\/title><style>p\\{\\}<\\/style><\\/head>"
        "<body><p>]Hello[ <b>]big[<\\/b> ]world\\[1\\]. One two three four "
        "five six seven.[][<\\/p>\n]";
    for (qsizetype limit = 1; limit < stream.size() + 2; ++limit) {
        const QList<QByteArray> pieces = TextPieces::streamPieces(stream, limit);
        EXPECT_EQ(pieces.join(), stream) << limit;
        for (const QByteArray& piece : pieces) {
            // Each piece is whole segments: its superblanks are closed and
            // no escape hangs at its end.
            QByteArray rebuilt;
            for (const TextPieces::Segment& segment : TextPieces::segments(piece)) {
                if (!segment.text) {
                    EXPECT_TRUE(segment.bytes == QByteArray(1, '\0') ||
                                (segment.bytes.startsWith('[') && segment.bytes.endsWith(']')))
                        << limit << " " << piece.toStdString();
                }
                rebuilt += segment.bytes;
            }
            EXPECT_EQ(rebuilt, piece);
            qsizetype backslashes = 0;
            while (backslashes < piece.size() && piece[piece.size() - 1 - backslashes] == '\\')
                ++backslashes;
            EXPECT_EQ(backslashes % 2, 0) << limit << " " << piece.toStdString();
        }
    }
    EXPECT_EQ(TextPieces::unescape("world\\[1\\]\\\\"), s("world[1]\\"));
    EXPECT_EQ(TextPieces::escape(s("a [b] c\n\nd")), QByteArray("a \\[b\\] c[\n\n]d"));
}

// ------------------------------------------------------------------ replies

TEST(RemoteReplies, ReadTheDocumentedShapesAndRefuseTheRest)
{
    using namespace RemoteReplies;
    const Offer lt = libreLanguages(
        R"([{"code":"en","name":"English","targets":["de","zh-Hans","ar"]},
            {"code":"zh-Hans","name":"Chinese","targets":["en"]},
            {"code":"de","name":"German","targets":["en"]},
            {"code":"ar","name":"Arabic","targets":["en"]}])");
    EXPECT_EQ(lt.modes, (QSet<QString>{s("en_de"), s("en_zh"), s("zh_en"), s("de_en")}));
    EXPECT_EQ(lt.spelling.at(s("en_zh")), std::make_pair(s("en"), s("zh-Hans")));
    // Old servers list no targets: everything to everything.
    EXPECT_EQ(libreLanguages(R"([{"code":"en","name":"E"},{"code":"ja","name":"J"}])").modes,
              (QSet<QString>{s("en_ja"), s("ja_en")}));
    const LibreSettings settings = libreSettings(
        R"({"charLimit":2000,"filesTranslation":true,"supportedFilesFormat":[".txt",".docx",7]})");
    EXPECT_EQ(settings.charLimit, 2000);
    EXPECT_TRUE(settings.filesTranslation);
    EXPECT_EQ(settings.fileFormats, (QStringList{s(".txt"), s(".docx")}));
    EXPECT_EQ(libreSettings(R"({"charLimit":-1})").charLimit, -1);
    EXPECT_EQ(libreTranslation(R"({"translatedText":"Hallo"})", 0), QStringList{s("Hallo")});
    EXPECT_EQ(libreTranslation(R"({"translatedText":["a","b"]})", 2),
              (QStringList{s("a"), s("b")}));
    EXPECT_EQ(libreError(R"({"error":"Invalid API key"})"), s("Invalid API key"));
    EXPECT_EQ(libreError("<html>502</html>"), QString());
    EXPECT_EQ(libreError(R"({"error":"a\u0000b\nc"})"), s("a b c"));
    EXPECT_EQ(libreError(QByteArray(R"({"error":")") + QByteArray(400, 'x') + "\"}").size(), 303);
    // Blanks and characters of two units count too.
    EXPECT_LE(libreError(QByteArray(R"({"error":")") + QByteArray("ab \\n").repeated(100) +
                         QString(s("😀")).repeated(200).toUtf8() + "\"}")
                  .size(),
              303);

    const Offer apy = apyPairs(
        R"({"responseData":[{"sourceLanguage":"fra","targetLanguage":"spa"},
            {"sourceLanguage":"spa","targetLanguage":"eng_US"},
            {"sourceLanguage":"eng","targetLanguage":"spa"}],
            "responseDetails":null,"responseStatus":200})");
    EXPECT_EQ(apy.modes, (QSet<QString>{s("fr_es"), s("en_es")}));
    EXPECT_EQ(apy.spelling.at(s("fr_es")), std::make_pair(s("fra"), s("spa")));
    EXPECT_EQ(apyTranslation(R"({"responseData":{"translatedText":"Hola"},"responseStatus":200})"),
              s("Hola"));
    EXPECT_EQ(apyError(R"({"status":"error","code":400,"message":"Bad Request","explanation":
                          "That pair is not installed"})"),
              s("That pair is not installed"));

    const std::vector<std::function<void()>> refused = {
        [] { libreLanguages("not json"); },
        [] { libreLanguages(R"({"code":"en"})"); },
        [] { libreLanguages(R"([{"name":"no code"}])"); },
        [] { libreLanguages(R"([{"code":"en\n<script>"}])"); },
        [] { libreLanguages(R"([{"code":"en","targets":"de"}])"); },
        [] { libreTranslation(R"({"translatedText":["a"]})", 2); },
        [] { libreTranslation(R"({"translatedText":5})", 0); },
        [] { libreTranslation(R"(["a"])", 0); },
        [] { libreFileUrl(R"({"translatedFileUrl":""})"); },
        [] { apyPairs(R"({"responseData":{}})"); },
        [] { apyPairs(R"({"responseData":[{"sourceLanguage":"fra"}]})"); },
        [] { apyTranslation(R"({"responseData":null})"); },
        [] { libreLanguages(QByteArray(5000, '[') + QByteArray(5000, ']')); },
    };
    for (size_t i = 0; i < refused.size(); ++i)
        EXPECT_THROW(refused[i](), BadReply) << i;
}

// ------------------------------------------------------------------ LibreTranslate client

class LibreClient : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server.setCharLimit(120);
        server.setApiKeys({s("right-key")});
        server.setKeyRequired(true);
        server.start();
    }
    std::unique_ptr<LibreTranslateEngine>
    engine(const QString& key = s("right-key"),
           std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        auto e = std::make_unique<LibreTranslateEngine>(libreAt(server.url(s("/")), key, timeout));
        const QSet<QString> found = e->discover();
        EXPECT_TRUE(found.contains(s("en_de")) && found.contains(s("en_ja")));
        EXPECT_EQ(found.size(), 20);
        return e;
    }
    FakeLibreTranslate server;
};

TEST_F(LibreClient, TranslatesWithTheServersLimitAndJoinsThePiecesInOrder)
{
    auto lt = engine();
    EXPECT_EQ(lt->pieceLimit(), 120);
    EXPECT_EQ(lt->translate(mode("en_de"), s("Hello world!")), s("Hallo Welt!"));
    EXPECT_EQ(lt->translate(mode("en_ja"), s("Hello world")), s("こんにちは 世界"));

    QString text = s("\n");
    QString expected = s("\n");
    for (int i = 1; i <= 40; ++i) {
        text += QStringLiteral("Sentence %1 is big.  ").arg(i);
        expected += QStringLiteral("Satz %1 ist groß.  ").arg(i);
    }
    const size_t before = server.received().size();
    EXPECT_EQ(lt->translate(mode("en_de"), text), expected);
    const auto received = server.received();
    EXPECT_GT(received.size() - before, size_t(5));
    for (size_t i = before; i < received.size(); ++i) {
        EXPECT_LE(received[i].characters, 120);
        EXPECT_EQ(received[i].apiKey, s("right-key"));
        EXPECT_EQ(received[i].format, s("text"));
    }
}

TEST_F(LibreClient, EachFailureSaysWhichServerAndWhy)
{
    const QString at = server.url(s("/"));
    EXPECT_EQ(failureOf([&] { engine(s("wrong-key"))->translate(mode("en_de"), s("Hello")); }),
              s("The translation server at %1 refused the API key.").arg(at));
    EXPECT_EQ(failureOf([&] { engine(QString())->translate(mode("en_de"), s("Hello")); }),
              s("The translation server at %1 asks for an API key: Please contact the server "
                "operator to get an API key.")
                  .arg(at));
    auto slow = engine(s("right-key"), std::chrono::seconds(1));
    server.setDelay(std::chrono::milliseconds(2500));
    EXPECT_EQ(failureOf([&] { slow->translate(mode("en_de"), s("Hello")); }),
              s("The translation server at %1 did not answer within 1 second.").arg(at));
    server.setDelay(std::chrono::milliseconds(0));
    const QString down = QStringLiteral("http://127.0.0.1:%1/").arg(unusedLoopbackPort());
    LibreTranslateEngine gone(libreAt(down));
    EXPECT_EQ(failureOf([&] { gone.discover(); }),
              s("The translation server at %1 does not answer.").arg(down));
    // A language the server dropped since it was asked.
    auto stale = engine();
    auto languages = FakeLibreTranslate::defaultLanguages();
    languages.pop_back();
    server.setLanguages(languages);
    EXPECT_EQ(failureOf([&] { stale->translate(mode("en_ja"), s("Hello")); }),
              s("The translation server at %1 could not translate the text: ja is not "
                "supported.")
                  .arg(at));
}

TEST_F(LibreClient, HtmlGoesAsHtmlWhenItFitsAndThroughTheStreamWhenNot)
{
    auto lt = engine();
    const QString small = s("<p class=\"x\">Hello <b>world</b></p>");
    EXPECT_EQ(lt->translateHtml(mode("en_de"), small), s("<p class=\"x\">Hallo <b>Welt</b></p>"));
    EXPECT_EQ(server.received().back().format, s("html"));

    QString page = s("<html><head><title>Hello</title><script>var world = 1;</script></head>"
                     "<body>");
    for (int i = 0; i < 12; ++i)
        page += s("<p>Hello <i>big</i> world &amp; house.</p>\n");
    page += s("</body></html>");
    const size_t before = server.received().size();
    const QString translated = lt->translateHtml(mode("en_de"), page);
    EXPECT_TRUE(translated.contains(s("<title>Hallo</title>"))) << translated.toStdString();
    EXPECT_TRUE(translated.contains(s("var world = 1;"))) << translated.toStdString();
    EXPECT_EQ(translated.count(s("<p>Hallo <i>groß</i> Welt &amp; Haus.</p>")), 12)
        << translated.toStdString();
    const auto received = server.received();
    for (size_t i = before; i < received.size(); ++i) {
        EXPECT_EQ(received[i].format, s("text"));
        EXPECT_LE(received[i].characters, 120);
    }
}

TEST_F(LibreClient, FilesGoToTheServersFileTranslationAndComeBackFromItOnly)
{
    auto lt = engine();
    EXPECT_EQ(lt->translateFile(mode("en_de"), s("notes.txt"), "Hello world\n"),
              QByteArray("Hallo Welt\n"));
    // Formats the server does not take are ours to deformat.
    EXPECT_EQ(lt->translateFile(mode("en_de"), s("report.docx"), "PK"), std::nullopt);

    // A server that points elsewhere for the file is not followed there.
    TestHttpServer evil;
    evil.server().Get("/languages", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"([{"code":"en","name":"E","targets":["de"]},{"code":"de","name":"G"}])",
                        "application/json");
    });
    evil.server().Get("/frontend/settings", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(
            R"({"charLimit":-1,"filesTranslation":true,"supportedFilesFormat":[".txt"]})",
            "application/json");
    });
    int fetched = 0;
    evil.server().Post("/translate_file", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(
            R"({"translatedFileUrl":"http://127.0.0.1:1/download_file/../../etc/passwd"})",
            "application/json");
    });
    evil.server().Get(R"(/.*)",
                      [&fetched](const httplib::Request&, httplib::Response&) { ++fetched; });
    evil.start();
    LibreTranslateEngine misled(libreAt(evil.url(s("/"))));
    misled.discover();
    EXPECT_EQ(failureOf([&] { misled.translateFile(mode("en_de"), s("a.txt"), "Hello"); }),
              s("The translation server at %1 gave an address for the translated file outside "
                "its downloads; it was not fetched.")
                  .arg(evil.url(s("/"))));
    EXPECT_EQ(fetched, 0);
}

TEST(RemoteHttp, AnswersBeyondTheirSizeAreCutOff)
{
    TestHttpServer huge;
    huge.server().Get("/languages", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/json", [](size_t, httplib::DataSink& sink) {
            // Endless, as a hostile server may send.
            const std::string chunk(65536, '[');
            return sink.write(chunk.data(), chunk.size());
        });
    });
    huge.start();
    LibreTranslateEngine lt(libreAt(huge.url(s("/"))));
    EXPECT_EQ(failureOf([&] { lt.discover(); }),
              s("The translation server at %1 sent an answer larger than 1 MiB, more than this "
                "service takes.")
                  .arg(huge.url(s("/"))));
}

TEST(RemoteHttp, CertificatesAreVerifiedAgainstTheSystemOrTheGivenAuthority)
{
    QTemporaryDir dir;
    const QString certFile = dir.filePath(s("cert.pem"));
    const QString keyFile = dir.filePath(s("key.pem"));
    for (const auto& [path, text] : {std::pair{certFile, RemoteTestCertificate::certificate},
                                     std::pair{keyFile, RemoteTestCertificate::key}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    httplib::SSLServer tls(certFile.toLocal8Bit().constData(), keyFile.toLocal8Bit().constData());
    ASSERT_TRUE(tls.is_valid());
    tls.Get("/languages", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"([{"code":"en","name":"E","targets":["de"]},{"code":"de","name":"G"}])",
                        "application/json");
    });
    const int port = tls.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { tls.listen_after_bind(); });
    while (!tls.is_running())
        std::this_thread::yield();
    const QString url = QStringLiteral("https://127.0.0.1:%1/").arg(port);

    LibreTranslateEngine untrusted(libreAt(url));
    EXPECT_EQ(
        failureOf([&] { untrusted.discover(); }),
        s("The translation server at %1 has a certificate that could not be verified.").arg(url));
    RemoteEngineConfig config = libreAt(url);
    config.caFile = certFile;
    LibreTranslateEngine trusted(config);
    EXPECT_EQ(trusted.discover(), (QSet<QString>{s("en_de")}));
    tls.stop();
    thread.join();
}

TEST(RemoteHttp, RequestsGoThroughTheProxyTheEnvironmentNames)
{
    TestHttpServer proxy;
    std::vector<std::string> lines;
    std::mutex mutex;
    proxy.server().Get(R"(.*)", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        lines.push_back(req.method + " " + req.target + " " + req.get_header_value("Host"));
        res.set_content(R"([{"code":"en","name":"E","targets":["de"]},{"code":"de","name":"G"}])",
                        "application/json");
    });
    proxy.start();
    qputenv("http_proxy", proxy.url().toUtf8());
    LibreTranslateEngine viaProxy(libreAt(s("http://lt.example.test:5000/")));
    qunsetenv("http_proxy");
    EXPECT_EQ(viaProxy.discover(), (QSet<QString>{s("en_de")}));
    std::lock_guard lock(mutex);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "GET http://lt.example.test:5000/languages lt.example.test:5000");
}

TEST(RemoteHttp, AServerThatRepeatsTheKeyDoesNotGetItIntoTheMessage)
{
    TestHttpServer server;
    server.server().Get("/languages", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"([{"code":"en","name":"E","targets":["de"]},{"code":"de","name":"G"}])",
                        "application/json");
    });
    server.server().Post("/translate", [](const httplib::Request&, httplib::Response& res) {
        res.status = 403;
        res.set_content(R"({"error":"Key S3CRET-KEY is banned"})", "application/json");
    });
    server.start();
    LibreTranslateEngine lt(libreAt(server.url(s("/")), s("S3CRET-KEY")));
    lt.discover();
    EXPECT_EQ(failureOf([&] { lt.translate(mode("en_de"), s("Hello")); }),
              s("The translation server at %1 refused the request: Key (the API key) is banned.")
                  .arg(server.url(s("/"))));
}

// The document client against servers on 127.0.0.1: a stand-in that
// answers as LibreTranslate's API documents it (and as our service adds
// progress and cancel), a recording proxy, and tarquell-service itself.
#include "service/DocumentClient.h"
#include "QtPrinters.h"
#include "RawHttpRecorder.h"
#include "ServiceProcess.h"
#include "TestHttpServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

std::string json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

template <typename F> QString thrown(F&& call)
{
    try {
        call();
    } catch (const TarquellError& e) {
        return e.message();
    }
    return {};
}

// A document service under /lt/ on a TestHttpServer. The translation waits
// for what the test says (a poll of its progress, a cancel) before it
// answers.
class DocumentService
{
public:
    enum class Wait { Nothing, Poll, Cancel };
    explicit DocumentService(Wait wait) : m_wait(wait)
    {
        auto& server = m_http.server();
        server.Get("/lt/frontend/settings", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"filesTranslation":true,"supportedFilesFormat":)"
                            R"([".docx","ODT","",".a/b",7,".docx"]})",
                            "application/json");
        });
        server.Post("/lt/translate_file", [this](const httplib::Request& req,
                                                 httplib::Response& res) {
            std::unique_lock lock(m_mutex);
            m_contentType = req.get_header_value("Content-Type");
            for (const char* name : {"source", "target", "progress_id", "file"}) {
                if (req.has_file(name))
                    m_fields[name] = req.get_file_value(name).content;
            }
            m_fileName = req.has_file("file") ? req.get_file_value("file").filename : "";
            m_changed.wait_for(lock, std::chrono::seconds(20), [this] {
                return m_wait == Wait::Nothing || (m_wait == Wait::Poll && m_polls > 0) ||
                       (m_wait == Wait::Cancel && !m_cancelled.empty());
            });
            res.set_content(json({{s("translatedFileUrl"), m_fileUrl},
                                  {s("translatedFileFormat"), s(".docx")},
                                  {s("detectedLanguage"),
                                   QJsonObject{{s("language"), s("en")}, {s("confidence"), 90}}}}),
                            "application/json");
        });
        server.Get(R"(/lt/translate_file/progress/([0-9a-f]+))", [this](const httplib::Request& req,
                                                                        httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            m_polled = req.matches[1];
            ++m_polls;
            m_changed.notify_all();
            res.set_content(R"({"state":"translating","done":50,"total":100})", "application/json");
        });
        server.Post(R"(/lt/translate_file/cancel/([0-9a-f]+))",
                    [this](const httplib::Request& req, httplib::Response& res) {
                        std::lock_guard lock(m_mutex);
                        m_cancelled = req.matches[1];
                        m_changed.notify_all();
                        res.set_content(R"({"cancelled":true})", "application/json");
                    });
        server.Get(R"(/lt/download_file/.*)",
                   [this](const httplib::Request&, httplib::Response& res) {
                       std::lock_guard lock(m_mutex);
                       ++m_downloads;
                       res.set_content("translated bytes", "application/octet-stream");
                   });
        m_http.start();
        m_fileUrl = url(s("download_file/0123/report.es.docx"));
    }
    QString url(const QString& path = {}) const { return m_http.url(s("/lt/") + path); }
    void setFileUrl(const QString& url) { m_fileUrl = url; }

    std::string field(const char* name) const
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_fields.find(name);
        return it == m_fields.end() ? std::string() : it->second;
    }
    std::string fileName() const
    {
        std::lock_guard lock(m_mutex);
        return m_fileName;
    }
    std::string contentType() const
    {
        std::lock_guard lock(m_mutex);
        return m_contentType;
    }
    std::string polled() const
    {
        std::lock_guard lock(m_mutex);
        return m_polled;
    }
    std::string cancelled() const
    {
        std::lock_guard lock(m_mutex);
        return m_cancelled;
    }
    int downloads() const
    {
        std::lock_guard lock(m_mutex);
        return m_downloads;
    }

private:
    TestHttpServer m_http;
    Wait m_wait;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, std::string> m_fields;
    std::string m_fileName, m_contentType, m_polled, m_cancelled;
    int m_polls = 0;
    int m_downloads = 0;
    QString m_fileUrl;
};

using Step = DocumentClient::Progress::Step;
} // namespace

// The form LibreTranslate's /translate_file takes, the progress asked for
// while the service works, the file fetched from the address it answers.
TEST(DocumentClient, SendsTheFileAndFetchesItsTranslation)
{
    DocumentService service(DocumentService::Wait::Poll);
    DocumentClient client;
    client.setServiceUrl(service.url()); // the base path's slash is added
    EXPECT_EQ(client.supportedFormats(), (QStringList{s(".docx"), s(".odt")}));

    QList<DocumentClient::Progress> seen;
    const DocumentClient::Result result =
        client.translate(s("/home/u/report.docx"), "PK\x03\x04 original", s("auto"), s("es"),
                         [&](const DocumentClient::Progress& p) { seen << p; });
    EXPECT_EQ(result.file, "translated bytes");
    EXPECT_EQ(result.format, s(".docx"));
    EXPECT_EQ(result.fileName, s("report.es.docx"));
    EXPECT_EQ(result.detectedLanguage, s("en"));

    EXPECT_EQ(service.field("source"), "auto");
    EXPECT_EQ(service.field("target"), "es");
    EXPECT_EQ(service.field("file"), "PK\x03\x04 original");
    EXPECT_EQ(service.fileName(), "report.docx");
    EXPECT_TRUE(QRegularExpression(s("^multipart/form-data; boundary=tarquell-[0-9a-f]{32}$"))
                    .match(QString::fromStdString(service.contentType()))
                    .hasMatch())
        << service.contentType();
    const std::string id = service.field("progress_id");
    EXPECT_TRUE(
        QRegularExpression(s("^[0-9a-f]{32}$")).match(QString::fromStdString(id)).hasMatch());
    EXPECT_EQ(service.polled(), id);

    const auto saw = [&](Step step, qint64 done, qint64 total) {
        return std::any_of(seen.begin(), seen.end(), [&](const DocumentClient::Progress& p) {
            return p.step == step && p.done == done && p.total == total;
        });
    };
    EXPECT_TRUE(saw(Step::Sending, 0, 13));
    EXPECT_TRUE(saw(Step::Translating, 50, 100));
    EXPECT_TRUE(saw(Step::Receiving, 0, 0));
    EXPECT_EQ(seen.back().step, Step::Receiving);
}

// Esc: the call ends at once, and the service is told to stop its work.
TEST(DocumentClient, CancelEndsTheCallAndTellsTheService)
{
    DocumentService service(DocumentService::Wait::Cancel);
    DocumentClient client;
    client.setServiceUrl(service.url());
    bool aborted = false;
    try {
        client.translate(s("report.docx"), "PK", s("en"), s("es"),
                         [&](const DocumentClient::Progress& p) {
                             if (p.step == Step::Translating && p.total > 0)
                                 client.cancel();
                         });
    } catch (const SilentAbort&) {
        aborted = true;
    }
    EXPECT_TRUE(aborted);
    EXPECT_FALSE(client.isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!service.cancelled().empty(), 10000);
    EXPECT_EQ(service.cancelled(), service.field("progress_id"));
    EXPECT_EQ(service.downloads(), 0);
    // Outside a call, cancel does nothing.
    client.cancel();
}

// The translated file is fetched from the service only: an answer that
// points anywhere else is refused, and nothing is fetched.
TEST(DocumentClient, TakesTheFileOnlyFromTheServiceItself)
{
    DocumentService service(DocumentService::Wait::Nothing);
    const QString elsewhere = service.url().replace(s("127.0.0.1"), s("localhost"));
    for (const QString& address :
         {s("http://elsewhere.example/lt/download_file/0123/a.docx"),
          elsewhere + s("download_file/0123/a.docx"),
          s("https://127.0.0.1:%1/lt/download_file/0123/a.docx").arg(QUrl(service.url()).port()),
          s("http://127.0.0.1:1/lt/download_file/0123/a.docx"),
          service.url(s("../other/download_file/0123/a.docx")), service.url(s("translate_file")),
          s("file:///etc/passwd"), s("not an address"), QString()}) {
        service.setFileUrl(address);
        DocumentClient client;
        client.setServiceUrl(service.url());
        EXPECT_EQ(thrown([&] { client.translate(s("a.docx"), "PK", s("en"), s("es")); }),
                  s("The document service at %1 gave no address on itself for the translated "
                    "file")
                      .arg(service.url()))
            << address.toStdString();
    }
    EXPECT_EQ(service.downloads(), 0);
}

// What goes wrong is said in the service's words where it has them.
TEST(DocumentClient, SaysWhatTheServiceSaid)
{
    const struct
    {
        const char* path;
        int status;
        const char* body;
        const char* error; // %1: the service's address
    } cases[] = {
        {"/frontend/settings", 200, "<html>hello</html>",
         "The document service at %1 does not answer as LibreTranslate's API does"},
        {"/frontend/settings", 200, R"({"filesTranslation":false})",
         "The document service at %1 does not translate files"},
        {"/frontend/settings", 404, "Not Found",
         "The document service at %1 answered 404 to the "
         "question for its file types"},
        {"/translate_file", 400, R"({"error":"xx is not supported"})", "xx is not supported"},
        {"/translate_file", 500, "<h1>Internal error</h1>",
         "The document service at %1 answered 500 to the document"},
        {"/translate_file", 200, R"({"translatedFileUrl":"/download_file/1/a.docx"})",
         "The document service at %1 gave no address on itself for the translated file"},
    };
    for (const auto& c : cases) {
        TestHttpServer http;
        const std::string path = c.path;
        const auto answer = [&](const httplib::Request&, httplib::Response& res) {
            res.status = c.status;
            res.set_content(c.body, "application/json");
        };
        if (path == "/translate_file")
            http.server().Post(path, answer);
        else
            http.server().Get(path, answer);
        http.start();
        DocumentClient client;
        client.setServiceUrl(http.url(s("/")));
        const QString error = thrown([&] {
            if (path == "/translate_file")
                client.translate(s("a.docx"), "PK", s("en"), s("es"));
            else
                client.supportedFormats();
        });
        EXPECT_EQ(error, s(c.error).arg(http.url(s("/")))) << c.path << " " << c.body;
    }
}

// Nothing listening: the caller learns that the service is not running.
TEST(DocumentClient, NothingListeningMeansTheServiceIsNotRunning)
{
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    DocumentClient client;
    const QString url = s("http://127.0.0.1:%1/").arg(port);
    client.setServiceUrl(url);
    bool down = false;
    try {
        client.supportedFormats();
    } catch (const DocumentServiceDown& e) {
        down = true;
        EXPECT_EQ(e.url(), url);
        EXPECT_EQ(e.message(), s("The document service at %1 is not running").arg(url));
    }
    EXPECT_TRUE(down);
}

// The proxy of the settings carries the requests, as the SOAP client's
// does; a service that stays silent longer than the time-out fails.
TEST(DocumentClient, FollowsTheProxyAndTheTimeOut)
{
    RawHttpRecorder proxy;
    proxy.route("http://docs.example/frontend/settings",
                RawHttpRecorder::response(200, "OK", R"({"supportedFilesFormat":[".odt"]})"));
    proxy.start();
    DocumentClient client;
    client.setServiceUrl(s("http://docs.example"));
    client.setProxy(s("127.0.0.1:%1").arg(proxy.port()));
    EXPECT_EQ(client.supportedFormats(), QStringList{s(".odt")});
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].target, "http://docs.example/frontend/settings");

    TestHttpServer silent;
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    silent.server().Get("/frontend/settings", [&](const httplib::Request&, httplib::Response& res) {
        std::unique_lock lock(mutex);
        released.wait_for(lock, std::chrono::seconds(20), [&] { return release; });
        res.set_content("{}", "application/json");
    });
    silent.start();
    DocumentClient impatient;
    impatient.setServiceUrl(silent.url(s("/")));
    impatient.setTimeout(300);
    EXPECT_EQ(thrown([&] { impatient.supportedFormats(); }),
              s("The document service at %1 did not answer in time").arg(silent.url(s("/"))));
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
}

// The real service: its types, and a file through it and back.
TEST(DocumentClient, TranslatesThroughTheLocalService)
{
    ServiceProcess service({s("--engine"), s("echo")});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    DocumentClient client;
    client.setServiceUrl(service.url(s("/")));
    const QStringList formats = client.supportedFormats();
    for (const char* format : {".docx", ".odt", ".pptx", ".xlsx", ".epub", ".html", ".srt", ".doc"})
        EXPECT_TRUE(formats.contains(s(format))) << format;
    const DocumentClient::Result result =
        client.translate(s("/somewhere/notes.txt"), "Hello\n", s("en"), s("fr"));
    EXPECT_EQ(result.file, "[en_fr] Hello\n");
    EXPECT_EQ(result.format, s(".txt"));
    EXPECT_EQ(result.fileName, s("notes.fr.txt"));
    EXPECT_EQ(thrown([&] { client.translate(s("notes.txt"), "Hello", s("en"), s("xx")); }),
              s("xx is not supported"));
}

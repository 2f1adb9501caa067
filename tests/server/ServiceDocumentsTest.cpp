// Whole documents through tarquell-service's /translate_file, the service
// run as a child process with real Apertium pairs: documents LibreOffice
// makes, a pivot pair, LibreTranslate's refusals, progress and cancel, the
// turns documents take, a stop in the middle of one, and remote servers
// that take documents their own way (a LibreTranslate stand-in).
#include "FakeLibreTranslate.h"
#include "ServiceProcess.h"
#include "TestFiles.h"
#include "WaitFor.h"
#include "server/documents/ZipPackage.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <thread>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// English prose every Debian system has.
QString prose()
{
    QString out;
    for (const char* name : {"GPL-3", "Apache-2.0", "LGPL-2.1"})
        out += QString::fromUtf8(readAll(s("/usr/share/common-licenses/") + s(name)));
    return out;
}

struct Answer
{
    int status = 0;
    std::string body;
    httplib::Headers headers;
    QJsonObject json() const
    {
        return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    }
    QString error() const { return json().value(s("error")).toString(); }
};

Answer answerOf(const httplib::Result& res)
{
    Answer a;
    if (res) {
        a.status = res->status;
        a.body = res->body;
        a.headers = res->headers;
    }
    return a;
}

class ServiceDocuments : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = std::make_unique<QTemporaryDir>();
        if (soffice().isEmpty())
            return;
        writeAll(path("report.html"),
                 "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Report</title></head>"
                 "<body><h1>The annual report</h1>\n"
                 "<p><b>Yesterday</b> the children played in the <i>garden</i>.</p>\n"
                 "<table border=\"1\"><tr><td>Red house</td><td>Green tree</td></tr>"
                 "<tr><td>Big dog</td><td>Small cat</td></tr></table>\n"
                 "<p>Visit <a href=\"https://example.org/page?x=1\">our website</a> today.</p>\n"
                 "</body></html>\n");
        // Long enough that its translation takes seconds, even on a pool of
        // pipelines.
        QString big = s("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>\n");
        for (int i = 0; i < 3; ++i) {
            for (const QString& p : prose().split(QRegularExpression(s("\\n\\s*\\n"))))
                big += s("<p>") + p.simplified().toHtmlEscaped() + s("</p>\n");
        }
        writeAll(path("big.html"), (big + s("</body></html>\n")).toUtf8());
        office({s("--writer"), s("--convert-to"), s("docx:MS Word 2007 XML"), s("--outdir"),
                dir->path(), path("report.html"), path("big.html")});
        office({s("--writer"), s("--convert-to"), s("epub"), s("--outdir"), dir->path(),
                path("report.html")});
        office({s("--writer"), s("--convert-to"), s("doc:MS Word 97"), s("--outdir"), dir->path(),
                path("report.html")});
    }
    static void TearDownTestSuite() { dir.reset(); }
    void SetUp() override
    {
        if (soffice().isEmpty())
            GTEST_SKIP() << "LibreOffice is not installed (scripts/deps.sh)";
        if (!QFile::exists(s("/usr/share/apertium/modes/eng-spa.mode")))
            GTEST_SKIP() << "Apertium eng-spa is not installed (scripts/deps.sh)";
        for (const char* name : {"report.docx", "big.docx", "report.epub", "report.doc"})
            ASSERT_FALSE(readAll(path(name)).isEmpty()) << "LibreOffice did not make " << name;
    }

    static QString soffice() { return QStandardPaths::findExecutable(s("soffice")); }
    static QString path(const char* name) { return dir->filePath(s(name)); }
    static void office(QStringList arguments)
    {
        arguments.prepend(s("--headless"));
        arguments.prepend(s("-env:UserInstallation=") +
                          QUrl::fromLocalFile(path("office-profile")).toString());
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(soffice(), arguments);
        if (!p.waitForFinished(180000))
            p.kill();
        p.waitForFinished();
    }

    // A service with Apertium whose temporary and cache folders are the
    // test's own.
    struct Service
    {
        explicit Service(const QStringList& arguments = {}, const QStringList& environment = {})
            : process(arguments,
                      QStringList{s("TMPDIR=") + tmp.path(), s("XDG_CACHE_HOME=") + cache.path()} +
                          environment)
        {
        }
        QTemporaryDir tmp;
        QTemporaryDir cache;
        ServiceProcess process;

        Answer upload(const char* name, const std::string& data, const char* source,
                      const char* target, const std::string& progressId = {})
        {
            httplib::MultipartFormDataItems items{{"source", source, "", ""},
                                                  {"target", target, "", ""},
                                                  {"file", data, name, "application/octet-stream"}};
            if (!progressId.empty())
                items.push_back({"progress_id", progressId, "", ""});
            return answerOf(process.client().Post("/translate_file", items));
        }
        Answer get(const std::string& target) { return answerOf(process.client().Get(target)); }
        Answer download(const Answer& a)
        {
            const QUrl url(a.json().value(s("translatedFileUrl")).toString());
            return get(url.path(QUrl::FullyEncoded).toStdString());
        }
        // The service's working folders that hold anything.
        QStringList workingFiles() const
        {
            QStringList found;
            for (const QString& root :
                 QDir(tmp.path()).entryList({s("tarquell-documents-*")}, QDir::Dirs)) {
                const QDir folder(tmp.filePath(root));
                if (!folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
                    found << root;
            }
            return found;
        }
    };

    static std::unique_ptr<QTemporaryDir> dir;
};
std::unique_ptr<QTemporaryDir> ServiceDocuments::dir;

const std::string docxType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.document";

// A LibreOffice document English to Spanish, and into Portuguese by way of
// Spanish; "auto" finds the document's language; LibreOffice opens both.
TEST_F(ServiceDocuments, TranslatesALibreOfficeDocumentAndAPivotPair)
{
    Service service;
    ASSERT_TRUE(service.process.isRunning()) << service.process.error().toStdString();
    const std::string docx = readAll(path("report.docx")).toStdString();
    const QString out = dir->filePath(s("out"));
    QDir().mkpath(out);
    for (const auto& [source, target] : {std::pair{"en", "es"}, std::pair{"auto", "pt"}}) {
        SCOPED_TRACE(target);
        const Answer a = service.upload("report.docx", docx, source, target);
        ASSERT_EQ(a.status, 200) << a.body;
        EXPECT_EQ(a.json().value(s("translatedFileFormat")), s(".docx"));
        EXPECT_TRUE(a.json()
                        .value(s("translatedFileUrl"))
                        .toString()
                        .endsWith(s("/report.%1.docx").arg(s(target))));
        if (std::string(source) == "auto")
            EXPECT_EQ(a.json().value(s("detectedLanguage")).toObject().value(s("language")),
                      s("en"));
        else
            EXPECT_FALSE(a.json().contains(s("detectedLanguage")));
        const Answer file = service.download(a);
        ASSERT_EQ(file.status, 200);
        EXPECT_EQ(file.headers.find("Content-Type")->second, docxType);
        writeAll(out + s("/report.%1.docx").arg(s(target)), QByteArray::fromStdString(file.body));
    }
    office({s("--convert-to"), s("html"), s("--outdir"), out + s("/html"),
            out + s("/report.es.docx"), out + s("/report.pt.docx")});
    const QString es = readAll(out + s("/html/report.es.html"));
    const QString pt = readAll(out + s("/html/report.pt.html"));
    ASSERT_FALSE(es.isEmpty()) << "LibreOffice could not open the Spanish document";
    EXPECT_TRUE(plainText(es).contains(s("El informe anual"))) << plainText(es).toStdString();
    EXPECT_TRUE(es.simplified().contains(
        QRegularExpression(s("<(b|strong)>(<[^>]*>)*Ayer(<[^>]*>)*</(b|strong)>"))));
    EXPECT_TRUE(plainText(es).contains(s("Perro grande")));
    EXPECT_TRUE(es.contains(s("href=\"https://example.org/page?x=1\"")));
    ASSERT_FALSE(pt.isEmpty()) << "LibreOffice could not open the Portuguese document";
    EXPECT_TRUE(plainText(pt).contains(s("Ontem os meninos"))) << plainText(pt).toStdString();
    EXPECT_TRUE(service.workingFiles().isEmpty())
        << service.workingFiles().join(s(" ")).toStdString();
}

// With source=auto a Word 97 document is converted by LibreOffice once in
// and once out, as with its source given: its language is found in the
// text the translation reads anyway. A soffice first on the service's PATH
// counts its starts.
TEST_F(ServiceDocuments, AutoStartsLibreOfficeNoMoreOftenThanAGivenSource)
{
    QTemporaryDir bin;
    const QString starts = bin.filePath(s("starts"));
    const QString wrapper = bin.filePath(s("soffice"));
    writeAll(
        wrapper,
        (s("#!/bin/sh\necho start >> '%1'\nexec '%2' \"$@\"\n").arg(starts, soffice())).toUtf8());
    QFile::setPermissions(wrapper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Service service({},
                    {s("PATH=") + bin.path() + QLatin1Char(':') + qEnvironmentVariable("PATH")});
    ASSERT_TRUE(service.process.isRunning()) << service.process.error().toStdString();
    const std::string doc = readAll(path("report.doc")).toStdString();
    std::map<std::string, int> counted;
    for (const char* source : {"en", "auto"}) {
        SCOPED_TRACE(source);
        QFile::remove(starts);
        const Answer a = service.upload("report.doc", doc, source, "es");
        ASSERT_EQ(a.status, 200) << a.body;
        EXPECT_EQ(a.json().value(s("translatedFileFormat")), s(".doc"));
        EXPECT_EQ(service.download(a).status, 200);
        counted[source] = static_cast<int>(readAll(starts).count('\n'));
    }
    EXPECT_EQ(counted["en"], 2);
    EXPECT_EQ(counted["auto"], counted["en"]);
}

// Types and pairs it does not translate get LibreTranslate's texts; a
// document already in the language asked for comes back as it was.
TEST_F(ServiceDocuments, RefusesWithLibreTranslatesTexts)
{
    Service service;
    ASSERT_TRUE(service.process.isRunning()) << service.process.error().toStdString();
    const std::string docx = readAll(path("report.docx")).toStdString();
    const struct
    {
        const char* name;
        const std::string* data;
        const char* source;
        const char* target;
        int status;
        const char* error;
    } cases[] = {
        {"scan.pdf", &docx, "en", "es", 400, "Invalid request: file format not supported"},
        {"report.xyz", &docx, "en", "es", 400, "Invalid request: file format not supported"},
        {"report.docx", &docx, "en", "xx", 400, "xx is not supported"},
        // Korean is not installed here.
        {"report.docx", &docx, "ko", "en", 400, "ko is not supported"},
    };
    for (const auto& c : cases) {
        const Answer a = service.upload(c.name, *c.data, c.source, c.target);
        EXPECT_EQ(a.status, c.status) << c.name << " " << c.target;
        EXPECT_EQ(a.error(), s(c.error)) << c.name << " " << c.target;
    }
    const Answer same = service.upload("report.docx", docx, "auto", "en");
    ASSERT_EQ(same.status, 200) << same.body;
    EXPECT_EQ(service.download(same).body, docx);
}

// A long document tells how far it has got, and ends when it is cancelled;
// its working files go with it.
TEST_F(ServiceDocuments, ReportsProgressAndCancels)
{
    Service service;
    ASSERT_TRUE(service.process.isRunning()) << service.process.error().toStdString();
    const std::string id = "0123456789abcdef0123456789abcdef";
    const std::string docx = readAll(path("big.docx")).toStdString();
    auto posted = std::async(std::launch::async,
                             [&] { return service.upload("big.docx", docx, "en", "es", id); });
    qint64 done = 0, total = 0;
    for (int i = 0; i < 2000 && !(done > 0 && done < total); ++i) {
        const Answer p = service.get("/translate_file/progress/" + id);
        if (p.status == 200 && p.json().value(s("state")) == s("translating")) {
            done = qint64(p.json().value(s("done")).toDouble());
            total = qint64(p.json().value(s("total")).toDouble());
        }
        if (posted.wait_for(std::chrono::milliseconds(20)) == std::future_status::ready)
            break;
    }
    ASSERT_TRUE(done > 0 && done < total) << "no progress seen: " << done << "/" << total;
    // Mid-way, the document has its working folder.
    EXPECT_FALSE(service.workingFiles().isEmpty());
    const Answer cancel =
        answerOf(service.process.client().Post("/translate_file/cancel/" + id, "", "text/plain"));
    EXPECT_EQ(cancel.status, 200);
    const Answer a = posted.get();
    EXPECT_EQ(a.status, 503) << a.body;
    EXPECT_EQ(a.error(), s("The document's translation was cancelled"));
    EXPECT_EQ(service.get("/translate_file/progress/" + id).status, 404);
    EXPECT_TRUE(service.workingFiles().isEmpty())
        << service.workingFiles().join(s(" ")).toStdString();
    // Ids are the service's own form only.
    EXPECT_EQ(
        answerOf(service.process.client().Post("/translate_file/cancel/..%2f..", "", "text/plain"))
            .status,
        400);
}

// A stop in the middle of a document does not wait for it: it ends as
// cancelled, and the working folders and the translated files go.
TEST_F(ServiceDocuments, StoppingEndsDocumentsAndRemovesTheirFiles)
{
    Service service;
    ASSERT_TRUE(service.process.isRunning()) << service.process.error().toStdString();
    // One translated file waits for its download.
    const Answer first =
        service.upload("report.docx", readAll(path("report.docx")).toStdString(), "en", "es");
    ASSERT_EQ(first.status, 200);
    const QString files = service.cache.filePath(s("tarquell-service"));
    EXPECT_FALSE(QDir(files).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());

    const std::string id = "fedcba9876543210fedcba9876543210";
    const std::string docx = readAll(path("big.docx")).toStdString();
    auto posted = std::async(std::launch::async,
                             [&] { return service.upload("big.docx", docx, "en", "es", id); });
    ASSERT_TRUE(waitFor(
        [&] {
            const Answer p = service.get("/translate_file/progress/" + id);
            return p.status == 200 && p.json().value(s("done")).toDouble() > 0;
        },
        std::chrono::seconds(20)));
    EXPECT_TRUE(service.process.terminate());
    const Answer a = posted.get();
    EXPECT_EQ(a.status, 503) << a.body;
    EXPECT_EQ(a.error(), s("The document's translation was cancelled"));
    EXPECT_TRUE(
        QDir(service.tmp.path()).entryList({s("tarquell-documents-*")}, QDir::Dirs).isEmpty());
    EXPECT_TRUE(QDir(files).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty())
        << QDir(files).entryList(QDir::Dirs | QDir::NoDotAndDotDot).join(s(" ")).toStdString();
}

// A pair Apertium lacks goes to a LibreTranslate server: the types it takes
// as files go whole, a book's chapters as HTML, a Word document's text as
// text, each coming back in its own format.
TEST_F(ServiceDocuments, RemoteServersTakeDocumentsTheirWay)
{
    FakeLibreTranslate lt;
    lt.start();
    Service service({s("--remote"), s("libretranslate=") + lt.url(s("/"))});
    ASSERT_TRUE(service.process.isRunning()) << service.process.error().toStdString();
    const auto formatsSent = [&] {
        QStringList formats;
        for (const FakeLibreTranslate::Received& r : lt.received())
            formats << r.format;
        formats.removeDuplicates();
        return formats;
    };

    const Answer html = service.upload(
        "page.html", "<html><body><p>The house is big.</p></body></html>", "en", "de");
    ASSERT_EQ(html.status, 200) << html.body;
    EXPECT_NE(service.download(html).body.find("<p>Das Haus ist groß.</p>"), std::string::npos);
    EXPECT_EQ(formatsSent(), QStringList()) << "the page went as a file";

    const Answer epub =
        service.upload("report.epub", readAll(path("report.epub")).toStdString(), "en", "de");
    ASSERT_EQ(epub.status, 200) << epub.body;
    EXPECT_EQ(formatsSent(), QStringList{s("html")});
    ZipPackage book(QByteArray::fromStdString(service.download(epub).body), DocumentLimits{},
                    s("book"));
    bool german = false;
    for (qsizetype i = 0; i < book.entries().size(); ++i)
        german =
            german || (book.entries()[i].name.endsWith(".xhtml") && book.read(i).contains("Das"));
    EXPECT_TRUE(german);

    const Answer docx =
        service.upload("report.docx", readAll(path("report.docx")).toStdString(), "en", "de");
    ASSERT_EQ(docx.status, 200) << docx.body;
    EXPECT_EQ(formatsSent(), (QStringList{s("html"), s("text")}));
    ZipPackage word(QByteArray::fromStdString(service.download(docx).body), DocumentLimits{},
                    s("document"));
    EXPECT_TRUE(word.read("word/document.xml").contains("Das"));
}

// At most two documents are translated at once and two wait their turn
// (their progress says so); one more is told to come back later.
TEST_F(ServiceDocuments, DocumentsTakeTurns)
{
    FakeLibreTranslate lt;
    lt.setDelay(std::chrono::milliseconds(1500));
    lt.start();
    Service service({s("--remote"), s("libretranslate=") + lt.url(s("/"))});
    ASSERT_TRUE(service.process.isRunning()) << service.process.error().toStdString();
    // The remote's languages are known before the documents come.
    ASSERT_EQ(service.upload("a.html", "<p>The house</p>", "en", "de").status, 200);

    std::vector<std::future<Answer>> posted;
    for (int i = 0; i < 4; ++i) {
        const std::string id = std::string(31, '0') + char('1' + i);
        posted.push_back(std::async(std::launch::async, [&service, id] {
            return service.upload("a.html", "<p>The house</p>", "en", "de", id);
        }));
    }
    // Two translate, two wait.
    int waiting = 0;
    for (int i = 0; i < 1000 && waiting < 2; ++i) {
        waiting = 0;
        for (int k = 0; k < 4; ++k) {
            const Answer p =
                service.get("/translate_file/progress/" + std::string(31, '0') + char('1' + k));
            waiting += p.status == 200 && p.json().value(s("state")) == s("waiting");
        }
    }
    EXPECT_EQ(waiting, 2);
    const Answer refused = service.upload("a.html", "<p>The house</p>", "en", "de");
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.error(), s("The service is translating other documents; try again shortly"));
    for (auto& f : posted)
        EXPECT_EQ(f.get().status, 200);
}
} // namespace

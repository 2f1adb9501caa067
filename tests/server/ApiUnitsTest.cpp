// The API's parts without a service: the readers of forms and multipart
// bodies, the download names, the file store, and language detection on
// short texts of the ten languages.
#include "QtPrinters.h"

#include "common/LanguageDetector.h"
#include "common/MultipartForm.h"
#include "server/api/ApiError.h"
#include "server/api/ApiRequest.h"
#include "server/api/FileStore.h"
#include "server/api/LibreTranslateApi.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

TEST(ApiRequestReader, ReadsFormsAndHeaderParameters)
{
    const auto form =
        ApiRequest::readForm("q=Hello+there%21&source=en&q=second&empty=&flag&x=%E2%82%AC");
    ASSERT_EQ(form.size(), 6);
    EXPECT_EQ(form[0], std::make_pair(s("q"), s("Hello there!")));
    EXPECT_EQ(form[4], std::make_pair(s("flag"), QString()));
    EXPECT_EQ(form[5].second, s("€"));

    EXPECT_EQ(ApiRequest::headerParameter("multipart/form-data; boundary=abc", "boundary"), "abc");
    EXPECT_EQ(ApiRequest::headerParameter("multipart/form-data;BOUNDARY=\"a;b \\\"c\"", "boundary"),
              "a;b \"c");
    EXPECT_EQ(ApiRequest::headerParameter("form-data; filename=\"x.txt\"; name=\"file\"", "name"),
              "file");
    EXPECT_EQ(ApiRequest::headerParameter("form-data; name=file", "filename"), "");
    EXPECT_EQ(ApiRequest::mediaType(" Application/JSON ; charset=utf-8"), "application/json");
}

TEST(ApiRequestReader, ReadsMultipartBodiesAndRefusesBrokenOnes)
{
    const QByteArray body =
        "preamble\r\n--XyZ\r\n"
        "Content-Disposition: form-data; name=\"source\"\r\n\r\n"
        "en\r\n--XyZ\r\n"
        "Content-Disposition: form-data; name=\"file\"; filename=\"a b.txt\"\r\n"
        "Content-Type: text/plain\r\n\r\n"
        "line\r\n--XyZ-not\r\nend\r\n--XyZ\n"
        "Content-Disposition: form-data; name=\"file\"; filename*=UTF-8''%E2%82%AC.txt\n\n"
        "lf\n--XyZ--\r\n";
    const QList<ApiRequest::Part> parts = ApiRequest::readMultipart(body, "XyZ");
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[0].name, "source");
    EXPECT_FALSE(parts[0].fileName);
    EXPECT_EQ(parts[0].data, "en");
    EXPECT_EQ(parts[1].fileName, s("a b.txt"));
    EXPECT_EQ(parts[1].contentType, "text/plain");
    EXPECT_EQ(parts[1].data, "line\r\n--XyZ-not\r\nend");
    EXPECT_EQ(parts[2].fileName, s("€.txt"));
    EXPECT_EQ(parts[2].data, "lf");

    // The first file part named "file" is the file; fields keep their first
    // value, and the query string comes first.
    const ApiRequest::Params params =
        ApiRequest::read("multipart/form-data; boundary=XyZ", body, "source=fr");
    EXPECT_EQ(params.fields.value(s("source")), s("fr"));
    ASSERT_TRUE(params.file);
    EXPECT_EQ(params.file->data, "line\r\n--XyZ-not\r\nend");

    std::string many = "--b";
    for (int i = 0; i < 40; ++i)
        many += "\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\nv\r\n--b";
    many += "--";
    const struct
    {
        QByteArray body;
        QByteArray boundary;
    } broken[] = {
        {"--b\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nnever closed", "b"},
        {"no boundary here", "b"},
        {"--b\r\n" + QByteArray(9000, 'h'), "b"},
        {"--bjunk", "b"},
        {"--b\r\n", ""},
        {QByteArray::fromStdString(many), "b"},
    };
    for (const auto& c : broken) {
        try {
            ApiRequest::readMultipart(c.body, c.boundary);
            ADD_FAILURE() << "accepted " << c.body.left(60).toStdString();
        } catch (const ApiError& e) {
            EXPECT_EQ(e.status(), 400u);
            EXPECT_TRUE(e.message().startsWith(s("Invalid request: the multipart body ")))
                << e.message().toStdString();
        }
    }
}

// The form the window and the remote engines send files in, read back by
// the service's own reader: fields and content byte for byte, whatever they
// hold, and a file name that cannot break out of its header.
TEST(MultipartFormWriter, WritesWhatTheServiceReadsBack)
{
    const QByteArray content = QByteArray("\r\n--tarquell-\r\n\0\xff", 20) + QByteArray(70000, 'x');
    const struct
    {
        const char* given;
        const char* sent;
    } names[] = {
        {"C:/docs/report.docx", "report.docx"},
        {"/home/a/r\"e\\p\rort\n.txt", "r_e_p_ort_.txt"},
        {"tab\there\x7f.srt", "tab_here_.srt"},
        {"résumé €.odt", "résumé €.odt"},
        {"", "document"},
        {"folder/", "document"},
    };
    for (const auto& c : names) {
        MultipartForm form;
        form.addField("source", "en");
        form.addField("api_key", "k\r\ney \"quoted\"");
        form.addFile("file", s(c.given), content);
        const QByteArray type = form.contentType();
        const QByteArray body = form.finish();
        const ApiRequest::Params params = ApiRequest::read(type, body, {});
        EXPECT_EQ(params.fields.value(s("source")), s("en"));
        EXPECT_EQ(params.fields.value(s("api_key")), s("k\r\ney \"quoted\""));
        ASSERT_TRUE(params.file) << c.given;
        EXPECT_EQ(params.file->fileName, s(c.sent)) << c.given;
        EXPECT_EQ(params.file->data, content) << c.given;
    }
    // Each form its own boundary.
    EXPECT_NE(MultipartForm().contentType(), MultipartForm().contentType());
}

TEST(ApiDownloadName, KeepsOnlyASafeBaseName)
{
    const struct
    {
        const char* uploaded;
        const char* extension;
        const char* name;
    } cases[] = {
        {"report.txt", ".txt", "report.es.txt"},
        {"C:\\docs\\Report.Final.TXT", ".txt", "Report.Final.es.txt"},
        {"../../etc/passwd.txt", ".txt", "passwd.es.txt"},
        {"..txt", ".txt", "document.es.txt"},
        {"a\"b\nc%d:e.html", ".html", "a_b_c_d_e.es.html"},
        {"   .txt", ".txt", "document.es.txt"},
        {"résumé.doc", ".docx", "résumé.es.docx"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LibreTranslateApi::downloadName(s(c.uploaded), s("es"), s(c.extension)),
                  s(c.name))
            << c.uploaded;
    const QString longName = LibreTranslateApi::downloadName(
        QString(300, QChar(0x4e2d)) + s(".txt"), s("en"), s(".txt"));
    EXPECT_EQ(longName.size(), 100 + 7);
}

TEST(ApiFileStore, KeepsEachFileUnderItsOwnIdAndPushesOutTheOldest)
{
    QTemporaryDir dir;
    FileStore store(dir.filePath(s("parent")), 1000, std::chrono::seconds(60));
    std::set<QString> ids;
    for (int i = 0; i < 20; ++i) {
        const QString id = store.put("x", s("n.txt"), s("text/plain"));
        EXPECT_TRUE(FileStore::isId(id)) << id.toStdString();
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 20u);
    EXPECT_EQ(store.storedBytes(), 20);
    EXPECT_TRUE(store.folder().startsWith(dir.filePath(s("parent/files-"))));

    const QString id = store.put("hello", s("h.txt"), s("text/plain"));
    EXPECT_FALSE(store.open(id, s("other.txt")));
    EXPECT_FALSE(store.open(id.toUpper(), s("h.txt")));
    // As often as asked, each time from the beginning.
    for (int i = 0; i < 2; ++i) {
        auto opened = store.open(id, s("h.txt"));
        ASSERT_TRUE(opened);
        char buffer[16] = {};
        EXPECT_EQ(::read(opened->fd, buffer, sizeof buffer), 5);
        ::close(opened->fd);
        EXPECT_EQ(QByteArray(buffer), "hello");
    }
    EXPECT_EQ(QDir(store.folder()).entryList(QDir::Files).size(), 21);

    // Larger than the cap: refused. Otherwise the oldest go, in order of
    // their storing, until the new one fits.
    EXPECT_THROW(store.put(QByteArray(1001, 'x'), s("big"), s("x")), TarquellError);
    EXPECT_EQ(store.storedBytes(), 25);
    const QString big = store.put(QByteArray(980, 'x'), s("big"), s("x"));
    EXPECT_EQ(store.storedBytes(), 1000);
    EXPECT_TRUE(store.open(id, s("h.txt")).has_value());
    EXPECT_EQ(QDir(store.folder()).entryList(QDir::Files).size(), 1 + 15 + 1);
    // The fifteen ones left, then "hello", make room; the big one stays.
    store.put(QByteArray(20, 'y'), s("y"), s("y"));
    EXPECT_TRUE(store.open(big, s("big")).has_value());
    EXPECT_FALSE(store.open(id, s("h.txt")).has_value());
    EXPECT_EQ(store.storedBytes(), 1000);

    // A folder left by a process that is gone is cleared away by the next.
    const QString folder = store.folder();
    QDir().mkpath(dir.filePath(s("parent/files-999999999")));
    FileStore other(dir.filePath(s("parent")), 1000, std::chrono::seconds(60));
    other.put("y", s("y"), s("y"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(s("parent/files-999999999"))));
    EXPECT_TRUE(QFileInfo::exists(folder)); // ours, this process runs
}

// A link planted under a leftover folder's name is removed as a link: what
// it points to is never touched. A parent others may write to is refused.
TEST(ApiFileStore, NeverFollowsAPlantedLinkAndRefusesASharedParent)
{
    QTemporaryDir dir;
    const QString parent = dir.filePath(s("parent"));
    ASSERT_TRUE(QDir().mkpath(parent));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(s("victim"))));
    QFile marker(dir.filePath(s("victim/marker")));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.write("keep me");
    marker.close();
    ::chmod(QFile::encodeName(parent).constData(), 0700);
    // Links at the folder's name, and inside a leftover folder.
    ASSERT_TRUE(QFile::link(dir.filePath(s("victim")), parent + s("/files-999999998")));
    ASSERT_TRUE(QDir().mkpath(parent + s("/files-999999997")));
    ASSERT_TRUE(QFile::link(dir.filePath(s("victim")), parent + s("/files-999999997/inner")));
    {
        FileStore store(parent, 1000, std::chrono::seconds(60));
        store.put("x", s("x"), s("x"));
        EXPECT_FALSE(QFileInfo(parent + s("/files-999999998")).isSymLink());
        EXPECT_FALSE(QFileInfo::exists(parent + s("/files-999999997")));
    }
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(s("victim/marker"))));

    for (const mode_t mode : {0777, 0770, 0702}) {
        SCOPED_TRACE(mode);
        ::chmod(QFile::encodeName(parent).constData(), mode);
        EXPECT_THROW(FileStore::checkParent(parent), TarquellError);
        FileStore store(parent, 1000, std::chrono::seconds(60));
        try {
            store.put("x", s("x"), s("x"));
            ADD_FAILURE() << "a shared parent was taken";
        } catch (const TarquellError& e) {
            EXPECT_TRUE(e.message().contains(s("only this user may write to")))
                << e.message().toStdString();
        }
    }
    ::chmod(QFile::encodeName(parent).constData(), 0700);
    EXPECT_NO_THROW(FileStore::checkParent(parent));
    // A link in the parent's place is refused too.
    ASSERT_TRUE(QFile::link(dir.filePath(s("victim")), dir.filePath(s("linked"))));
    EXPECT_THROW(FileStore::checkParent(dir.filePath(s("linked"))), TarquellError);
}

// Reads "code<TAB>source<TAB>text" lines.
std::vector<std::pair<QString, QString>> testSet(const char* name)
{
    QFile f(s(TARQUELL_TEST_DATA "/") + s(name));
    std::vector<std::pair<QString, QString>> rows;
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << name;
        return rows;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 3)
            rows.emplace_back(QString::fromUtf8(fields[0]), QString::fromUtf8(fields[2]));
    }
    return rows;
}

// The share of each set that is detected right, printed per language; the
// floors sit a little under what CLD2 reaches here, so that a worse
// detector or a lost language fails.
TEST(LanguageDetection, DetectsShortTextsOfTheTenLanguages)
{
    const struct
    {
        const char* file;
        double overall;
        int perLanguage; // of each language's texts, at least this many
    } sets[] = {
        {"detect-everyday.tsv", 0.95, 19},
        {"detect-messages.tsv", 0.90, 20},
        {"detect-phrases.tsv", 0.75, 14},
    };
    for (const auto& set : sets) {
        std::map<QString, std::pair<int, int>> counts; // right, all
        int right = 0;
        const auto rows = testSet(set.file);
        ASSERT_GE(rows.size(), 200u) << set.file;
        for (const auto& [code, text] : rows) {
            const QList<LanguageDetector::Guess> guesses = LanguageDetector::detect(text);
            const bool ok = !guesses.isEmpty() && guesses.front().code == code;
            for (const auto& g : guesses) {
                EXPECT_GE(g.confidence, 0);
                EXPECT_LE(g.confidence, 100);
            }
            counts[code].first += ok;
            counts[code].second += 1;
            right += ok;
        }
        std::printf("%s: %d of %zu right (%.1f%%);", set.file, right, rows.size(),
                    100.0 * right / rows.size());
        for (const auto& [code, c] : counts) {
            std::printf(" %s %d/%d", code.toUtf8().constData(), c.first, c.second);
            EXPECT_GE(c.first, set.perLanguage) << set.file << " " << code.toStdString();
        }
        std::printf("\n");
        EXPECT_GE(double(right) / rows.size(), set.overall) << set.file;
    }
}

TEST(LanguageDetection, AnswersNothingForTextsWithoutLanguage)
{
    for (const char* text : {"", "   ", "12345", "😀😀", "<p></p>", "Ωμέγα και άλφα, καλημέρα σας"})
        EXPECT_TRUE(LanguageDetector::detect(s(text), true).isEmpty()) << text;
    // Markup is skipped when it is HTML; only the head of a long text is
    // read.
    EXPECT_EQ(LanguageDetector::detect(s("<p title=\"The house is red and big\">Das Haus ist "
                                         "rot und groß.</p>"),
                                       true)
                  .value(0)
                  .code,
              s("de"));
    const QString longText = QString(s("Le chat dort sur le canapé. ")).repeated(2000) +
                             QString(s("The dog. ")).repeated(20000);
    EXPECT_EQ(LanguageDetector::detect(longText).value(0).code, s("fr"));
}
} // namespace

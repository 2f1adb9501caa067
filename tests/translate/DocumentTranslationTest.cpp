// The names translated documents get, and the rules that keep the original
// from ever being written over.
#include "translate/DocumentTranslation.h"
#include "QtPrinters.h"
#include "platform/Errors.h"
#include "platform/ProfileFile.h"
#include "translate/MainSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The message of what the call throws; empty when it throws nothing.
template <typename F> QString thrown(F&& call)
{
    try {
        call();
    } catch (const TarquellError& e) {
        return e.message();
    }
    return {};
}
} // namespace

TEST(DocumentTranslation, ProposesTheNameBesideTheOriginal)
{
    const struct
    {
        const char* input;
        const char* target;
        const char* proposed;
    } rows[] = {
        {"/docs/report.docx", "es", "/docs/report.es.docx"},
        {"report.docx", "es", "report.es.docx"},
        {"./a/report.final.ODT", "de", "./a/report.final.de.ODT"},
        // LibreOffice cannot write these: the translation is a .docx.
        {"/docs/letter.wpd", "fr", "/docs/letter.fr.docx"},
        {"/docs/old.doc", "pt", "/docs/old.pt.doc"},
        {"/docs/notes", "es", "/docs/notes.es"},
        {"/docs/my book.epub", "it", "/docs/my book.it.epub"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(DocumentTranslation::proposedOutput(s(r.input), s(r.target)), s(r.proposed))
            << r.input;
}

TEST(DocumentTranslation, TheNameSaysTheTypeGiven)
{
    const struct
    {
        const char* output;
        const char* format;
        const char* result;
    } rows[] = {
        {"/d/report.es.docx", ".docx", "/d/report.es.docx"},
        {"/d/report.es.DOCX", ".docx", "/d/report.es.DOCX"},
        {"/d/letter.fr.wpd", ".docx", "/d/letter.fr.docx"},
        {"/d/letter.fr", ".docx", "/d/letter.fr.docx"},
        {"/d/my.translation", ".odt", "/d/my.translation.odt"},
        {"/d/report.es.docx", "", "/d/report.es.docx"},
        {"/d/report.es.docx", "docx", "/d/report.es.docx"}, // not a format: left alone
    };
    for (const auto& r : rows)
        EXPECT_EQ(DocumentTranslation::withFormat(s(r.output), s(r.format)), s(r.result))
            << r.output << " " << r.format;
}

TEST(DocumentTranslation, KnowsDocumentsByTheirExtension)
{
    for (const char* name : {"a.docx", "a.ODT", "b.pptx", "c.xlsx", "d.rtf", "e.html", "f.epub",
                             "g.srt", "h.doc", "i.pdf", "/x/y.htm"})
        EXPECT_TRUE(DocumentTranslation::isDocument(s(name))) << name;
    for (const char* name : {"a.txt", "a.TXT", "notes", "a.md", "-", "archive.zip"})
        EXPECT_FALSE(DocumentTranslation::isDocument(s(name))) << name;

    EXPECT_EQ(thrown([] { DocumentTranslation::checkType(s("a.docx")); }), QString());
    EXPECT_TRUE(thrown([] {
                    DocumentTranslation::checkType(s("a.pdf"));
                }).startsWith(s("PDF files cannot be translated with their layout")));
    EXPECT_TRUE(thrown([] { DocumentTranslation::checkType(s("a.xyz")); })
                    .startsWith(s("files of the type .xyz are not translated as documents; "
                                  "these types are: docx,")));
}

// The same file under any name, a link or a hard link is the original.
TEST(DocumentTranslation, NeverWritesOverTheOriginal)
{
    QTemporaryDir dir;
    const QString original = dir.filePath(s("report.docx"));
    write(original, "original bytes");
    ASSERT_EQ(::symlink("report.docx", QFile::encodeName(dir.filePath(s("link.docx"))).constData()),
              0);
    ASSERT_EQ(::link(QFile::encodeName(original).constData(),
                     QFile::encodeName(dir.filePath(s("hard.docx"))).constData()),
              0);
    QDir(dir.path()).mkdir(s("sub"));
    const QStringList sameNames{original, dir.filePath(s("sub/../report.docx")),
                                dir.filePath(s("./report.docx")), dir.filePath(s("link.docx")),
                                dir.filePath(s("hard.docx"))};
    for (const QString& name : sameNames) {
        EXPECT_TRUE(DocumentTranslation::sameFile(original, name)) << name.toStdString();
        EXPECT_TRUE(thrown([&] {
                        DocumentTranslation::save(name, "translation", original);
                    }).startsWith(s("The translation would be written over the original")))
            << name.toStdString();
    }
    EXPECT_EQ(read(original), "original bytes");

    const QString other = dir.filePath(s("report.es.docx"));
    EXPECT_FALSE(DocumentTranslation::sameFile(original, other));
    DocumentTranslation::save(other, "translation", original);
    EXPECT_EQ(read(other), "translation");
    // An existing translation is replaced whole.
    DocumentTranslation::save(other, "second", original);
    EXPECT_EQ(read(other), "second");
    EXPECT_EQ(read(original), "original bytes");
    // A folder that cannot be written: the reason, and nothing left behind.
    EXPECT_TRUE(thrown([&] {
                    DocumentTranslation::save(dir.filePath(s("missing/x.docx")), "t", original);
                }).startsWith(s("Cannot write ")));
}

TEST(DocumentTranslation, ReadsWhatTheServiceTakes)
{
    QTemporaryDir dir;
    const QString small = dir.filePath(s("a.docx"));
    write(small, "PK\x03\x04 bytes");
    EXPECT_EQ(DocumentTranslation::readDocument(small), QByteArray("PK\x03\x04 bytes"));
    // One byte over the service's limit (a sparse file).
    const QString large = dir.filePath(s("large.docx"));
    {
        QFile f(large);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(64 * 1024 * 1024 + 1));
    }
    EXPECT_EQ(thrown([&] { DocumentTranslation::readDocument(large); }),
              s("The file is larger than 64 MiB, the most the document service takes"));
    EXPECT_TRUE(thrown([&] {
                    DocumentTranslation::readDocument(dir.filePath(s("none.docx")));
                }).startsWith(s("Cannot read ")));
    EXPECT_EQ(DocumentTranslation::failure(s("/x/report.docx"), s("it broke")),
              s("Cannot translate report.docx: it broke"));
}

// [Services] "Document Service": the local service unless set; an empty
// value keeps the default.
TEST(DocumentTranslation, TheDocumentServiceComesFromTheSettings)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(s("TarquellTranslator.ini"));
    for (const auto& [text, expected] : std::vector<std::pair<QByteArray, QString>>{
             {"", s("http://127.0.0.1:8731/")},
             {"[Services]\nDocument Service=\n", s("http://127.0.0.1:8731/")},
             {"[Services]\nDocument Service= https://docs.example/lt/ \n",
              s("https://docs.example/lt/")}}) {
        write(ini, text);
        ProfileFile file(ini);
        file.load();
        EXPECT_EQ(ServiceLocations::read(file).documentService, expected) << text.toStdString();
    }
}

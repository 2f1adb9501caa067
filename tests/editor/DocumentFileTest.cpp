// Reading and saving document files, the dialogs' filters and routes.
#include "editor/DocumentFile.h"
#include "QtPrinters.h"
#include "editor/DocumentFilters.h"
#include "editor/TextDecoding.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(TextDecoding, ByteOrderMarksThenUtf8ThenWindows1252)
{
    struct Case
    {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"plain ascii", QStringLiteral("plain ascii")},
        {"\xEF\xBB\xBF"
         "caf\xC3\xA9",
         QStringLiteral("caf\u00e9")},
        {QByteArray("\xFF\xFE"
                    "h\0\x16\x04",
                    6),
         QStringLiteral("h\u0416")},
        {QByteArray("\xFE\xFF\0h\x04\x16", 6), QStringLiteral("h\u0416")},
        {"caf\xC3\xA9 \xD0\x96", QStringLiteral("caf\u00e9 \u0416")},
        // Not UTF-8: a lone Latin-1 byte, an overlong form, a surrogate, a cut sequence.
        {"caf\xE9 \x80", QStringLiteral("caf\u00e9 \u20ac")},
        {"\xC0\xAF", QStringLiteral("\u00c0\u00af")},
        {"\xED\xA0\x80", QStringLiteral("\u00ed\u00a0\u20ac")},
        {"ab\xE2\x82", QStringLiteral("ab\u00e2\u201a")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextDecoding::decode(c.bytes), c.text) << c.bytes.toHex().toStdString();
}

TEST(DocumentFile, LoadsRtfWithFormatsElseText)
{
    QTextDocument doc;
    DocumentFile::load("{\\rtf1 {\\b x}y}", doc);
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("xy"));
    EXPECT_EQ(
        QTextCursor(doc.findBlockByNumber(0)).block().begin().fragment().charFormat().fontWeight(),
        QFont::Bold);
    DocumentFile::load("line1\r\nline2 \\b not rtf", doc);
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("line1\nline2 \\b not rtf"));
}

TEST(DocumentFile, BinaryFilesAreNotText)
{
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("kept"));
    try {
        DocumentFile::load(QByteArray("MZ\0\0\x90", 5), doc);
        FAIL() << "no error";
    } catch (const TarquellError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Failed to Load Stream"));
    }
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("kept"));
}

TEST(DocumentFile, ReadErrorsNameTheFile)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    try {
        DocumentFile::readAll(missing);
        FAIL() << "no error";
    } catch (const TarquellError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot open file ") + missing);
    }
}

TEST(DocumentFile, PlainTextHasCrLfLineEnds)
{
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("a\u2028b"));
    c.insertBlock();
    c.insertText(QStringLiteral("\u0416\u00a0x"));
    c.insertBlock();
    EXPECT_EQ(DocumentFile::plainText(doc), QStringLiteral("a\r\nb\r\n\u0416\u00a0x\r\n"));
    EXPECT_EQ(DocumentFile::saveBytes(QStringLiteral("/x/out.TXT"), doc),
              QByteArray("a\r\nb\r\n\xD0\x96\xC2\xA0x\r\n"));
    EXPECT_TRUE(DocumentFile::saveBytes(QStringLiteral("/x/out.RTF"), doc).startsWith("{\\rtf1"));
    EXPECT_FALSE(DocumentFile::isRtfName(QStringLiteral("/x/rtf")));
}

TEST(DocumentFile, FailedSaveKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.txt"));
    DocumentFile::save(path, "first");
    DocumentFile::save(path, "second");
    EXPECT_EQ(readFile(path), QByteArray("second"));

    // A folder that cannot be written: nothing is created, the old file stays.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool writable = QFile(dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly);
    for (const QString& target : {path, dir.filePath(QStringLiteral("sub/none.txt"))}) {
        if (writable && target == path)
            continue; // root ignores permissions; the missing folder still fails
        try {
            DocumentFile::save(target, "third");
            FAIL() << "no error for " << target.toStdString();
        } catch (const TarquellError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Cannot create file ") + target);
        }
    }
    QFile::remove(dir.filePath(QStringLiteral("probe")));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readFile(path), QByteArray("second"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.txt")});
}

TEST(DocumentFilters, QtFiltersAndRoutes)
{
    EXPECT_EQ(
        DocumentFilters::toQtFilters(QString::fromLatin1(DocumentFilters::OpenFilter)),
        (QStringList{QStringLiteral("Plain Text files (*.txt *.TXT)"),
                     QStringLiteral("Rich Text files (*.rtf *.RTF)"),
                     QStringLiteral("Microsoft Word files (*.doc *.DOC)"),
                     QStringLiteral("HTML files (*.htm *.HTM)"), QStringLiteral("All files (*)")}));
    EXPECT_EQ(DocumentFilters::toQtFilters(QString::fromLatin1(DocumentFilters::SaveFilter)).size(),
              3);
    using R = DocumentFilters::OpenRoute;
    struct Case
    {
        int index;
        const char* file;
        R route;
    } cases[] = {{1, "a.rtf", R::Direct},   {2, "a.txt", R::Direct},    {3, "a.txt", R::Convert},
                 {4, "a.htm", R::Convert},  {5, "a.DOCX", R::Convert},  {5, "a.odt", R::Convert},
                 {5, "a.html", R::Convert}, {5, "a.rtf", R::Direct},    {5, "a.text", R::Direct},
                 {5, "noext", R::Direct},   {5, "a.xhtml", R::Convert}, {5, "a.wpd", R::Convert}};
    for (const Case& c : cases)
        EXPECT_EQ(DocumentFilters::openRoute(c.index, QString::fromLatin1(c.file)), c.route)
            << c.index << " " << c.file;
}

} // namespace

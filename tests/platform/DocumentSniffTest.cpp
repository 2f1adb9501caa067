#include "platform/DocumentSniff.h"

#include <gtest/gtest.h>

using Kind = DocumentSniff::Kind;

namespace {
// An OLE2 compound file whose directory, one sector after the header,
// holds one stream of this name.
QByteArray compound(const QString& stream, char type = 2)
{
    QByteArray file("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    file.resize(512, '\0');
    QByteArray entry(128, '\0');
    const QByteArray name(reinterpret_cast<const char*>(stream.utf16()), stream.size() * 2);
    entry.replace(0, name.size(), name);
    const int length = static_cast<int>(name.size()) + 2;
    entry[64] = static_cast<char>(length);
    entry[66] = type;
    return file + QByteArray(128, '\0') + entry; // the entry at 640, a multiple of 128
}
} // namespace

TEST(DocumentSniff, TellsTheTypeByTheBytes)
{
    const QByteArray utf16Page =
        QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(u"<html><p>x"), 20);
    const struct
    {
        QByteArray bytes;
        Kind kind;
    } cases[] = {
        {compound(QStringLiteral("WordDocument")), Kind::WordBinary},
        {compound(QStringLiteral("WordDocument"), 1), Kind::Compound}, // a storage, not a stream
        {compound(QStringLiteral("MatOST")), Kind::Compound},
        {compound(QStringLiteral("WordDocumentX")), Kind::Compound},
        {QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), Kind::Compound},
        {QByteArray("PK\x03\x04....[Content_Types].xml"), Kind::Ooxml},
        {QByteArray("PK\x03\x04") + QByteArray(26, 'x') +
             "mimetypeapplication/vnd.oasis.opendocument.text",
         Kind::Odf},
        {QByteArray("PK\x05\x06"), Kind::Zip},
        {"{\\rtf1\\ansi x}", Kind::Rtf},
        {QByteArray("\x31\xBE\0\0\0\xAB", 6), Kind::Write},
        {QByteArray("\x32\xBE\0\0\0\xAB", 6), Kind::Write},
        {QByteArray("\x31\xBE\1\0", 4), Kind::Unknown},
        {"\xFFWPC\x10\0\0\0", Kind::WordPerfect},
        {"%PDF-1.7\n", Kind::Pdf},
        {"<!DOCTYPE html><p>x", Kind::Html},
        {"\xEF\xBB\xBF  \n<HTML lang=en>", Kind::Html},
        {"<!-- saved from url --><html>", Kind::Html},
        {"<!-- a comment that never ends", Kind::Html},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0\">", Kind::Html},
        {"<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\">", Kind::Html},
        {"<p>Hello", Kind::Html},
        {"<img src=x>", Kind::Html},
        {"<pre>", Kind::Html},
        {"<paragraph>", Kind::Xml}, // starts like <p but is another element
        {"<?xml version=\"1.0\"?><a/>", Kind::Xml},
        {utf16Page, Kind::Html},
        {"<?xml version=\"1.0\"?><office:document xmlns:office="
         "\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">",
         Kind::FlatOdf},
        {"<o:document xmlns:o=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">",
         Kind::FlatOdf},
        {"<office:document-content xmlns:office="
         "\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">",
         Kind::Xml},
        {"<?xml version=\"1.0\"?><abiword>", Kind::Xml},
        {"Hello <html>", Kind::Unknown},
        {"plain text", Kind::Unknown},
        {"", Kind::Unknown},
        {"<", Kind::Unknown},
        {"<?xml", Kind::Xml},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DocumentSniff::sniff(c.bytes), c.kind) << c.bytes.left(60).toHex().toStdString();
}

// The extensions LibreOffice reads are tied to their content; a page
// under any of their names does not fit.
TEST(DocumentSniff, AContentFitsOnlyTheNamesOfItsType)
{
    const struct
    {
        Kind kind;
        const char* extension;
        bool fits;
    } cases[] = {
        {Kind::WordBinary, "doc", true},  {Kind::WordBinary, "DOT", true},
        {Kind::Html, "doc", false},       {Kind::Html, "rtf", false},
        {Kind::Html, "wri", false},       {Kind::Html, "fodt", false},
        {Kind::Unknown, "doc", false},    {Kind::Rtf, "rtf", true},
        {Kind::Rtf, "doc", false},        {Kind::Write, "wri", true},
        {Kind::FlatOdf, "fodt", true},    {Kind::Xml, "fodt", false},
        {Kind::WordPerfect, "wpd", true}, {Kind::Unknown, "wpd", false},
        {Kind::Compound, "wps", true},    {Kind::Compound, "doc", false},
        {Kind::Unknown, "lwp", true},     {Kind::Html, "lwp", false},
        {Kind::Unknown, "abw", true},     {Kind::Xml, "abw", true},
        {Kind::Ooxml, "docx", true},      {Kind::Zip, "docx", false},
        {Kind::Html, "html", true},       {Kind::Unknown, "htm", true},
        {Kind::Html, "txt", true}, // plain text takes anything
    };
    for (const auto& c : cases)
        EXPECT_EQ(DocumentSniff::fits(c.kind, QString::fromLatin1(c.extension)), c.fits)
            << c.extension << " " << static_cast<int>(c.kind);
}

#include "DocumentSniff.h"

#include <QByteArray>

namespace DocumentSniff {
namespace {

constexpr qsizetype HeadBytes = 4096;

bool startsWith(QByteArrayView data, QByteArrayView prefix)
{
    return data.size() >= prefix.size() && data.first(prefix.size()) == prefix;
}

unsigned le16(QByteArrayView data, qsizetype at)
{
    return static_cast<unsigned char>(data[at]) | static_cast<unsigned char>(data[at + 1]) << 8;
}

// Directory entries are 128 bytes and sectors 512 or 4096 bytes from the
// start of the file, so every entry sits at a multiple of 128: looking at
// each of them needs no walk of the sector chains a hostile file could
// loop.
bool holdsWordDocumentStream(QByteArrayView data)
{
    static const QByteArrayView name("W\0o\0r\0d\0D\0o\0c\0u\0m\0e\0n\0t\0\0\0", 26);
    for (qsizetype at = 512; at + 128 <= data.size(); at += 128) {
        // name length in bytes with its terminator, then type 2: a stream
        if (le16(data, at + 64) == 26 && data[at + 66] == 2 && data.sliced(at, 26) == name)
            return true;
    }
    return false;
}

Kind sniffZip(QByteArrayView data)
{
    // Every entry's name is in the central directory at the end: looking
    // for the name in the whole archive finds it however it is packed.
    if (data.indexOf(QByteArrayView("[Content_Types].xml")) >= 0)
        return Kind::Ooxml;
    // OpenDocument's first entry is its stored mimetype.
    if (data.size() > 38 && data.sliced(30, 8) == QByteArrayView("mimetype") &&
        startsWith(data.sliced(38), "application/vnd.oasis.opendocument"))
        return Kind::Odf;
    return Kind::Zip;
}

// The start of the file as ASCII in lower case: UTF-16 text loses its zero
// bytes, a byte order mark is dropped.
QByteArray asciiHead(QByteArrayView data)
{
    QByteArray head;
    qsizetype from = 0;
    qsizetype step = 1;
    if (startsWith(data, "\xEF\xBB\xBF")) {
        from = 3;
    } else if (startsWith(data, "\xFF\xFE")) {
        from = 2;
        step = 2;
    } else if (startsWith(data, "\xFE\xFF")) {
        from = 3;
        step = 2;
    }
    head.reserve(HeadBytes);
    for (qsizetype at = from; at < data.size() && head.size() < HeadBytes; at += step) {
        char c = data[at];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        head.append(c);
    }
    return head;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ':' || c == '_' || c == '-' ||
           c == '.';
}

// The elements a browser takes as the start of a page (the WHATWG's
// sniffing list, and a few more that pages written by hand begin with).
bool isHtmlElement(QByteArrayView name)
{
    static const char* const names[] = {
        "html",   "head",  "body", "script", "iframe", "h1",   "h2",     "h3",       "h4",
        "h5",     "h6",    "div",  "font",   "table",  "a",    "style",  "title",    "b",
        "br",     "p",     "meta", "link",   "img",    "span", "center", "frameset", "frame",
        "object", "embed", "form", "ul",     "ol",     "pre",  "base",   "svg"};
    for (const char* n : names) {
        if (name == QByteArrayView(n))
            return true;
    }
    return false;
}

Kind sniffMarkup(QByteArrayView data)
{
    const QByteArray head = asciiHead(data);
    qsizetype at = 0;
    bool xml = false;
    while (at < head.size()) {
        while (at < head.size() && isSpace(head[at]))
            ++at;
        if (at >= head.size() || head[at] != '<')
            return xml ? Kind::Xml : Kind::Unknown;
        const QByteArrayView rest = QByteArrayView(head).sliced(at);
        if (startsWith(rest, "<?")) {
            xml = xml || startsWith(rest, "<?xml");
            const qsizetype end = head.indexOf("?>", at);
            if (end < 0)
                return xml ? Kind::Xml : Kind::Unknown;
            at = end + 2;
        } else if (startsWith(rest, "<!--")) {
            const qsizetype end = head.indexOf("-->", at + 4);
            // A page may open with a long comment: a browser takes it as
            // HTML, and so do we.
            if (end < 0)
                return xml ? Kind::Xml : Kind::Html;
            at = end + 3;
        } else if (startsWith(rest, "<!doctype")) {
            qsizetype word = at + 9;
            while (word < head.size() && isSpace(head[word]))
                ++word;
            if (startsWith(QByteArrayView(head).sliced(word), "html"))
                return Kind::Html;
            xml = true;
            const qsizetype end = head.indexOf('>', at);
            if (end < 0)
                return Kind::Xml;
            at = end + 1;
        } else {
            qsizetype end = at + 1;
            while (end < head.size() && isNameChar(head[end]))
                ++end;
            const QByteArrayView name = QByteArrayView(head).sliced(at + 1, end - at - 1);
            if (name.isEmpty())
                return xml ? Kind::Xml : Kind::Unknown;
            const bool closed =
                end >= head.size() || isSpace(head[end]) || head[end] == '>' || head[end] == '/';
            // After an XML declaration only an html root makes a page:
            // <a> or <p> there are some other vocabulary's.
            if (closed && isHtmlElement(name) && (!xml || name == QByteArrayView("html")))
                return Kind::Html;
            // A flat OpenDocument file: office:document, under whatever
            // prefix the office namespace was given.
            const qsizetype colon = name.lastIndexOf(':');
            const QByteArrayView local = colon >= 0 ? name.sliced(colon + 1) : name;
            if (closed && local == QByteArrayView("document") &&
                head.indexOf("urn:oasis:names:tc:opendocument:xmlns:office:1.0", at) >= 0)
                return Kind::FlatOdf;
            if (closed && name == QByteArrayView("office:document"))
                return Kind::FlatOdf;
            return Kind::Xml;
        }
    }
    return xml ? Kind::Xml : Kind::Unknown;
}

// The kinds each declared type may hold; a type not listed fits anything.
struct Expected
{
    const char* extension;
    int count;
    Kind kinds[3];
};
constexpr Expected expectations[] = {
    {"doc", 1, {Kind::WordBinary}},
    {"dot", 1, {Kind::WordBinary}},
    {"rtf", 1, {Kind::Rtf}},
    {"wri", 1, {Kind::Write}},
    {"wpd", 1, {Kind::WordPerfect}},
    {"wps", 2, {Kind::Compound, Kind::WordBinary}},
    {"hwp", 2, {Kind::Compound, Kind::Unknown}},
    {"abw", 2, {Kind::Xml, Kind::Unknown}},
    {"fodt", 1, {Kind::FlatOdf}},
    {"docx", 1, {Kind::Ooxml}},
    {"docm", 1, {Kind::Ooxml}},
    {"dotx", 1, {Kind::Ooxml}},
    {"dotm", 1, {Kind::Ooxml}},
    {"odt", 1, {Kind::Odf}},
    {"ott", 1, {Kind::Odf}},
    {"sxw", 2, {Kind::Zip, Kind::Odf}},
    {"pages", 1, {Kind::Zip}},
    {"lwp", 1, {Kind::Unknown}},
    {"html", 3, {Kind::Html, Kind::Xml, Kind::Unknown}},
    {"htm", 3, {Kind::Html, Kind::Xml, Kind::Unknown}},
    {"xhtml", 2, {Kind::Html, Kind::Xml}},
    {"pdf", 1, {Kind::Pdf}},
};

} // namespace

Kind sniff(QByteArrayView data)
{
    if (startsWith(data, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return holdsWordDocumentStream(data) ? Kind::WordBinary : Kind::Compound;
    if (startsWith(data, "PK\x03\x04") || startsWith(data, "PK\x05\x06"))
        return sniffZip(data);
    if (startsWith(data, "{\\rtf"))
        return Kind::Rtf;
    if (startsWith(data, QByteArrayView("\x31\xBE\0\0", 4)) ||
        startsWith(data, QByteArrayView("\x32\xBE\0\0", 4)))
        return Kind::Write;
    if (startsWith(data, "\xFF"
                         "WPC"))
        return Kind::WordPerfect;
    if (startsWith(data, "%PDF-"))
        return Kind::Pdf;
    return sniffMarkup(data);
}

bool fits(Kind kind, const QString& extension)
{
    const QString lower = extension.toLower();
    for (const Expected& e : expectations) {
        if (lower != QLatin1String(e.extension))
            continue;
        for (int i = 0; i < e.count; ++i) {
            if (e.kinds[i] == kind)
                return true;
        }
        return false;
    }
    return true;
}

QString extensionOf(Kind kind)
{
    switch (kind) {
    case Kind::WordBinary:
        return QStringLiteral("doc");
    case Kind::Ooxml:
        return QStringLiteral("docx");
    case Kind::Odf:
        return QStringLiteral("odt");
    case Kind::Rtf:
        return QStringLiteral("rtf");
    case Kind::Write:
        return QStringLiteral("wri");
    case Kind::WordPerfect:
        return QStringLiteral("wpd");
    case Kind::FlatOdf:
        return QStringLiteral("fodt");
    case Kind::Html:
        return QStringLiteral("html");
    case Kind::Pdf:
        return QStringLiteral("pdf");
    case Kind::Unknown:
    case Kind::Compound:
    case Kind::Zip:
    case Kind::Xml:
        break;
    }
    return {};
}

QString describe(Kind kind)
{
    switch (kind) {
    case Kind::WordBinary:
        return QStringLiteral("a Word 97-2003 document");
    case Kind::Compound:
        return QStringLiteral("a compound document of another kind");
    case Kind::Ooxml:
        return QStringLiteral("an Office Open XML document");
    case Kind::Odf:
        return QStringLiteral("an OpenDocument file");
    case Kind::Zip:
        return QStringLiteral("a zip archive");
    case Kind::Rtf:
        return QStringLiteral("an RTF document");
    case Kind::Write:
        return QStringLiteral("a Write document");
    case Kind::WordPerfect:
        return QStringLiteral("a WordPerfect document");
    case Kind::FlatOdf:
        return QStringLiteral("a flat OpenDocument file");
    case Kind::Html:
        return QStringLiteral("a web page");
    case Kind::Xml:
        return QStringLiteral("an XML file");
    case Kind::Pdf:
        return QStringLiteral("a PDF file");
    case Kind::Unknown:
        break;
    }
    return QStringLiteral("a file of another type");
}

} // namespace DocumentSniff

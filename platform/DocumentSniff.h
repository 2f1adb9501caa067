#pragma once

#include <QByteArrayView>
#include <QString>

// What a document is by its bytes, whatever its name says. A file named
// .doc that holds a web page must not be opened as whatever the opening
// program guesses: the service and Docshift ask here first, then send it
// by its real type or refuse it.
namespace DocumentSniff {

enum class Kind {
    Unknown,     // none of the below (plain text, or a format not told apart here)
    WordBinary,  // an OLE2 compound file holding a WordDocument stream
    Compound,    // another OLE2 compound file (Works, Hangul, encrypted Office files)
    Ooxml,       // a zip archive with [Content_Types].xml
    Odf,         // a zip archive whose first entry is an OpenDocument mimetype
    Zip,         // another zip archive
    Rtf,         // {\rtf
    Write,       // Windows Write
    WordPerfect, // FF 57 50 43
    FlatOdf,     // XML whose root is office:document
    Html,        // a web page
    Xml,         // other XML
    Pdf,
};

// Only the first few kilobytes are looked at, except for a zip archive,
// whose names are looked for in the whole of `data`.
Kind sniff(QByteArrayView data);

// Whether content of this kind may be what a file named .`extension` claims
// to be. True for extensions this table does not know, and for the
// formats whose bytes are not told apart here (Word Pro, for one).
bool fits(Kind kind, const QString& extension);

// The extension a file of this kind is taken as when its name says
// something else ("doc", "rtf", "docx", "fodt", "html"); empty where the
// kind alone does not say.
QString extensionOf(Kind kind);

// What messages call it: "a web page", "a Word 97-2003 document".
QString describe(Kind kind);

} // namespace DocumentSniff

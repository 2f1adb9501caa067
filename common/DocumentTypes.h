#pragma once

#include <QString>
#include <QStringList>
#include <span>

// The document types the service translates, written once: the service's
// document translator, the API's list of formats, the command line's
// choice between a document and plain text, and the window's proposed file
// names all read this table. Its own small library, so that the client programs know the
// types without linking the service.
namespace DocumentTypes {
// The family of formats a type belongs to: it says how the type is
// translated.
enum class Family {
    Word,         // Word's XML parts through apertium-deswxml
    Slides,       // PowerPoint's slides and notes
    Sheet,        // Excel's shared strings and comments
    OpenDocument, // OpenDocument content and styles
    Epub,         // the XHTML chapters of a book
    Html,         // a web page
    Text,         // plain text
    Subtitles,    // SubRip: the text lines only
    Office,       // through LibreOffice by way of a .docx
    Pdf,          // refused with a message that says why
};

struct Type
{
    const char* extension; // lower case, no dot: "docx"
    Family family;
    const char* mimeType;
    const char* label; // "Word document": what messages call it
    // LibreOffice's --convert-to target for writing the translation back;
    // nullptr for a type LibreOffice cannot write: it is given as .docx.
    const char* writeBack = nullptr;
};

std::span<const Type> all();
// The row of an extension ("docx", letter case aside); null for others.
const Type* find(const QString& extension);
// Every extension translated ("docx", "odt", ...; PDF is not among them).
QStringList supportedExtensions();
// The MIME type of a supported extension; empty for others.
QString mimeTypeOf(const QString& extension);
// The extension of what a translation of this type is given as: its own,
// or "docx" where LibreOffice cannot write the type. Empty for a type not
// translated.
QString givenExtension(const QString& extension);
// Why a PDF is not translated, and what to do instead.
QString pdfRefusal();
} // namespace DocumentTypes

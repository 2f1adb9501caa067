#include "common/DocumentTypes.h"

namespace DocumentTypes {
namespace {
// Every type we take. The routes of the archives are told by their content
// too; the extension decides for the others.
const Type types[] = {
    {"docx", Route::Word, "application/vnd.openxmlformats-officedocument.wordprocessingml.document",
     "Word document"},
    {"docm", Route::Word, "application/vnd.ms-word.document.macroEnabled.12", "Word document"},
    {"dotx", Route::Word, "application/vnd.openxmlformats-officedocument.wordprocessingml.template",
     "Word template"},
    {"dotm", Route::Word, "application/vnd.ms-word.template.macroEnabled.12", "Word template"},
    {"pptx", Route::Slides,
     "application/vnd.openxmlformats-officedocument.presentationml.presentation",
     "PowerPoint presentation"},
    {"pptm", Route::Slides, "application/vnd.ms-powerpoint.presentation.macroEnabled.12",
     "PowerPoint presentation"},
    {"ppsx", Route::Slides,
     "application/vnd.openxmlformats-officedocument.presentationml.slideshow",
     "PowerPoint slide show"},
    {"potx", Route::Slides, "application/vnd.openxmlformats-officedocument.presentationml.template",
     "PowerPoint template"},
    {"xlsx", Route::Sheet, "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
     "Excel workbook"},
    {"xlsm", Route::Sheet, "application/vnd.ms-excel.sheet.macroEnabled.12", "Excel workbook"},
    {"xltx", Route::Sheet, "application/vnd.openxmlformats-officedocument.spreadsheetml.template",
     "Excel template"},
    {"odt", Route::OpenDocument, "application/vnd.oasis.opendocument.text", "OpenDocument text"},
    {"ott", Route::OpenDocument, "application/vnd.oasis.opendocument.text-template",
     "OpenDocument template"},
    {"odp", Route::OpenDocument, "application/vnd.oasis.opendocument.presentation",
     "OpenDocument presentation"},
    {"ods", Route::OpenDocument, "application/vnd.oasis.opendocument.spreadsheet",
     "OpenDocument spreadsheet"},
    {"epub", Route::Epub, "application/epub+zip", "EPUB book"},
    {"html", Route::Html, "text/html", "web page"},
    {"htm", Route::Html, "text/html", "web page"},
    {"xhtml", Route::Html, "application/xhtml+xml", "web page"},
    {"txt", Route::Text, "text/plain", "text file"},
    {"srt", Route::Subtitles, "application/x-subrip", "subtitle file"},
    // Apertium's RTF filter writes letters beyond ASCII as raw UTF-8
    // bytes, which RTF readers take for another code page: RTF goes the
    // way of .doc instead.
    {"rtf", Route::Office, "application/rtf", "RTF document", "rtf:Rich Text Format"},
    {"doc", Route::Office, "application/msword", "Word 97-2003 document", "doc:MS Word 97"},
    {"dot", Route::Office, "application/msword", "Word 97-2003 template", "dot:MS Word 97 Vorlage"},
    {"fodt", Route::Office, "application/vnd.oasis.opendocument.text-flat-xml",
     "flat OpenDocument text", "fodt:OpenDocument Text Flat XML"},
    {"wpd", Route::Office, "application/vnd.wordperfect", "WordPerfect document"},
    {"wps", Route::Office, "application/vnd.ms-works", "Works document"},
    {"lwp", Route::Office, "application/vnd.lotus-wordpro", "Word Pro document"},
    {"abw", Route::Office, "application/x-abiword", "AbiWord document"},
    {"sxw", Route::Office, "application/vnd.sun.xml.writer", "StarOffice text"},
    {"hwp", Route::Office, "application/x-hwp", "Hangul document"},
    {"pages", Route::Office, "application/vnd.apple.pages", "Pages document"},
    {"wri", Route::Office, "application/x-mswrite", "Write document"},
    {"pdf", Route::Pdf, "application/pdf", "PDF file"},
};
} // namespace

std::span<const Type> all()
{
    return types;
}

const Type* find(const QString& extension)
{
    const QString lower = extension.toLower();
    for (const Type& type : types) {
        if (lower == QLatin1String(type.extension))
            return &type;
    }
    return nullptr;
}

QStringList supportedExtensions()
{
    QStringList list;
    for (const Type& type : types) {
        if (type.route != Route::Pdf)
            list << QString::fromLatin1(type.extension);
    }
    return list;
}

QString mimeTypeOf(const QString& extension)
{
    const Type* type = find(extension);
    return type && type->route != Route::Pdf ? QString::fromLatin1(type->mimeType) : QString();
}

QString givenExtension(const QString& extension)
{
    const Type* type = find(extension);
    if (!type || type->route == Route::Pdf)
        return {};
    if (type->route == Route::Office && !type->writeBack)
        return QStringLiteral("docx");
    return QString::fromLatin1(type->extension);
}
QString pdfRefusal()
{
    return QStringLiteral("PDF files cannot be translated with their layout; open the PDF, copy "
                          "its text into the window and translate it there");
}
} // namespace DocumentTypes

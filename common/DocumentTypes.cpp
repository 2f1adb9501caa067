#include "common/DocumentTypes.h"

namespace DocumentTypes {
namespace {
// Every type we take. The families of the archives are told by their content
// too; the extension decides for the others.
const Type types[] = {
    {"docx", Family::Word,
     "application/vnd.openxmlformats-officedocument.wordprocessingml.document", "Word document"},
    {"docm", Family::Word, "application/vnd.ms-word.document.macroEnabled.12", "Word document"},
    {"dotx", Family::Word,
     "application/vnd.openxmlformats-officedocument.wordprocessingml.template", "Word template"},
    {"dotm", Family::Word, "application/vnd.ms-word.template.macroEnabled.12", "Word template"},
    {"pptx", Family::Slides,
     "application/vnd.openxmlformats-officedocument.presentationml.presentation",
     "PowerPoint presentation"},
    {"pptm", Family::Slides, "application/vnd.ms-powerpoint.presentation.macroEnabled.12",
     "PowerPoint presentation"},
    {"ppsx", Family::Slides,
     "application/vnd.openxmlformats-officedocument.presentationml.slideshow",
     "PowerPoint slide show"},
    {"potx", Family::Slides,
     "application/vnd.openxmlformats-officedocument.presentationml.template",
     "PowerPoint template"},
    {"xlsx", Family::Sheet, "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
     "Excel workbook"},
    {"xlsm", Family::Sheet, "application/vnd.ms-excel.sheet.macroEnabled.12", "Excel workbook"},
    {"xltx", Family::Sheet, "application/vnd.openxmlformats-officedocument.spreadsheetml.template",
     "Excel template"},
    {"odt", Family::OpenDocument, "application/vnd.oasis.opendocument.text", "OpenDocument text"},
    {"ott", Family::OpenDocument, "application/vnd.oasis.opendocument.text-template",
     "OpenDocument template"},
    {"odp", Family::OpenDocument, "application/vnd.oasis.opendocument.presentation",
     "OpenDocument presentation"},
    {"ods", Family::OpenDocument, "application/vnd.oasis.opendocument.spreadsheet",
     "OpenDocument spreadsheet"},
    {"epub", Family::Epub, "application/epub+zip", "EPUB book"},
    {"html", Family::Html, "text/html", "web page"},
    {"htm", Family::Html, "text/html", "web page"},
    {"xhtml", Family::Html, "application/xhtml+xml", "web page"},
    {"txt", Family::Text, "text/plain", "text file"},
    {"srt", Family::Subtitles, "application/x-subrip", "subtitle file"},
    // Apertium's RTF filter writes letters beyond ASCII as raw UTF-8
    // bytes, which RTF readers take for another code page: RTF goes the
    // way of .doc instead.
    {"rtf", Family::Office, "application/rtf", "RTF document", "rtf:Rich Text Format"},
    {"doc", Family::Office, "application/msword", "Word 97-2003 document", "doc:MS Word 97"},
    {"dot", Family::Office, "application/msword", "Word 97-2003 template",
     "dot:MS Word 97 Vorlage"},
    {"fodt", Family::Office, "application/vnd.oasis.opendocument.text-flat-xml",
     "flat OpenDocument text", "fodt:OpenDocument Text Flat XML"},
    {"wpd", Family::Office, "application/vnd.wordperfect", "WordPerfect document"},
    {"wps", Family::Office, "application/vnd.ms-works", "Works document"},
    {"lwp", Family::Office, "application/vnd.lotus-wordpro", "Word Pro document"},
    {"abw", Family::Office, "application/x-abiword", "AbiWord document"},
    {"sxw", Family::Office, "application/vnd.sun.xml.writer", "StarOffice text"},
    {"hwp", Family::Office, "application/x-hwp", "Hangul document"},
    {"pages", Family::Office, "application/vnd.apple.pages", "Pages document"},
    {"wri", Family::Office, "application/x-mswrite", "Write document"},
    {"pdf", Family::Pdf, "application/pdf", "PDF file"},
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
        if (type.family != Family::Pdf)
            list << QString::fromLatin1(type.extension);
    }
    return list;
}

QString mimeTypeOf(const QString& extension)
{
    const Type* type = find(extension);
    return type && type->family != Family::Pdf ? QString::fromLatin1(type->mimeType) : QString();
}

QString givenExtension(const QString& extension)
{
    const Type* type = find(extension);
    if (!type || type->family == Family::Pdf)
        return {};
    if (type->family == Family::Office && !type->writeBack)
        return QStringLiteral("docx");
    return QString::fromLatin1(type->extension);
}
QString pdfRefusal()
{
    return QStringLiteral("PDF files cannot be translated with their layout; open the PDF, copy "
                          "its text into the window and translate it there");
}
} // namespace DocumentTypes

#pragma once

#include "server/documents/DocumentStreams.h"

#include <QByteArray>
#include <QList>
#include <QString>

class TranslationEngine;

// Apertium's format filters around the engine: a deformatter turns the
// parts of a document into one stream (markup in superblanks), the engine
// translates it piece by piece, the reformatter writes the parts again.
// Each filter runs once for all the parts of a document, each part behind
// a marker of our own that the document cannot guess.
namespace ApertiumFilters {
enum class Filter {
    Wxml, // Word's XML: apertium-deswxml, after apertium-adapt-docx
    Pptx, // PowerPoint's slides and notes
    Xlsx, // Excel's shared strings
    Odt,  // OpenDocument content and styles
    Html, // HTML and XHTML
    Rtf,  // RTF (one part only)
};

struct Context
{
    TranslationEngine* engine = nullptr;
    TranslationMode mode;
    const DocumentRun* run = nullptr;
    std::chrono::milliseconds filterTimeout{30000};
    // A private folder for apertium-adapt-docx, which reads files.
    QString scratch;
};

// The parts translated, in their order. Throws DocumentError.
QList<QByteArray> translate(Filter filter, const QList<QByteArray>& parts, const Context& context);

// translate() in two steps, for a caller that reads the stream before it
// is translated (to find its language): the deformatter's stream with the
// markers that part it, then the parts translated from it.
struct Deformatted
{
    QByteArray stream;
    QList<QByteArray> markers;
};
Deformatted deformatParts(Filter filter, const QList<QByteArray>& parts, const Context& context);
QList<QByteArray> translateDeformatted(Filter filter, const Deformatted& deformatted,
                                       const Context& context);
// The deformatter's stream of the parts, untranslated.
QByteArray deformat(Filter filter, const QList<QByteArray>& parts, const Context& context);
} // namespace ApertiumFilters

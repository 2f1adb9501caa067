#pragma once

#include "server/documents/ApertiumFilters.h"
#include "server/documents/DocumentLimits.h"
#include "server/documents/DocumentStreams.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

class TranslationEngine;
namespace DocumentTypes {
struct Type;
}

// A document translated into the same format, or into the format named in
// formatGiven where the original's cannot be written.
struct TranslatedDocument
{
    QByteArray file;
    QString fileName;    // the original name, with formatGiven's extension
    QString mimeType;    // of formatGiven
    QString formatGiven; // the extension of the format written: "docx"
};

// One translation (or text extraction) of one document, as the steps of
// each kind of document see it: the engine, the run's clock and cancel,
// the mode (none when only the text is wanted) and where the text goes
// then, and a private working folder.
struct DocumentJob
{
    TranslationEngine& engine;
    const DocumentLimits& limits;
    const DocumentRun& run;
    const TranslationMode* mode;
    QString* text;
    qsizetype maxChars;
    // The job's own working folder, made when first asked for and removed
    // when the job ends. Throws DocumentError when none can be made.
    std::function<QString()> dir;

    // For the filters: the engine, the mode, the run, the filter's time.
    ApertiumFilters::Context context() const;
    // context() with the working folder, for filters that read files.
    ApertiumFilters::Context scratchContext() const;

    // HTML parts (a page, a book's chapters): through the engine's own HTML
    // translation where it does better than the filters (a server that
    // takes HTML), else through the filters here, which the run's clock and
    // cancel reach between pieces.
    QList<QByteArray> translateHtmlParts(const QList<QByteArray>& parts) const;

    // "report.docx" for ("report.doc", "docx"); "document.docx" for a name
    // that is only an extension.
    static QString nameWithExtension(const QString& fileName, const char* extension);
    // The translated bytes under the original's name, as a document of `row`.
    static TranslatedDocument result(QByteArray bytes, const QString& fileName,
                                     const DocumentTypes::Type& row);
};

#pragma once

#include "server/documents/ApertiumFilters.h"
#include "server/documents/DocumentLimits.h"
#include "server/documents/DocumentStreams.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

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
    // Gives the mode for the document's own text; throws DocumentError to
    // refuse the document.
    using SourceDetector = std::function<TranslationMode(const QString& text)>;

    TranslationEngine& engine;
    const DocumentLimits& limits;
    const DocumentRun& run;
    // None while only the text is wanted, or while the source language is
    // still to be found (detect).
    std::optional<TranslationMode> mode;
    QString* text;
    // Of the text wanted, or of the text the source language is found in.
    qsizetype maxChars;
    // The job's own working folder, made when first asked for and removed
    // when the job ends. Throws DocumentError when none can be made.
    std::function<QString()> dir;
    // Set when the source language is to be found in the text the
    // translation reads anyway: each kind of document calls detectSource
    // once it has the text, before it translates.
    SourceDetector detect;
    // The file as it came, its name and type: for an engine that
    // translates such files whole.
    const QByteArray& original;
    QString fileName;
    const DocumentTypes::Type* row = nullptr;
    // Set when the engine translated the original whole (see
    // translateWhole): what a route returns then is the finished document.
    bool translatedWhole = false;

    // Finds the mode in the document's text (at most maxChars of it) with
    // detect, then gives the engine the original whole where it translates
    // such files (translateWhole). Throws DocumentError (NoPair) when the
    // engine has no such pair.
    std::optional<TranslatedDocument> detectSource(const QString& text);
    // An engine that translates files of this type itself (a server's own
    // document translation) gets the original whole; empty when it does not.
    std::optional<TranslatedDocument> translateWhole();

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

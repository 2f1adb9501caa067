#pragma once

#include "server/documents/DocumentJob.h"
#include "server/documents/DocumentLimits.h"
#include "server/documents/DocumentStreams.h"
#include "server/engine/LanguageModes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <mutex>

class TranslationEngine;

// Whole documents translated with their layout: Word, PowerPoint and Excel
// files, OpenDocument, EPUB, HTML, plain text and SubRip subtitles through
// Apertium's format filters (or our own code) around the engine's
// long-lived pipelines; .doc, .rtf and the other word-processor formats
// LibreOffice reads by way of a .docx. Every document is hostile input:
// see DocumentLimits. Safe to call from several threads at once.
// This class keeps the flow (limits, what the file really is, the job's
// time and folders); each kind of document has its own unit: PackageRoute,
// TextRoutes, OfficeRoute.
class DocumentTranslator
{
public:
    struct Options
    {
        DocumentLimits limits;
        // Where the working folders go (default: the system's temporary
        // folder). Each translation's own is removed when it ends; all of
        // them when this object goes, and those of a service that died are
        // removed by the next one.
        QString scratchParent;
        // LibreOffice's private profile (default: in the user's cache
        // folder, beside the window's converter's).
        QString officeProfile;
        // False: formats that need LibreOffice are refused as unsupported.
        bool useOffice = true;
    };

    explicit DocumentTranslator(TranslationEngine& engine);
    DocumentTranslator(TranslationEngine& engine, const Options& options);
    // Cancels what runs, waits for it to end, removes the working folders.
    ~DocumentTranslator();
    DocumentTranslator(const DocumentTranslator&) = delete;
    DocumentTranslator& operator=(const DocumentTranslator&) = delete;

    // Translates `file`, whose type its name's extension gives (or, for
    // archives and where the name has none, its content). Throws
    // DocumentError with the sentence for the user.
    TranslatedDocument translate(const QByteArray& file, const QString& fileName,
                                 const TranslationMode& mode, const DocumentControl& control = {});
    // Translates `file` from the language of its own text: `detect` gets
    // the first maxChars of the text the translation reads anyway (the
    // document is read, and converted by LibreOffice, once) and gives the
    // mode, or throws DocumentError to refuse the document.
    TranslatedDocument translate(const QByteArray& file, const QString& fileName,
                                 const DocumentJob::SourceDetector& detect,
                                 const DocumentControl& control = {}, qsizetype maxChars = 20000);
    // The document's text, at most maxChars of it, for detecting its
    // language. Throws DocumentError as translate() does.
    QString detectText(const QByteArray& file, const QString& fileName, qsizetype maxChars = 20000,
                       const DocumentControl& control = {});

    // "docx", "odt", ... for the open dialog's filter and the API's list.
    static QStringList supportedExtensions();
    // The MIME type of a supported extension; empty for others.
    static QString mimeTypeOf(const QString& extension);
    // Ends every running translation with DocumentError::Kind::Cancelled.
    void cancelAll();

    const Options& options() const { return m_options; }

private:
    class Job;
    friend class Job;

    // What a run is for: a translation with a mode, one whose source
    // language is found with detect, or (text) the document's text.
    struct Wanted
    {
        const TranslationMode* mode;
        DocumentJob::SourceDetector detect;
        QString* text;
        qsizetype maxChars;
    };
    TranslatedDocument run(const QByteArray& file, const QString& fileName, const Wanted& wanted,
                           const DocumentControl& control);
    QString scratchRoot();

    TranslationEngine& m_engine;
    Options m_options;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_running = 0;
    QString m_scratchRoot;
};

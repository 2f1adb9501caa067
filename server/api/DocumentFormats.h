#pragma once

#include "TranslationEngine.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <vector>

// Translates one kind of document into the same kind, its layout kept.
// /translate_file finds the translator by the file's extension; more kinds
// of document plug in by adding their translator to DocumentFormats.
class DocumentTranslator
{
public:
    virtual ~DocumentTranslator() = default;

    // The file name extensions this translator takes, lower case with the
    // dot: ".txt".
    virtual QStringList extensions() const = 0;

    // The document's text, or enough of it, for language detection.
    virtual QString sampleText(const QByteArray& document) const = 0;

    struct Result
    {
        QByteArray document;
        QString contentType; // of the download
        QString extension;   // of the translated file, usually the one given
    };
    // Throws ApiError for a document that cannot be read, TarquellError (or
    // ServiceFault) when its translation fails.
    virtual Result translate(TranslationEngine& engine, const TranslationMode& mode,
                             const QByteArray& document, const QString& extension) const = 0;
};

class DocumentFormats
{
public:
    void add(std::unique_ptr<DocumentTranslator> translator);
    // The translator for this file name's extension (letter case aside);
    // null when none takes it.
    const DocumentTranslator* forFile(const QString& fileName) const;
    // Every extension taken, in the order added: ".txt", ".html", ...
    QStringList extensions() const;

    // Plain text (.txt) and HTML (.html, .htm).
    static DocumentFormats standard();

private:
    std::vector<std::shared_ptr<const DocumentTranslator>> m_translators;
};

// ".txt" of "Report.final.TXT"; empty when the name has no extension.
QString fileExtension(const QString& fileName);

#pragma once

#include <QByteArray>
#include <QString>

// Whole documents translated by the document service, for the window's
// Translate Document command and the command line: the names their
// translations get, and the rules for reading and writing them. Nothing is
// ever written over the document that was translated.
namespace DocumentTranslation {
// "/docs/report.es.docx" for "/docs/report.docx" into "es": beside the
// original, the destination's code before the extension, which is the one
// the translation is given as ("report.es.docx" for "report.wpd", which
// LibreOffice cannot write).
QString proposedOutput(const QString& input, const QString& targetCode);
// The output name with the format given (".docx"): as it is when its
// extension says so already, else with that extension put in its place.
QString withFormat(const QString& output, const QString& format);
// True when the two paths name the same file, through links too, or would
// once the second is written.
bool sameFile(const QString& existing, const QString& other);
// True for a file the command line hands to the document service rather
// than translating its text (by the extension: every document type but
// plain text). PDF is among them, to be refused with its reason.
bool isDocument(const QString& path);
// Throws TarquellError for a type that is not translated at all (PDF,
// with why and what to do; an unknown extension).
void checkType(const QString& path);

// The document's bytes. Throws TarquellError when it cannot be read or is
// larger than the service takes.
QByteArray readDocument(const QString& path);
// Writes the translation whole or not at all (a temporary file renamed
// over the output). Throws TarquellError when the output is the original,
// or cannot be written.
void save(const QString& output, const QByteArray& data, const QString& original);
// "Cannot translate report.docx: reason" for the error box and standard
// error.
QString failure(const QString& input, const QString& reason);
} // namespace DocumentTranslation

#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

// Reading a document file into a pane's document and writing one out.
// Failures are TarquellErrors with the message the user sees.
namespace DocumentFile {

// The whole file. "Cannot open file <path>" when it cannot be opened for
// reading; "Failed to Load Stream" when reading it fails half-way.
QByteArray readAll(const QString& path);

// Replaces the document's content: RTF with its formatting, anything else
// as plain text (see TextDecoding::decode). Text that holds NUL characters
// and is not UTF-16 is a binary file, not text: "Failed to Load Stream".
void load(const QByteArray& data, QTextDocument& document);

// The document's text with CR LF line ends; every paragraph and line
// break is one line end.
QString plainText(const QTextDocument& document);

// Writes the bytes to a temporary file beside the target and renames it
// over the target, so a failed save leaves the old file as it was.
// "Cannot create file <path>" when that is not possible.
void save(const QString& path, const QByteArray& bytes);

// A name the user chose ends in ".rtf": the document is saved as RTF.
bool isRtfName(const QString& path);

// What Save writes for the document under that name: RTF for an ".rtf"
// name, else the plain text (CR LF line ends) as UTF-8.
QByteArray saveBytes(const QString& path, const QTextDocument& document);

} // namespace DocumentFile

#pragma once

#include <QString>
#include <chrono>

class DocumentRun;

// LibreOffice without a window, for the word-processor formats the
// Apertium filters do not read. It runs with a private profile (never the
// user's own) in a process group of its own, one conversion at a time per
// profile, and is killed with its whole group when the document's time
// runs out or it is cancelled.
namespace OfficeConverter {
// soffice, or an empty string when LibreOffice is not installed.
QString program();
// Converts `input`, read as the type `declared` ("doc"), into `outDir` with
// LibreOffice's --convert-to `target` ("docx:MS Word 2007 XML"); returns
// the path of the result. LibreOffice runs without network where the
// system allows it, with settings that load nothing the document links to.
// Throws DocumentError, whose message names no scratch file.
QString convert(const QString& input, const QString& declared, const QString& target,
                const QString& outDir, const QString& profile, const DocumentRun& run,
                std::chrono::milliseconds timeout);
} // namespace OfficeConverter

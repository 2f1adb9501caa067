#pragma once

#include "server/documents/DocumentJob.h"

#include <QByteArray>
#include <QString>

namespace DocumentTypes {
struct Type;
}

// .doc, .rtf and the other word-processor formats LibreOffice reads: it
// converts the document to a .docx, the package route translates that, and
// LibreOffice writes the translation back in the original's format (as the
// .docx where it cannot write that format).
namespace OfficeRoute {
struct Settings
{
    // False: these formats are refused as unsupported.
    bool useOffice = true;
    // LibreOffice's private profile folder.
    QString profile;
};

// With job.text set, fills it with the document's text instead and returns
// nothing. Throws DocumentError.
TranslatedDocument translate(DocumentJob& job, const QByteArray& file, const QString& fileName,
                             const DocumentTypes::Type& row, const Settings& settings);
} // namespace OfficeRoute

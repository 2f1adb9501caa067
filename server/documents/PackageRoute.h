#pragma once

#include "server/documents/DocumentJob.h"

#include <QByteArray>
#include <QString>

namespace DocumentTypes {
struct Type;
}

// Zip packages: Word, PowerPoint and Excel files, OpenDocument and EPUB.
// What the archive holds says which it is; the parts with text in them are
// checked (XmlGuard), go through their format's filter (a book's chapters
// through the HTML translation) and are put back into the package, which
// is written again with everything else as it was.
namespace PackageRoute {
// `row` is the type the file's name gave, or null: the package's own parts
// decide, and they win over the name. With job.text set, fills it with the
// parts' text instead and returns nothing. Throws DocumentError.
TranslatedDocument translate(DocumentJob& job, const QByteArray& file, const QString& fileName,
                             const DocumentTypes::Type* row);
} // namespace PackageRoute

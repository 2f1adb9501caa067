#pragma once

#include "server/documents/DocumentJob.h"

#include <QByteArray>
#include <QString>

namespace DocumentTypes {
struct Type;
}

// The text formats, decoded here and written back in their own encoding
// (HTML always in UTF-8, saying so): web pages through the HTML
// translation, plain text paragraph by paragraph, SubRip subtitles their
// text lines only. With job.text set, each fills it with the document's
// text instead and returns nothing. Each throws DocumentError.
namespace TextRoutes {
TranslatedDocument html(DocumentJob& job, const QByteArray& file, const QString& fileName,
                        const DocumentTypes::Type& row);
TranslatedDocument plain(DocumentJob& job, const QByteArray& file, const QString& fileName,
                         const DocumentTypes::Type& row);
TranslatedDocument subtitles(DocumentJob& job, const QByteArray& file, const QString& fileName,
                             const DocumentTypes::Type& row);
} // namespace TextRoutes

#include "server/api/DocumentFormats.h"

#include "common/DocumentTypes.h"

#include <algorithm>

QString fileExtension(const QString& fileName)
{
    const qsizetype slash =
        std::max(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1) // none, or a name that only begins with a dot
        return {};
    return fileName.mid(dot).toLower();
}

namespace DocumentFormats {
QStringList extensions()
{
    QStringList list;
    for (const QString& extension : DocumentTypes::supportedExtensions())
        list << QLatin1Char('.') + extension;
    return list;
}

bool takes(const QString& fileName)
{
    const QString extension = fileExtension(fileName);
    return !extension.isEmpty() && !DocumentTypes::mimeTypeOf(extension.mid(1)).isEmpty();
}
} // namespace DocumentFormats

#include "editor/DocumentFilters.h"

#include <QFileInfo>

namespace DocumentFilters {

const char* const OpenFilter =
    "Plain Text files (*.txt)|*.TXT|Rich Text files (*.rtf)|*.RTF|Microsoft Word files "
    "(*.doc)|*.DOC|HTML files (*.htm)|*.HTM|All files(*.*)|*.*";
const char* const SaveFilter =
    "Plain Text files (*.txt)|*.TXT|Rich Text files (*.rtf)|*.RTF|All files|*.*";
const char* const SaveDefaultExtension = "TXT";

QStringList toQtFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        // The description's own "(*.txt)" gives way to the patterns Qt reads.
        const qsizetype paren = description.lastIndexOf(QLatin1Char('('));
        if (paren > 0 && description.endsWith(QLatin1Char(')')))
            description = description.left(paren);
        description = description.trimmed();
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (p == QLatin1StringView("*.*") || p == QLatin1StringView("*")) {
                patterns = {QStringLiteral("*")};
                break;
            }
            for (const QString& v : {p.toLower(), p.toUpper()})
                if (!patterns.contains(v))
                    patterns.append(v);
        }
        out.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')'));
    }
    return out;
}

OpenRoute openRoute(int filterIndex, const QString& path)
{
    if (filterIndex == 3 || filterIndex == 4)
        return OpenRoute::Convert;
    if (filterIndex == 1 || filterIndex == 2)
        return OpenRoute::Direct;
    static const char* const converted[] = {"doc", "docx", "odt", "wpd", "htm", "html", "xhtml"};
    const QString ext = QFileInfo(path).suffix().toLower();
    for (const char* e : converted)
        if (ext == QLatin1StringView(e))
            return OpenRoute::Convert;
    return OpenRoute::Direct;
}

} // namespace DocumentFilters

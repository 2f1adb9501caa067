#include "server/documents/XmlGuard.h"

#include <QXmlStreamReader>

namespace XmlGuard {

QString problem(const QByteArray& xml, int maxDepth, bool xhtml)
{
    QXmlStreamReader reader(xml);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            if (!xhtml)
                return QStringLiteral("it has a document type declaration, which documents "
                                      "of this kind never have");
            if (!reader.entityDeclarations().isEmpty() ||
                !reader.notationDeclarations().isEmpty() ||
                reader.text().contains(QLatin1Char('[')))
                return QStringLiteral("its document type declaration declares entities of "
                                      "its own");
            break;
        case QXmlStreamReader::EntityReference:
            if (!xhtml)
                return QStringLiteral("it uses an entity of its own");
            break;
        case QXmlStreamReader::StartElement:
            if (++depth > maxDepth)
                return QStringLiteral("its elements nest more than %1 deep").arg(maxDepth);
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        return QStringLiteral("it is not well-formed XML (%1 at line %2)")
            .arg(reader.errorString())
            .arg(reader.lineNumber());
    return {};
}

QString text(const QByteArray& xml, qsizetype maxChars)
{
    QXmlStreamReader reader(xml);
    QString out;
    while (!reader.atEnd() && out.size() < maxChars) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::DTD)
            break;
        if (token == QXmlStreamReader::Characters && !reader.isWhitespace())
            out += reader.text();
        else if (token == QXmlStreamReader::EndElement && !out.isEmpty() && !out.back().isSpace()) {
            const QStringView name = reader.name();
            if (name == u"p" || name == u"h" || name == u"si" || name == u"tc" || name == u"li" ||
                name == u"div" || name == u"td" || name == u"title")
                out += QLatin1Char(' ');
        }
    }
    return out.left(maxChars);
}

} // namespace XmlGuard

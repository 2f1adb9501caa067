#include "service/SoapXml.h"

#include "service/SoapNames.h"

#include <QSet>
#include <QTextStream>
#include <QXmlStreamReader>
#include <algorithm>

namespace SoapXml {

quint64 Document::positionKey(qint64 line, qint64 column)
{
    return (quint64(line) << 32) ^ quint64(column);
}

bool Document::setContent(const QByteArray& bytes)
{
    m_dom.clear();
    m_error.clear();
    m_declarations.clear();

    // A first pass with the streaming reader bounds the depth and keeps the
    // namespace declarations that the DOM does not retain. It also notes
    // elements whose whole content is white space: Qt 6.4's DOM drops such
    // text, and a translation of " " must not come back empty.
    struct Open
    {
        quint64 key;
        bool hasChildElement = false;
        bool hasOtherText = false;
        QString blanks;
    };
    QList<Open> open;
    QHash<quint64, QString> blankLeaves;
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (open.size() >= MaxDepth) {
                m_error = QStringLiteral("The XML document is nested more than %1 levels deep "
                                         "(line %2, column %3)")
                              .arg(QString::number(MaxDepth), QString::number(reader.lineNumber()),
                                   QString::number(reader.columnNumber()));
                return false;
            }
            const quint64 key = positionKey(reader.lineNumber(), reader.columnNumber());
            if (!open.isEmpty())
                open.last().hasChildElement = true;
            open.append(Open{key, false, false, QString()});
            const auto decls = reader.namespaceDeclarations();
            if (!decls.isEmpty()) {
                QList<QPair<QString, QString>> list;
                list.reserve(decls.size());
                for (const auto& d : decls)
                    list.append({d.prefix().toString(), d.namespaceUri().toString()});
                m_declarations.insert(key, list);
            }
        } else if (token == QXmlStreamReader::Characters && !open.isEmpty()) {
            const QStringView chars = reader.text();
            const bool blank = std::all_of(chars.begin(), chars.end(), [](QChar c) {
                return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
            });
            if (blank)
                open.last().blanks += chars;
            else
                open.last().hasOtherText = true;
        } else if (token == QXmlStreamReader::EndElement && !open.isEmpty()) {
            const Open done = open.takeLast();
            if (!done.hasChildElement && !done.hasOtherText && !done.blanks.isEmpty())
                blankLeaves.insert(done.key, done.blanks);
        }
    }
    if (reader.hasError()) {
        m_error = QStringLiteral("%1 (line %2, column %3)")
                      .arg(reader.errorString(), QString::number(reader.lineNumber()),
                           QString::number(reader.columnNumber()));
        m_declarations.clear();
        return false;
    }

    QString message;
    int line = 0;
    int column = 0;
    if (!m_dom.setContent(bytes, true, &message, &line, &column)) {
        m_error = QStringLiteral("%1 (line %2, column %3)")
                      .arg(message, QString::number(line), QString::number(column));
        m_dom.clear();
        m_declarations.clear();
        return false;
    }
    if (!blankLeaves.isEmpty())
        restoreBlankText(blankLeaves);
    return true;
}

void Document::restoreBlankText(const QHash<quint64, QString>& blankLeaves)
{
    QDomNode n = m_dom.documentElement();
    const QDomNode top = n;
    while (!n.isNull()) {
        if (n.isElement() && !n.hasChildNodes()) {
            const auto it = blankLeaves.constFind(positionKey(n.lineNumber(), n.columnNumber()));
            if (it != blankLeaves.constEnd())
                n.appendChild(m_dom.createTextNode(*it));
        }
        if (n.isElement() && n.hasChildNodes()) {
            n = n.firstChild();
            continue;
        }
        while (!n.isNull() && n != top && n.nextSibling().isNull())
            n = n.parentNode();
        if (n.isNull() || n == top)
            break;
        n = n.nextSibling();
    }
}

QString Document::namespaceForPrefix(const QDomElement& element, const QString& prefix) const
{
    if (prefix == QLatin1String("xml"))
        return SoapNs::Xml;
    for (QDomNode n = element; !n.isNull() && n.isElement(); n = n.parentNode()) {
        const auto it = m_declarations.constFind(positionKey(n.lineNumber(), n.columnNumber()));
        if (it == m_declarations.constEnd())
            continue;
        for (const auto& [p, uri] : *it) {
            if (p == prefix)
                return uri;
        }
    }
    return QString();
}

QList<QDomElement> elementChildren(const QDomNode& parent)
{
    QList<QDomElement> out;
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        out.append(e);
    return out;
}

QList<QDomElement> elementChildren(const QDomNode& parent, QStringView name, Qt::CaseSensitivity cs)
{
    QList<QDomElement> out;
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (QStringView(localName(e)).compare(name, cs) == 0)
            out.append(e);
    }
    return out;
}

QDomElement firstElementChild(const QDomNode& parent)
{
    return parent.firstChildElement();
}

QDomElement firstElementChild(const QDomNode& parent, QStringView name, Qt::CaseSensitivity cs)
{
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (QStringView(localName(e)).compare(name, cs) == 0)
            return e;
    }
    return QDomElement();
}

QDomElement firstElementChildNS(const QDomNode& parent, const QString& namespaceUri,
                                QStringView name)
{
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (e.namespaceURI() == namespaceUri && localName(e) == name)
            return e;
    }
    return QDomElement();
}

QString localName(const QDomNode& node)
{
    QString name = node.localName();
    if (name.isEmpty()) {
        // Nodes built without namespace processing only have a node name.
        name = node.nodeName();
        const auto colon = name.indexOf(QLatin1Char(':'));
        if (colon >= 0)
            name = name.mid(colon + 1);
    }
    return name;
}

QString text(const QDomElement& element)
{
    return element.text();
}

QDomElement findById(const QDomNode& scope, const QString& id)
{
    // Iterative pre-order walk: replies come from outside.
    const QString idName = QStringLiteral("id");
    QDomNode n = scope;
    while (!n.isNull()) {
        if (n.isElement()) {
            const QDomElement e = n.toElement();
            if (e.hasAttribute(idName) && e.attribute(idName) == id)
                return e;
        }
        if (!n.firstChild().isNull()) {
            n = n.firstChild();
            continue;
        }
        while (!n.isNull() && n != scope && n.nextSibling().isNull())
            n = n.parentNode();
        if (n.isNull() || n == scope)
            break;
        n = n.nextSibling();
    }
    return QDomElement();
}

QDomElement resolveHref(const QDomElement& element, const QList<QDomNode>& scopes)
{
    QDomElement current = element;
    QSet<QString> seen;
    while (!current.isNull()) {
        const QString href = current.attribute(QStringLiteral("href"));
        if (!href.startsWith(QLatin1Char('#')))
            return current;
        const QString id = href.mid(1);
        if (seen.contains(id))
            return QDomElement();
        seen.insert(id);
        QDomElement target;
        for (const QDomNode& scope : scopes) {
            target = findById(scope, id);
            if (!target.isNull())
                break;
        }
        current = target;
    }
    return current;
}

QString xmlOf(const QDomNode& node)
{
    QString out;
    QTextStream stream(&out);
    node.save(stream, -1);
    stream.flush();
    return out;
}

namespace {

enum class Context { Text, Attribute };

// The replacement for a character that needs one, or null when it can be
// written as it is.
QLatin1String replacement(char16_t u, Context context)
{
    switch (u) {
    case u'&':
        return QLatin1String("&amp;");
    case u'<':
        return QLatin1String("&lt;");
    case u'>':
        return QLatin1String("&gt;");
    case u'\r':
        return QLatin1String("&#13;");
    case u'"':
        return context == Context::Attribute ? QLatin1String("&quot;") : QLatin1String();
    case u'\n':
        return context == Context::Attribute ? QLatin1String("&#10;") : QLatin1String();
    case u'\t':
        return context == Context::Attribute ? QLatin1String("&#9;") : QLatin1String();
    default:
        return u < 0x20 ? QLatin1String(" ") : QLatin1String();
    }
}

void escapeInto(QString& out, QStringView in, Context context)
{
    const qsizetype n = in.size();
    qsizetype run = 0; // start of the characters not written yet
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = in[i];
        const char16_t u = c.unicode();
        if (u >= 0x3F && u < 0xD800)
            continue; // the bulk of any text: nothing to do
        if (c.isHighSurrogate() && i + 1 < n && in[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        const QLatin1String r = replacement(u, context);
        const bool unrepresentable = c.isSurrogate() || u == 0xFFFE || u == 0xFFFF;
        if (r.isNull() && !unrepresentable)
            continue;
        out.append(in.mid(run, i - run));
        if (unrepresentable)
            out.append(QChar(QChar::ReplacementCharacter));
        else
            out.append(r);
        run = i + 1;
    }
    out.append(in.mid(run));
}

QString escape(QStringView in, Context context)
{
    QString out;
    out.reserve(in.size() + in.size() / 8);
    escapeInto(out, in, context);
    return out;
}

} // namespace

QString escapeText(QStringView text)
{
    return escape(text, Context::Text);
}

QString escapeAttribute(QStringView value)
{
    return escape(value, Context::Attribute);
}

void appendEscapedText(QString& out, QStringView text)
{
    escapeInto(out, text, Context::Text);
}

void appendEscapedAttribute(QString& out, QStringView value)
{
    escapeInto(out, value, Context::Attribute);
}

} // namespace SoapXml

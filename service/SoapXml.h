#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

// XML reading shared by the SOAP client and the local SOAP service: a
// namespace-aware DOM that is safe to build from outside input, and the few
// helpers both ends need to walk envelopes and WSDL documents.
namespace SoapXml {

// Deeper documents are refused before the DOM is built: building and
// freeing a DOM costs time quadratic in its depth, and real envelopes and
// WSDL documents stay far below this.
inline constexpr int MaxDepth = 256;

class Document
{
public:
    // Parses bytes; the document's own declaration decides the encoding
    // (UTF-8 when it names none). Entity expansion stays within the XML
    // reader's limits; external entities are never loaded. On failure
    // returns false and errorText() says why ("<message> (line L, column C)").
    bool setContent(const QByteArray& bytes);

    const QString& errorText() const { return m_error; }
    const QDomDocument& dom() const { return m_dom; }
    QDomDocument& dom() { return m_dom; }
    QDomElement root() const { return m_dom.documentElement(); }

    // The namespace that a prefix is bound to where element sits (an empty
    // prefix asks for the default namespace). A null string when unbound.
    // The DOM drops namespace declarations, so they are kept here to resolve
    // qualified names inside attribute values (binding="tns:Binding").
    QString namespaceForPrefix(const QDomElement& element, const QString& prefix) const;

private:
    static quint64 positionKey(qint64 line, qint64 column);
    void restoreBlankText(const QHash<quint64, QString>& blankLeaves);

    QDomDocument m_dom;
    QString m_error;
    // Declarations per element, keyed by the start tag's position.
    QHash<quint64, QList<QPair<QString, QString>>> m_declarations;
};

// Element children of a node, optionally only those with a given local name.
QList<QDomElement> elementChildren(const QDomNode& parent);
QList<QDomElement> elementChildren(const QDomNode& parent, QStringView localName,
                                   Qt::CaseSensitivity cs = Qt::CaseSensitive);
QDomElement firstElementChild(const QDomNode& parent);
QDomElement firstElementChild(const QDomNode& parent, QStringView localName,
                              Qt::CaseSensitivity cs = Qt::CaseSensitive);
// First element child with this local name in this namespace.
QDomElement firstElementChildNS(const QDomNode& parent, const QString& namespaceUri,
                                QStringView localName);

// The local name, also for nodes that carry no namespace information.
QString localName(const QDomNode& node);

// The text content of an element (all descendant text, entities expanded).
QString text(const QDomElement& element);

// The element whose "id" attribute equals id, searched in document order
// below (and including) scope. Null when there is none.
QDomElement findById(const QDomNode& scope, const QString& id);

// An element with href="#id" stands for the element whose id matches,
// searched in each scope in turn; chains of references are followed.
// Returns the element itself when it has no such href, and a null element
// when a reference cannot be resolved (or loops).
QDomElement resolveHref(const QDomElement& element, const QList<QDomNode>& scopes);

// The element (or any node) written back as XML text, without indentation.
QString xmlOf(const QDomNode& node);

// Escaping for writing XML: &, < and > in text, and also quotation marks and
// white space other than blanks in attribute values. A carriage return is
// written as a character reference so that it survives the reader's
// line-end normalisation. Characters that XML 1.0 cannot carry become a
// blank (control characters) or U+FFFD (unpaired surrogates, U+FFFE, U+FFFF).
QString escapeText(QStringView text);
QString escapeAttribute(QStringView value);
// The same, appended to out without a temporary copy (for large texts).
void appendEscapedText(QString& out, QStringView text);
void appendEscapedAttribute(QString& out, QStringView value);

} // namespace SoapXml

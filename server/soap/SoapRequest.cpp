#include "server/soap/SoapRequest.h"

#include "server/engine/ServiceFault.h"
#include "service/SoapNames.h"
#include "service/SoapXml.h"

#include <QList>
#include <QXmlStreamReader>

namespace {
// href chains longer than this are treated as loops.
constexpr int maxReferenceHops = 8;

// One element of the request, with only what a call needs of it.
struct Element
{
    QString prefix;
    QString localName;
    QString namespaceUri;
    bool hasHref = false;
    QString href;
    bool hasId = false;
    QString id;
    QString nil;                 // xsi:nil
    bool mustUnderstand = false; // SOAP-ENV:mustUnderstand="1"
    QList<int> children;         // element children, in order
    // Character data, kept only while the element has no element child:
    // a value holding elements is refused anyway.
    QString text;
};

// The request read with a streaming reader into a flat list of elements,
// bounded as it reads: a call is a handful of elements, so an envelope of
// millions of empty ones is refused after its first few kilobytes instead
// of being built into a tree of gigabytes.
class Envelope
{
public:
    explicit Envelope(const QByteArray& bytes) { read(bytes); }

    const Element& at(int i) const { return m_elements.at(i); }
    int root() const { return m_root; }

    int firstChild(int parent) const
    {
        return parent < 0 || at(parent).children.isEmpty() ? -1 : at(parent).children.first();
    }
    int firstChild(int parent, QStringView name, Qt::CaseSensitivity cs = Qt::CaseSensitive) const
    {
        for (int c : at(parent).children) {
            if (QStringView(at(c).localName).compare(name, cs) == 0)
                return c;
        }
        return -1;
    }
    // The element whose id attribute matches, in document order below (and
    // including) scope; -1 when there is none.
    int findById(int scope, const QString& id) const
    {
        QList<int> pending{scope};
        while (!pending.isEmpty()) {
            const int e = pending.takeLast();
            if (at(e).hasId && at(e).id == id)
                return e;
            const QList<int>& children = at(e).children;
            for (auto c = children.crbegin(); c != children.crend(); ++c)
                pending.append(*c);
        }
        return -1;
    }

    // "{namespace}local" is of no use to a reader of the message; the name
    // as written is.
    QString shownName(int e) const
    {
        const Element& el = at(e);
        const QString name =
            el.prefix.isEmpty() ? el.localName : el.prefix + QLatin1Char(':') + el.localName;
        return QLatin1Char('<') +
               (name.size() <= 60 ? name : name.left(60) + QStringLiteral("...")) +
               QLatin1Char('>');
    }

private:
    void read(const QByteArray& bytes);

    QList<Element> m_elements;
    int m_root = -1;
};

void Envelope::read(const QByteArray& bytes)
{
    if (bytes.trimmed().isEmpty())
        throw ServiceFault::client(
            QStringLiteral("The request has no body; a SOAP envelope was expected"));

    QXmlStreamReader reader(bytes);
    QList<int> open;
    // Characters read outside the values' text: names, attributes, white
    // space between elements, comments.
    qint64 markup = 0;
    qint64 offset = 0;
    const auto where = [&reader] {
        return QStringLiteral("(line %1, column %2)")
            .arg(QString::number(reader.lineNumber()), QString::number(reader.columnNumber()));
    };
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        const qint64 span = reader.characterOffset() - offset;
        offset = reader.characterOffset();
        if (token == QXmlStreamReader::DTD)
            throw ServiceFault::client(QStringLiteral(
                "The request carries a document type declaration, which a SOAP message must not"));
        if (token == QXmlStreamReader::StartElement) {
            if (open.size() >= SoapRequestLimits::depth)
                throw ServiceFault::client(
                    QStringLiteral("The request is nested more than %1 levels deep %2")
                        .arg(QString::number(SoapRequestLimits::depth), where()));
            if (m_elements.size() >= SoapRequestLimits::elements)
                throw ServiceFault::client(
                    QStringLiteral("The request has more than %1 elements; a call needs a few %2")
                        .arg(QString::number(SoapRequestLimits::elements), where()));
            Element e;
            e.prefix = reader.prefix().toString();
            e.localName = reader.name().toString();
            e.namespaceUri = reader.namespaceUri().toString();
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute& a : attributes) {
                if (a.qualifiedName() == u"href") {
                    e.hasHref = true;
                    e.href = a.value().toString();
                } else if (a.qualifiedName() == u"id") {
                    e.hasId = true;
                    e.id = a.value().toString();
                } else if (a.name() == u"nil" && a.namespaceUri() == SoapNs::Xsi) {
                    e.nil = a.value().toString();
                } else if (a.name() == u"mustUnderstand" && a.namespaceUri() == SoapNs::Envelope) {
                    e.mustUnderstand = a.value() == u"1";
                }
            }
            const int index = static_cast<int>(m_elements.size());
            if (open.isEmpty()) {
                m_root = index;
            } else {
                Element& parent = m_elements[open.last()];
                if (parent.children.isEmpty()) {
                    markup += parent.text.size();
                    parent.text = QString();
                }
                parent.children.append(index);
            }
            m_elements.append(std::move(e));
            open.append(index);
            markup += span;
        } else if (token == QXmlStreamReader::Characters && !open.isEmpty() &&
                   m_elements.at(open.last()).children.isEmpty()) {
            m_elements[open.last()].text += reader.text();
        } else {
            if (token == QXmlStreamReader::EndElement && !open.isEmpty())
                open.removeLast();
            markup += span;
        }
        if (markup > SoapRequestLimits::markupChars)
            throw ServiceFault::client(
                QStringLiteral("The request holds more than %1 KiB of markup beside its texts %2")
                    .arg(QString::number(SoapRequestLimits::markupChars / 1024), where()));
    }
    if (reader.hasError())
        throw ServiceFault::client(
            QStringLiteral("The request is not a readable XML document: %1 %2")
                .arg(reader.errorString(), where()));
    if (m_root < 0)
        throw ServiceFault::client(
            QStringLiteral("The request is not a readable XML document: it holds no element"));
}

class CallReader
{
public:
    CallReader(const Envelope& envelope, int body, int operation)
        : m_envelope(envelope), m_body(body), m_operation(operation)
    {
    }

    // A parameter or member element, with an href followed to the
    // multi-reference element it stands for.
    int resolve(int e) const
    {
        for (int hops = 0; m_envelope.at(e).hasHref; ++hops) {
            const QString& ref = m_envelope.at(e).href;
            if (hops == maxReferenceHops)
                throw ServiceFault::client(
                    QStringLiteral("The references starting at %1 go round in a loop")
                        .arg(m_envelope.shownName(e)));
            if (!ref.startsWith(QLatin1Char('#')) || ref.size() < 2)
                throw ServiceFault::client(
                    QStringLiteral("The reference \"%1\" of %2 does not point "
                                   "to an element of this message")
                        .arg(ref.left(40), m_envelope.shownName(e)));
            int target = m_envelope.findById(m_operation, ref.mid(1));
            if (target < 0)
                target = m_envelope.findById(m_body, ref.mid(1));
            if (target < 0)
                throw ServiceFault::client(QStringLiteral("The reference \"%1\" of %2 matches no "
                                                          "element with that id")
                                               .arg(ref.left(40), m_envelope.shownName(e)));
            e = target;
        }
        return e;
    }

    int member(int parent, const QString& name, const QString& owner,
               Qt::CaseSensitivity cs = Qt::CaseSensitive) const
    {
        const int e = m_envelope.firstChild(parent, name, cs);
        if (e < 0)
            throw ServiceFault::client(QStringLiteral("The %1 has no %2").arg(owner, name));
        return resolve(e);
    }

    QString stringValue(int e, const QString& name) const
    {
        const Element& el = m_envelope.at(e);
        if (el.nil == QLatin1String("true") || el.nil == QLatin1String("1"))
            return {};
        if (!el.children.isEmpty())
            throw ServiceFault::client(
                QStringLiteral("The %1 holds elements where a string was expected").arg(name));
        return el.text;
    }

private:
    const Envelope& m_envelope;
    int m_body;
    int m_operation;
};

int checkedBody(const Envelope& doc)
{
    const int envelope = doc.root();
    const Element& root = doc.at(envelope);
    if (root.localName != QLatin1String("Envelope"))
        throw ServiceFault::client(QStringLiteral("The request is not a SOAP message: its document "
                                                  "element is %1 where a SOAP Envelope belongs")
                                       .arg(doc.shownName(envelope)));
    if (root.namespaceUri != SoapNs::Envelope)
        throw ServiceFault(ServiceFault::Code::VersionMismatch,
                           QStringLiteral("The Envelope is in the namespace \"%1\"; this service "
                                          "speaks SOAP 1.1 (\"%2\")")
                               .arg(root.namespaceUri.left(100), SoapNs::Envelope));

    int header = -1;
    int body = -1;
    for (int e : root.children) {
        const bool inSoap = doc.at(e).namespaceUri == SoapNs::Envelope;
        if (inSoap && doc.at(e).localName == QLatin1String("Header")) {
            if (header >= 0 || body >= 0)
                throw ServiceFault::client(QStringLiteral(
                    "The Envelope has a Header that is not its first child, or two of them"));
            header = e;
        } else if (inSoap && doc.at(e).localName == QLatin1String("Body")) {
            if (body >= 0)
                throw ServiceFault::client(QStringLiteral("The Envelope has two Body elements"));
            body = e;
        } else if (body < 0) {
            throw ServiceFault::client(
                QStringLiteral("The Envelope holds %1 before its Body").arg(doc.shownName(e)));
        }
        // Elements after the Body are allowed and mean nothing to us.
    }
    if (body < 0)
        throw ServiceFault::client(QStringLiteral("The Envelope has no Body"));

    if (header >= 0) {
        for (int e : doc.at(header).children) {
            if (doc.at(e).mustUnderstand)
                throw ServiceFault(ServiceFault::Code::MustUnderstand,
                                   QStringLiteral("The header %1 must be understood, and this "
                                                  "service understands no headers")
                                       .arg(doc.shownName(e)));
        }
    }
    return body;
}
} // namespace

SoapCall parseSoapCall(const QByteArray& bytes)
{
    const Envelope doc(bytes);
    const int body = checkedBody(doc);
    const int operation = doc.firstChild(body);
    if (operation < 0)
        throw ServiceFault::client(
            QStringLiteral("The SOAP Body is empty; it should hold a BabelFish or getTranslation "
                           "call"));

    SoapCall call;
    call.operationNamespace = doc.at(operation).namespaceUri;
    const CallReader reader(doc, body, operation);
    const QString& op = doc.at(operation).localName;
    if (op == QLatin1String("BabelFish")) {
        call.operation = SoapCall::Operation::BabelFish;
        const QString owner = QStringLiteral("BabelFish call");
        call.mode =
            reader.stringValue(reader.member(operation, QStringLiteral("translationmode"), owner),
                               QStringLiteral("translationmode"));
        call.text =
            reader.stringValue(reader.member(operation, QStringLiteral("sourcedata"), owner),
                               QStringLiteral("sourcedata"));
    } else if (op == QLatin1String("getTranslation")) {
        call.operation = SoapCall::Operation::GetTranslation;
        const int record =
            reader.member(operation, QStringLiteral("body"), QStringLiteral("getTranslation call"));
        // The record's members are matched without regard to case, as
        // encoded-style readers commonly do.
        const QString owner = QStringLiteral("getTranslation record");
        call.text = reader.stringValue(
            reader.member(record, QStringLiteral("text"), owner, Qt::CaseInsensitive),
            QStringLiteral("text"));
        call.mode = reader.stringValue(
            reader.member(record, QStringLiteral("language"), owner, Qt::CaseInsensitive),
            QStringLiteral("language"));
    } else if (op == QLatin1String("Fault")) {
        throw ServiceFault::client(QStringLiteral("The request is a SOAP Fault, not a call"));
    } else {
        throw ServiceFault::client(QStringLiteral("Unknown operation %1; this service offers "
                                                  "BabelFish and getTranslation")
                                       .arg(doc.shownName(operation)));
    }
    return call;
}

bool isSoapContentType(QByteArrayView contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    const QByteArray type = (semicolon < 0 ? contentType : contentType.first(semicolon))
                                .trimmed()
                                .toByteArray()
                                .toLower();
    return type == "text/xml" || type == "application/soap+xml";
}

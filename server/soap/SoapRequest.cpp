#include "server/soap/SoapRequest.h"

#include "server/engine/ServiceFault.h"
#include "service/SoapNames.h"
#include "service/SoapXml.h"

#include <QXmlStreamReader>

namespace {
// href chains longer than this are treated as loops.
constexpr int maxReferenceHops = 8;

// A SOAP message must not carry a document type declaration (and with it
// entity definitions). It can only come before the first element, so the
// look stops there.
void refuseDoctype(const QByteArray& body)
{
    QXmlStreamReader reader(body);
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::DTD)
            throw ServiceFault::client(QStringLiteral(
                "The request carries a document type declaration, which a SOAP message must not"));
        if (token == QXmlStreamReader::StartElement || token == QXmlStreamReader::Invalid)
            return;
    }
}

void readXml(const QByteArray& body, SoapXml::Document* doc)
{
    if (body.trimmed().isEmpty())
        throw ServiceFault::client(
            QStringLiteral("The request has no body; a SOAP envelope was expected"));
    refuseDoctype(body);
    if (!doc->setContent(body))
        throw ServiceFault::client(
            QStringLiteral("The request is not a readable XML document: %1").arg(doc->errorText()));
}

// "{namespace}local" is of no use to a reader of the message; the name as
// written is.
QString shownName(const QDomElement& e)
{
    const QString name =
        e.prefix().isEmpty() ? e.localName() : e.prefix() + QLatin1Char(':') + e.localName();
    return QLatin1Char('<') + (name.size() <= 60 ? name : name.left(60) + QStringLiteral("...")) +
           QLatin1Char('>');
}

class CallReader
{
public:
    CallReader(const QDomElement& body, const QDomElement& operation)
        : m_body(body), m_operation(operation)
    {
    }

    // A parameter or member element, with an href followed to the
    // multi-reference element it stands for.
    QDomElement resolve(QDomElement e) const
    {
        for (int hops = 0; e.hasAttribute(QStringLiteral("href")); ++hops) {
            const QString ref = e.attribute(QStringLiteral("href"));
            if (hops == maxReferenceHops)
                throw ServiceFault::client(
                    QStringLiteral("The references starting at %1 go round in a loop")
                        .arg(shownName(e)));
            if (!ref.startsWith(QLatin1Char('#')) || ref.size() < 2)
                throw ServiceFault::client(
                    QStringLiteral("The reference \"%1\" of %2 does not point "
                                   "to an element of this message")
                        .arg(ref.left(40), shownName(e)));
            QDomElement target = SoapXml::findById(m_operation, ref.mid(1));
            if (target.isNull())
                target = SoapXml::findById(m_body, ref.mid(1));
            if (target.isNull())
                throw ServiceFault::client(QStringLiteral("The reference \"%1\" of %2 matches no "
                                                          "element with that id")
                                               .arg(ref.left(40), shownName(e)));
            e = target;
        }
        return e;
    }

    QDomElement member(const QDomElement& parent, const QString& name, const QString& owner,
                       Qt::CaseSensitivity cs = Qt::CaseSensitive) const
    {
        const QDomElement e = SoapXml::firstElementChild(parent, name, cs);
        if (e.isNull())
            throw ServiceFault::client(QStringLiteral("The %1 has no %2").arg(owner, name));
        return resolve(e);
    }

    static QString stringValue(const QDomElement& e, const QString& name)
    {
        const QString nil = e.attributeNS(SoapNs::Xsi, QStringLiteral("nil"));
        if (nil == QLatin1String("true") || nil == QLatin1String("1"))
            return {};
        if (!SoapXml::firstElementChild(e).isNull())
            throw ServiceFault::client(
                QStringLiteral("The %1 holds elements where a string was expected").arg(name));
        return SoapXml::text(e);
    }

private:
    QDomElement m_body;
    QDomElement m_operation;
};

QDomElement checkedBody(const QDomElement& envelope)
{
    if (envelope.localName() != QLatin1String("Envelope"))
        throw ServiceFault::client(QStringLiteral("The request is not a SOAP message: its document "
                                                  "element is %1 where a SOAP Envelope belongs")
                                       .arg(shownName(envelope)));
    if (envelope.namespaceURI() != SoapNs::Envelope)
        throw ServiceFault(ServiceFault::Code::VersionMismatch,
                           QStringLiteral("The Envelope is in the namespace \"%1\"; this service "
                                          "speaks SOAP 1.1 (\"%2\")")
                               .arg(envelope.namespaceURI().left(100), SoapNs::Envelope));

    QDomElement header;
    QDomElement body;
    for (const QDomElement& e : SoapXml::elementChildren(envelope)) {
        const bool inSoap = e.namespaceURI() == SoapNs::Envelope;
        if (inSoap && e.localName() == QLatin1String("Header")) {
            if (!header.isNull() || !body.isNull())
                throw ServiceFault::client(QStringLiteral(
                    "The Envelope has a Header that is not its first child, or two of them"));
            header = e;
        } else if (inSoap && e.localName() == QLatin1String("Body")) {
            if (!body.isNull())
                throw ServiceFault::client(QStringLiteral("The Envelope has two Body elements"));
            body = e;
        } else if (body.isNull()) {
            throw ServiceFault::client(
                QStringLiteral("The Envelope holds %1 before its Body").arg(shownName(e)));
        }
        // Elements after the Body are allowed and mean nothing to us.
    }
    if (body.isNull())
        throw ServiceFault::client(QStringLiteral("The Envelope has no Body"));

    for (const QDomElement& e : SoapXml::elementChildren(header)) {
        if (e.attributeNS(SoapNs::Envelope, QStringLiteral("mustUnderstand")) == QLatin1String("1"))
            throw ServiceFault(ServiceFault::Code::MustUnderstand,
                               QStringLiteral("The header %1 must be understood, and this service "
                                              "understands no headers")
                                   .arg(shownName(e)));
    }
    return body;
}
} // namespace

SoapCall parseSoapCall(const QByteArray& bytes)
{
    SoapXml::Document doc;
    readXml(bytes, &doc);
    const QDomElement body = checkedBody(doc.root());
    const QDomElement operation = SoapXml::firstElementChild(body);
    if (operation.isNull())
        throw ServiceFault::client(
            QStringLiteral("The SOAP Body is empty; it should hold a BabelFish or getTranslation "
                           "call"));

    SoapCall call;
    call.operationNamespace = operation.namespaceURI();
    const CallReader reader(body, operation);
    const QString op = operation.localName();
    if (op == QLatin1String("BabelFish")) {
        call.operation = SoapCall::Operation::BabelFish;
        const QString owner = QStringLiteral("BabelFish call");
        call.mode = CallReader::stringValue(
            reader.member(operation, QStringLiteral("translationmode"), owner),
            QStringLiteral("translationmode"));
        call.text =
            CallReader::stringValue(reader.member(operation, QStringLiteral("sourcedata"), owner),
                                    QStringLiteral("sourcedata"));
    } else if (op == QLatin1String("getTranslation")) {
        call.operation = SoapCall::Operation::GetTranslation;
        const QDomElement record =
            reader.member(operation, QStringLiteral("body"), QStringLiteral("getTranslation call"));
        // The record's members are matched without regard to case, as
        // encoded-style readers commonly do.
        const QString owner = QStringLiteral("getTranslation record");
        call.text = CallReader::stringValue(
            reader.member(record, QStringLiteral("text"), owner, Qt::CaseInsensitive),
            QStringLiteral("text"));
        call.mode = CallReader::stringValue(
            reader.member(record, QStringLiteral("language"), owner, Qt::CaseInsensitive),
            QStringLiteral("language"));
    } else if (op == QLatin1String("Fault")) {
        throw ServiceFault::client(QStringLiteral("The request is a SOAP Fault, not a call"));
    } else {
        throw ServiceFault::client(QStringLiteral("Unknown operation %1; this service offers "
                                                  "BabelFish and getTranslation")
                                       .arg(shownName(operation)));
    }
    return call;
}

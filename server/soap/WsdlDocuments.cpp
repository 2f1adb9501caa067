#include "server/soap/WsdlDocuments.h"

#include "service/SoapNames.h"

#include <QXmlStreamWriter>

namespace WsdlDocuments {
namespace {
const Description descriptions[] = {
    {Kind::BabelFish, "/sd/BabelFishService.wsdl", "", "BabelFish", "BabelFishPort", "BabelFish",
     "urn:BFish-IBabelFish"},
    {Kind::BabelFish2001, "/sd/2001/BabelFishService.wsdl", "", "BabelFishService", "BabelFishPort",
     "BabelFish", "urn:BFish3-IBabelFish3"},
    {Kind::Translate, "/vx_engine/wsdl.vep", "translate.wsdl", "translate", "Port",
     "getTranslation", "urn:BFish2-IBabelFish2"},
};

QString latin(const char* s)
{
    return QString::fromLatin1(s);
}

void writeSchemaTypes(QXmlStreamWriter& w)
{
    w.writeStartElement(SoapNs::Wsdl, QStringLiteral("types"));
    w.writeStartElement(SoapNs::Xsd, QStringLiteral("schema"));
    w.writeAttribute(QStringLiteral("targetNamespace"), SoapNs::VgxTranslate);
    const auto record = [&w](const QString& name, bool withLanguage) {
        w.writeStartElement(SoapNs::Xsd, QStringLiteral("complexType"));
        w.writeAttribute(QStringLiteral("name"), name);
        w.writeStartElement(SoapNs::Xsd, QStringLiteral("sequence"));
        QStringList members{QStringLiteral("text")};
        if (withLanguage)
            members << QStringLiteral("language");
        for (const QString& member : members) {
            w.writeEmptyElement(SoapNs::Xsd, QStringLiteral("element"));
            w.writeAttribute(QStringLiteral("name"), member);
            w.writeAttribute(QStringLiteral("type"), QStringLiteral("xsd:string"));
        }
        w.writeEndElement(); // sequence
        w.writeEndElement(); // complexType
    };
    record(QStringLiteral("getTranslation"), true);
    record(QStringLiteral("getTranslationResponse"), false);
    w.writeEndElement(); // schema
    w.writeEndElement(); // types
}

void writeMessage(QXmlStreamWriter& w, const QString& name,
                  const QList<std::pair<QString, QString>>& parts)
{
    w.writeStartElement(SoapNs::Wsdl, QStringLiteral("message"));
    w.writeAttribute(QStringLiteral("name"), name);
    for (const auto& [part, type] : parts) {
        w.writeEmptyElement(SoapNs::Wsdl, QStringLiteral("part"));
        w.writeAttribute(QStringLiteral("name"), part);
        w.writeAttribute(QStringLiteral("type"), type);
    }
    w.writeEndElement();
}

void writeSoapBody(QXmlStreamWriter& w, const QString& element, const QString& ns)
{
    w.writeStartElement(SoapNs::Wsdl, element);
    w.writeEmptyElement(SoapNs::WsdlSoap, QStringLiteral("body"));
    w.writeAttribute(QStringLiteral("use"), QStringLiteral("encoded"));
    w.writeAttribute(QStringLiteral("namespace"), ns);
    w.writeAttribute(QStringLiteral("encodingStyle"), SoapNs::Encoding);
    w.writeEndElement();
}
} // namespace

const Description& describe(Kind kind)
{
    for (const Description& d : descriptions) {
        if (d.kind == kind)
            return d;
    }
    return descriptions[0];
}

std::optional<Kind> forRequest(const QString& path, const QString& query)
{
    for (const Description& d : descriptions) {
        if (path == QLatin1String(d.path) && query == QLatin1String(d.query))
            return d.kind;
    }
    return std::nullopt;
}

QString endpointPath()
{
    return QStringLiteral("/soap");
}

QByteArray document(Kind kind, const QString& endpointUrl)
{
    const Description& d = describe(kind);
    const QString ns = latin(d.operationNamespace);
    const QString op = latin(d.operation);
    const QString service = latin(d.service);
    const bool record = kind == Kind::Translate;

    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(1);
    w.writeStartDocument();
    w.writeNamespace(SoapNs::Wsdl, QStringLiteral("wsdl"));
    w.writeNamespace(SoapNs::WsdlSoap, QStringLiteral("soap"));
    w.writeNamespace(SoapNs::Xsd, QStringLiteral("xsd"));
    w.writeNamespace(ns, QStringLiteral("tns"));
    if (record)
        w.writeNamespace(SoapNs::VgxTranslate, QStringLiteral("vgx"));
    w.writeStartElement(SoapNs::Wsdl, QStringLiteral("definitions"));
    w.writeAttribute(QStringLiteral("name"), service);
    w.writeAttribute(QStringLiteral("targetNamespace"), ns);

    if (record) {
        writeSchemaTypes(w);
        const QList<std::pair<QString, QString>> parts{
            {QStringLiteral("body"), QStringLiteral("vgx:getTranslation")}};
        writeMessage(w, op + QStringLiteral("Request"), parts);
        writeMessage(w, op + QStringLiteral("Response"), parts);
    } else {
        writeMessage(w, op + QStringLiteral("Request"),
                     {{QStringLiteral("translationmode"), QStringLiteral("xsd:string")},
                      {QStringLiteral("sourcedata"), QStringLiteral("xsd:string")}});
        writeMessage(w, op + QStringLiteral("Response"),
                     {{QStringLiteral("return"), QStringLiteral("xsd:string")}});
    }

    const QString portType = service + QStringLiteral("PortType");
    w.writeStartElement(SoapNs::Wsdl, QStringLiteral("portType"));
    w.writeAttribute(QStringLiteral("name"), portType);
    w.writeStartElement(SoapNs::Wsdl, QStringLiteral("operation"));
    w.writeAttribute(QStringLiteral("name"), op);
    w.writeEmptyElement(SoapNs::Wsdl, QStringLiteral("input"));
    w.writeAttribute(QStringLiteral("message"),
                     QStringLiteral("tns:") + op + QStringLiteral("Request"));
    w.writeEmptyElement(SoapNs::Wsdl, QStringLiteral("output"));
    w.writeAttribute(QStringLiteral("message"),
                     QStringLiteral("tns:") + op + QStringLiteral("Response"));
    w.writeEndElement(); // operation
    w.writeEndElement(); // portType

    const QString binding = service + QStringLiteral("Binding");
    w.writeStartElement(SoapNs::Wsdl, QStringLiteral("binding"));
    w.writeAttribute(QStringLiteral("name"), binding);
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("tns:") + portType);
    w.writeEmptyElement(SoapNs::WsdlSoap, QStringLiteral("binding"));
    w.writeAttribute(QStringLiteral("style"), QStringLiteral("rpc"));
    w.writeAttribute(QStringLiteral("transport"),
                     QStringLiteral("http://schemas.xmlsoap.org/soap/http"));
    w.writeStartElement(SoapNs::Wsdl, QStringLiteral("operation"));
    w.writeAttribute(QStringLiteral("name"), op);
    w.writeEmptyElement(SoapNs::WsdlSoap, QStringLiteral("operation"));
    w.writeAttribute(QStringLiteral("soapAction"), ns + QLatin1Char('#') + op);
    w.writeAttribute(QStringLiteral("style"), QStringLiteral("rpc"));
    writeSoapBody(w, QStringLiteral("input"), ns);
    writeSoapBody(w, QStringLiteral("output"), ns);
    w.writeEndElement(); // operation
    w.writeEndElement(); // binding

    w.writeStartElement(SoapNs::Wsdl, QStringLiteral("service"));
    w.writeAttribute(QStringLiteral("name"), service);
    w.writeTextElement(SoapNs::Wsdl, QStringLiteral("documentation"),
                       QStringLiteral("Offline machine translation by tarquell-service"));
    w.writeStartElement(SoapNs::Wsdl, QStringLiteral("port"));
    w.writeAttribute(QStringLiteral("name"), latin(d.port));
    w.writeAttribute(QStringLiteral("binding"), QStringLiteral("tns:") + binding);
    w.writeEmptyElement(SoapNs::WsdlSoap, QStringLiteral("address"));
    w.writeAttribute(QStringLiteral("location"), endpointUrl);
    w.writeEndElement(); // port
    w.writeEndElement(); // service

    w.writeEndElement(); // definitions
    w.writeEndDocument();
    return out;
}
} // namespace WsdlDocuments

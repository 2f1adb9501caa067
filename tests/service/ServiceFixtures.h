#pragma once

#include "QtPrinters.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>

// WSDL documents and SOAP replies for the service tests.
namespace Fixtures {

struct WsdlShape
{
    QString service = QStringLiteral("BabelFish");
    QString port = QStringLiteral("BabelFishPort");
    QString operation = QStringLiteral("BabelFish");
    QString endpoint;
    std::optional<QString> soapAction = QStringLiteral("urn:xmethodsBabelFish#BabelFish");
    std::optional<QString> bodyNamespace = QStringLiteral("urn:xmethodsBabelFish");
};

// An RPC/encoded WSDL 1.1 document with one service, port, binding and
// operation, shaped like the ones the translation services publish.
inline QByteArray wsdl(const WsdlShape& s)
{
    const QString action =
        s.soapAction ? QStringLiteral(" soapAction=\"%1\"").arg(*s.soapAction) : QString();
    const QString ns =
        s.bodyNamespace ? QStringLiteral(" namespace=\"%1\"").arg(*s.bodyNamespace) : QString();
    QString doc = QStringLiteral(
        "<?xml version=\"1.0\"?>\n"
        "<definitions name=\"Translate\" targetNamespace=\"http://tarquell.test/wsdl/\"\n"
        "  xmlns:tns=\"http://tarquell.test/wsdl/\"\n"
        "  xmlns:soap=\"http://schemas.xmlsoap.org/wsdl/soap/\"\n"
        "  xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"\n"
        "  xmlns=\"http://schemas.xmlsoap.org/wsdl/\">\n"
        "  <message name=\"Request\"><part name=\"translationmode\" type=\"xsd:string\"/>"
        "<part name=\"sourcedata\" type=\"xsd:string\"/></message>\n"
        "  <message name=\"Response\"><part name=\"return\" type=\"xsd:string\"/></message>\n"
        "  <portType name=\"TranslatePortType\"><operation name=\"%1\">"
        "<input message=\"tns:Request\"/><output "
        "message=\"tns:Response\"/></operation></portType>\n"
        "  <binding name=\"TranslateBinding\" type=\"tns:TranslatePortType\">\n"
        "    <soap:binding style=\"rpc\" transport=\"http://schemas.xmlsoap.org/soap/http\"/>\n"
        "    <operation name=\"%1\"><soap:operation%2/>\n"
        "      <input><soap:body use=\"encoded\"%3 "
        "encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"/></input>\n"
        "      <output><soap:body use=\"encoded\"%3 "
        "encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"/></output>\n"
        "    </operation>\n"
        "  </binding>\n"
        "  <service name=\"%4\"><port name=\"%5\" binding=\"tns:TranslateBinding\">"
        "<soap:address location=\"%6\"/></port></service>\n"
        "</definitions>\n");
    return doc.arg(s.operation, action, ns, s.service, s.port, s.endpoint).toUtf8();
}

inline const char* EnvelopeOpen =
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";

// A reply envelope around the given Body content.
inline QByteArray reply(const QByteArray& bodyContent)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + EnvelopeOpen +
           "<SOAP-ENV:Body>" + bodyContent + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

inline QByteArray stringReply(const QByteArray& translation)
{
    return reply("<ns1:BabelFishResponse xmlns:ns1=\"urn:xmethodsBabelFish\">"
                 "<return xsi:type=\"xsd:string\">" +
                 translation + "</return></ns1:BabelFishResponse>");
}

inline QByteArray fault(const QByteArray& faultString)
{
    return reply("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode><faultstring>" +
                 faultString + "</faultstring></SOAP-ENV:Fault>");
}

inline std::string str(const QByteArray& b)
{
    return b.toStdString();
}

} // namespace Fixtures

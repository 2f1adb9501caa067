#include "server/soap/SoapReply.h"

#include "server/engine/ServiceFault.h"
#include "service/SoapNames.h"
#include "service/SoapXml.h"

namespace {
QString envelopeOpen()
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                          "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"%1\" xmlns:xsd=\"%2\" "
                          "xmlns:xsi=\"%3\" xmlns:SOAP-ENC=\"%4\">")
        .arg(SoapNs::Envelope, SoapNs::Xsd, SoapNs::Xsi, SoapNs::Encoding);
}

const QLatin1String envelopeClose("</SOAP-ENV:Body></SOAP-ENV:Envelope>");

QString stringElement(const QString& name, const QString& value)
{
    return QStringLiteral("<%1 xsi:type=\"xsd:string\">%2</%1>")
        .arg(name, SoapXml::escapeText(value));
}

} // namespace

namespace SoapReply {
QByteArray response(const SoapCall& call, const QString& translation)
{
    // The response element goes into the namespace of the call, under a
    // prefix of its own; an unqualified call gets an unqualified answer.
    const bool qualified = !call.operationNamespace.isEmpty();
    const QString prefix = qualified ? QStringLiteral("NS1:") : QString();
    const QString declaration = qualified
                                    ? QStringLiteral(" xmlns:NS1=\"%1\"")
                                          .arg(SoapXml::escapeAttribute(call.operationNamespace))
                                    : QString();

    QString xml = envelopeOpen();
    xml += QStringLiteral("<SOAP-ENV:Body SOAP-ENV:encodingStyle=\"%1\">").arg(SoapNs::Encoding);
    if (call.operation == SoapCall::Operation::BabelFish) {
        xml += QStringLiteral("<%1BabelFishResponse%2>").arg(prefix, declaration);
        xml += stringElement(QStringLiteral("return"), translation);
        xml += QStringLiteral("</%1BabelFishResponse>").arg(prefix);
    } else {
        // The record type lives in urn:vgx-translate whatever the operation
        // namespace is.
        xml += QStringLiteral("<%1getTranslationResponse%2 xmlns:NS2=\"%3\">")
                   .arg(prefix, declaration, SoapNs::VgxTranslate);
        xml += QStringLiteral("<body xsi:type=\"NS2:getTranslation\">");
        xml += stringElement(QStringLiteral("text"), translation);
        xml += stringElement(QStringLiteral("language"), call.mode);
        xml += QStringLiteral("</body></%1getTranslationResponse>").arg(prefix);
    }
    xml += envelopeClose;
    return xml.toUtf8();
}

QString faultCode(const ServiceFault& fault)
{
    switch (fault.code()) {
    case ServiceFault::Code::VersionMismatch:
        return QStringLiteral("SOAP-ENV:VersionMismatch");
    case ServiceFault::Code::MustUnderstand:
        return QStringLiteral("SOAP-ENV:MustUnderstand");
    case ServiceFault::Code::Client:
        return QStringLiteral("SOAP-ENV:Client");
    case ServiceFault::Code::Server:
        break;
    }
    return QStringLiteral("SOAP-ENV:Server");
}

QByteArray fault(const ServiceFault& fault)
{
    QString xml = envelopeOpen();
    xml += QStringLiteral("<SOAP-ENV:Body><SOAP-ENV:Fault>");
    xml += QStringLiteral("<faultcode>%1</faultcode>").arg(faultCode(fault));
    xml +=
        QStringLiteral("<faultstring>%1</faultstring>").arg(SoapXml::escapeText(fault.message()));
    xml += QStringLiteral("</SOAP-ENV:Fault>");
    xml += envelopeClose;
    return xml.toUtf8();
}
} // namespace SoapReply

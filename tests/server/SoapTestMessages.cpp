#include "SoapTestMessages.h"

#include <QDomDocument>

namespace SoapTestMessages {
namespace {
const char* const envelopeOpen =
    R"(<?xml version="1.0" encoding="UTF-8"?><SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:SOAP-ENC="http://schemas.xmlsoap.org/soap/encoding/"><SOAP-ENV:Body SOAP-ENV:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/">)";
const char* const envelopeClose = "</SOAP-ENV:Body></SOAP-ENV:Envelope>";

QDomElement firstChild(const QDomElement& parent, const QString& localName)
{
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (localName.isEmpty() || e.localName() == localName)
            return e;
    }
    return {};
}
} // namespace

std::string escape(const QString& text)
{
    QString out = text.toHtmlEscaped();
    out.replace(QLatin1Char('\r'), QStringLiteral("&#13;"));
    return out.toStdString();
}

std::string envelope(const std::string& bodyContent)
{
    return envelopeOpen + bodyContent + envelopeClose;
}

std::string babelFish(const QString& mode, const QString& text, const QString& ns)
{
    return envelope("<NS1:BabelFish xmlns:NS1=\"" + ns.toStdString() +
                    "\"><translationmode xsi:type=\"xsd:string\">" + escape(mode) +
                    "</translationmode><sourcedata xsi:type=\"xsd:string\">" + escape(text) +
                    "</sourcedata></NS1:BabelFish>");
}

std::string getTranslationMultiRef(const QString& text, const QString& language)
{
    return envelope(
        "<NS1:getTranslation xmlns:NS1=\"urn:BFish2-IBabelFish2\" "
        "xmlns:NS2=\"urn:vgx-translate\"><body href=\"#1\"/><NS2:getTranslation id=\"1\" "
        "xsi:type=\"NS2:getTranslation\"><text xsi:type=\"xsd:string\">" +
        escape(text) + "</text><language xsi:type=\"xsd:string\">" + escape(language) +
        "</language></NS2:getTranslation></NS1:getTranslation>");
}

std::string getTranslationInline(const QString& text, const QString& language)
{
    return "<?xml version=\"1.0\"?>\n<soap:Envelope "
           "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:t=\"urn:vgx-translate\">\n <soap:Header/>\n <soap:Body>\n"
           "  <t:getTranslation>\n   <body>\n    <Text>" +
           escape(text) + "</Text>\n    <Language>" + escape(language) +
           "</Language>\n   </body>\n  </t:getTranslation>\n </soap:Body>\n</soap:Envelope>\n";
}

Answer read(const std::string& body)
{
    Answer answer;
    QDomDocument doc;
    if (!doc.setContent(QByteArray::fromStdString(body), true))
        return answer;
    const QDomElement root = doc.documentElement();
    const QDomElement soapBody = firstChild(root, QStringLiteral("Body"));
    const QDomElement response = firstChild(soapBody, {});
    if (root.localName() != QLatin1String("Envelope") ||
        root.namespaceURI() != QLatin1String("http://schemas.xmlsoap.org/soap/envelope/") ||
        response.isNull())
        return answer;
    answer.wellFormed = true;
    answer.responseName = response.localName();
    answer.responseNamespace = response.namespaceURI();
    if (response.localName() == QLatin1String("Fault")) {
        answer.fault = response.namespaceURI() == root.namespaceURI();
        answer.faultCode = firstChild(response, QStringLiteral("faultcode")).text();
        answer.faultString = firstChild(response, QStringLiteral("faultstring")).text();
        return answer;
    }
    const QDomElement record = firstChild(response, QStringLiteral("body"));
    if (record.isNull()) {
        answer.text = firstChild(response, {}).text();
    } else {
        answer.text = firstChild(record, QStringLiteral("text")).text();
        answer.language = firstChild(record, QStringLiteral("language")).text();
    }
    return answer;
}
} // namespace SoapTestMessages

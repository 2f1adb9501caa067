#include "SoapReply.h"

#include "SoapFault.h"
#include "service/SoapNames.h"

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
        .arg(name, SoapReply::escaped(value));
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}
} // namespace

namespace SoapReply {
QString escaped(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
            continue;
        }
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&apos;");
            break;
        case '\r':
            out += QLatin1String("&#13;");
            break;
        default:
            // Lone surrogates fall in the excluded range as well.
            out +=
                isXmlChar(c.unicode()) && !c.isSurrogate() ? c : QChar(QChar::ReplacementCharacter);
        }
    }
    return out;
}

QByteArray response(const SoapCall& call, const QString& translation)
{
    // The response element goes into the namespace of the call, under a
    // prefix of its own; an unqualified call gets an unqualified answer.
    const bool qualified = !call.operationNamespace.isEmpty();
    const QString prefix = qualified ? QStringLiteral("NS1:") : QString();
    const QString declaration =
        qualified ? QStringLiteral(" xmlns:NS1=\"%1\"").arg(escaped(call.operationNamespace))
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

QString faultCode(const SoapFault& fault)
{
    switch (fault.code()) {
    case SoapFault::Code::VersionMismatch:
        return QStringLiteral("SOAP-ENV:VersionMismatch");
    case SoapFault::Code::MustUnderstand:
        return QStringLiteral("SOAP-ENV:MustUnderstand");
    case SoapFault::Code::Client:
        return QStringLiteral("SOAP-ENV:Client");
    case SoapFault::Code::Server:
        break;
    }
    return QStringLiteral("SOAP-ENV:Server");
}

QByteArray fault(const SoapFault& fault)
{
    QString xml = envelopeOpen();
    xml += QStringLiteral("<SOAP-ENV:Body><SOAP-ENV:Fault>");
    xml += QStringLiteral("<faultcode>%1</faultcode>").arg(faultCode(fault));
    xml += QStringLiteral("<faultstring>%1</faultstring>").arg(escaped(fault.message()));
    xml += QStringLiteral("</SOAP-ENV:Fault>");
    xml += envelopeClose;
    return xml.toUtf8();
}
} // namespace SoapReply

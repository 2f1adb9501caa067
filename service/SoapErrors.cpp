#include "service/SoapErrors.h"

#include "service/SoapNames.h"

namespace SoapMessages {

QString transportFailed(const QString& platformText, const QString& url, const QString& action)
{
    QString text = platformText;
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return QStringLiteral("%1 - URL:%2 - SOAPAction:%3")
        .arg(text, url, action.isEmpty() ? QStringLiteral("\"\"") : action);
}

QString timedOut()
{
    return QStringLiteral("The operation timed out");
}

QString httpStatus(const QString& reasonPhrase, int code, const QString& url)
{
    return QStringLiteral("%1 (%2) - '%3'").arg(reasonPhrase, QString::number(code), url);
}

QString invalidWsdl(const QString& location, const QString& parserMessage)
{
    return QStringLiteral("Invalid WSDL document '%1' - Please verify the location and content!"
                          "\r\nError: %2")
        .arg(location, parserMessage);
}

QString noEndpoint(const QString& service, const QString& port, const QString& location)
{
    return QStringLiteral("Unable to retrieve the URL endpoint for Service/Port '%1'/'%2' from "
                          "WSDL '%3'")
        .arg(service, port, location);
}

QString invalidUrl(const QString& url)
{
    return QStringLiteral("Invalid url '%1' - only supports 'http' and 'https' schemes").arg(url);
}

QString documentElementExpected(const QString& foundNamespace, const QString& foundLocalName)
{
    return QStringLiteral("DocumentElement %1:%2 expected, %3:%4 found")
        .arg(SoapNs::Envelope, QStringLiteral("Envelope"), foundNamespace, foundLocalName);
}

QString invalidResponse()
{
    return QStringLiteral("Invalid SOAP Response");
}

QString invalidRequest()
{
    return QStringLiteral("Invalid SOAP request");
}

QString mustUnderstand(const QString& headerLocalName)
{
    return QStringLiteral(
               "Soap header %1 with attribute 'mustUnderstand' set to true was not handled")
        .arg(headerLocalName);
}

QString resultExpected(const QString& responseXml)
{
    return QStringLiteral("SOAP Response Packet: result element expected, received \"%1\"")
        .arg(responseXml);
}

QString replyTooLarge(const QString& url)
{
    return QStringLiteral("The reply from '%1' is larger than 64 MB and was not read").arg(url);
}

QString componentBusy()
{
    return QStringLiteral("The translation service is still busy with the previous request. "
                          "Wait until it has finished, then try again.");
}

} // namespace SoapMessages

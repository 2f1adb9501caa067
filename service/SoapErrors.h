#pragma once

#include "platform/Errors.h"

#include <QString>

// A SOAP Fault from the service. The message is the fault string; code,
// actor and the detail's XML travel with it for whoever wants them.
class SoapFault : public TarquellError
{
public:
    SoapFault(const QString& faultString, const QString& faultCode, const QString& faultActor,
              const QString& faultDetail)
        : TarquellError(faultString), m_code(faultCode), m_actor(faultActor), m_detail(faultDetail)
    {
    }
    const QString& faultCode() const noexcept { return m_code; }
    const QString& faultActor() const noexcept { return m_actor; }
    // The detail element written as XML; empty when the fault has none.
    const QString& faultDetail() const noexcept { return m_detail; }

private:
    QString m_code;
    QString m_actor;
    QString m_detail;
};

// The call was stopped on purpose: THTTPReqResp::abort(), a cancelled
// credentials prompt, or the component going away during the call.
class CallCancelled : public SilentAbort
{
};

// The texts of the failures a call can end with.
namespace SoapMessages {

// A transport step failed: the platform's text, the URL in use and the SOAP
// action ("" when there is none, as on document fetches).
QString transportFailed(const QString& platformText, const QString& url, const QString& action);
// The platform's text for an exchange that ran out of time.
QString timedOut();
// "<reason phrase> (<code>) - '<url>'"
QString httpStatus(const QString& reasonPhrase, int code, const QString& url);
QString invalidWsdl(const QString& location, const QString& parserMessage);
QString noEndpoint(const QString& service, const QString& port, const QString& location);
QString invalidUrl(const QString& url);
QString documentElementExpected(const QString& foundNamespace, const QString& foundLocalName);
QString invalidResponse();
QString invalidRequest();
QString mustUnderstand(const QString& headerLocalName);
QString resultExpected(const QString& responseXml);
QString replyTooLarge(const QString& url);
QString componentBusy();

} // namespace SoapMessages

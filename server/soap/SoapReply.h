#pragma once

#include "server/soap/SoapRequest.h"

#include <QByteArray>
#include <QString>

class ServiceFault;

// The replies of the service: RPC/encoded SOAP 1.1 envelopes in UTF-8.
namespace SoapReply {
// The answer to a call: BabelFishResponse with one return element, or
// getTranslationResponse with the body record whose text is the
// translation.
QByteArray response(const SoapCall& call, const QString& translation);
// A SOAP 1.1 Fault envelope (sent with HTTP status 500).
QByteArray fault(const ServiceFault& fault);
// "SOAP-ENV:Client" and so on.
QString faultCode(const ServiceFault& fault);

} // namespace SoapReply

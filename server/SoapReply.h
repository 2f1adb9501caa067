#pragma once

#include "SoapRequest.h"

#include <QByteArray>
#include <QString>

class SoapFault;

// The replies of the service: RPC/encoded SOAP 1.1 envelopes in UTF-8.
namespace SoapReply {
// The answer to a call: BabelFishResponse with one return element, or
// getTranslationResponse with the body record whose text is the
// translation.
QByteArray response(const SoapCall& call, const QString& translation);
// A SOAP 1.1 Fault envelope (sent with HTTP status 500).
QByteArray fault(const SoapFault& fault);
// "SOAP-ENV:Client" and so on.
QString faultCode(const SoapFault& fault);

// Text and attribute values escaped for XML 1.0. Characters that XML 1.0
// cannot carry become U+FFFD; a carriage return is written as a character
// reference so that it survives the reader's line-end normalisation.
QString escaped(QStringView text);
} // namespace SoapReply

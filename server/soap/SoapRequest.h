#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// What one request may hold. A call is a handful of elements; the texts of
// its values may fill the whole body, everything else is bounded as it is
// read, so that no envelope costs more than a small multiple of its size.
namespace SoapRequestLimits {
inline constexpr int elements = 2048;
// Nesting of elements.
inline constexpr int depth = 256;
// Characters outside the values' texts: names, attributes, white space
// between elements, comments.
inline constexpr qint64 markupChars = 256 * 1024;
} // namespace SoapRequestLimits

// One call of the service, as read from a request envelope.
struct SoapCall
{
    enum class Operation { BabelFish, GetTranslation };

    Operation operation = Operation::BabelFish;
    // The namespace of the operation element (empty when unqualified); the
    // response element goes into the same one.
    QString operationNamespace;
    // translationmode, or the language of the getTranslation record.
    QString mode;
    // sourcedata, or the text of the getTranslation record.
    QString text;
};

// Reads an RPC/encoded SOAP 1.1 request: BabelFish(translationmode,
// sourcedata) or getTranslation(body), with parameters inline or as
// multi-reference values (href="#id"), under any prefixes. Throws a
// ServiceFault (Client, VersionMismatch or MustUnderstand) that says what is
// wrong with the request.
SoapCall parseSoapCall(const QByteArray& body);

// Whether a request's Content-Type is one a SOAP call is sent with:
// text/xml or application/soap+xml, with any parameters. A page in a
// browser can send text/plain to another site without asking first; these
// two it cannot.
bool isSoapContentType(QByteArrayView contentType);

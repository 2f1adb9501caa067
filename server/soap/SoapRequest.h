#pragma once

#include <QByteArray>
#include <QString>

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

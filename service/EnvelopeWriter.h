#pragma once

#include "service/InvokeRegistry.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Writes the RPC/encoded SOAP 1.1 request of one call as UTF-8 bytes
// (no byte-order mark, no white space between elements).
//
// The operation element gets the generated prefix NS1 (none when
// operationNamespace is empty); each further namespace that needs a prefix
// gets the next free NSn, declared on the operation element. Strings go out
// as unqualified elements with xsi:type="xsd:string"; records go out as
// multi-reference values: the parameter element carries href="#n" and the
// record follows the parameters with id="n".
QByteArray writeRequestEnvelope(const QString& operationNamespace, const QString& operationName,
                                const QList<SoapArg>& args);

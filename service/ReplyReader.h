#pragma once

#include "service/InvokeRegistry.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

// Reads the body of a SOAP 1.1 reply. Every failure is thrown: a SoapFault
// for a Fault, a TarquellError with the exact message otherwise.
namespace ReplyReader {

// An operation with a result: the return element is the response element's
// only element child, or else its first child named one of returnNames
// (without regard to case). An empty element gives an empty string.
QString readResult(const QByteArray& reply, const QStringList& returnNames);
// The same through the DOM alone, which readResult falls back to for any
// reply its one-pass reading does not handle; for tests that compare both.
QString readResultThroughDom(const QByteArray& reply, const QStringList& returnNames);

// An operation without result: each child of the response element named
// like a record parameter not filled yet is decoded into a record, its
// children matched to the properties without regard to case. Parameters
// without such a child are missing from the answer.
QHash<QString, SoapObject> readOutParams(const QByteArray& reply, const QList<ParamInfo>& params);

} // namespace ReplyReader

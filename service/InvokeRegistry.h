#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <variant>

// What the client knows of a remotable record type: its XML type name and
// namespace, and its published properties in serialisation order.
struct RemotableTypeInfo
{
    QString xmlName;
    QString xmlNamespace;
    QStringList properties;
};

// A record on the wire: its type and property values in property order.
struct SoapObject
{
    const RemotableTypeInfo* type = nullptr;
    QList<QPair<QString, QString>> values;

    QString value(const QString& property) const;
};

// One parameter of an operation. Records are passed in and out; strings
// only in.
struct ParamInfo
{
    QString name;
    const RemotableTypeInfo* type = nullptr; // null: a string
};

struct OperationInfo
{
    QString name;
    QList<ParamInfo> params;
    bool hasResult = true;
    QStringList returnNames{QStringLiteral("Result"), QStringLiteral("Return")};
};

// A remote interface with the registry's defaults: namespace
// "urn:" + unit + "-" + interface, SOAP action namespace + "#" + operation.
struct InterfaceInfo
{
    QString unit;
    QString name;
    QString nameSpace;
    OperationInfo operation;

    static InterfaceInfo make(const QString& unit, const QString& name, OperationInfo operation);
    QString defaultSoapAction() const;
};

// An argument of one call.
struct SoapArg
{
    QString name;
    std::variant<QString, SoapObject> value;
};

namespace InvokeRegistry {
// The interfaces this client knows, by interface name; null when unknown.
const InterfaceInfo* find(const QString& interfaceName);
QList<const InterfaceInfo*> all();
} // namespace InvokeRegistry

#include "service/InvokeRegistry.h"

#include "service/BFish.h"
#include "service/BFish2.h"
#include "service/BFish3.h"

QString SoapObject::value(const QString& property) const
{
    for (const auto& [name, v] : values) {
        if (name == property)
            return v;
    }
    return QString();
}

InterfaceInfo InterfaceInfo::make(const QString& unit, const QString& name, OperationInfo operation)
{
    InterfaceInfo info;
    info.unit = unit;
    info.name = name;
    info.nameSpace = QStringLiteral("urn:") + unit + QLatin1Char('-') + name;
    info.operation = std::move(operation);
    return info;
}

QString InterfaceInfo::defaultSoapAction() const
{
    return nameSpace + QLatin1Char('#') + operation.name;
}

namespace InvokeRegistry {

QList<const InterfaceInfo*> all()
{
    return {&IBabelFishInfo(), &IBabelFish3Info(), &IBabelFish2Info()};
}

const InterfaceInfo* find(const QString& interfaceName)
{
    for (const InterfaceInfo* info : all()) {
        if (info->name == interfaceName)
            return info;
    }
    return nullptr;
}

} // namespace InvokeRegistry

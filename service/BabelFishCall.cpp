#include "service/BabelFishCall.h"

#include "platform/Errors.h"

InterfaceInfo babelFishInterface(const QString& unit, const QString& interfaceName)
{
    OperationInfo op;
    op.name = QStringLiteral("BabelFish");
    op.params = {{QStringLiteral("translationmode"), nullptr},
                 {QStringLiteral("sourcedata"), nullptr}};
    op.hasResult = true;
    return InterfaceInfo::make(unit, interfaceName, op);
}

QString callBabelFish(const QPointer<THTTPRIO>& rio, const InterfaceInfo& info,
                      const QString& translationmode, const QString& sourcedata)
{
    if (!rio)
        throwComponentGone();
    return rio
        ->invoke(info, {{QStringLiteral("translationmode"), translationmode},
                        {QStringLiteral("sourcedata"), sourcedata}})
        .result;
}

void throwComponentGone()
{
    throw TarquellError(QStringLiteral("The translation service component no longer exists"));
}

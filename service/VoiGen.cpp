#include "service/VoiGen.h"

#include "service/SoapNames.h"

const RemotableTypeInfo& getTranslationType()
{
    static const RemotableTypeInfo info{QStringLiteral("getTranslation"),
                                        SoapNs::VgxTranslate,
                                        {QStringLiteral("text"), QStringLiteral("language")}};
    return info;
}

const RemotableTypeInfo& getTranslationResponseType()
{
    static const RemotableTypeInfo info{
        QStringLiteral("getTranslationResponse"), SoapNs::VgxTranslate, {QStringLiteral("text")}};
    return info;
}

#include "QtPrinters.h"
#include "service/BFish.h"
#include "service/BFish2.h"
#include "service/BFish3.h"
#include "service/InvokeRegistry.h"
#include "service/VoiGen.h"

#include <gtest/gtest.h>

TEST(Registry, ThreeInterfacesWithTheRegistryDefaults)
{
    const struct
    {
        const char* name;
        const char* ns;
        const char* action;
        const char* operation;
        QStringList params;
        bool hasResult;
    } rows[] = {
        {"IBabelFish",
         "urn:BFish-IBabelFish",
         "urn:BFish-IBabelFish#BabelFish",
         "BabelFish",
         {QStringLiteral("translationmode"), QStringLiteral("sourcedata")},
         true},
        {"IBabelFish3",
         "urn:BFish3-IBabelFish3",
         "urn:BFish3-IBabelFish3#BabelFish",
         "BabelFish",
         {QStringLiteral("translationmode"), QStringLiteral("sourcedata")},
         true},
        {"IBabelFish2",
         "urn:BFish2-IBabelFish2",
         "urn:BFish2-IBabelFish2#getTranslation",
         "getTranslation",
         {QStringLiteral("body")},
         false},
    };
    EXPECT_EQ(InvokeRegistry::all().size(), 3);
    for (const auto& row : rows) {
        const InterfaceInfo* info = InvokeRegistry::find(QString::fromUtf8(row.name));
        ASSERT_NE(info, nullptr) << row.name;
        EXPECT_EQ(info->nameSpace, QString::fromUtf8(row.ns));
        EXPECT_EQ(info->defaultSoapAction(), QString::fromUtf8(row.action));
        EXPECT_EQ(info->operation.name, QString::fromUtf8(row.operation));
        QStringList params;
        for (const ParamInfo& p : info->operation.params)
            params.append(p.name);
        EXPECT_EQ(params, row.params) << row.name;
        EXPECT_EQ(info->operation.hasResult, row.hasResult) << row.name;
    }
    EXPECT_EQ(InvokeRegistry::find(QStringLiteral("IUnknown")), nullptr);

    // The record of the third service, members in serialisation order.
    EXPECT_EQ(IBabelFish2Info().operation.params[0].type, &getTranslationType());
    EXPECT_EQ(getTranslationType().xmlName, QStringLiteral("getTranslation"));
    EXPECT_EQ(getTranslationType().xmlNamespace, QStringLiteral("urn:vgx-translate"));
    EXPECT_EQ(getTranslationType().properties,
              (QStringList{QStringLiteral("text"), QStringLiteral("language")}));
    EXPECT_EQ(getTranslationResponseType().xmlName, QStringLiteral("getTranslationResponse"));
    EXPECT_EQ(getTranslationResponseType().properties, QStringList{QStringLiteral("text")});
}

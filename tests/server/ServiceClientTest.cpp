// tarquell-service driven by our own SOAP client: each component setting
// the client ships with, pointed at a service on a free port.
#include "QtPrinters.h"
#include "ServiceProcess.h"
#include "platform/Errors.h"
#include "service/BFish.h"
#include "service/BFish2.h"
#include "service/BFish3.h"
#include "service/THTTPRIO.h"
#include "service/VoiGen.h"
#include "service/WsdlLookup.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
struct Component
{
    const char* wsdlPath;
    const char* service;
    const char* port;
    const char* operation;
};

const Component babelFish{"/sd/BabelFishService.wsdl", "BabelFish", "BabelFishPort", "BabelFish"};
const Component babelFish3{"/sd/2001/BabelFishService.wsdl", "BabelFishService", "BabelFishPort",
                           "BabelFish"};
const Component translate{"/vx_engine/wsdl.vep?translate.wsdl", "translate", "Port",
                          "getTranslation"};

void configure(THTTPRIO& rio, const ServiceProcess& service, const Component& c)
{
    rio.setWSDLLocation(service.url(QString::fromUtf8(c.wsdlPath)));
    rio.setService(QString::fromUtf8(c.service));
    rio.setPort(QString::fromUtf8(c.port));
}

// One translation through the component's interface, as the Translate
// command makes it.
QString viaClient(const ServiceProcess& service, const Component& c, const QString& mode,
                  const QString& text)
{
    THTTPRIO rio;
    configure(rio, service, c);
    if (&c == &translate) {
        auto body = std::make_unique<getTranslation>();
        body->text = text;
        body->language = mode;
        GetIBabelFish2(rio)->getTranslation(body);
        return body->text;
    }
    if (&c == &babelFish3)
        return GetIBabelFish3(rio)->BabelFish(mode, text);
    return GetIBabelFish(rio)->BabelFish(mode, text);
}

// The message of the error a call ends with; empty when it succeeded.
QString failureOf(const ServiceProcess& service, const Component& c, const QString& mode,
                  const QString& text)
{
    try {
        viaClient(service, c, mode, text);
    } catch (const TarquellError& e) {
        return e.message();
    }
    return {};
}

class ClientAndEchoService : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(service.isRunning()) << service.error().toStdString(); }
    ServiceProcess service{{QStringLiteral("--engine"), QStringLiteral("echo")}};
};
} // namespace

TEST_F(ClientAndEchoService, ClientLookupFindsEndpointActionAndNamespaceInEachDocument)
{
    THTTPRIO rio;
    for (const Component* c : {&babelFish, &babelFish3, &translate}) {
        SCOPED_TRACE(c->wsdlPath);
        const WsdlLookup::Result found = WsdlLookup::find(
            service.url(QString::fromUtf8(c->wsdlPath)),
            [&rio](const QString& location) { return rio.fetchDocument(location); },
            QString::fromUtf8(c->service), QString::fromUtf8(c->port),
            QString::fromUtf8(c->operation));
        EXPECT_TRUE(found.portFound);
        EXPECT_EQ(found.endpoint, service.url(QStringLiteral("/soap")));
        EXPECT_FALSE(found.soapAction.isEmpty());
        EXPECT_FALSE(found.operationNamespace.isEmpty());
    }
}

TEST_F(ClientAndEchoService, EachComponentTranslatesAnyTextUnchanged)
{
    const QString texts[] = {
        QStringLiteral("Hello"),
        QString::fromUtf8("Привет, мир — 你好，世界 😀 <&> \"q\""),
        QStringLiteral("two\nlines\r\nand\ttabs"),
    };
    for (const Component* c : {&babelFish, &babelFish3, &translate}) {
        for (const QString& text : texts) {
            SCOPED_TRACE(std::string(c->wsdlPath) + " " + text.toStdString());
            try {
                EXPECT_EQ(viaClient(service, *c, QStringLiteral("en_fr"), text),
                          QStringLiteral("[en_fr] ") + text);
            } catch (const TarquellError& e) {
                ADD_FAILURE() << e.what();
            }
        }
    }
}

TEST_F(ClientAndEchoService, FaultsReachTheUserAsTheirFaultString)
{
    for (const Component* c : {&babelFish, &translate}) {
        EXPECT_EQ(failureOf(service, *c, QStringLiteral("en-fr"), QStringLiteral("x")),
                  QStringLiteral("\"en-fr\" is not a translation mode; a mode is two language "
                                 "codes joined by \"_\", such as \"en_fr\", out of en, fr, de, "
                                 "es, it, pt, ru, zh, ko, ja"));
    }
}

TEST(ClientAndApertiumService, RealTranslationsAndMissingPairs)
{
    if (!QFileInfo::exists(QStringLiteral("/usr/share/apertium/modes/eng-spa.mode")))
        GTEST_SKIP() << "Apertium eng-spa is not installed (scripts/deps.sh)";
    ServiceProcess service({});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    try {
        EXPECT_TRUE(viaClient(service, babelFish, QStringLiteral("en_es"),
                              QStringLiteral("The house is big."))
                        .contains(QStringLiteral("casa")));
        EXPECT_TRUE(viaClient(service, translate, QStringLiteral("es_en"),
                              QStringLiteral("La casa es grande."))
                        .contains(QStringLiteral("house")));
        EXPECT_TRUE(viaClient(service, babelFish3, QStringLiteral("en_fr"),
                              QStringLiteral("The house is big."))
                        .contains(QStringLiteral("maison")));
    } catch (const TarquellError& e) {
        ADD_FAILURE() << e.what();
    }
    EXPECT_EQ(failureOf(service, babelFish, QStringLiteral("de_fr"), QStringLiteral("Hallo")),
              QStringLiteral("No translation from German to French is installed on this server"));
}

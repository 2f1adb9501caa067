#include "RawHttpRecorder.h"
#include "ServiceFixtures.h"
#include "service/BFish.h"
#include "service/BFish2.h"
#include "service/BFish3.h"
#include "service/SoapErrors.h"
#include "service/THTTPRIO.h"

#include <gtest/gtest.h>
#include <set>

using Fixtures::str;

namespace {

const std::string EnvelopeHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\">"
    "<SOAP-ENV:Body SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">";
const std::string EnvelopeTail = "</SOAP-ENV:Body></SOAP-ENV:Envelope>";

// The headers this client sets itself, in the order they went out (Qt adds
// Host, Accept-Encoding and Accept-Language of its own).
std::vector<std::pair<std::string, std::string>> ownHeaders(const RawHttpRecorder::Request& r)
{
    static const std::vector<std::string> own{"SOAPAction", "Content-Type",   "Accept",
                                              "User-Agent", "Content-Length", "Connection"};
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& h : r.headers) {
        if (std::find(own.begin(), own.end(), h.first) != own.end())
            out.push_back(h);
    }
    return out;
}

using Headers = std::vector<std::pair<std::string, std::string>>;

const Headers WsdlGetHeaders{
    {"Accept", "*/*"}, {"Connection", "close"}, {"User-Agent", "Borland SOAP 1.1"}};

Headers postHeaders(const std::string& action, std::size_t length)
{
    return {{"SOAPAction", action},
            {"Content-Type", "text/xml"},
            {"Accept", "text/xml"},
            {"User-Agent", "Borland SOAP 1.1"},
            {"Content-Length", std::to_string(length)},
            {"Connection", "Keep-Alive"}};
}

struct Server
{
    RawHttpRecorder rec;
    THTTPRIO rio;

    Server(const std::string& wsdlTarget, const QString& service, const QString& port,
           Fixtures::WsdlShape shape, const QByteArray& reply)
    {
        rec.start();
        shape.service = service;
        shape.port = port;
        shape.endpoint = rec.url(QStringLiteral("/soap/endpoint?id=7"));
        rec.route(wsdlTarget, RawHttpRecorder::response(200, "OK", str(Fixtures::wsdl(shape))));
        rec.route("/soap/endpoint?id=7", RawHttpRecorder::response(200, "OK", str(reply)));
        rio.setWSDLLocation(rec.url(QString::fromStdString(wsdlTarget)));
        rio.setService(service);
        rio.setPort(port);
    }
};

void expectThreeExchanges(const std::vector<RawHttpRecorder::Request>& requests, std::size_t first,
                          const std::string& wsdlTarget)
{
    ASSERT_GE(requests.size(), first + 3);
    for (std::size_t i = first; i < first + 2; ++i) {
        EXPECT_EQ(requests[i].method, "GET");
        EXPECT_EQ(requests[i].target, wsdlTarget);
        EXPECT_EQ(ownHeaders(requests[i]), WsdlGetHeaders);
        EXPECT_EQ(requests[i].body, "");
    }
    EXPECT_EQ(requests[first + 2].method, "POST");
    EXPECT_EQ(requests[first + 2].target, "/soap/endpoint?id=7");
}

} // namespace

TEST(Wire, Server1CallSendsTheExactRequestAndReadsTheTranslation)
{
    Server s("/sd/BabelFishService.wsdl", QStringLiteral("BabelFish"),
             QStringLiteral("BabelFishPort"), {}, Fixtures::stringReply("Bonjour \xc3\xa0 tous"));
    auto fish = GetIBabelFish(s.rio);
    EXPECT_EQ(fish->BabelFish(QStringLiteral("de_fr"), QString::fromUtf8("Grüß Gott & <Tschüss>")),
              QString::fromUtf8("Bonjour à tous"));

    const auto requests = s.rec.requests();
    ASSERT_EQ(requests.size(), 3u);
    expectThreeExchanges(requests, 0, "/sd/BabelFishService.wsdl");
    const std::string body =
        EnvelopeHead +
        "<NS1:BabelFish xmlns:NS1=\"urn:xmethodsBabelFish\">"
        "<translationmode xsi:type=\"xsd:string\">de_fr</translationmode>"
        "<sourcedata xsi:type=\"xsd:string\">Gr\xc3\xbc\xc3\x9f Gott &amp; &lt;Tsch\xc3\xbcss&gt;"
        "</sourcedata></NS1:BabelFish>" +
        EnvelopeTail;
    EXPECT_EQ(requests[2].body, body);
    EXPECT_EQ(ownHeaders(requests[2]),
              postHeaders("\"urn:xmethodsBabelFish#BabelFish\"", body.size()));
    EXPECT_EQ(requests[2].raw.rfind("POST /soap/endpoint?id=7 HTTP/1.1\r\n", 0), 0u);
}

TEST(Wire, Server2CallWithoutNamespaceOrActionInTheBinding)
{
    Fixtures::WsdlShape shape;
    shape.bodyNamespace.reset();
    shape.soapAction.reset();
    Server s("/sd/2001/BabelFishService.wsdl", QStringLiteral("BabelFishService"),
             QStringLiteral("BabelFishPort"), shape, Fixtures::stringReply("Hallo"));
    EXPECT_EQ(GetIBabelFish3(s.rio)->BabelFish(QStringLiteral("fr_de"), QStringLiteral("Salut")),
              QStringLiteral("Hallo"));

    const auto requests = s.rec.requests();
    ASSERT_EQ(requests.size(), 3u);
    expectThreeExchanges(requests, 0, "/sd/2001/BabelFishService.wsdl");
    // The registered namespace and an empty action, not the registered one.
    const std::string body = EnvelopeHead +
                             "<NS1:BabelFish xmlns:NS1=\"urn:BFish3-IBabelFish3\">"
                             "<translationmode xsi:type=\"xsd:string\">fr_de</translationmode>"
                             "<sourcedata xsi:type=\"xsd:string\">Salut</sourcedata>"
                             "</NS1:BabelFish>" +
                             EnvelopeTail;
    EXPECT_EQ(requests[2].body, body);
    EXPECT_EQ(ownHeaders(requests[2]), postHeaders("\"\"", body.size()));
}

TEST(Wire, Server3CallSendsTheRecordAndTakesTheOneReturned)
{
    Fixtures::WsdlShape shape;
    shape.operation = QStringLiteral("getTranslation");
    shape.bodyNamespace = QStringLiteral("urn:vgx-translate");
    shape.soapAction = QStringLiteral("urn:vgx-translate#getTranslation");
    Server s("/vx_engine/wsdl.vep?translate.wsdl", QStringLiteral("translate"),
             QStringLiteral("Port"), shape,
             Fixtures::reply("<ns1:getTranslationResponse xmlns:ns1=\"urn:vgx-translate\">"
                             "<body href=\"#r1\"/></ns1:getTranslationResponse>"
                             "<ns1:getTranslation id=\"r1\" xmlns:ns1=\"urn:vgx-translate\">"
                             "<Text>Ciao</Text></ns1:getTranslation>"));
    auto fish = GetIBabelFish2(s.rio);
    auto body = std::make_unique<getTranslation>();
    body->text = QStringLiteral("Hello");
    body->language = QStringLiteral("en_it");
    const getTranslation* sent = body.get();
    fish->getTranslation(body);
    ASSERT_TRUE(body);
    EXPECT_NE(body.get(), sent);
    EXPECT_EQ(body->text, QStringLiteral("Ciao"));
    EXPECT_EQ(body->language, QString());

    const auto requests = s.rec.requests();
    ASSERT_EQ(requests.size(), 3u);
    expectThreeExchanges(requests, 0, "/vx_engine/wsdl.vep?translate.wsdl");
    // The operation's namespace is the record's, so NS1 serves both.
    const std::string expected =
        EnvelopeHead +
        "<NS1:getTranslation xmlns:NS1=\"urn:vgx-translate\"><body href=\"#1\"/>"
        "<NS1:getTranslation id=\"1\" xsi:type=\"NS1:getTranslation\">"
        "<text xsi:type=\"xsd:string\">Hello</text>"
        "<language xsi:type=\"xsd:string\">en_it</language>"
        "</NS1:getTranslation></NS1:getTranslation>" +
        EnvelopeTail;
    EXPECT_EQ(requests[2].body, expected);
    EXPECT_EQ(ownHeaders(requests[2]),
              postHeaders("\"urn:vgx-translate#getTranslation\"", expected.size()));
}

TEST(Wire, Server3ReplyWithoutBodyLeavesTheRecordAsItWas)
{
    Fixtures::WsdlShape shape;
    shape.operation = QStringLiteral("getTranslation");
    shape.bodyNamespace.reset();
    Server s(
        "/vx_engine/wsdl.vep?translate.wsdl", QStringLiteral("translate"), QStringLiteral("Port"),
        shape,
        Fixtures::reply("<getTranslationResponse><result>x</result></getTranslationResponse>"));
    auto body = std::make_unique<getTranslation>();
    body->text = QStringLiteral("Source text");
    body->language = QStringLiteral("en_fr");
    const getTranslation* sent = body.get();
    GetIBabelFish2(s.rio)->getTranslation(body);
    EXPECT_EQ(body.get(), sent);
    EXPECT_EQ(body->text, QStringLiteral("Source text"));

    const auto requests = s.rec.requests();
    ASSERT_EQ(requests.size(), 3u);
    // Registered namespace for the operation, NS2 for the record's.
    EXPECT_NE(requests[2].body.find("<NS1:getTranslation xmlns:NS1=\"urn:BFish2-IBabelFish2\" "
                                    "xmlns:NS2=\"urn:vgx-translate\"><body href=\"#1\"/>"
                                    "<NS2:getTranslation id=\"1\" "
                                    "xsi:type=\"NS2:getTranslation\">"),
              std::string::npos)
        << requests[2].body;
}

TEST(Wire, EveryCallReadsTheWsdlTwiceAndKeepsOnePostConnection)
{
    Server s("/sd/BabelFishService.wsdl", QStringLiteral("BabelFish"),
             QStringLiteral("BabelFishPort"), {}, Fixtures::stringReply("ok"));
    auto fish = GetIBabelFish(s.rio);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(fish->BabelFish(QStringLiteral("en_fr"), QStringLiteral("x")),
                  QStringLiteral("ok"));

    const auto requests = s.rec.requests();
    ASSERT_EQ(requests.size(), 9u);
    std::set<int> wsdlConnections;
    for (std::size_t call = 0; call < 3; ++call) {
        expectThreeExchanges(requests, call * 3, "/sd/BabelFishService.wsdl");
        wsdlConnections.insert(requests[call * 3].connection);
        wsdlConnections.insert(requests[call * 3 + 1].connection);
        // The POST connection stays open between calls.
        EXPECT_EQ(requests[call * 3 + 2].connection, requests[2].connection);
    }
    // Every document fetch has a connection of its own.
    EXPECT_EQ(wsdlConnections.size(), 6u);
    EXPECT_EQ(s.rec.connectionCount(), 7);
}

TEST(Wire, ServiceOrPortMissingFailsAfterBothReadingsWithoutPosting)
{
    Server s("/sd/BabelFishService.wsdl", QStringLiteral("BabelFish"),
             QStringLiteral("BabelFishPort"), {}, Fixtures::stringReply("ok"));
    s.rio.setPort(QStringLiteral("OtherPort"));
    try {
        GetIBabelFish(s.rio)->BabelFish(QStringLiteral("en_fr"), QStringLiteral("x"));
        ADD_FAILURE() << "no error";
    } catch (const TarquellError& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Unable to retrieve the URL endpoint for Service/Port "
                                 "'BabelFish'/'OtherPort' from WSDL '%1'")
                      .arg(s.rec.url(QStringLiteral("/sd/BabelFishService.wsdl"))));
    }
    const auto requests = s.rec.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[1].method, "GET");
}

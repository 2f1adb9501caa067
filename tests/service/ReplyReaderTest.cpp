#include "service/ReplyReader.h"
#include "ServiceFixtures.h"
#include "service/BFish.h"
#include "service/BFish2.h"
#include "service/SoapErrors.h"

#include <gtest/gtest.h>

using Fixtures::reply;

namespace {

const QStringList ReturnNames{QStringLiteral("Result"), QStringLiteral("Return")};

struct Outcome
{
    QString value;
    QString error;
    bool isFault = false;
};

Outcome readString(const QByteArray& bytes)
{
    try {
        return {ReplyReader::readResult(bytes, ReturnNames), {}};
    } catch (const SoapFault& f) {
        return {{}, f.message(), true};
    } catch (const TarquellError& e) {
        return {{}, e.message()};
    }
}

const QByteArray Env = "http://schemas.xmlsoap.org/soap/envelope/";

} // namespace

TEST(ReplyReader, StringShapeResultsAndFailures)
{
    const struct
    {
        const char* what;
        QByteArray bytes;
        const char* value;
        const char* error;
    } rows[] = {
        {"single child, any name", reply("<r:Resp xmlns:r=\"urn:r\"><out>bonjour</out></r:Resp>"),
         "bonjour", nullptr},
        {"Return without regard to case among several",
         reply("<Resp><extra>x</extra><RETURN>salut</RETURN><result>no</result></Resp>"), "salut",
         nullptr},
        {"Result", reply("<Resp><a/><myresult/><Result>ok</Result></Resp>"), "ok", nullptr},
        {"a translation of only blanks is kept", reply("<Resp><return>  </return></Resp>"), "  ",
         nullptr},
        {"empty return element", reply("<Resp><return xsi:type=\"xsd:string\"/></Resp>"), "",
         nullptr},
        {"multi-reference return, found in the Body",
         reply("<Resp><return href=\"#7\"/></Resp><multi id=\"7\">via ref</multi>"), "via ref",
         nullptr},
        {"response element name and namespace play no part",
         reply("<Whatever xmlns=\"urn:other\"><x>y</x></Whatever>"), "y", nullptr},
        {"header entries without mustUnderstand are ignored",
         QByteArray(Fixtures::EnvelopeOpen) +
             "<SOAP-ENV:Header><t:Trans xmlns:t=\"urn:t\" SOAP-ENV:mustUnderstand=\"0\">5"
             "</t:Trans></SOAP-ENV:Header><SOAP-ENV:Body><R><return>fine</return></R>"
             "</SOAP-ENV:Body></SOAP-ENV:Envelope>",
         "fine", nullptr},
        {"encoding from the declaration",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + QByteArray(Fixtures::EnvelopeOpen) +
             "<SOAP-ENV:Body><R><return>caf\xe9</return></R></SOAP-ENV:Body>"
             "</SOAP-ENV:Envelope>",
         "caf\xc3\xa9", nullptr},

        {"two children, neither Result nor Return",
         reply("<Resp xmlns=\"urn:r\"><a>1</a><b>2</b></Resp>"), nullptr,
         "SOAP Response Packet: result element expected, received \"<Resp xmlns=\"urn:r\">"
         "<a xmlns=\"urn:r\">1</a><b xmlns=\"urn:r\">2</b></Resp>\""},
        {"no children", reply("<Resp/>"), nullptr,
         "SOAP Response Packet: result element expected, received \"<Resp/>\""},
        {"wrong root", "<html><body>busy</body></html>", nullptr,
         "DocumentElement http://schemas.xmlsoap.org/soap/envelope/:Envelope expected, :html "
         "found"},
        {"Envelope in another namespace",
         "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Body/></e:Envelope>",
         nullptr,
         "DocumentElement http://schemas.xmlsoap.org/soap/envelope/:Envelope expected, "
         "http://www.w3.org/2003/05/soap-envelope:Envelope found"},
        {"empty body", "  \r\n", nullptr, "Invalid SOAP Response"},
        {"Envelope without children", "<e:Envelope xmlns:e=\"" + Env + "\">text</e:Envelope>",
         nullptr, "Invalid SOAP request"},
        {"two Bodies",
         "<e:Envelope xmlns:e=\"" + Env + "\"><e:Body><R><x/></R></e:Body><e:Body/></e:Envelope>",
         nullptr, "Invalid SOAP request"},
        {"two Headers",
         "<e:Envelope xmlns:e=\"" + Env + "\"><e:Header/><e:Header/><e:Body/></e:Envelope>",
         nullptr, "Invalid SOAP request"},
        {"mandatory header",
         "<e:Envelope xmlns:e=\"" + Env +
             "\"><e:Header><s:Session xmlns:s=\"urn:s\" e:mustUnderstand=\"1\">9</s:Session>"
             "</e:Header><e:Body><R><x/></R></e:Body></e:Envelope>",
         nullptr,
         "Soap header Session with attribute 'mustUnderstand' set to true was not handled"},
        {"no Body", "<e:Envelope xmlns:e=\"" + Env + "\"><e:Header/></e:Envelope>", nullptr,
         "Invalid SOAP Response"},
        {"empty Body", reply(""), nullptr, "Invalid SOAP Response"},
        {"dangling reference", reply("<R><return href=\"#nowhere\"/></R>"), nullptr,
         "Invalid SOAP Response: the reference \"#nowhere\" points to no element"},
        {"not XML", "Service Unavailable", nullptr, "Start tag expected. (line 1, column 1)"},
        {"truncated", reply("<R><return>cut").left(120), nullptr,
         "Premature end of document. (line 1, column 120)"},
    };
    for (const auto& row : rows) {
        const Outcome got = readString(row.bytes);
        if (row.error) {
            EXPECT_EQ(got.error, QString::fromUtf8(row.error)) << row.what;
        } else {
            EXPECT_EQ(got.error, QString()) << row.what;
            EXPECT_EQ(got.value, QString::fromUtf8(row.value)) << row.what;
        }
    }
}

TEST(ReplyReader, FaultCarriesItsFourParts)
{
    const struct
    {
        const char* what;
        QByteArray bytes;
        const char* message;
        const char* code;
        const char* actor;
        bool hasDetail;
    } rows[] = {
        {"fault string without full stop", Fixtures::fault("Unsupported language pair"),
         "Unsupported language pair", "SOAP-ENV:Server", "", false},
        {"with full stop", Fixtures::fault("Pair en_xx is not translated."),
         "Pair en_xx is not translated.", "SOAP-ENV:Server", "", false},
        {"parts in any case, detail written back",
         reply("<SOAP-ENV:Fault><FaultCode>Client</FaultCode><FAULTSTRING>bad</FAULTSTRING>"
               "<faultActor>urn:me</faultActor><Detail><e:info xmlns:e=\"urn:e\">42</e:info>"
               "</Detail></SOAP-ENV:Fault>"),
         "bad", "Client", "urn:me", true},
        {"empty fault string: the user still learns what happened",
         reply("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode></SOAP-ENV:Fault>"),
         "The service reported the fault SOAP-ENV:Server without a reason", "SOAP-ENV:Server", "",
         false},
    };
    for (const auto& row : rows) {
        try {
            ReplyReader::readResult(row.bytes, ReturnNames);
            ADD_FAILURE() << row.what << ": no fault";
        } catch (const SoapFault& f) {
            EXPECT_EQ(f.message(), QString::fromUtf8(row.message)) << row.what;
            EXPECT_EQ(f.faultCode(), QString::fromUtf8(row.code)) << row.what;
            EXPECT_EQ(f.faultActor(), QString::fromUtf8(row.actor)) << row.what;
            EXPECT_EQ(f.faultDetail().contains(QStringLiteral("42")), row.hasDetail) << row.what;
        }
    }
}

TEST(ReplyReader, ObjectShapeDecodesTheBodyRecord)
{
    const auto& params = IBabelFish2Info().operation.params;
    const struct
    {
        const char* what;
        QByteArray bytes;
        bool hasBody;
        const char* text;
        const char* language;
    } rows[] = {
        {"inline record, property names without regard to case",
         reply("<ns:getTranslationResponse xmlns:ns=\"urn:vgx-translate\"><body>"
               "<TEXT>Bonjour</TEXT><Language>en_fr</Language></body>"
               "</ns:getTranslationResponse>"),
         true, "Bonjour", "en_fr"},
        {"multi-reference record and member",
         reply(
             "<R><body href=\"#1\"/></R><ns:getTranslation id=\"1\" xmlns:ns=\"urn:vgx-translate\">"
             "<text href=\"#2\"/></ns:getTranslation><s id=\"2\">Hallo</s>"),
         true, "Hallo", ""},
        {"no body child: nothing returned, no error", reply("<R><Body>x</Body><other/></R>"), false,
         "", ""},
        {"second body child ignored",
         reply("<R><body><text>one</text></body><body><text>two"
               "</text></body></R>"),
         true, "one", ""},
    };
    for (const auto& row : rows) {
        const auto out = ReplyReader::readOutParams(row.bytes, params);
        ASSERT_EQ(out.contains(QStringLiteral("body")), row.hasBody) << row.what;
        if (!row.hasBody)
            continue;
        const SoapObject& body = out.value(QStringLiteral("body"));
        EXPECT_EQ(body.value(QStringLiteral("text")), QString::fromUtf8(row.text)) << row.what;
        EXPECT_EQ(body.value(QStringLiteral("language")), QString::fromUtf8(row.language))
            << row.what;
    }
}

TEST(ReplyReader, HostileRepliesFailCleanly)
{
    QByteArray deep = QByteArray("<a>").repeated(5000) + QByteArray("</a>").repeated(5000);
    EXPECT_TRUE(readString(reply(deep))
                    .error.startsWith(
                        QStringLiteral("The XML document is nested more than 256 levels deep")));

    QByteArray laughs = "<!DOCTYPE e [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;"
                        "&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
                        "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;"
                        "&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">]>" +
                        QByteArray(Fixtures::EnvelopeOpen) +
                        "<SOAP-ENV:Body><R><return>&f;</return></R></SOAP-ENV:Body>"
                        "</SOAP-ENV:Envelope>";
    EXPECT_TRUE(readString(laughs).error.startsWith(
        QStringLiteral("Entity expands to more characters than the entity expansion limit.")));

    QByteArray loop = reply("<R><return href=\"#a\"/></R><x id=\"a\" href=\"#b\"/>"
                            "<y id=\"b\" href=\"#a\"/>");
    EXPECT_EQ(readString(loop).error,
              QStringLiteral("Invalid SOAP Response: the reference \"#a\" points to no element"));
}

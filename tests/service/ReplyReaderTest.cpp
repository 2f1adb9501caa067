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
        {"only \"1\" makes a header entry mandatory",
         QByteArray(Fixtures::EnvelopeOpen) +
             "<SOAP-ENV:Header><t:Trans xmlns:t=\"urn:t\" SOAP-ENV:mustUnderstand=\"true\">5"
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

// The reader takes common replies in one pass and leaves everything else to
// the DOM. Whichever way a reply goes, the outcome must be the DOM's: the
// same text, the same error, the same fault.
TEST(ReplyReader, OnePassReadingAgreesWithTheDom)
{
    const auto ret = [](const QByteArray& inner) {
        return reply("<ns1:R xmlns:ns1=\"urn:r\"><return xsi:type=\"xsd:string\">" + inner +
                     "</return></ns1:R>");
    };
    const auto env = [](const QByteArray& inside) {
        return "<e:Envelope xmlns:e=\"" + Env + "\">" + inside + "</e:Envelope>";
    };
    const QByteArray rows[] = {
        // Text: line ends, references, characters XML cannot carry.
        ret("a\r\nb\rc\nd"),
        ret("&#13;&#10;&#x9;&#32;x"),
        ret("&lt;&gt;&amp;&apos;&quot;&#x1F600;&#233;"),
        ret("&#0;"),
        ret("&#xD800;"),
        ret("&#X41;"),
        ret("&nbsp;"),
        ret("&amp"),
        ret("a]]>b"),
        ret("a]]b>"),
        ret("bell\x01"),
        ret("del\x7f"),
        ret("\xc0\xaf"),
        ret("\x80"),
        ret("\xed\xa0\x80"),
        ret("\xef\xbf\xbe"),
        ret("\xf4\x90\x80\x80"),
        ret("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"),
        ret("   "),
        ret("&#32;&#32;"),
        ret(""),
        ret("a<!-- c --> "),
        ret("<![CDATA[x<y]]>"),
        ret("a<b>x</b>c"),
        ret("a<?pi x?>"),
        // Tags and attributes.
        reply("<R><return/></R>"),
        reply("<R><return a=\"1\" a=\"2\">x</return></R>"),
        reply("<R><return a=\"1\"b=\"2\">x</return></R>"),
        reply("<R><return a=1>x</return></R>"),
        reply("<R><return a=\"<\">x</return></R>"),
        reply("<R><return a=\"\t&quot;\n\">x</return></R>"),
        reply("<R><u:return>x</u:return></R>"),
        reply("<R><return u:a=\"1\">x</return></R>"),
        reply("<R><return u:a=\"1\" xmlns:u=\"urn:u\">x</return></R>"),
        reply("<R><return xmlns=\"\">x</return></R>"),
        reply("<R><return xmlns:u=\"\">x</return></R>"),
        reply("<R><return xmlns:xml=\"urn:x\">x</return></R>"),
        reply("<R><return xml:lang=\"fr\">x</return></R>"),
        reply("<R><return>x</Return></R>"),
        reply("<R><return>x</return ></R>"),
        reply("<R><return >x</return></R>"),
        reply("<R><1return>x</1return></R>"),
        reply("<R><a:b:c xmlns:a=\"urn:a\">x</a:b:c></R>"),
        reply("<R><r\xc3\xa9sultat>x</r\xc3\xa9sultat></R>"),
        reply("<R><return href=\"#1\"/></R><v id=\"1\">by ref</v>"),
        reply("<R><return x:href=\"#1\" xmlns:x=\"urn:x\">own</return></R><v id=\"1\">ref</v>"),
        // Which child is the result.
        reply("<R><out>only</out></R>"),
        reply("<R><out><deep>only</deep></out></R>"),
        reply("<R><a>1</a><RESULT>2</RESULT><return>3</return></R>"),
        reply("<R><a>1</a><return><b>2</b></return><Result>3</Result></R>"),
        reply("<R><a>1</a><b>2</b></R>"),
        reply("<R/>"),
        reply("<R></R><S><return>other</return></S>"),
        reply("text<R><return>x</return></R>text"),
        // The envelope around it.
        reply("<SOAP-ENV:Fault><faultcode>c</faultcode><faultstring>s</faultstring>"
              "</SOAP-ENV:Fault>"),
        reply(""),
        env("<e:Header/><e:Body><R><return>x</return></R></e:Body>"),
        env("<e:Header><h e:mustUnderstand=\"1\"/></e:Header><e:Body><R><return>x</return></R>"
            "</e:Body>"),
        env("<e:Header><h e:mustUnderstand=\"0\"/></e:Header><e:Body><R><return>x</return></R>"
            "</e:Body>"),
        env("<e:Body><R><return>x</return></R></e:Body><e:Body/>"),
        env("<e:Header/><e:Header/><e:Body><R><return>x</return></R></e:Body>"),
        env("<other/><Body><R><return>x</return></R></Body>"),
        env("<e:Header/>"),
        env("text"),
        env(""),
        "<Envelope xmlns=\"" + Env + "\"><Body><R><return>x</return></R></Body></Envelope>",
        "<e:Envelope xmlns:e=\"urn:not-soap\"><e:Body><R><return>x</return></R></e:Body>"
        "</e:Envelope>",
        env("<e:Body><R><return>x</return></R></e:Body>") + "<again/>",
        env("<e:Body><R><return>x</return></R></e:Body>") + " \r\n",
        env("<e:Body><R><return>x</return></R></e:Body>") + "<!-- after -->",
        env("<e:Body><R><return>x</return></R></e:Body"),
        env("<e:Body><R><return>x</return></R>"),
        // Declarations and the encoding.
        "<?xml version='1.0' encoding='utf-8' standalone='yes' ?>" +
            env("<e:Body><R><return>x</return></R></e:Body>"),
        "<?xml version=\"1.1\"?>" + env("<e:Body><R><return>x</return></R></e:Body>"),
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" +
            env("<e:Body><R><return>caf\xe9</return></R></e:Body>"),
        " <?xml version=\"1.0\"?>" + env("<e:Body><R><return>x</return></R></e:Body>"),
        "<?xml version=\"1.0\"encoding=\"UTF-8\"?>" +
            env("<e:Body><R><return>x</return></R></e:Body>"),
        "\xef\xbb\xbf" + env("<e:Body><R><return>x</return></R></e:Body>"),
        "<!DOCTYPE e>" + env("<e:Body><R><return>x</return></R></e:Body>"),
        ret(QByteArray("<a>").repeated(300) + QByteArray("</a>").repeated(300)),
        ret(QByteArray("<a>").repeated(250) + "x" + QByteArray("</a>").repeated(250)),
    };
    for (const QByteArray& bytes : rows) {
        Outcome dom;
        try {
            dom.value = ReplyReader::readResultThroughDom(bytes, ReturnNames);
        } catch (const SoapFault& f) {
            dom = {{}, f.message(), true};
        } catch (const TarquellError& e) {
            dom = {{}, e.message()};
        }
        const Outcome got = readString(bytes);
        EXPECT_EQ(got.value, dom.value) << bytes.toStdString();
        EXPECT_EQ(got.error, dom.error) << bytes.toStdString();
        EXPECT_EQ(got.isFault, dom.isFault) << bytes.toStdString();
    }
}

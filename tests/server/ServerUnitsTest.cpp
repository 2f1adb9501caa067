// The service's pure parts: the request reader, the Apertium stream format,
// mode files, translation modes and listen addresses.
#include "QtPrinters.h"
#include "SoapTestMessages.h"
#include "server/apertium/ApertiumModes.h"
#include "server/engine/ApertiumStream.h"
#include "server/engine/LanguageModes.h"
#include "server/engine/ServiceFault.h"
#include "server/net/ListenAddress.h"
#include "server/soap/SoapRequest.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QByteArray bytes(const std::string& s)
{
    return QByteArray::fromStdString(s);
}
} // namespace

TEST(SoapRequest, ReadsTheShapesClientsSend)
{
    const std::string env = "xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
    const struct
    {
        const char* name;
        std::string body;
        SoapCall::Operation operation;
        const char* ns;
        const char* mode;
        const char* text;
    } rows[] = {
        {"our BabelFish",
         SoapTestMessages::babelFish(QStringLiteral("en_fr"), QStringLiteral("Hi")),
         SoapCall::Operation::BabelFish, "urn:BFish-IBabelFish", "en_fr", "Hi"},
        {"our getTranslation, body by reference",
         SoapTestMessages::getTranslationMultiRef(QStringLiteral("Hi"), QStringLiteral("en_de")),
         SoapCall::Operation::GetTranslation, "urn:BFish2-IBabelFish2", "en_de", "Hi"},
        {"getTranslation inline, other prefixes, members in other case",
         SoapTestMessages::getTranslationInline(QStringLiteral("Hi"), QStringLiteral("fr_en")),
         SoapCall::Operation::GetTranslation, "urn:vgx-translate", "fr_en", "Hi"},
        {"unqualified operation, parameters by reference to Body-level elements",
         "<e:Envelope " + env +
             "><e:Body><BabelFish><translationmode href=\"#m\"/><sourcedata href=\"#t\"/>"
             "</BabelFish><s id=\"m\">es_en</s><s id=\"t\">Hola</s></e:Body></e:Envelope>",
         SoapCall::Operation::BabelFish, "", "es_en", "Hola"},
        {"header without mustUnderstand, CDATA, nil text",
         "<e:Envelope " + env +
             "><e:Header><x:Trace xmlns:x=\"urn:x\"/></e:Header><e:Body><BabelFish>"
             "<translationmode><![CDATA[it_en]]></translationmode>"
             "<sourcedata xsi:nil=\"true\"/></BabelFish></e:Body></e:Envelope>",
         SoapCall::Operation::BabelFish, "", "it_en", ""},
        {"a chain of references",
         "<e:Envelope " + env +
             "><e:Body><BabelFish><translationmode>en_es</translationmode>"
             "<sourcedata href=\"#a\"/><r id=\"a\" href=\"#b\"/><r id=\"b\">two hops</r>"
             "</BabelFish></e:Body></e:Envelope>",
         SoapCall::Operation::BabelFish, "", "en_es", "two hops"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        try {
            const SoapCall call = parseSoapCall(bytes(row.body));
            EXPECT_EQ(call.operation, row.operation);
            EXPECT_EQ(call.operationNamespace, QString::fromUtf8(row.ns));
            EXPECT_EQ(call.mode, QString::fromUtf8(row.mode));
            EXPECT_EQ(call.text, QString::fromUtf8(row.text));
        } catch (const ServiceFault& f) {
            ADD_FAILURE() << f.message().toStdString();
        }
    }
}

TEST(ApertiumStream, TextSurvivesTheStreamFormatUnchanged)
{
    // No translation in between: what goes in must come out, whatever the
    // stream's special characters and blanks.
    const char* const texts[] = {
        "The house is big.",
        "no full stop",
        "[brackets] \\ ^caret$ @at /slash/ <angle> {braces}",
        "tilde ~ and ~~",
        "two  spaces, tab\there\nline\r\nCRLF\n\n\nparagraphs",
        "  leading and trailing  ",
        "ends with a dot...",
        "dot before brackets .[] literal",
        "Привет, 世界 😀",
    };
    for (const char* text : texts) {
        const QString in = QString::fromUtf8(text);
        EXPECT_EQ(ApertiumStream::fromStream(ApertiumStream::toStream(in)), in) << text;
    }
}

TEST(ApertiumStream, WritesEscapesSuperblanksAndTheClosingStop)
{
    EXPECT_EQ(ApertiumStream::toStream(QStringLiteral("a [b]\n\nc~d")),
              QByteArray("a \\[b\\][\n\n]c[~]d.[]"));
    // NUL ends a document in null-flush mode, so it never reaches a stage.
    EXPECT_EQ(ApertiumStream::toStream(QStringLiteral("a") + QChar(0) + QStringLiteral("b")),
              QByteArray("ab.[]"));
    // A translated stream as the last stage writes it.
    EXPECT_EQ(ApertiumStream::fromStream("La casa \\[grande\\] es \\@buena.[][\n]"),
              QStringLiteral("La casa [grande] es @buena\n"));
}

TEST(ApertiumModes, ReadsModeLinesIntoNullFlushingStages)
{
    QString error;
    const auto stages = ApertiumModes::parseModeLine(
        QStringLiteral("lt-proc '/d/x y.bin' | apertium-tagger -g $2 \"/d/q.prob\" | "
                       "lt-proc $1 /d/gen.bin | lt-proc -z -p a\\ b"),
        &error);
    ASSERT_EQ(stages.size(), 4) << error.toStdString();
    EXPECT_EQ(stages[0], (ApertiumStage{QStringLiteral("lt-proc"),
                                        {QStringLiteral("-z"), QStringLiteral("/d/x y.bin")}}));
    EXPECT_EQ(stages[1].arguments, (QStringList{QStringLiteral("-z"), QStringLiteral("-g"),
                                                QStringLiteral("/d/q.prob")}));
    // The generator leaves unknown words unmarked, as "apertium -u" has it...
    EXPECT_EQ(stages[2].arguments, (QStringList{QStringLiteral("-z"), QStringLiteral("-n"),
                                                QStringLiteral("/d/gen.bin")}));
    EXPECT_EQ(stages[3].arguments,
              (QStringList{QStringLiteral("-z"), QStringLiteral("-p"), QStringLiteral("a b")}));

    // ...unless asked to mark them; nothing else changes.
    const auto marked =
        ApertiumModes::parseModeLine(QStringLiteral("lt-proc a | lt-proc $1 /d/gen.bin"), &error,
                                     ApertiumModes::Unknown::Marked);
    ASSERT_EQ(marked.size(), 2);
    EXPECT_EQ(marked[0].arguments, (QStringList{QStringLiteral("-z"), QStringLiteral("a")}));
    EXPECT_EQ(marked[1].arguments, (QStringList{QStringLiteral("-z"), QStringLiteral("-g"),
                                                QStringLiteral("/d/gen.bin")}));

    // Only plain pipelines are run; anything a shell would do is refused.
    for (const char* line : {"lt-proc x > out", "lt-proc $(rm -rf x)", "a | | b", "lt-proc 'open",
                             "lt-proc x; rm y", "lt-proc $3", "lt-proc \"$HOME\""}) {
        error.clear();
        EXPECT_TRUE(ApertiumModes::parseModeLine(QString::fromUtf8(line), &error).isEmpty())
            << line;
        EXPECT_FALSE(error.isEmpty()) << line;
    }
}

TEST(ApertiumModes, ScanKeepsUsableModesOfTheTenLanguages)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const char* name, const QString& line) {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(line.toUtf8());
    };
    const QString data = dir.filePath(QStringLiteral("data.bin"));
    write("data.bin", QString());
    write("eng-spa.mode", QStringLiteral("cat | cat '%1'").arg(data));
    write("es-pt.mode", QStringLiteral("cat"));
    write("es-pt_BR.mode", QStringLiteral("cat"));
    write("fr-es_XX.mode", QStringLiteral("cat")); // a variant stands in for a missing plain mode
    write("eco-es-fr.mode", QStringLiteral("cat"));
    write("eng-xyz.mode", QStringLiteral("cat"));
    write("spa-eng.mode", QStringLiteral("no-such-program-tarquell | cat"));
    write("spa-ita.mode", QStringLiteral("cat %1").arg(dir.filePath(QStringLiteral("gone.bin"))));

    const ApertiumModes::Scan scan = ApertiumModes::scan(dir.path());
    QStringList found;
    for (const ApertiumMode& m : scan.modes)
        found << m.name + QLatin1Char('=') + m.source + QLatin1Char('_') + m.target;
    found.sort();
    EXPECT_EQ(found, (QStringList{QStringLiteral("eng-spa=en_es"), QStringLiteral("es-pt=es_pt"),
                                  QStringLiteral("fr-es_XX=fr_es")}));
    EXPECT_EQ(scan.modes.size(), 3);
    for (const ApertiumMode& m : scan.modes) {
        for (const ApertiumStage& s : m.stages)
            EXPECT_TRUE(s.program.startsWith(QLatin1Char('/'))) << s.program.toStdString();
    }
    ASSERT_EQ(scan.notes.size(), 2) << scan.notes.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(scan.notes.join(QLatin1Char('\n'))
                    .contains(QStringLiteral("no-such-program-tarquell is not installed")));
    EXPECT_TRUE(scan.notes.join(QLatin1Char('\n')).contains(QStringLiteral("gone.bin is missing")));
}

TEST(TranslationMode, ParsesTheClientsModesAndNamesWhatIsWrong)
{
    EXPECT_EQ(TranslationMode::parse(QStringLiteral("en_fr")),
              (TranslationMode{QStringLiteral("en"), QStringLiteral("fr")}));
    EXPECT_EQ(TranslationMode::parse(QStringLiteral(" ZH_ja ")),
              (TranslationMode{QStringLiteral("zh"), QStringLiteral("ja")}));
    const struct
    {
        const char* mode;
        const char* message;
    } bad[] = {
        {"", "The translation mode is empty"},
        {"en-fr", "\"en-fr\" is not a translation mode"},
        {"en_fr_de", "\"en_fr_de\" is not a translation mode"},
        {"en_xx", "Unknown language \"xx\" in the translation mode \"en_xx\""},
    };
    for (const auto& row : bad) {
        try {
            TranslationMode::parse(QString::fromUtf8(row.mode));
            ADD_FAILURE() << row.mode << " was accepted";
        } catch (const ServiceFault& f) {
            EXPECT_EQ(f.code(), ServiceFault::Code::Client);
            EXPECT_TRUE(f.message().startsWith(QString::fromUtf8(row.message))) << f.what();
            EXPECT_TRUE(f.message().contains(QStringLiteral("such as \"en_fr\""))) << f.what();
        }
    }
}

TEST(ListenAddress, ParsesAddressAndPort)
{
    const struct
    {
        const char* text;
        bool ok;
        const char* host;
        int port;
        bool loopback;
    } rows[] = {
        {"127.0.0.1:8731", true, "127.0.0.1", 8731, true},
        {"[::1]:0", true, "::1", 0, true},
        {"localhost:80", true, "localhost", 80, true},
        {"0.0.0.0:8731", true, "0.0.0.0", 8731, false},
        {"::1:8731", false, "", 0, false},
        {"127.0.0.1", false, "", 0, false},
        {"127.0.0.1:65536", false, "", 0, false},
        {"127.0.0.1:-1", false, "", 0, false},
        {":8731", false, "", 0, false},
        {"a b:1", false, "", 0, false},
    };
    for (const auto& row : rows) {
        const auto parsed = ListenAddress::parse(QString::fromUtf8(row.text));
        ASSERT_EQ(parsed.has_value(), row.ok) << row.text;
        if (!parsed)
            continue;
        EXPECT_EQ(parsed->host, QString::fromUtf8(row.host));
        EXPECT_EQ(parsed->port, row.port);
        EXPECT_EQ(parsed->isLoopback(), row.loopback) << row.text;
        EXPECT_EQ(parsed->text(), QString::fromUtf8(row.text));
    }
}

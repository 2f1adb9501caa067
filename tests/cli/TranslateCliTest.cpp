// tarquell-translate run as a program against tarquell-service.
#include "FakeLibreTranslate.h"
#include "ServiceProcess.h"
#include "TestHttpServer.h"

#include "platform/CommandGuard.h"
#include "platform/Errors.h"
#include "service/THTTPRIO.h"
#include "translate/MainSettings.h"
#include "translate/ServerComponents.h"
#include "translate/ServerLegRunner.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

class TranslateCli : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { echo = new ServiceProcess({s("--engine"), s("echo")}); }
    static void TearDownTestSuite()
    {
        delete echo;
        echo = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(echo->isRunning()) << echo->error().toStdString();
        writeSettings(echoServices());
    }

    static QString echoServices()
    {
        return s("[Services]\nServer 1=%1\nServer 2=%2\nServer 3=%3\n")
            .arg(echo->url(s("/sd/BabelFishService.wsdl")),
                 echo->url(s("/sd/2001/BabelFishService.wsdl")),
                 echo->url(s("/vx_engine/wsdl.vep?translate.wsdl")));
    }

    void writeSettings(const QString& text)
    {
        QFile file(config.filePath(s("TarquellTranslator.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }

    QString writeFile(const char* name, const QByteArray& bytes)
    {
        QFile file(config.filePath(s(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    Outcome run(const QStringList& arguments, const QByteArray& input = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(s("XDG_CONFIG_HOME"), config.path());
        p.setProcessEnvironment(env);
        p.start(s(TARQUELL_BUILD_DIR "/cli/tarquell-translate"), arguments);
        Outcome r;
        if (!p.waitForStarted()) {
            ADD_FAILURE() << "did not start: " << p.errorString().toStdString();
            return r;
        }
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(180000)) {
            ADD_FAILURE() << "did not finish";
            p.kill();
            p.waitForFinished();
            return r;
        }
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        r.exitCode = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    QTemporaryDir config;
    static ServiceProcess* echo;
};
ServiceProcess* TranslateCli::echo = nullptr;
} // namespace

// Standard input through each text server; the translation ends its line.
TEST_F(TranslateCli, TranslatesStandardInputOnEveryServer)
{
    for (const char* server : {"1", "2", "3"}) {
        for (const char* input : {"Hello\n", "Hello"}) {
            const Outcome r =
                run({s("-f"), s("en"), s("-t"), s("fr"), s("--server"), s(server)}, input);
            EXPECT_EQ(r.exitCode, 0) << server << " " << r.err.toStdString();
            EXPECT_EQ(r.out, s("[en_fr] Hello\n")) << server;
            EXPECT_EQ(r.err, QString());
        }
    }
}

// Files in turn, each one translation; names or codes in any case; a pair
// without a direct route goes through English, and only the final text is
// written.
TEST_F(TranslateCli, TranslatesFilesInTurnAndPivotsThroughEnglish)
{
    const QString a = writeFile("a.txt", "one\n");
    const QString b = writeFile("b.txt", "dos");
    Outcome r = run({s("--from"), s("German"), s("--to=EN"), a, b});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, s("[de_en] one\n[de_en] dos\n"));

    r = run({s("-f"), s("es"), s("-t"), s("fr"), b});
    EXPECT_EQ(r.out, s("[en_fr] [es_en] dos\n"));

    // Without -f and -t, the languages of the window's settings.
    writeSettings(echoServices() + s("[Settings]\nSrcLang=Italian\nDstLang=English\n"));
    r = run({}, "ciao");
    EXPECT_EQ(r.out, s("[it_en] ciao\n"));
}

// Pieces of the given size, joined without separator; 100 or less means
// 3000, as in the window.
TEST_F(TranslateCli, SendsPiecesOfTheGivenSize)
{
    QByteArray text;
    for (int i = 0; i < 25; ++i)
        text += "abcdefghi\n";
    const QString t = QString::fromLatin1(text);
    Outcome r = run({s("-f"), s("en"), s("-t"), s("fr"), s("--piece"), s("101")}, text);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, s("[en_fr] ") + t.mid(0, 101) + s("[en_fr] ") + t.mid(101, 101) +
                         s("[en_fr] ") + t.mid(202));

    r = run({s("-f"), s("en"), s("-t"), s("fr"), s("--piece"), s("100")}, text.chopped(1));
    EXPECT_EQ(r.out, s("[en_fr] ") + t.chopped(1) + s("\n"));
}

// A failing call: the window's error text on standard error, status 1,
// nothing on standard output.
TEST_F(TranslateCli, FailingCallExitsWithTheWindowsErrorText)
{
    const QString location = echo->url(s("/no/such.wsdl"));
    QString expected;
    {
        THTTPRIO rio;
        setUpComponent(rio, textServer(1));
        giveSettings(rio, location, MainSettings{});
        ServerLegRunner runner(textServer(1), rio);
        try {
            runner.translateLeg(s("en_fr"), s("Hello"));
        } catch (const TarquellError& e) {
            expected = errorBoxText(e.message());
        }
    }
    ASSERT_FALSE(expected.isEmpty());
    writeSettings(s("[Services]\nServer 1=") + location + s("\n"));
    const Outcome r = run({s("-f"), s("en"), s("-t"), s("fr")}, "Hello");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, s("tarquell-translate: ") + expected + s("\n"));
    EXPECT_EQ(r.out, QString());
}

TEST_F(TranslateCli, RefusesWhatItCannotDo)
{
    const struct
    {
        QStringList arguments;
        int exitCode;
        const char* err;
    } rows[] = {
        {{s("-f"), s("en"), s("-t"), s("en")},
         1,
         "tarquell-translate: Source Language and Destination Language are the same\n"},
        {{s("-f"), s("xx"), s("-t"), s("en")},
         2,
         "tarquell-translate: -f: unknown language \"xx\" (--list shows the languages)\n"
         "Try 'tarquell-translate --help'.\n"},
        {{s("-f"), s("en"), s("--server"), s("4")},
         2,
         "tarquell-translate: --server wants a number from 1 to 3, not \"4\"\n"
         "Try 'tarquell-translate --help'.\n"},
        {{s("-f"), s("en"), s("-t"), s("fr"), s("/no/such/file")},
         2,
         "tarquell-translate: cannot read /no/such/file: No such file or directory\n"},
    };
    for (const auto& row : rows) {
        const Outcome r = run(row.arguments, "Hello");
        EXPECT_EQ(r.exitCode, row.exitCode) << row.err;
        EXPECT_EQ(r.err, s(row.err));
        EXPECT_EQ(r.out, QString()) << row.err;
    }
}

// The echo service translates every pair, so each language lists the nine
// others as its targets.
TEST_F(TranslateCli, ListsTheTenLanguages)
{
    const Outcome r = run({s("--list")});
    EXPECT_EQ(r.exitCode, 0);
    const QStringList codes = s("en fr de es it pt ru zh ko ja").split(QLatin1Char(' '));
    const QStringList names = s("English French German Spanish Italian Portuguese Russian "
                                "Chinese Korean Japanese")
                                  .split(QLatin1Char(' '));
    QString expected;
    for (qsizetype i = 0; i < codes.size(); ++i) {
        QStringList targets = codes;
        targets.removeAt(i);
        expected += codes[i] + QLatin1Char('\t') + names[i] + QLatin1Char('\t') +
                    targets.join(QLatin1Char(' ')) + QLatin1Char('\n');
    }
    EXPECT_EQ(r.out, expected);
}

// With the default locations and no service answering, a private
// tarquell-service (Apertium) runs for the length of the call, and no
// longer.
TEST_F(TranslateCli, StartsTheLocalServiceForItsRun)
{
    writeSettings(QString());
    const Outcome r = run({s("-v"), s("-f"), s("en"), s("-t"), s("es")}, "Hello\n");
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, s("Hola\n"));
    EXPECT_TRUE(r.err.contains(s("Translating from English to Spanish...\nDone.\n")))
        << r.err.toStdString();
    const auto started =
        QRegularExpression(s("started tarquell-service on 127\\.0\\.0\\.1:(\\d+) for this run"))
            .match(r.err);
    if (!started.hasMatch()) {
        // Someone's service on the default address did the work.
        EXPECT_TRUE(r.err.contains(s("using the tarquell-service running on 127.0.0.1:8731")))
            << r.err.toStdString();
        return;
    }
    httplib::Client client("127.0.0.1", started.captured(1).toInt());
    client.set_connection_timeout(std::chrono::seconds(2));
    EXPECT_FALSE(client.Get("/sd/BabelFishService.wsdl")) << "the service outlived the run";
}

// -f auto: each input's language is detected (told with -v), text already
// in the destination language is written as it is, and an input whose
// language cannot be told fails with a message.
TEST_F(TranslateCli, DetectsTheSourceLanguageOfEachInput)
{
    const QString french = writeFile("fr.txt", "Le chat dort sur le canapé depuis ce matin.");
    const QString english = writeFile("en.txt", "The weather is lovely this morning.\n");
    Outcome r = run({s("-f"), s("auto"), s("-t"), s("en"), s("-v"), french, english});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, s("[fr_en] Le chat dort sur le canapé depuis ce matin.\n"
                       "The weather is lovely this morning.\n"));
    EXPECT_TRUE(r.err.contains(
        QRegularExpression(s("Detected language of .*fr\\.txt: French \\(fr\\), confidence \\d+"))))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(s("en.txt: English (en)"))) << r.err.toStdString();

    // Without -v, nothing but the translation.
    r = run({s("-f"), s("AUTO"), s("-t"), s("de")}, "Where is the nearest train station?");
    EXPECT_EQ(r.out, s("[en_de] Where is the nearest train station?\n"));
    EXPECT_EQ(r.err, QString());

    r = run({s("-f"), s("auto"), s("-t"), s("en")}, "12345 !!!");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(s("cannot detect the language of standard input; name it with -f")))
        << r.err.toStdString();
}

// With -v the service's word on which engine translated is passed on: a
// remote server's translation has left this machine.
TEST_F(TranslateCli, VerboseNamesTheEngineThatTranslated)
{
    if (!QFile::exists(s("/usr/share/apertium/modes/eng-spa.mode")))
        GTEST_SKIP() << "Apertium with eng-spa is not installed (scripts/deps.sh)";
    FakeLibreTranslate lt;
    lt.start();
    ServiceProcess service({s("--remote"), s("libretranslate=") + lt.url(s("/"))});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    writeSettings(s("[Services]\nServer 1=%1\n").arg(service.url(s("/sd/BabelFishService.wsdl"))));

    Outcome r = run({s("-v"), s("-f"), s("en"), s("-t"), s("de")}, "Hello world\n");
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, s("Hallo Welt\n"));
    EXPECT_TRUE(r.err.contains(s("Translated by LibreTranslate at %1.\n").arg(lt.url(s("/")))))
        << r.err.toStdString();
    r = run({s("-v"), s("-f"), s("en"), s("-t"), s("es")}, "Hello\n");
    EXPECT_TRUE(r.err.contains(s("Translated by Apertium on this machine.\n")))
        << r.err.toStdString();
    // Without -v nothing is said.
    r = run({s("-f"), s("en"), s("-t"), s("de")}, "Hello\n");
    EXPECT_EQ(r.err, QString());
}

// --list asks the service what it translates now (LibreTranslate's
// /languages), in the window's order and names.
TEST_F(TranslateCli, ListsWhatTheServiceTranslatesNow)
{
    TestHttpServer service;
    service.server().Get("/languages", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"([{"code":"ja","name":"Japanese","targets":["en"]},
                            {"code":"en","name":"English","targets":["ja","de","es","xx"]},
                            {"code":"ko","name":"Korean","targets":[]}])",
                        "application/json");
    });
    service.start();
    writeSettings(s("[Services]\nServer 1=%1\n").arg(service.url(s("/sd/BabelFishService.wsdl"))));
    const Outcome r = run({s("--list"), s("-v")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, s("en\tEnglish\tde es ja\nja\tJapanese\ten\n"));
    EXPECT_TRUE(r.err.contains(s("the languages %1 translates now").arg(service.url())))
        << r.err.toStdString();
}

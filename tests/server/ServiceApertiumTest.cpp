// tarquell-service translating with the installed Apertium pairs: real
// translations, routes through Spanish, missing pairs, pipelines that die
// or stall, the pool of pipelines per pair, inputs that used to stall a
// pipeline, and a text of a megabyte.
#include "QtPrinters.h"
#include "ServiceProcess.h"
#include "SoapTestMessages.h"
#include "TestHttpServer.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <future>
#include <gtest/gtest.h>

using namespace SoapTestMessages;

namespace {
using Clock = std::chrono::steady_clock;

bool apertiumInstalled()
{
    for (const char* mode : {"eng-spa", "spa-eng", "es-fr"}) {
        if (!QFileInfo::exists(
                QStringLiteral("/usr/share/apertium/modes/%1.mode").arg(QString::fromLatin1(mode))))
            return false;
    }
    return true;
}

// "eng-spa 101 102 ..." lines of /debug/pipelines, one for each running
// instance, by mode name.
QMap<QString, QList<QList<pid_t>>> instances(ServiceProcess& service)
{
    QMap<QString, QList<QList<pid_t>>> result;
    const auto res = service.get("/debug/pipelines");
    if (!res || res->status != 200)
        return result;
    for (const QString& line :
         QString::fromStdString(res->body).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QStringList words = line.split(QLatin1Char(' '));
        const QString name = words.takeFirst();
        QList<pid_t> pids;
        for (const QString& w : words)
            pids << static_cast<pid_t>(w.toInt());
        result[name] << pids;
    }
    return result;
}

// The stage process ids of a mode's only running instance.
QList<pid_t> pipelines(ServiceProcess& service, const char* mode)
{
    const QList<QList<pid_t>> running = instances(service).value(QString::fromLatin1(mode));
    EXPECT_LE(running.size(), 1);
    return running.value(0);
}

// The licences Debian ships: long real English text nobody here wrote.
QString licences(int copies = 1)
{
    QString text;
    for (int i = 0; i < copies; ++i) {
        for (const char* licence : {"GPL-3", "Apache-2.0"}) {
            QFile f(QStringLiteral("/usr/share/common-licenses/") + QString::fromLatin1(licence));
            if (f.open(QIODevice::ReadOnly))
                text += QString::fromUtf8(f.readAll()) + QStringLiteral("\n\n");
        }
    }
    return text;
}

const QRegularExpression noAnswer(QStringLiteral(
    "^The Apertium translator \\(eng-spa\\) gave no answer within \\d+ ms; it will be "
    "restarted for the next request$"));

// Gone, or dead and waiting to be reaped.
bool processEnded(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && line.mid(close + 2, 1) == "Z";
}

// Bytes a process has read so far.
qint64 bytesRead(pid_t pid)
{
    QFile io(QStringLiteral("/proc/%1/io").arg(pid));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar: "))
            return line.mid(7).toLongLong();
    }
    return -1;
}

class ApertiumService : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!apertiumInstalled())
            GTEST_SKIP() << "Apertium with eng-spa and fr-es is not installed (scripts/deps.sh)";
        start({});
    }

    void start(const QStringList& arguments)
    {
        service = std::make_unique<ServiceProcess>(
            arguments, QStringList{QStringLiteral("TARQUELL_SERVICE_DEBUG=1")});
        ASSERT_TRUE(service->isRunning()) << service->error().toStdString();
    }

    Answer translate(const QString& mode, const QString& text)
    {
        const auto res = service->post(babelFish(mode, text));
        if (!res) {
            ADD_FAILURE() << "no reply: " << httplib::to_string(res.error());
            return {};
        }
        return read(res->body);
    }

    std::unique_ptr<ServiceProcess> service;
};
} // namespace

TEST_F(ApertiumService, TranslatesDirectlyAndThroughSpanish)
{
    const struct
    {
        const char* mode;
        const char* text;
        const char* expected;
    } rows[] = {
        {"en_es", "The house is big.", "casa"},           {"es_en", "La casa es grande.", "house"},
        {"en_fr", "The house is big.", "maison"}, // eng-spa, then es-fr
        {"fr_en", "La maison est grande.", "house"},      {"en_pt", "I have a red car.", "carro"},
        {"it_es", "La casa è grande.", "casa es grande"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        const Answer answer = translate(QString::fromUtf8(row.mode), QString::fromUtf8(row.text));
        EXPECT_FALSE(answer.fault) << answer.faultString.toStdString();
        EXPECT_TRUE(answer.text.contains(QString::fromUtf8(row.expected)))
            << answer.text.toStdString();
    }
    // The record shape goes the same way.
    const auto res = service->post(
        getTranslationMultiRef(QStringLiteral("The house is big."), QStringLiteral("en_es")));
    ASSERT_TRUE(res);
    const Answer record = read(res->body);
    EXPECT_TRUE(record.text.contains(QStringLiteral("casa"))) << res->body;
    EXPECT_EQ(record.language, QStringLiteral("en_es"));
}

TEST_F(ApertiumService, KeepsLayoutAndSpecialCharacters)
{
    const Answer answer =
        translate(QStringLiteral("en_es"),
                  QStringLiteral("The house [big] & the car <3\n\n\tThe dog\r\nHello ~ world"));
    EXPECT_EQ(answer.text,
              QStringLiteral("La casa [grande] & el coche <3\n\n\tEl perro\r\nHola ~ mundo"));
    EXPECT_EQ(translate(QStringLiteral("en_en"), QStringLiteral("Same language")).text,
              QStringLiteral("Same language"));
}

TEST_F(ApertiumService, ModesWithoutAnInstalledPairGetAFault)
{
    const struct
    {
        const char* mode;
        const char* message;
    } rows[] = {
        {"de_fr", "No translation from German to French is installed on this server"},
        {"en_ru", "No translation from English to Russian is installed on this server"},
        {"ja_es", "No translation from Japanese to Spanish is installed on this server"},
    };
    for (const auto& row : rows) {
        const auto res = service->post(babelFish(QString::fromUtf8(row.mode), QStringLiteral("x")));
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 500);
        const Answer answer = read(res->body);
        EXPECT_TRUE(answer.fault);
        EXPECT_EQ(answer.faultCode, QStringLiteral("SOAP-ENV:Server"));
        EXPECT_EQ(answer.faultString, QString::fromUtf8(row.message));
    }
}

TEST_F(ApertiumService, AKilledPipelineIsRestartedOnTheNextRequest)
{
    ASSERT_TRUE(translate(QStringLiteral("en_es"), QStringLiteral("The house."))
                    .text.contains(QStringLiteral("casa")));
    const QList<pid_t> before = pipelines(*service, "eng-spa");
    ASSERT_GE(before.size(), 3);
    const pid_t victim = before[before.size() / 2];
    ASSERT_EQ(::kill(victim, SIGKILL), 0);
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(victim), 10000);

    EXPECT_TRUE(translate(QStringLiteral("en_es"), QStringLiteral("The house."))
                    .text.contains(QStringLiteral("casa")));
    const QList<pid_t> after = pipelines(*service, "eng-spa");
    EXPECT_EQ(after.size(), before.size());
    EXPECT_FALSE(after.contains(victim));
    for (pid_t pid : before)
        EXPECT_TRUE(processEnded(pid)) << pid;
}

TEST_F(ApertiumService, AStalledPipelineFailsItsRequestAndStartsAfresh)
{
    start({QStringLiteral("--pipeline-timeout"), QStringLiteral("1500")});
    ASSERT_FALSE(translate(QStringLiteral("en_es"), QStringLiteral("The house.")).fault);
    const QList<pid_t> stalled = pipelines(*service, "eng-spa");
    ASSERT_GE(stalled.size(), 3);
    ASSERT_EQ(::kill(stalled.last(), SIGSTOP), 0);

    const Answer failed = translate(QStringLiteral("en_es"), QStringLiteral("The house."));
    EXPECT_TRUE(failed.fault);
    EXPECT_EQ(failed.faultCode, QStringLiteral("SOAP-ENV:Server"));
    EXPECT_TRUE(noAnswer.match(failed.faultString).hasMatch()) << failed.faultString.toStdString();
    for (pid_t pid : stalled)
        EXPECT_TRUE(processEnded(pid)) << pid;

    EXPECT_TRUE(translate(QStringLiteral("en_es"), QStringLiteral("The house."))
                    .text.contains(QStringLiteral("casa")));
}

TEST_F(ApertiumService, AStalledPipelineHoldsUpOnlyItsOwnRequests)
{
    ASSERT_FALSE(translate(QStringLiteral("en_es"), QStringLiteral("The dog.")).fault);
    ASSERT_FALSE(translate(QStringLiteral("es_en"), QStringLiteral("El perro.")).fault);
    const QList<pid_t> engSpa = pipelines(*service, "eng-spa");
    ASSERT_GE(engSpa.size(), 3);
    ASSERT_EQ(::kill(engSpa.last(), SIGSTOP), 0);

    const qint64 readBefore = bytesRead(engSpa.first());
    auto held = std::async(std::launch::async, [this] {
        return translate(QStringLiteral("en_es"), QStringLiteral("The house is big."));
    });
    // The held request has reached its pipeline...
    QTRY_VERIFY_WITH_TIMEOUT(bytesRead(engSpa.first()) > readBefore, 10000);
    // ...and another pair is served meanwhile.
    EXPECT_TRUE(translate(QStringLiteral("es_en"), QStringLiteral("La casa es grande."))
                    .text.contains(QStringLiteral("house")));
    EXPECT_EQ(held.wait_for(std::chrono::seconds(0)), std::future_status::timeout);

    ::kill(engSpa.last(), SIGCONT);
    EXPECT_TRUE(held.get().text.contains(QStringLiteral("casa")));
}

TEST_F(ApertiumService, SigtermStopsTheServiceAndItsPipelines)
{
    ASSERT_FALSE(translate(QStringLiteral("en_fr"), QStringLiteral("The house.")).fault);
    const auto running = instances(*service);
    EXPECT_TRUE(running.contains(QStringLiteral("eng-spa")));
    EXPECT_TRUE(running.contains(QStringLiteral("es-fr")));
    EXPECT_TRUE(service->terminate());
    for (const QList<QList<pid_t>>& mode : running) {
        for (const QList<pid_t>& pids : mode) {
            for (pid_t pid : pids)
                EXPECT_TRUE(processEnded(pid)) << pid;
        }
    }
}

TEST_F(ApertiumService, InputsThatStalledAPipelineAreTranslatedWhileOthersAreToo)
{
    // Each through the SOAP endpoint as text, while a second client's
    // translation for the same pair goes on.
    const char* const inputs[] = {"<script>^",          "<style>^",           "<!-- ^", "x ^", "^",
                                  "a \\^ b [^] {^} ~^", "The house ^ is big."};
    for (const char* input : inputs) {
        SCOPED_TRACE(input);
        auto first = std::async(std::launch::async, [&] {
            return translate(QStringLiteral("en_es"), QString::fromUtf8(input));
        });
        const Answer second = translate(QStringLiteral("en_es"), QStringLiteral("The dog."));
        EXPECT_TRUE(second.text.contains(QStringLiteral("perro"))) << second.text.toStdString();
        const Answer answer = first.get();
        EXPECT_FALSE(answer.fault) << answer.faultString.toStdString();
        EXPECT_EQ(answer.text.count(QLatin1Char('^')), QByteArray(input).count('^'))
            << answer.text.toStdString();
    }
}

TEST_F(ApertiumService, PagesThatStalledAPipelineComeThroughTheGateway)
{
    const char* const pages[] = {"<script>^", "<style>^", "<!-- ^",
                                 "<p>The house is big.</p><script>if (a^b) {}</script>",
                                 "<pre>2^10</pre><p>The dog ^ is red.</p><!--^"};
    TestHttpServer site;
    for (size_t i = 0; i < std::size(pages); ++i) {
        site.server().Get(
            "/" + std::to_string(i) + ".html",
            [page = std::string(pages[i])](const httplib::Request&, httplib::Response& res) {
                res.set_content(page, "text/html");
            });
    }
    site.start();
    // Pages on this machine are fetched only when allowed, where the
    // service has that option.
    const auto help = [] {
        QProcess p;
        p.start(ServiceProcess::program(), {QStringLiteral("--help")});
        p.waitForFinished(10000);
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }();
    QStringList arguments;
    if (help.contains(QLatin1String("--allow-private-pages")))
        arguments << QStringLiteral("--allow-private-pages");
    start(arguments);
    for (size_t i = 0; i < std::size(pages); ++i) {
        SCOPED_TRACE(pages[i]);
        const std::string url = site.url(QStringLiteral("/%1.html").arg(i)).toStdString();
        auto page = std::async(std::launch::async,
                               [&] { return service->get("/translate_c?sl=en&&hl=es&&u=" + url); });
        EXPECT_TRUE(translate(QStringLiteral("en_es"), QStringLiteral("The cat."))
                        .text.contains(QStringLiteral("gato")));
        const auto res = page.get();
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200) << res->body;
        EXPECT_EQ(std::count(res->body.begin(), res->body.end(), '^'),
                  QByteArray(pages[i]).count('^'))
            << res->body;
    }
}

TEST_F(ApertiumService, AStallPastItsDeadlineFailsOnlyItsOwnRequest)
{
    start({QStringLiteral("--pipelines"), QStringLiteral("2"), QStringLiteral("--pipeline-timeout"),
           QStringLiteral("2000")});
    // A long text starts both instances.
    ASSERT_FALSE(translate(QStringLiteral("en_es"), licences(2)).fault);
    const QList<QList<pid_t>> running = instances(*service).value(QStringLiteral("eng-spa"));
    ASSERT_EQ(running.size(), 2);
    const QList<pid_t> stalled = running[0];
    ASSERT_EQ(::kill(stalled.last(), SIGSTOP), 0);

    // A text of twenty kilobytes is cut in two, one part for each
    // instance: one part is held.
    const qint64 readBefore = bytesRead(stalled.first());
    const Clock::time_point sent = Clock::now();
    auto held = std::async(std::launch::async, [this] {
        return translate(QStringLiteral("en_es"), licences(1).left(20000));
    });
    QTRY_VERIFY_WITH_TIMEOUT(bytesRead(stalled.first()) > readBefore, 10000);
    ASSERT_EQ(held.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    // Meanwhile the same pair answers others on the other instance.
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(translate(QStringLiteral("en_es"), QStringLiteral("The dog."))
                        .text.contains(QStringLiteral("perro")));
    }
    const Answer failed = held.get();
    EXPECT_TRUE(failed.fault);
    EXPECT_TRUE(noAnswer.match(failed.faultString).hasMatch()) << failed.faultString.toStdString();
    // Within its deadline: 2 s, 250 ms for each of its 10 KiB or so, and
    // the killing.
    EXPECT_LT(Clock::now() - sent, std::chrono::seconds(30));
    for (pid_t pid : stalled)
        EXPECT_TRUE(processEnded(pid)) << pid;
    EXPECT_TRUE(translate(QStringLiteral("en_es"), QStringLiteral("The house."))
                    .text.contains(QStringLiteral("casa")));
}

TEST_F(ApertiumService, ThePoolStartsUpToItsLimitAndStopsIdleInstances)
{
    start({QStringLiteral("--pipelines"), QStringLiteral("2"), QStringLiteral("--pipeline-idle"),
           QStringLiteral("1")});
    // Six clients at once, some with long texts: never more than two
    // instances of the pair.
    const QString longText = licences(1);
    std::vector<std::future<Answer>> clients;
    for (int i = 0; i < 6; ++i) {
        clients.push_back(std::async(std::launch::async, [&, i] {
            return translate(QStringLiteral("en_es"),
                             i % 2 ? longText : QStringLiteral("The house is big."));
        }));
    }
    int most = 0;
    while (std::any_of(clients.begin(), clients.end(), [](const std::future<Answer>& f) {
        return f.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready;
    })) {
        most = std::max<int>(most, instances(*service).value(QStringLiteral("eng-spa")).size());
    }
    for (auto& client : clients)
        EXPECT_FALSE(client.get().fault);
    EXPECT_EQ(most, 2);
    // Idle for a second: stopped, every stage ended.
    const QList<QList<pid_t>> used = instances(*service).value(QStringLiteral("eng-spa"));
    QTRY_VERIFY_WITH_TIMEOUT(instances(*service).isEmpty(), 10000);
    for (const QList<pid_t>& pids : used) {
        for (pid_t pid : pids)
            EXPECT_TRUE(processEnded(pid)) << pid;
    }
    // And started again on demand.
    EXPECT_TRUE(translate(QStringLiteral("en_es"), QStringLiteral("The house."))
                    .text.contains(QStringLiteral("casa")));
    EXPECT_EQ(instances(*service).value(QStringLiteral("eng-spa")).size(), 1);
}

TEST_F(ApertiumService, AMegabyteOfTextIsTranslatedToItsEnd)
{
    QString text = licences(22);
    text += QStringLiteral("The last house is red, number 12345.");
    ASSERT_GT(text.toUtf8().size(), 1000000);
    const Answer answer = translate(QStringLiteral("en_es"), text);
    ASSERT_FALSE(answer.fault) << answer.faultString.toStdString();
    EXPECT_TRUE(answer.text.endsWith(QStringLiteral("La última casa es roja, número 12345.")))
        << answer.text.right(200).toStdString();
    // Every paragraph is there: as many blank lines as were sent.
    EXPECT_EQ(answer.text.count(QStringLiteral("\n\n")), text.count(QStringLiteral("\n\n")));
}

TEST_F(ApertiumService, UnknownWordsAreLeftUnmarkedUnlessAskedFor)
{
    const QString text = QStringLiteral("Use our Frontend code.");
    for (const char* pair : {"en_es", "en_fr"}) {
        SCOPED_TRACE(pair);
        const Answer plain = translate(QString::fromLatin1(pair), text);
        EXPECT_TRUE(plain.text.contains(QStringLiteral(" Frontend "))) << plain.text.toStdString();
        EXPECT_FALSE(plain.text.contains(QLatin1Char('*'))) << plain.text.toStdString();
    }
    start({QStringLiteral("--mark-unknown")});
    const Answer marked = translate(QStringLiteral("en_es"), text);
    EXPECT_TRUE(marked.text.contains(QStringLiteral(" *Frontend "))) << marked.text.toStdString();
}

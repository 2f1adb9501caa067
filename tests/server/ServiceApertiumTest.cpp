// tarquell-service translating with the installed Apertium pairs: real
// translations, routes through Spanish, missing pairs, and pipelines that
// die or stall.
#include "QtPrinters.h"
#include "ServiceProcess.h"
#include "SoapTestMessages.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <csignal>
#include <future>
#include <gtest/gtest.h>

using namespace SoapTestMessages;

namespace {
bool apertiumInstalled()
{
    for (const char* mode : {"eng-spa", "spa-eng", "es-fr"}) {
        if (!QFileInfo::exists(
                QStringLiteral("/usr/share/apertium/modes/%1.mode").arg(QString::fromLatin1(mode))))
            return false;
    }
    return true;
}

// "eng-spa 101 102 ..." lines of /debug/pipelines, by mode name.
QMap<QString, QList<pid_t>> pipelines(ServiceProcess& service)
{
    QMap<QString, QList<pid_t>> result;
    const auto res = service.get("/debug/pipelines");
    if (!res || res->status != 200)
        return result;
    for (const QString& line :
         QString::fromStdString(res->body).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QStringList words = line.split(QLatin1Char(' '));
        const QString name = words.takeFirst();
        for (const QString& w : words)
            result[name] << static_cast<pid_t>(w.toInt());
    }
    return result;
}

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
    const QList<pid_t> before = pipelines(*service).value(QStringLiteral("eng-spa"));
    ASSERT_GE(before.size(), 3);
    const pid_t victim = before[before.size() / 2];
    ASSERT_EQ(::kill(victim, SIGKILL), 0);
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(victim), 10000);

    EXPECT_TRUE(translate(QStringLiteral("en_es"), QStringLiteral("The house."))
                    .text.contains(QStringLiteral("casa")));
    const QList<pid_t> after = pipelines(*service).value(QStringLiteral("eng-spa"));
    EXPECT_EQ(after.size(), before.size());
    EXPECT_FALSE(after.contains(victim));
    for (pid_t pid : before)
        EXPECT_TRUE(processEnded(pid)) << pid;
}

TEST_F(ApertiumService, AStalledPipelineFailsItsRequestAndStartsAfresh)
{
    start({QStringLiteral("--pipeline-timeout"), QStringLiteral("1500")});
    ASSERT_FALSE(translate(QStringLiteral("en_es"), QStringLiteral("The house.")).fault);
    const QList<pid_t> stalled = pipelines(*service).value(QStringLiteral("eng-spa"));
    ASSERT_GE(stalled.size(), 3);
    ASSERT_EQ(::kill(stalled.last(), SIGSTOP), 0);

    const Answer failed = translate(QStringLiteral("en_es"), QStringLiteral("The house."));
    EXPECT_TRUE(failed.fault);
    EXPECT_EQ(failed.faultCode, QStringLiteral("SOAP-ENV:Server"));
    EXPECT_EQ(failed.faultString,
              QStringLiteral("The Apertium translator (eng-spa) gave no answer within 1500 ms; it "
                             "will be restarted for the next request"));
    for (pid_t pid : stalled)
        EXPECT_TRUE(processEnded(pid)) << pid;

    EXPECT_TRUE(translate(QStringLiteral("en_es"), QStringLiteral("The house."))
                    .text.contains(QStringLiteral("casa")));
}

TEST_F(ApertiumService, AStalledPipelineHoldsUpOnlyItsOwnRequests)
{
    ASSERT_FALSE(translate(QStringLiteral("en_es"), QStringLiteral("The dog.")).fault);
    ASSERT_FALSE(translate(QStringLiteral("es_en"), QStringLiteral("El perro.")).fault);
    const QList<pid_t> engSpa = pipelines(*service).value(QStringLiteral("eng-spa"));
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
    const auto running = pipelines(*service);
    EXPECT_TRUE(running.contains(QStringLiteral("eng-spa")));
    EXPECT_TRUE(running.contains(QStringLiteral("es-fr")));
    EXPECT_TRUE(service->terminate());
    for (const QList<pid_t>& pids : running) {
        for (pid_t pid : pids)
            EXPECT_TRUE(processEnded(pid)) << pid;
    }
}

// apertium-tagger's learning: which ambiguity classes change the tagger,
// read from the models Debian ships, and a pipeline that puts its spare
// tagger in the place of one that learned, whatever becomes of the spare.
#include "WaitFor.h"
#include "server/apertium/ApertiumPipeline.h"
#include "server/apertium/TaggerModel.h"
#include "server/engine/ApertiumStream.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {
using namespace std::chrono_literals;

const QString engSpa = QStringLiteral("/usr/share/apertium/apertium-eng-spa/eng-spa.prob");

// Running, not ended nor waiting to be reaped.
bool running(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (pid <= 0 || !std::getline(stat, line))
        return false;
    const size_t close = line.rfind(')');
    return close != std::string::npos && line.compare(close + 1, 3, " Z ") != 0;
}

bool endsSoon(pid_t pid)
{
    return waitFor([pid] { return !running(pid); }, 5s);
}
} // namespace

TEST(TaggerModel, DebiansModelsTellWhichClassesChangeTheTagger)
{
    if (!QFileInfo::exists(engSpa))
        GTEST_SKIP() << "apertium-eng-spa missing (scripts/deps.sh)";
    for (const QFileInfo& pair : QDir(QStringLiteral("/usr/share/apertium"))
                                     .entryInfoList({QStringLiteral("apertium-*")}, QDir::Dirs)) {
        for (const QFileInfo& file :
             QDir(pair.filePath()).entryInfoList({QStringLiteral("*.prob")}, QDir::Files)) {
            const auto model = TaggerModel::read(file.filePath());
            ASSERT_TRUE(model) << file.filePath().toStdString();
            EXPECT_GT(model->classCount(), 100) << file.filePath().toStdString();
        }
    }

    const auto model = TaggerModel::read(engSpa);
    ASSERT_TRUE(model);
    const struct
    {
        const char* tags;
        bool changes;
    } rows[] = {
        {"{ADV,ADJ,PREP,INF,PRES}", false}, // "near": no smaller class holds it
        {"{ADV,ADJ,VLEXPP,PAST}", true},    // "included"
        {"{INTNOM,NOMSG,RELAN}", false},    // "WHO"
        {"{ADJ,VLEXPP}", true},
        {"{ADV,NOSUCHTAG}", true},
        {"ADV,ADJ", true},
        {"{}", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(model->changesTagger(row.tags), row.changes) << row.tags;

    // Whatever is cut short is no model.
    QFile file(engSpa);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    for (qsizetype cut : {0, 1, 40, 400, 3000})
        EXPECT_FALSE(TaggerModel::parse(QByteArrayView(bytes).first(cut))) << cut;
    EXPECT_FALSE(TaggerModel::parse(QByteArray(4096, '\xff')));
}

TEST(ApertiumTagger, ATaggerThatLearnedMakesWayForItsSpareAndTheSpareGoesWithThePipeline)
{
    const QString modeFile = QStringLiteral("/usr/share/apertium/modes/eng-spa.mode");
    if (!QFileInfo::exists(modeFile))
        GTEST_SKIP() << "apertium-eng-spa missing (scripts/deps.sh)";
    ApertiumMode mode;
    for (const ApertiumMode& m :
         ApertiumModes::scan(QStringLiteral("/usr/share/apertium/modes")).modes)
        if (m.name == QLatin1String("eng-spa"))
            mode = m;
    qsizetype tagger = -1;
    for (qsizetype i = 0; i < mode.stages.size(); ++i) {
        if (mode.stages[i].program.endsWith(QLatin1String("/apertium-tagger")))
            tagger = i;
    }
    ASSERT_GT(tagger, 0);

    ApertiumPipeline pipeline(mode);
    const auto translate = [&](const char* text) {
        return QString::fromUtf8(
            pipeline.translate(ApertiumStream::toStream(QString::fromUtf8(text)),
                               ApertiumPipeline::Clock::now() + 30s));
    };
    const char* probe = "This API is so Fetching!";
    const QString fresh = translate(probe);
    const QList<pid_t> first = pipeline.pids();
    const pid_t spare = pipeline.sparePid();
    ASSERT_GT(spare, 0);
    EXPECT_FALSE(first.contains(spare));

    // A class the model lacks that changes nothing keeps the tagger.
    translate("My sister was sleeping near the station today.");
    EXPECT_EQ(pipeline.taggerRestarts(), 0u);
    EXPECT_EQ(pipeline.pids(), first);

    // One that changes it: the spare serves, and a new spare waits.
    translate("The tools included in the box are new.");
    EXPECT_EQ(pipeline.taggerRestarts(), 1u);
    const QList<pid_t> second = pipeline.pids();
    EXPECT_EQ(second[tagger], spare);
    for (qsizetype i = 0; i < first.size(); ++i) {
        if (i != tagger) {
            EXPECT_EQ(second[i], first[i]) << i;
        }
    }
    EXPECT_TRUE(endsSoon(first[tagger]));
    EXPECT_GT(pipeline.sparePid(), 0);
    EXPECT_NE(pipeline.sparePid(), spare);
    EXPECT_EQ(translate(probe), fresh);

    // A spare killed meanwhile is replaced, also when it was needed.
    const pid_t killed = pipeline.sparePid();
    ASSERT_EQ(::kill(killed, SIGKILL), 0);
    ASSERT_TRUE(endsSoon(killed));
    translate("The tools included in the box are new.");
    EXPECT_EQ(pipeline.taggerRestarts(), 2u);
    EXPECT_EQ(translate(probe), fresh);
    EXPECT_GT(pipeline.sparePid(), 0);
    EXPECT_NE(pipeline.sparePid(), killed);
    // A tagger killed: the pipeline starts again.
    const pid_t active = pipeline.pids().value(tagger);
    ASSERT_EQ(::kill(active, SIGKILL), 0);
    ASSERT_TRUE(endsSoon(active));
    EXPECT_EQ(translate(probe), fresh);
    EXPECT_NE(pipeline.pids().value(tagger), active);

    // Stopped: no tagger of it remains, the spare neither.
    const pid_t lastSpare = pipeline.sparePid();
    const QList<pid_t> last = pipeline.pids();
    ASSERT_GT(lastSpare, 0);
    pipeline.stop();
    EXPECT_TRUE(pipeline.pids().isEmpty());
    EXPECT_EQ(pipeline.sparePid(), -1);
    EXPECT_FALSE(running(lastSpare));
    for (pid_t pid : last)
        EXPECT_FALSE(running(pid)) << pid;
}

// Work bounded from its start, and given up with its request: a filter
// that keeps writing gets no more time than a silent one, and a filter or
// a pipeline whose request is given up (its client gone, the service
// stopping) ends at once, its process with it, the pipeline ready for the
// next request.
#include "server/engine/WorkScope.h"
#include "QtPrinters.h"
#include "server/apertium/ApertiumEngine.h"
#include "server/engine/FilterProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Raises a flag after a while, from another thread.
struct LaterFlag
{
    std::shared_ptr<std::atomic<bool>> flag = std::make_shared<std::atomic<bool>>(false);
    std::thread raiser;
    explicit LaterFlag(std::chrono::milliseconds after)
        : raiser([f = flag, after] {
              std::this_thread::sleep_for(after);
              *f = true;
          })
    {
    }
    ~LaterFlag() { raiser.join(); }
};
} // namespace

TEST(WorkScope, FiltersEndAtTheirDeadlineFromTheStartOrWhenTheirRequestIsGivenUp)
{
    const struct
    {
        const char* script;
        std::chrono::milliseconds timeout;
        bool givenUp;
        const char* says;
    } rows[] = {
        // Writes a line every 50 ms for ever: each line used to renew its time.
        {"while :; do echo x; sleep 0.05; done", 700ms, false, "gave no answer within 700 ms"},
        {"exec sleep 60", 700ms, false, "gave no answer within 700 ms"},
        {"while :; do echo x; sleep 0.05; done", 60s, true,
         "was stopped: its request was given up"},
        // Its own child goes with it: the filter's process group is killed.
        {"sleep 60 & echo $! >\"$0\"; wait", 60s, true, "was stopped: its request was given up"},
    };
    QTemporaryDir dir;
    const QString childPid = dir.filePath(QStringLiteral("child"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script);
        LaterFlag later(300ms);
        const WorkScope::Bind bind(row.givenUp ? later.flag : nullptr);
        const auto start = Clock::now();
        try {
            runFilter(QStringLiteral("sh"),
                      {QStringLiteral("-c"), QString::fromLatin1(row.script), childPid}, {},
                      row.timeout);
            ADD_FAILURE() << "the filter ran to its end";
        } catch (const TarquellError& e) {
            EXPECT_TRUE(e.message().contains(QLatin1String(row.says))) << e.message().toStdString();
        }
        // Well before the minute the filter asked for.
        EXPECT_LT(Clock::now() - start, 30s);
    }
    QFile file(childPid);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray pid = file.readAll().trimmed();
    ASSERT_FALSE(pid.isEmpty());
    // Gone, or a zombie for init to reap, once the kill has landed.
    const auto dead = [&] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid)));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray line = stat.readAll();
        return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
    };
    const auto until = Clock::now() + 5s;
    while (!dead() && Clock::now() < until)
        std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(dead()) << "the filter's own child outlived it";
}

TEST(WorkScope, APipelineWhoseRequestIsGivenUpStopsAndServesTheNext)
{
    const QString modes = QStringLiteral("/usr/share/apertium/modes");
    if (!QFileInfo::exists(modes + QStringLiteral("/eng-spa.mode")))
        GTEST_SKIP() << "Apertium pairs missing (scripts/deps.sh)";
    ApertiumEngine::Options options;
    options.startBytes = 0;
    ApertiumEngine engine(ApertiumModes::scan(modes).modes, options);
    const TranslationMode mode = TranslationMode::parse(QStringLiteral("en_es"));
    EXPECT_EQ(engine.translate(mode, QStringLiteral("The house is red.")),
              QStringLiteral("La casa es roja."));
    QString text;
    while (text.size() < 4 << 20)
        text += QStringLiteral("The house is red and the garden is very big. ");
    {
        LaterFlag later(300ms);
        const WorkScope::Bind bind(later.flag);
        const auto start = Clock::now();
        EXPECT_THROW(engine.translate(mode, text), TarquellError);
        EXPECT_LT(Clock::now() - start, 30s);
    }
    EXPECT_EQ(engine.translate(mode, QStringLiteral("The house is red.")),
              QStringLiteral("La casa es roja."));
}

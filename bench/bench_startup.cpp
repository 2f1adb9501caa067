// Start-up benchmark: time from process start to the window shown, and the
// resident memory once the window is idle, over several runs.
//
//   bench_startup [runs] [path to tarquell-translator]
//
// Runs on the platform QT_QPA_PLATFORM names (offscreen when unset).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
long residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    const QString program = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                     : QCoreApplication::applicationDirPath() +
                                           QStringLiteral("/../app/tarquell-translator");
    std::vector<double> startMs, rssMiB;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir config;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("tarquell.app.info=true"));
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer clock;
        clock.start();
        p.start(program);
        QByteArray out;
        while (!out.contains("window shown") && p.state() != QProcess::NotRunning) {
            p.waitForReadyRead(20000);
            out += p.readAll();
        }
        if (!out.contains("window shown")) {
            std::fprintf(stderr, "the program did not show its window:\n%s\n", out.constData());
            return 1;
        }
        startMs.push_back(clock.nsecsElapsed() / 1e6);
        QThread::msleep(1500); // let it settle into idle
        rssMiB.push_back(residentKiB(p.processId()) / 1024.0);
        p.terminate();
        p.waitForFinished(10000);
    }
    std::printf("runs: %d (platform %s)\n", runs,
                qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toUtf8().constData());
    std::printf("start to window shown: median %.1f ms (min %.1f, max %.1f)\n", median(startMs),
                *std::min_element(startMs.begin(), startMs.end()),
                *std::max_element(startMs.begin(), startMs.end()));
    std::printf("resident memory when idle: median %.1f MiB\n", median(rssMiB));
    return 0;
}

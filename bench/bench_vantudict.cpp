// Vantudict beside Debian's dict client with dictd serving the same
// FreeDict dictionaries, on the same 1,000 words of freedict-eng-deu:
//   lookup  each word's warm lookup in this process (FreeDict read directly,
//           stems included), dict started once per word against dictd, and
//           our DICT client on one connection to the same dictd;
//   memory  RSS with every dictionary and analyser open, and after lookups
//           in every pair;
//   window  from the start of main() to the window exposed on screen.
// Usage: bench_vantudict [lookup|memory|window]... (all by default). dictd
// is started here on a free loopback port and stopped at the end.
#include "tools/Vantudict/DictLibrary.h"
#include "tools/Vantudict/VantuSettings.h"
#include "tools/Vantudict/VantudictWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QElapsedTimer sinceStart;

long rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(fd);
    return ntohs(a.sin_port);
}

// Every 150th single-word headword of the index: the same list each run.
QStringList sampleWords(int count)
{
    QFile f(QStringLiteral("/usr/share/dictd/freedict-eng-deu.index"));
    QStringList words;
    if (!f.open(QIODevice::ReadOnly))
        return words;
    int n = 0;
    while (!f.atEnd() && words.size() < count) {
        const QByteArray line = f.readLine();
        const QByteArray key = line.left(line.indexOf('\t'));
        if (key.isEmpty() || key.contains(' ') || key.startsWith("00"))
            continue;
        if (n++ % 150 == 0)
            words.append(QString::fromUtf8(key));
    }
    return words;
}

struct Figures
{
    double median, p95;
};

Figures figures(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    if (v.empty())
        return {0, 0};
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)]};
}

class Dictd
{
public:
    bool start()
    {
        port = freePort();
        const QString conf = dir.filePath(QStringLiteral("dictd.conf"));
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(
            QStringLiteral("access { allow * }\n"
                           "database fd-eng-deu { data /usr/share/dictd/freedict-eng-deu.dict.dz\n"
                           "  index /usr/share/dictd/freedict-eng-deu.index }\n")
                .toUtf8());
        f.close();
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                              QFileDevice::ExeOther);
        process.start(QStringLiteral("dictd"),
                      {QStringLiteral("-c"), conf, QStringLiteral("-p"), QString::number(port),
                       QStringLiteral("--listen-to"), QStringLiteral("127.0.0.1"),
                       QStringLiteral("-d"), QStringLiteral("nodetach")});
        if (!process.waitForStarted())
            return false;
        for (int i = 0; i < 500; ++i) {
            QTcpSocket s;
            s.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
            if (s.waitForConnected(100))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    ~Dictd()
    {
        process.kill();
        process.waitForFinished();
    }
    QTemporaryDir dir;
    QProcess process;
    int port = 0;
};

void benchLookup()
{
    const QStringList words = sampleWords(1000);
    DictLibrary library;
    std::vector<double> cold, warm;
    int found = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (const QString& w : words) {
            QElapsedTimer t;
            t.start();
            const LookupResult r = library.lookup(w, QStringLiteral("en"), QStringLiteral("de"));
            (pass ? warm : cold).push_back(t.nsecsElapsed() / 1e6);
            found += pass && !r.entries.isEmpty();
        }
    }
    const Figures c = figures(cold), h = figures(warm);
    std::fflush(stdout);
    std::printf("words: %lld from freedict-eng-deu, %d found by Vantudict\n",
                qlonglong(words.size()), found);
    std::printf("vantudict lookup, first pass   median %.3f ms  p95 %.3f ms\n", c.median, c.p95);
    std::printf("vantudict lookup, warm         median %.3f ms  p95 %.3f ms\n", h.median, h.p95);

    Dictd dictd;
    if (!dictd.start()) {
        std::printf("dictd could not be started: no comparison\n");
        return;
    }
    std::vector<double> dictTimes;
    int dictFound = 0, dictStuck = 0;
    for (const QString& w : words) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.start(QStringLiteral("dict"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                                         QStringLiteral("-p"), QString::number(dictd.port),
                                         QStringLiteral("-d"), QStringLiteral("fd-eng-deu"), w});
        if (!p.waitForFinished(10000)) {
            ++dictStuck;
            p.kill();
            p.waitForFinished();
            continue;
        }
        dictTimes.push_back(t.nsecsElapsed() / 1e6);
        dictFound += p.exitCode() == 0;
    }
    const Figures d = figures(dictTimes);
    std::printf("dict (one process a word)      median %.3f ms  p95 %.3f ms  (%d found)\n",
                d.median, d.p95, dictFound);
    std::printf("ratio dict / vantudict warm    %.1fx (medians)\n", d.median / h.median);
}

void benchMemory()
{
    const long before = rssKiB();
    DictLibrary library;
    const QStringList problems = library.openAll();
    const long open = rssKiB();
    const QStringList words = sampleWords(200);
    for (const DictionaryInfo& d : library.dictionaries())
        for (const QString& w : words)
            library.lookup(w, d.from, d.to);
    const long used = rssKiB();
    std::printf(
        "memory: %lld dictionaries; RSS %.1f MB at start, %.1f MB with all open, %.1f MB after 200 "
        "lookups in each (%lld could not be opened)\n",
        qlonglong(library.dictionaries().size()), before / 1024.0, open / 1024.0, used / 1024.0,
        qlonglong(problems.size()));
}

int benchWindow(int argc, char** argv)
{
    QApplication app(argc, argv);
    const double application = sinceStart.nsecsElapsed() / 1e6;
    DictLibrary library;
    const double found = sinceStart.nsecsElapsed() / 1e6;
    VantudictWindow window(library, VantuSettings());
    const double built = sinceStart.nsecsElapsed() / 1e6;
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("window: shown %.1f ms after main() (platform %s; application %.1f, dictionaries "
                "found %.1f, window built %.1f)\n",
                sinceStart.nsecsElapsed() / 1e6, qPrintable(QGuiApplication::platformName()),
                application, found, built);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    sinceStart.start();
    QStringList what;
    for (int i = 1; i < argc; ++i)
        what.append(QString::fromLocal8Bit(argv[i]));
    if (what.isEmpty())
        what = {QStringLiteral("lookup"), QStringLiteral("memory")};
    if (what.contains(QStringLiteral("window")))
        return benchWindow(argc, argv);
    QCoreApplication app(argc, argv);
    if (what.contains(QStringLiteral("lookup")))
        benchLookup();
    if (what.contains(QStringLiteral("memory")))
        benchMemory();
    return 0;
}

// Browser-mode benchmark: start-up time and idle memory of the window with
// and without one visit to browser mode, and once a page is shown, over
// several runs, each in a fresh process. The window is the program's own
// (the same controllers and the same on-demand loading of the web engine).
//
//   bench_browser [runs]
//
// Runs on the platform QT_QPA_PLATFORM names (offscreen when unset). Memory
// is the resident memory of the window's process, and of it together with
// the web engine's helper processes.
#include "app/BrowserModule.h"
#include "app/QtDialogs.h"
#include "app/Translator.h"

#include <httplib.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

namespace {

long statusKiB(const QString& pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(strlen(field))).trimmed().split(' ').first().toLong();
    return 0;
}

// The process and every process below it.
long treeRssKiB(qint64 root)
{
    std::map<qint64, qint64> parent;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> after = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (after.size() > 1)
            parent[pid] = after[1].toLongLong();
    }
    long total = 0;
    for (const auto& [pid, ppid] : parent) {
        qint64 p = pid;
        while (p > 1 && p != root)
            p = parent.count(p) ? parent[p] : 0;
        if (p == root)
            total += statusKiB(QString::number(pid), "VmRSS:");
    }
    return total;
}

void report(const char* stage)
{
    const qint64 self = QCoreApplication::applicationPid();
    std::printf("%s %ld %ld\n", stage, statusKiB(QString::number(self), "VmRSS:"),
                treeRssKiB(self));
    std::fflush(stdout);
}

// Runs the event loop for a while, so that the window settles into idle.
void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
}

int child(int argc, char** argv, const QString& stage, const QString& page)
{
    // As the browser tests do: CI runs as root, where the sandbox cannot work.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    QtDialogs dialogs;
    TfrmMain::Environment env;
    env.dialogs = &dialogs;
    env.browserFactory = browserModuleFactory();
    TfrmMain window(env);
    window.show();
    QTimer::singleShot(0, [] {
        std::printf("shown\n");
        std::fflush(stdout);
    });
    settle(1500);
    report("text");
    if (stage == QLatin1String("text"))
        return 0;

    window.findChild<QAction*>(QStringLiteral("WebPage1"))->trigger();
    if (window.PaneMode != 1) {
        std::fprintf(stderr, "browser mode was not entered\n");
        return 1;
    }
    settle(2500);
    report("visit");

    // The page, straight (web translation off).
    window.findChild<QToolButton*>(QStringLiteral("ChangeBtn"))->click();
    window.findChild<QComboBox*>(QStringLiteral("URLs"))->setEditText(page);
    window.findChild<QToolButton*>(QStringLiteral("GoBtn"))->click();
    QElapsedTimer t;
    t.start();
    while (window.statusText() != QLatin1String("Done.") && t.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    settle(1500);
    report("page");
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty()
               ? 0
               : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 3 && QByteArray(argv[1]) == "--child")
        return child(argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    // A page of about 100 KB, served on 127.0.0.1.
    std::string html = "<html><head><title>Bench</title></head><body>";
    while (html.size() < 100 * 1024)
        html += "<p>The house is red. The garden is large and the sky is blue.</p>\n";
    html += "</body></html>";
    httplib::Server server;
    server.Get("/page.html", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(html, "text/html");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    const QString page = QStringLiteral("http://127.0.0.1:%1/page.html").arg(port);

    struct Figures
    {
        std::vector<double> startMs;
        std::map<std::string, std::vector<double>> own, tree;
    };
    std::map<std::string, Figures> figures;
    for (int i = 0; i < runs; ++i) {
        for (const char* stage : {"text", "page"}) {
            QTemporaryDir config;
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
            if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
                env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            if (env.value(QStringLiteral("QT_QPA_PLATFORM")) == QLatin1String("offscreen"))
                env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"),
                           QStringLiteral("--disable-gpu"));
            // The browser library lives beside the program.
            env.insert(QStringLiteral("LD_LIBRARY_PATH"),
                       QCoreApplication::applicationDirPath() + QStringLiteral("/../app"));
            p.setProcessEnvironment(env);
            QElapsedTimer clock;
            clock.start();
            p.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), QString::fromLatin1(stage), page});
            QByteArray out;
            bool shown = false;
            while (p.state() != QProcess::NotRunning || p.bytesAvailable()) {
                p.waitForReadyRead(60000);
                out += p.readAllStandardOutput();
                if (!shown && out.contains("shown")) {
                    shown = true;
                    figures[stage].startMs.push_back(clock.nsecsElapsed() / 1e6);
                }
                if (p.state() == QProcess::NotRunning && !p.bytesAvailable())
                    break;
            }
            p.waitForFinished(60000);
            if (!shown || p.exitCode() != 0) {
                std::fprintf(stderr, "run failed:\n%s\n%s\n", out.constData(),
                             p.readAllStandardError().constData());
                server.stop();
                serving.join();
                return 1;
            }
            for (const QByteArray& line : out.split('\n')) {
                const QList<QByteArray> f = line.split(' ');
                if (f.size() == 3) {
                    figures[stage].own[f[0].toStdString()].push_back(f[1].toDouble() / 1024);
                    figures[stage].tree[f[0].toStdString()].push_back(f[2].toDouble() / 1024);
                }
            }
        }
    }
    server.stop();
    serving.join();

    std::printf(
        "runs: %d (platform %s)\n", runs,
        qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toUtf8().constData());
    std::printf("start to window shown, median: %.1f ms (runs that stay in text mode), "
                "%.1f ms (runs that visit browser mode later)\n",
                median(figures["text"].startMs), median(figures["page"].startMs));
    const double base = median(figures["text"].own["text"]);
    const double baseTree = median(figures["text"].tree["text"]);
    std::printf("%-40s %12s %14s\n", "resident memory, median", "window MiB", "with helpers");
    auto row = [&](const char* what, const char* run, const char* stage) {
        const double own = median(figures[run].own[stage]);
        const double tree = median(figures[run].tree[stage]);
        std::printf("%-40s %7.1f (x%.2f) %7.1f (x%.2f)\n", what, own, own / base, tree,
                    tree / baseTree);
    };
    row("text mode, idle (baseline)", "text", "text");
    row("text mode, idle, before a visit", "page", "text");
    row("after one visit to browser mode, idle", "page", "visit");
    row("with a 100 KB page shown", "page", "page");
    return 0;
}

// Opening generated RTF documents of 1 MB and 10 MB: our reader alone
// (throughput in MB/s) and loaded into a pane the way Open does it (median
// time, peak memory), with LibreOffice converting the same file to text as
// the baseline side by side.
//
//   bench_rtf [sizes in MB ...]      (default: 1 10; runs per size: 5)
#include "editor/RtfReader.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextEdit>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

// Paragraphs as Word writes them: fonts, sizes, colours, code-page escapes,
// \u characters and a table row now and then.
QByteArray generated(qsizetype bytes)
{
    QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New "
        "Roman;}{\\f1\\fswiss\\fcharset204 Arial Cyr;}}{\\colortbl;\\red255\\green0"
        "\\blue0;\\red0\\green0\\blue255;}{\\*\\generator bench;}\n";
    for (int i = 0; rtf.size() < bytes; ++i) {
        rtf += "\\pard\\plain\\ql\\li360\\f0\\fs24 The {\\b quick} brown {\\i fox} jumps over "
               "the {\\cf1 lazy} dog caf\\'e9 na\\'efve \\u8364? {\\f1 \\'cf\\'f0\\'e8\\'e2\\'e5"
               "\\'f2} {\\ul underlined}\\par\n";
        if (i % 10 == 9)
            rtf +=
                "\\trowd\\cellx2000\\cellx4000\\pard\\intbl cell one\\cell cell two\\cell\\row\n";
        if (i % 50 == 49)
            rtf += "\\pard\\qc{\\fs32\\b\\cf2 A centred heading}\\par\n";
    }
    rtf += "}";
    return rtf;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

long childPeakRssKb()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(atoi(argv[i]));
    if (sizes.empty())
        sizes = {1, 10};
    const int runs = 5;
    QTemporaryDir tmp;
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    const QString profile = tmp.filePath(QStringLiteral("profile"));

    std::printf("%-6s %12s %12s %14s %12s %16s %10s\n", "size", "reader ms", "reader MB/s",
                "into pane ms", "peak RSS MB", "LibreOffice ms", "LO/pane");
    for (int mb : sizes) {
        const QByteArray rtf = generated(qsizetype(mb) * 1024 * 1024);
        const QString path = tmp.filePath(QStringLiteral("doc%1.rtf").arg(mb));
        {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(rtf);
        }
        std::vector<double> reader, pane, office;
        for (int r = 0; r < runs; ++r) {
            QTextDocument doc;
            QElapsedTimer t;
            t.start();
            Rtf::read(rtf, doc);
            reader.push_back(t.nsecsElapsed() / 1e6);
        }
        const long rssBefore = peakRssKb();
        for (int r = 0; r < runs; ++r) {
            QTextEdit edit;
            edit.resize(700, 250);
            edit.show();
            QElapsedTimer t;
            t.start();
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            Rtf::read(f.readAll(), *edit.document());
            QCoreApplication::processEvents(); // the pane lays out and paints
            pane.push_back(t.nsecsElapsed() / 1e6);
        }
        const long rssAfter = peakRssKb();
        // Baseline: LibreOffice reads the same file (to text) on a warm
        // profile; up to 3 runs, fewer when they are slow.
        if (!soffice.isEmpty()) {
            static bool warm = false;
            QElapsedTimer all;
            all.start();
            for (int r = warm ? 1 : 0; r <= 3 && all.elapsed() < 150000; ++r) {
                QProcess p;
                QElapsedTimer t;
                t.start();
                p.start(soffice, {QStringLiteral("-env:UserInstallation=") +
                                      QUrl::fromLocalFile(profile).toString(),
                                  QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                  QStringLiteral("txt:Text (encoded):UTF8"),
                                  QStringLiteral("--outdir"), tmp.path(), path});
                p.waitForFinished(600000);
                if (r > 0)
                    office.push_back(t.nsecsElapsed() / 1e6); // the first made the profile
                warm = true;
            }
        }
        const double mr = median(reader), mp = median(pane);
        const double mo = office.empty() ? 0 : median(office);
        std::printf("%-6s %12.1f %12.1f %14.1f %12.1f %16.1f %10.1f\n",
                    qPrintable(QStringLiteral("%1 MB").arg(mb)), mr,
                    rtf.size() / 1048576.0 / (mr / 1000), mp,
                    std::max(rssAfter, rssBefore) / 1024.0, mo, mp > 0 ? mo / mp : 0.0);
    }
    std::printf("(medians of %d runs; LibreOffice: median of up to 3 warm runs, peak RSS of "
                "its process %.1f MB)\n",
                runs, childPeakRssKb() / 1024.0);
    return 0;
}

// The Apertium engine in this process, without HTTP: what it costs to
// translate many sentences one request each, and one long text, English to
// Spanish, with the licences Debian ships as the text. Run under farm-bench
// with --vs against another build to compare the two.
//
//   bench_engine sentences [count]    (default 300: one request each)
//   bench_engine long [megabytes]     (default 1: one request)
//   bench_engine ... [instances]      (third argument; default 2)
#include "server/apertium/ApertiumEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("sentences");
    const double amount = argc > 2 ? std::atof(argv[2]) : (what == QLatin1String("long") ? 1 : 300);
    QString licences;
    for (const char* name :
         {"GPL-3", "Apache-2.0", "LGPL-2.1", "MPL-2.0", "GFDL-1.3", "Artistic"}) {
        QFile f(QStringLiteral("/usr/share/common-licenses/") + QString::fromLatin1(name));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "missing %s\n", name);
            return 2;
        }
        licences += QString::fromUtf8(f.readAll()) + QStringLiteral("\n\n");
    }
    ApertiumEngine::Options options;
    options.instances = argc > 3 ? std::atoi(argv[3]) : 2;
    options.deadlineFloor = std::chrono::seconds(60);
    ApertiumEngine engine(ApertiumModes::scan(QStringLiteral("/usr/share/apertium/modes")).modes,
                          options);
    const TranslationMode mode = TranslationMode::parse(QStringLiteral("en_es"));
    engine.translate(mode, QStringLiteral("Start."));

    QElapsedTimer timer;
    timer.start();
    qsizetype bytes = 0;
    if (what == QLatin1String("long")) {
        QString text;
        while (text.size() < amount * 1024 * 1024)
            text += licences;
        bytes = text.size();
        engine.translate(mode, text);
    } else {
        QStringList sentences;
        for (const QString& paragraph : licences.split(QStringLiteral("\n\n"))) {
            if (paragraph.trimmed().size() > 20)
                sentences << paragraph.simplified();
        }
        for (int i = 0; i < static_cast<int>(amount); ++i) {
            const QString& s = sentences[i % sentences.size()];
            bytes += s.size();
            engine.translate(mode, s);
        }
    }
    std::printf("%s: %lld characters in %.3f s\n", qPrintable(what), static_cast<long long>(bytes),
                timer.nsecsElapsed() / 1e9);
    engine.stop();
    return 0;
}

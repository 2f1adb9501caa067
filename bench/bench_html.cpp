// The HTML route with the Apertium engine in this process, English to
// Spanish, one request: the service's own deformatter, or (--deshtml) the
// route as it was, through apertium-deshtml and apertium-rehtml. Prints the
// milliseconds of the translation; run under farm-bench with --vs to set the
// two side by side.
//
//   bench_html [--deshtml] [--deformat-only] FILE ...
//                                the files' pages, one after another
//   bench_html [--deshtml] [--deformat-only] --unclosed KB
//                                tags that never close, KB long
// --deformat-only: the markup put into superblanks, no translation.
#include "server/apertium/ApertiumEngine.h"
#include "server/engine/FilterProcess.h"
#include "server/engine/HtmlPage.h"
#include "server/engine/HtmlTranslation.h"
#include "server/engine/HtmlStream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
QString throughDeshtml(ApertiumEngine& engine, const TranslationMode& mode, const QString& html)
{
    using namespace std::chrono_literals;
    const QByteArray stream = runFilter(QStringLiteral("apertium-deshtml"), {},
                                        HtmlPage::spellOutLetters(html).toUtf8(), 3600s);
    return QString::fromUtf8(runFilter(QStringLiteral("apertium-rehtml"), {},
                                       engine.translateStream(mode, stream), 3600s));
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool deshtml = false;
    bool deformatOnly = false;
    QStringList pages;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--deshtml") == 0) {
            deshtml = true;
        } else if (std::strcmp(argv[i], "--deformat-only") == 0) {
            deformatOnly = true;
        } else if (std::strcmp(argv[i], "--unclosed") == 0 && i + 1 < argc) {
            const qsizetype bytes = std::atoll(argv[++i]) * 1024;
            // What apertium-deshtml reads in quadratic time: tags that
            // never close, one after another.
            QString page = QStringLiteral("<html><body><p>The house is red.</p>");
            while (page.size() < bytes)
                page += QStringLiteral("<a ");
            pages << page;
        } else {
            QFile f(QString::fromLocal8Bit(argv[i]));
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", argv[i]);
                return 2;
            }
            pages << QString::fromUtf8(f.readAll());
        }
    }
    if (deformatOnly) {
        QElapsedTimer timer;
        timer.start();
        qsizetype out = 0;
        for (const QString& page : std::as_const(pages)) {
            const QString spelled = HtmlPage::spellOutLetters(page);
            out += deshtml ? runFilter(QStringLiteral("apertium-deshtml"), {}, spelled.toUtf8(),
                                       std::chrono::hours(1))
                                 .size()
                           : HtmlStream::deformat(spelled).size();
        }
        std::printf("%s: %lld stream bytes, %lld ms\n",
                    deshtml ? "apertium-deshtml" : "own deformatter", static_cast<long long>(out),
                    static_cast<long long>(timer.elapsed()));
        return 0;
    }
    ApertiumEngine::Options options;
    options.instances = 2;
    // Whatever it takes: the time is the figure.
    options.deadlineFloor = std::chrono::hours(1);
    ApertiumEngine engine(ApertiumModes::scan(QStringLiteral("/usr/share/apertium/modes")).modes,
                          options);
    const TranslationMode mode = TranslationMode::parse(QStringLiteral("en_es"));
    QElapsedTimer timer;
    timer.start();
    qsizetype in = 0;
    qsizetype out = 0;
    for (const QString& page : std::as_const(pages)) {
        in += page.size();
        out += (deshtml ? throughDeshtml(engine, mode, page)
                        : HtmlTranslation::translate(engine, mode, page, 0))
                   .size();
    }
    std::printf("%s: %lld characters in, %lld out, %lld ms\n",
                deshtml ? "apertium-deshtml" : "own deformatter", static_cast<long long>(in),
                static_cast<long long>(out), static_cast<long long>(timer.elapsed()));
    engine.stop();
    return 0;
}

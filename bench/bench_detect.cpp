// The two language identifiers Debian has, side by side on the same short
// texts of the ten languages: CLD2 (libcld2, as LanguageDetector uses it:
// restricted to the ten, a sure answer first and CLD2's best effort after)
// and LibreOffice's libexttextcat (given only the ten languages' models).
// Prints the share each gets right per set and language, and the median
// time per text.
//
//   bench_detect [--data DIR]   (default: tests/server/data of the sources)
#include "common/LanguageDetector.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

#ifdef TARQUELL_HAVE_TEXTCAT
#include <libexttextcat/textcat.h>
#endif

namespace {
using Clock = std::chrono::steady_clock;

struct Tally
{
    std::map<QString, std::pair<int, int>> perLanguage; // right, all
    int right = 0;
    int all = 0;
    std::vector<double> us;
    void add(const QString& code, bool ok, double micros)
    {
        perLanguage[code].first += ok;
        perLanguage[code].second += 1;
        right += ok;
        all += 1;
        us.push_back(micros);
    }
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void print(const char* name, const Tally& t)
{
    std::printf("  %-12s %5.1f%% (%d/%d)  %7.1f us |", name, 100.0 * t.right / std::max(1, t.all),
                t.right, t.all, median(t.us));
    for (const auto& [code, c] : t.perLanguage)
        std::printf(" %s %d", code.toUtf8().constData(), c.first);
    std::printf("\n");
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString data = QStringLiteral(TARQUELL_SOURCE_DIR "/tests/server/data");
    if (argc > 2 && QByteArray(argv[1]) == "--data")
        data = QString::fromLocal8Bit(argv[2]);

#ifdef TARQUELL_HAVE_TEXTCAT
    // The ten languages' models only, both Chinese scripts as "zh".
    QTemporaryDir dir;
    const QString conf = dir.filePath(QStringLiteral("ten.conf"));
    {
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        for (const char* code : {"en", "fr", "de", "es", "it", "pt", "ru", "ko", "ja"})
            f.write(QByteArray("/usr/share/libexttextcat/") + code + ".lm " + code + "\n");
        f.write("/usr/share/libexttextcat/zh-Hans.lm zh\n/usr/share/libexttextcat/zh-Hant.lm zh\n");
    }
    void* textcat = textcat_Init(conf.toLocal8Bit().constData());
    if (!textcat) {
        std::fprintf(stderr, "libexttextcat's models are missing (libexttextcat-data)\n");
        return 1;
    }
    textcat_SetProperty(textcat, TCPROP_UTF8AWARE, TC_TRUE);
    textcat_SetProperty(textcat, TCPROP_MINIMUM_DOCUMENT_SIZE, 1);
#endif

    std::printf("right answers of the best guess; median time per text; right per language\n");
    for (const char* set : {"detect-everyday.tsv", "detect-messages.tsv", "detect-phrases.tsv"}) {
        QFile f(data + QLatin1Char('/') + QLatin1String(set));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(f.fileName()));
            return 1;
        }
        Tally cld2;
        Tally exttextcat;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() != 3)
                continue;
            const QString code = QString::fromUtf8(fields[0]);
            const QString text = QString::fromUtf8(fields[2]);
            auto t0 = Clock::now();
            const auto guesses = LanguageDetector::detect(text);
            cld2.add(code, !guesses.isEmpty() && guesses.front().code == code,
                     std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
#ifdef TARQUELL_HAVE_TEXTCAT
            const QByteArray utf8 = fields[2];
            t0 = Clock::now();
            candidate_t* candidates = textcat_GetClassifyFullOutput(textcat);
            const int n = textcat_ClassifyFull(textcat, utf8.constData(),
                                               static_cast<size_t>(utf8.size()), candidates);
            const bool ok = n > 0 && code == QLatin1String(candidates[0].name);
            textcat_ReleaseClassifyFullOutput(textcat, candidates);
            exttextcat.add(code, ok,
                           std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
#endif
        }
        std::printf("%s\n", set);
        print("CLD2", cld2);
#ifdef TARQUELL_HAVE_TEXTCAT
        print("exttextcat", exttextcat);
#endif
    }
#ifdef TARQUELL_HAVE_TEXTCAT
    textcat_Done(textcat);
#endif
    return 0;
}

// The Viewer's page writer on large translations: time to write the page
// against a plain encode of the same text in the same charset (the
// baseline), for text the charset holds, text with a few characters it
// lacks, and text it lacks entirely (every character a reference).
//
//   bench_viewer [size in MB]      (default: 1)
#include "web/ViewerPage.h"

#include <QElapsedTimer>
#include <QStringEncoder>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

QString repeated(const QString& unit, qsizetype bytes)
{
    QString text;
    while (text.size() * 2 < bytes)
        text += unit;
    return text;
}

template <class F> double medianMs(F&& f)
{
    std::vector<double> ms;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const double mb = argc > 1 ? atof(argv[1]) : 1.0;
    const qsizetype bytes = qsizetype(mb * 1024 * 1024);
    const struct
    {
        const char* name;
        const char* charset;
        QString unit;
    } rows[] = {
        {"Japanese in EUC-JP", "EUC-JP", QStringLiteral("これは翻訳された文です。\n")},
        {"1 in 26 lacking", "EUC-JP", QStringLiteral("これは翻訳された文です한。\n")},
        {"Korean in EUC-JP", "EUC-JP", QStringLiteral("번역된 문장입니다\n")},
        {"Russian in iso-8859-5", "iso-8859-5", QStringLiteral("Это переведённый текст.\n")},
    };
    std::printf("%-24s %10s %14s %12s %8s\n", "text (UTF-16 MB)", "chars", "baseline ms", "page ms",
                "ratio");
    for (const auto& r : rows) {
        const QString text = repeated(r.unit, bytes);
        const QString charset = QString::fromLatin1(r.charset);
        qsizetype sink = 0;
        const double base = medianMs([&] {
            QStringEncoder encoder(r.charset);
            sink += QByteArray(encoder.encode(text)).size();
        });
        const double page = medianMs([&] { sink += viewerPage(text, charset).size(); });
        std::printf("%-24s %10lld %14.1f %12.1f %8.1f\n", r.name,
                    static_cast<long long>(text.size()), base, page, page / base);
        if (sink == 0)
            return 1;
    }
    return 0;
}

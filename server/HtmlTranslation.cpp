#include "HtmlTranslation.h"

#include "FilterProcess.h"
#include "HtmlPage.h"

namespace {
// Cuts after "[]" superblanks that follow a full stop: there
// apertium-deshtml ended a block, and the tagger lets the sentence go.
QList<QByteArray> pieces(const QByteArray& stream)
{
    QList<QByteArray> result;
    qsizetype start = 0;
    while (stream.size() - start > HtmlTranslation::streamPiece) {
        // An unescaped '[' is never inside a superblank: "[]" is one.
        const qsizetype cut = stream.indexOf(".[]", start + HtmlTranslation::streamPiece);
        if (cut < 0)
            break;
        result << stream.mid(start, cut + 3 - start);
        start = cut + 3;
    }
    result << stream.mid(start);
    return result;
}
} // namespace

QString HtmlTranslation::translate(TranslationEngine& engine, const TranslationMode& mode,
                                   const QString& html, std::chrono::milliseconds filterTimeout)
{
    if (mode.source == mode.target)
        return html;
    const QByteArray stream = runFilter(QStringLiteral("apertium-deshtml"), {},
                                        HtmlPage::spellOutLetters(html).toUtf8(), filterTimeout);
    QByteArray translated;
    for (const QByteArray& piece : pieces(stream))
        translated += engine.translateStream(mode, piece);
    return QString::fromUtf8(
        runFilter(QStringLiteral("apertium-rehtml"), {}, translated, filterTimeout));
}

#include "HtmlRoute.h"

#include "FilterProcess.h"
#include "HtmlPage.h"
#include "TranslationEngine.h"

namespace HtmlRoute {
// Cuts after "[]" superblanks that follow a full stop: there
// apertium-deshtml ended a block, and the tagger lets the sentence go.
QList<QByteArray> pieces(const QByteArray& stream, qsizetype maxBytes)
{
    QList<QByteArray> result;
    qsizetype start = 0;
    while (stream.size() - start > maxBytes) {
        // An unescaped '[' is never inside a superblank: "[]" is one.
        const qsizetype cut = stream.indexOf(".[]", start + maxBytes);
        if (cut < 0)
            break;
        result << stream.mid(start, cut + 3 - start);
        start = cut + 3;
    }
    result << stream.mid(start);
    return result;
}

QString translate(TranslationEngine& engine, const TranslationMode& mode, const QString& html,
                  qsizetype pieceBytes)
{
    if (mode.source == mode.target)
        return html;
    const QByteArray stream = runFilter(QStringLiteral("apertium-deshtml"), {},
                                        HtmlPage::spellOutLetters(html).toUtf8(), filterTimeout);
    QByteArray translated;
    if (pieceBytes <= 0) {
        translated = engine.translateStream(mode, stream);
    } else {
        for (const QByteArray& piece : pieces(stream, pieceBytes))
            translated += engine.translateStream(mode, piece);
    }
    return QString::fromUtf8(
        runFilter(QStringLiteral("apertium-rehtml"), {}, translated, filterTimeout));
}
} // namespace HtmlRoute

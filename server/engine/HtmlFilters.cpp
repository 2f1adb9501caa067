#include "server/engine/HtmlFilters.h"

#include "server/engine/ApertiumStream.h"

#include "server/engine/FilterProcess.h"
#include "server/engine/HtmlPage.h"
#include "server/engine/TranslationEngine.h"

namespace HtmlFilters {
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
        for (const QByteArray& piece : ApertiumStream::blockPieces(stream, pieceBytes))
            translated += engine.translateStream(mode, piece);
    }
    return QString::fromUtf8(
        runFilter(QStringLiteral("apertium-rehtml"), {}, translated, filterTimeout));
}
} // namespace HtmlFilters

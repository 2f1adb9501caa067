#include "server/engine/HtmlTranslation.h"

#include "server/engine/ApertiumStream.h"

#include "server/engine/HtmlPage.h"
#include "server/engine/HtmlStream.h"
#include "server/engine/TranslationEngine.h"

namespace HtmlTranslation {
QString translate(TranslationEngine& engine, const TranslationMode& mode, const QString& html,
                  qsizetype pieceBytes)
{
    if (mode.source == mode.target)
        return html;
    const QByteArray stream = HtmlStream::deformat(HtmlPage::spellOutLetters(html));
    QByteArray translated;
    if (pieceBytes <= 0) {
        translated = engine.translateStream(mode, stream);
    } else {
        for (const QByteArray& piece : ApertiumStream::blockPieces(stream, pieceBytes))
            translated += engine.translateStream(mode, piece);
    }
    return HtmlStream::reformat(translated);
}
} // namespace HtmlTranslation

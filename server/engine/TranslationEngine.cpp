#include "server/engine/TranslationEngine.h"

#include "server/engine/HtmlTranslation.h"

QString TranslationEngine::translateHtml(const TranslationMode& mode, const QString& html)
{
    return HtmlTranslation::translate(*this, mode, html);
}

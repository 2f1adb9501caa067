#include "server/engine/TranslationEngine.h"

#include "server/engine/HtmlRoute.h"

QString TranslationEngine::translateHtml(const TranslationMode& mode, const QString& html)
{
    return HtmlRoute::translate(*this, mode, html);
}

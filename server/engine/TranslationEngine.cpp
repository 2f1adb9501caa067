#include "server/engine/TranslationEngine.h"

#include "server/engine/HtmlFilters.h"

QString TranslationEngine::translateHtml(const TranslationMode& mode, const QString& html)
{
    return HtmlFilters::translate(*this, mode, html);
}

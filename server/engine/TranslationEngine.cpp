#include "server/engine/TranslationEngine.h"

#include "server/engine/HtmlRoute.h"

QString TranslationEngine::translateHtml(const TranslationMode& mode, const QString& html)
{
    return HtmlRoute::translate(*this, mode, html);
}

namespace EngineNote {
namespace {
thread_local QString note;
}

void set(const QString& engine)
{
    note = engine;
}

QString take()
{
    return std::exchange(note, QString());
}
} // namespace EngineNote

#include "server/api/ApiLanguages.h"

#include "server/api/ApiError.h"
#include "server/engine/TranslationEngine.h"

#include <QSet>
#include <algorithm>

ApiLanguages::Table ApiLanguages::table(const TranslationEngine& engine)
{
    const QStringList& codes = ServiceLanguages::codes();
    Table table;
    QSet<QString> reached;
    for (const QString& source : codes) {
        QStringList targets;
        for (const QString& target : codes) {
            if (target != source && engine.canTranslate({source, target}))
                targets << target;
        }
        targets.sort();
        for (const QString& t : std::as_const(targets))
            reached.insert(t);
        table.emplace_back(source, targets);
    }
    // A language nothing translates from or into is left out.
    std::erase_if(table, [&](const auto& row) {
        return row.second.isEmpty() && !reached.contains(row.first);
    });
    // A text already in the language asked for comes back as it is, so
    // every language is one of its own targets, as LibreTranslate lists it.
    for (auto& [code, targets] : table) {
        targets << code;
        targets.sort();
    }
    return table;
}

bool ApiLanguages::isSupported(const Table& table, const QString& code)
{
    return std::any_of(table.begin(), table.end(),
                       [&](const auto& row) { return row.first == code; });
}

TranslationMode ApiLanguages::checkedMode(const TranslationEngine& engine, const QString& source,
                                          const QString& target)
{
    const TranslationMode mode{source, target};
    if (source != target && !engine.canTranslate(mode))
        throw ApiError::invalid(
            QStringLiteral("%1 (%2) is not available as a target language from %3 (%4)")
                .arg(ServiceLanguages::name(target), target, ServiceLanguages::name(source),
                     source));
    return mode;
}

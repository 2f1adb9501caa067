#pragma once

#include "server/engine/LanguageModes.h"

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class TranslationEngine;

// The languages the API offers on an engine, as LibreTranslate lists them.
namespace ApiLanguages {
// Each of the ten languages the engine translates from or into, with the
// languages it translates it into, itself among them (a text already in
// the language asked for comes back as it is).
using Table = std::vector<std::pair<QString, QStringList>>;
Table table(const TranslationEngine& engine);
bool isSupported(const Table& table, const QString& code);
// The mode from source to target; throws ApiError (400) when the engine
// has no such pair.
TranslationMode checkedMode(const TranslationEngine& engine, const QString& source,
                            const QString& target);
} // namespace ApiLanguages

#pragma once

#include "server/engine/LanguageModes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <chrono>

class TranslationEngine;

// HTML through an engine that translates Apertium's stream format:
// apertium-deshtml puts the markup into superblanks, the engine translates
// the stream in pieces, apertium-rehtml puts the markup back.
namespace HtmlFilters {
// The stream in pieces of about this many bytes, each ending where
// apertium-deshtml ended a block: other requests for the same pair get
// their turn in between.
constexpr qsizetype streamPiece = 32 * 1024;
// How long a format filter may stay silent.
constexpr std::chrono::milliseconds filterTimeout{30000};

// pieceBytes 0 hands the engine the whole stream, for an engine that cuts
// it itself.
QString translate(TranslationEngine& engine, const TranslationMode& mode, const QString& html,
                  qsizetype pieceBytes = streamPiece);
} // namespace HtmlFilters

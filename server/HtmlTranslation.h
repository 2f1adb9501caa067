#pragma once

#include "TranslationEngine.h"

#include <QString>
#include <chrono>

// HTML translated with its markup kept: apertium-deshtml turns the page
// into Apertium's stream (the markup in superblanks), the engine translates
// the stream in pieces, apertium-rehtml puts the page back together. The
// web page gateway and the LibreTranslate API both translate HTML this way.
namespace HtmlTranslation {
// The stream in pieces of about this many bytes, each ending where
// apertium-deshtml ended a block: other requests for the same pair get
// their turn in between.
constexpr qsizetype streamPiece = 32 * 1024;

// filterTimeout bounds each of the two filter processes' silences. Throws
// TarquellError (or the engine's ServiceFault) when a step fails.
QString translate(TranslationEngine& engine, const TranslationMode& mode, const QString& html,
                  std::chrono::milliseconds filterTimeout);
} // namespace HtmlTranslation

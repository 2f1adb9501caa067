#pragma once

#include "server/engine/LanguageModes.h"

#include <QByteArray>
#include <QList>
#include <QString>

class TranslationEngine;

// HTML through an engine that translates Apertium's stream format:
// HtmlStream puts the markup into superblanks, the engine translates the
// stream in pieces, HtmlStream puts the markup back. No process is started:
// apertium-deshtml goes quadratic on a tag that never closes.
namespace HtmlTranslation {
// The stream in pieces of about this many bytes, each ending where the
// deformatter ended a block: other requests for the same pair get their
// turn in between.
constexpr qsizetype streamPiece = 32 * 1024;

// pieceBytes 0 hands the engine the whole stream, for an engine that cuts
// it itself.
QString translate(TranslationEngine& engine, const TranslationMode& mode, const QString& html,
                  qsizetype pieceBytes = streamPiece);
} // namespace HtmlTranslation

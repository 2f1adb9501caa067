#pragma once

#include <QByteArray>

class QTextDocument;

namespace Rtf {

// True when the bytes begin like an RTF document ("{\rtf", after blanks).
bool looksLikeRtf(const QByteArray& data);

// Replaces the document's content with the RTF document's text and
// formatting. Returns false, leaving the document untouched, when the data
// is not RTF. Hostile or truncated input is read as far as it goes: the
// reader never loops, and its depth and memory stay bounded by the input.
bool read(const QByteArray& data, QTextDocument& document);

} // namespace Rtf

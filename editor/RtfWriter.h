#pragma once

#include <QByteArray>

class QTextDocument;

namespace Rtf {

// The document as RTF: font, size, bold, italic, underline, strike-out,
// colours and paragraph alignment and indents are kept. The text is ASCII;
// everything else is written as \uN with "?" as the fallback character.
// Table cells become tab-separated paragraphs, list items get their marker.
QByteArray write(const QTextDocument& document);

} // namespace Rtf

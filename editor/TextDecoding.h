#pragma once

#include <QByteArray>
#include <QString>

namespace TextDecoding {

// Text from a file of unknown encoding: a UTF-8 or UTF-16 byte-order mark
// decides; else valid UTF-8 is read as UTF-8; else Windows-1252, which
// gives every byte a character, so nothing is lost or refused.
QString decode(const QByteArray& bytes);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(const QByteArray& bytes);

// The ICU/Qt codec name of a Windows code page (1250-1258, 874, 932, 936,
// 949, 950, 437, 850, 10000), or an empty name for one we do not know.
QByteArray codecNameForCodePage(int codePage);

// The code page of an RTF \fcharset value; 0 when it means "the
// document's own code page".
int codePageForCharset(int charset);

// Fonts that draw pictures and Greek letters at the places of ordinary
// letters: a "\'b7" in Symbol is a bullet, an "a" an alpha, a "\'fd" in
// Wingdings a checked box.
enum class SymbolFont { None, Symbol, Wingdings, Wingdings2, Wingdings3, Webdings };
SymbolFont symbolFontNamed(const QString& name);

// The Unicode character such a font draws for the byte, or 0 when it has
// none we know (the byte is then read as ordinary text). Many lie beyond
// the 16-bit range.
char32_t symbolFontChar(SymbolFont font, unsigned char byte);

} // namespace TextDecoding

#pragma once

#include <QString>
#include <QStringList>

// The file types /translate_file takes: those of the document translator
// (documents/DocumentTypes), as LibreTranslate spells them, with the dot.
// More types plug in by adding their row and route there.
namespace DocumentFormats {
// ".docx", ".odt", ... in the table's order.
QStringList extensions();
// True when the name's extension (letter case aside) is one of them.
bool takes(const QString& fileName);
} // namespace DocumentFormats

// ".txt" of "Report.final.TXT"; empty when the name has no extension.
QString fileExtension(const QString& fileName);

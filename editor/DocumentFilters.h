#pragma once

#include <QString>
#include <QStringList>

// The open and save dialogs' filters and how a chosen file is read.
namespace DocumentFilters {

// The filters as "description|pattern|description|pattern|...".
extern const char* const OpenFilter;
extern const char* const SaveFilter;
extern const char* const SaveDefaultExtension;

// The same entries in Qt's syntax ("Plain Text files (*.txt *.TXT)"), in
// the same order; patterns match both cases, "*.*" matches every file.
QStringList toQtFilters(const QString& filter);

enum class OpenRoute {
    Direct,  // read into the source pane, RTF or text
    Convert, // through the conversion program
};

// How a file chosen under the open dialog's filter index (1-based) is read:
// 1 and 2 directly, 3 and 4 through the conversion program; under "All
// files" the extension decides.
OpenRoute openRoute(int filterIndex, const QString& path);

} // namespace DocumentFilters

#pragma once

#include <QString>
#include <array>

// The ten languages: index (place in the language boxes and the flag
// list), display name, two-letter code, and whether a translation into it
// ends with the Viewer hint.
struct Language
{
    int index;
    QString name;
    QString code;
    QString flag; // famfamfam country file name, without ".png"
    bool viewerHint;
};

const std::array<Language, 10>& languageTable();

// -1 for a name that is no display name (the empty name included): the box
// is then left without a selection, showing what was typed.
int LanguageNameToIndex(const QString& name);
// A name that is no display name (or a code that is no code) comes back
// unchanged. Matching is exact and case-sensitive.
QString LanguageNameToCode(const QString& name);
QString LanguageCodeToName(const QString& code);
// The twenty pairs the text services translate in one step.
bool IsDirectMode(const QString& mode);
// True for the destinations whose translation ends with the Viewer hint.
bool NeedsViewerHint(const QString& code);

#pragma once

#include <QString>
#include <array>

// The ten languages of the translator, in its order, with the names other
// projects give them: FreeDict's three-letter codes, Hunspell's dictionary
// and Apertium's codes.
struct DictLanguage
{
    const char* code;          // "en"
    const char* name;          // "English", as the translator's language boxes show it
    const char* freedict;      // "eng"
    const char* hunspell;      // "en_US", empty when Debian has none
    const char* apertium;      // "eng", empty for none
    const char* apertiumShort; // "en": older pairs' file names ("fr-es"), empty for none
};

const std::array<DictLanguage, 10>& dictLanguages();
// Null for a code not among the ten.
const DictLanguage* dictLanguage(const QString& code);
const DictLanguage* dictLanguageByFreeDict(const QString& code3);

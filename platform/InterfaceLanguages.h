#pragma once

#include <QString>
#include <array>

// The interface languages of the Interface menu, in menu order: the name
// stored in [Interface] "Language", the menu item and its caption, whether
// the item has a command, and the primary-language identifier that makes
// detection choose it.
struct InterfaceLanguage
{
    const char* stored;   // empty: the item stores nothing (it has no command)
    const char* menuItem; // objectName of its Interface-menu item
    const char* caption;  // UTF-8
    bool visibleAtStart;
    const char* detectedBy; // two hex digits, or empty
};

const std::array<InterfaceLanguage, 9>& interfaceLanguages();

// The row whose stored name is exactly this one (names are compared as
// stored, case and all); null when none is.
const InterfaceLanguage* interfaceLanguageByName(const QString& stored);

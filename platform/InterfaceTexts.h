#pragma once

#include <QList>
#include <QString>
#include <array>

struct InterfaceLanguage;

// The texts an interface-language command puts on the main window: one row
// per control (menu titles, menu commands, toolbar and browser-mode
// buttons, the address label), one column per interface language in the
// order of its Interface-menu item. Everything not listed here keeps its
// text whatever the language.
inline constexpr int InterfaceTextLanguages = 8;
inline constexpr int InterfaceTextControls = 55;

struct InterfaceTextRow
{
    const char* control;                                  // objectName of the control
    std::array<const char*, InterfaceTextLanguages> text; // UTF-8, by column
};

const std::array<InterfaceTextRow, InterfaceTextControls>& interfaceTextTable();

// The column of a language, keyed by its stored name ("Chinois" for
// Chinese); -1 for a row without a command (Korean) or an unknown name.
int interfaceTextColumn(const QString& stored);

struct InterfaceText
{
    QString control;
    QString text;
};

// The texts of one language, in table order; empty when it has none.
QList<InterfaceText> interfaceTexts(const QString& stored);

// The names that screen readers say for the window's controls without a
// caption of their own: the glyph buttons (whose tool tip says the same),
// the language and gateway boxes and the two panes. Same columns as above.
inline constexpr int InterfaceNameControls = 13;
const std::array<InterfaceTextRow, InterfaceNameControls>& interfaceNameTable();
// The names of one language, in table order; empty when it has none.
QList<InterfaceText> interfaceNames(const QString& stored);

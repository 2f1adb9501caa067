#pragma once

#include <QString>

// The application title: the caption of the program's own message boxes.
// It has two blanks until an interface-language command sets it.
namespace AppTitle {
inline const QString StartTitle = QStringLiteral("Tarquell Translator  4.00");
inline const QString InterfaceTitle = QStringLiteral("Tarquell Translator 4.00");
QString get();
void set(const QString& title);
} // namespace AppTitle

#pragma once

#include <QString>

// Where the program keeps its files.
namespace ConfigPaths {

// The settings file: $XDG_CONFIG_HOME/TarquellTranslator.ini, or
// ~/.config/TarquellTranslator.ini when XDG_CONFIG_HOME is unset, empty or not
// an absolute path.
QString settingsFilePath();

// The folder of the running executable, without a trailing separator. Working
// files and sibling programs live here.
QString programFolder();

// Where working files (Result.rtf, Result.000, Result.txt, Result.htm) are
// written and read, by the window and its sibling programs alike: the
// folder named by TARQUELL_WORK_DIR when that is set to an absolute path,
// else the program folder.
QString workingFolder();

} // namespace ConfigPaths

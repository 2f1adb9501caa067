#pragma once

#include <QString>

// Where the program keeps its files.
namespace ConfigPaths {

// The settings file: $XDG_CONFIG_HOME/TarquellTranslator.ini, or
// ~/.config/TarquellTranslator.ini when XDG_CONFIG_HOME is unset, empty or not
// an absolute path.
QString settingsFilePath();

// The translation service's own settings file, by the same rule:
// $XDG_CONFIG_HOME/tarquell-service.ini, else ~/.config/tarquell-service.ini.
QString serviceSettingsFilePath();

// The folder of the running executable, without a trailing separator. Working
// files and sibling programs live here.
QString programFolder();

// Where working files (Result.rtf, Result.000, Result.txt, Result.htm) are
// written and read, by the window and its sibling programs alike: the
// folder named by TARQUELL_WORK_DIR when that is set to an absolute path,
// else workingFolderFor(programFolder()).
QString workingFolder();

// The program folder when files can be created in it, else the per-user
// folder (created here). An installed program under /usr is the usual
// reason for the second.
QString workingFolderFor(const QString& programFolder);

// $XDG_CACHE_HOME/TarquellTranslator, or ~/.cache/TarquellTranslator when
// XDG_CACHE_HOME is unset, empty or not an absolute path.
QString userWorkingFolder();

// True when a file can be created in the folder: tried for real (and
// removed), since permission bits do not tell for root, read-only mounts
// or a folder that does not exist.
bool canCreateFiles(const QString& folder);

// The window sets TARQUELL_WORK_DIR to its working folder at start, so the
// sibling programs it starts inherit the same folder. Returns the folder.
QString publishWorkingFolder();

} // namespace ConfigPaths

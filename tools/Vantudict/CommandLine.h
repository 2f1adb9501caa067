#pragma once

#include <QString>
#include <QStringList>

class DictLibrary;
class QTextStream;

// Vantudict's arguments:
//   Vantudict [--from CODE] [--to CODE] [--server dict://HOST:PORT]
//   Vantudict --lookup WORD [--from CODE] [--to CODE] [--server ...]
//   Vantudict --list
struct CommandLine
{
    enum class Mode { Window, Lookup, List, Help, Error };
    Mode mode = Mode::Window;
    QString word, from, to, server;
    QString error;
};

// arguments: without the program's name.
CommandLine parseCommandLine(const QStringList& arguments);

QString usageText();

// --lookup: the entries on out, exit status 0; "No entry for WORD." on err
// and 1 when there is none.
int runLookup(const CommandLine& line, DictLibrary& library, QTextStream& out, QTextStream& err);
// --list: the dictionaries found.
int runList(DictLibrary& library, QTextStream& out);

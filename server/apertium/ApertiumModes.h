#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One program of an Apertium pipeline, ready to start.
struct ApertiumStage
{
    QString program; // absolute path
    QStringList arguments;

    bool operator==(const ApertiumStage&) const = default;
};

// An installed Apertium translation direction, from its .mode file.
struct ApertiumMode
{
    QString name;   // "eng-spa"
    QString source; // client language codes: "en"
    QString target; // "es"
    QList<ApertiumStage> stages;
};

namespace ApertiumModes {
// Whether the generator marks the words it did not know ("*Frontend"), as
// Apertium does by default, or leaves them plain, as "apertium -u" does.
enum class Unknown { Plain, Marked };

// The stages of a .mode file's command line, each set up to flush on the
// null character (-z). "$1", the generator's option, becomes -n (no marks)
// or -g (marks); "$2" is dropped. Only plain pipes of programs with quoted
// or bare arguments are accepted: anything else sets *error and returns
// nothing. Program names are left as written.
QList<ApertiumStage> parseModeLine(const QString& line, QString* error,
                                   Unknown unknown = Unknown::Plain);

// What a folder of .mode files offers. Modes for other languages than the
// client's ten, dialect variants of a pair that has a plain mode, and modes
// whose programs or data files are missing are left out; notes says why
// for the last kind.
struct Scan
{
    QList<ApertiumMode> modes;
    QStringList notes;
};
Scan scan(const QString& modesDir, Unknown unknown = Unknown::Plain);

// The executable for a program name: as given when it holds a slash,
// otherwise searched on PATH. Empty when none is found.
QString findProgram(const QString& program);
} // namespace ApertiumModes

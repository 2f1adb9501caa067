#pragma once

#include <QString>
#include <QStringList>

// What tarquell-translate was asked to do.
struct CommandLine
{
    QString from; // language codes; empty: the one of the settings file;
                  // "auto": detected for each input
    QString to;
    int server = 1;    // text server 1..3
    int piece = 0;     // > 0: piecewise, with the window's piece-size rule
    QStringList files; // empty: standard input; "-" is standard input too
    QString output;    // -o: where the one input's translation goes
    bool list = false;
    bool help = false;
    bool verbose = false;

    // Throws TarquellError with the text to show for a wrong command line.
    static CommandLine parse(const QStringList& arguments);
    static QString usage();
};

// A language given as its code or its English name, in any case; empty
// when it is neither.
QString languageCodeOf(const QString& given);

// Vantudict, the dictionary the translator's Tools menu starts: a window,
// or lookups on the command line (see usageText()).
#include "tools/Vantudict/CommandLine.h"
#include "tools/Vantudict/DictLibrary.h"
#include "tools/Vantudict/VantuSettings.h"
#include "tools/Vantudict/VantudictWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <memory>

namespace {

// Where the dictionaries are: Debian's folders, unless the environment
// names others (tests, a private collection).
DictLibrary::Folders folders()
{
    DictLibrary::Folders f;
    const QString dictd = qEnvironmentVariable("VANTUDICT_DICTD_DIR");
    if (!dictd.isEmpty())
        f.dictd = dictd;
    const QString apertium = qEnvironmentVariable("VANTUDICT_APERTIUM_DIR");
    if (!apertium.isEmpty())
        f.apertium = apertium;
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine line = parseCommandLine(arguments);
    QTextStream out(stdout), err(stderr);
    switch (line.mode) {
    case CommandLine::Mode::Error:
        err << line.error << '\n' << usageText();
        return 2;
    case CommandLine::Mode::Help:
        out << usageText();
        return 0;
    case CommandLine::Mode::List: {
        QCoreApplication app(argc, argv);
        DictLibrary library(folders());
        return runList(library, out);
    }
    case CommandLine::Mode::Lookup: {
        QCoreApplication app(argc, argv);
        DictLibrary library(folders());
        CommandLine l = line;
        if (l.server.isEmpty())
            l.server = VantuSettings::load().server;
        return runLookup(l, library, out, err);
    }
    case CommandLine::Mode::Window:
        break;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantudict"));
    VantuSettings settings = VantuSettings::load();
    if (!line.from.isEmpty())
        settings.from = line.from;
    if (!line.to.isEmpty())
        settings.to = line.to;
    if (!line.server.isEmpty())
        settings.server = line.server;
    DictLibrary library(folders());
    VantudictWindow window(library, settings);
    window.show();
    return QApplication::exec();
}

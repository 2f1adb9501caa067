#include "tools/Vantudict/CommandLine.h"

#include "tools/Vantudict/DictLibrary.h"
#include "tools/Vantudict/Languages.h"

#include <QTextStream>

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    const auto error = [&line](const QString& message) {
        line.mode = CommandLine::Mode::Error;
        line.error = message;
        return line;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        QString* value = nullptr;
        if (a == QLatin1String("--lookup")) {
            line.mode = CommandLine::Mode::Lookup;
            value = &line.word;
        } else if (a == QLatin1String("--from")) {
            value = &line.from;
        } else if (a == QLatin1String("--to")) {
            value = &line.to;
        } else if (a == QLatin1String("--server")) {
            value = &line.server;
        } else if (a == QLatin1String("--list")) {
            line.mode = CommandLine::Mode::List;
            continue;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            line.mode = CommandLine::Mode::Help;
            return line;
        } else {
            return error(QStringLiteral("Unknown argument: %1").arg(a));
        }
        if (i + 1 == arguments.size())
            return error(QStringLiteral("%1 needs a value.").arg(a));
        *value = arguments[++i];
    }
    for (const QString* code : {&line.from, &line.to})
        if (!code->isEmpty() && !dictLanguage(*code))
            return error(
                QStringLiteral("Unknown language code: %1 (en, fr, de, es, it, pt, ru, zh, ko, ja)")
                    .arg(*code));
    if (line.mode == CommandLine::Mode::Lookup && line.word.trimmed().isEmpty())
        return error(QStringLiteral("--lookup needs a word."));
    return line;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: Vantudict [--from CODE] [--to CODE] [--server dict://HOST:PORT]\n"
        "       Vantudict --lookup WORD [--from CODE] [--to CODE] [--server dict://HOST:PORT]\n"
        "       Vantudict --list\n"
        "Codes: en fr de es it pt ru zh ko ja (English to German unless given).\n");
}

int runLookup(const CommandLine& line, DictLibrary& library, QTextStream& out, QTextStream& err)
{
    const QString from = line.from.isEmpty() ? QStringLiteral("en") : line.from;
    const QString to = line.to.isEmpty() ? QStringLiteral("de") : line.to;
    const LookupResult result = library.lookup(line.word, from, to, line.server);
    for (const QString& note : result.notes)
        err << note << '\n';
    if (result.entries.isEmpty()) {
        err << QStringLiteral("No entry for %1.").arg(line.word) << '\n';
        return 1;
    }
    bool first = true;
    for (const DictEntry& e : result.entries) {
        if (!first)
            out << '\n';
        first = false;
        if (!e.note.isEmpty())
            out << '(' << e.note << ")\n";
        out << formatEntry(e);
        if (!e.source.isEmpty())
            out << "  [" << e.source << "]\n";
    }
    return 0;
}

int runList(DictLibrary& library, QTextStream& out)
{
    for (const DictionaryInfo& d : library.dictionaries()) {
        out << QStringLiteral("%1\t%2 -> %3\t%4\t%5\n")
                   .arg(d.name, QLatin1String(dictLanguage(d.from)->name),
                        QLatin1String(dictLanguage(d.to)->name), d.kind, d.path);
    }
    if (library.dictionaries().isEmpty())
        out << "No dictionaries found: install dict-freedict-eng-deu and the others.\n";
    out << "Chinese and Korean: no dictionary (Debian has none).\n";
    return 0;
}

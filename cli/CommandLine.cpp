#include "cli/CommandLine.h"

#include "platform/Errors.h"
#include "translate/Languages.h"

namespace {
int numberArgument(const QString& option, const QString& value, int low, int high)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < low || n > high)
        throw TarquellError(QStringLiteral("%1 wants a number from %2 to %3, not \"%4\"")
                                .arg(option)
                                .arg(low)
                                .arg(high)
                                .arg(value));
    return n;
}

QString languageArgument(const QString& option, const QString& value)
{
    const QString code = languageCodeOf(value);
    if (code.isEmpty())
        throw TarquellError(
            QStringLiteral("%1: unknown language \"%2\" (--list shows the languages)")
                .arg(option, value));
    return code;
}
} // namespace

QString languageCodeOf(const QString& given)
{
    for (const Language& l : languageTable())
        if (given.compare(l.code, Qt::CaseInsensitive) == 0 ||
            given.compare(l.name, Qt::CaseInsensitive) == 0)
            return l.code;
    return QString();
}

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine c;
    bool optionsEnd = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        if (optionsEnd || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            c.files << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        // --name=value is the same as --name value.
        QString inlineValue;
        bool hasInline = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            inlineValue = arg.section(QLatin1Char('='), 1);
            arg = arg.section(QLatin1Char('='), 0, 0);
            hasInline = true;
        }
        auto value = [&]() -> QString {
            if (hasInline)
                return inlineValue;
            if (i + 1 >= arguments.size())
                throw TarquellError(QStringLiteral("%1 needs a value").arg(arg));
            return arguments[++i];
        };
        if (arg == QLatin1String("-f") || arg == QLatin1String("--from")) {
            const QString from = value();
            c.from = from.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0
                         ? QStringLiteral("auto")
                         : languageArgument(arg, from);
        } else if (arg == QLatin1String("-t") || arg == QLatin1String("--to"))
            c.to = languageArgument(arg, value());
        else if (arg == QLatin1String("-o") || arg == QLatin1String("--output")) {
            c.output = value();
            if (c.output.isEmpty())
                throw TarquellError(QStringLiteral("%1 needs a file name").arg(arg));
        } else if (arg == QLatin1String("--server"))
            c.server = numberArgument(arg, value(), 1, 3);
        else if (arg == QLatin1String("--piece"))
            c.piece = numberArgument(arg, value(), 1, 1 << 30);
        else if (arg == QLatin1String("--list") && !hasInline)
            c.list = true;
        else if ((arg == QLatin1String("-h") || arg == QLatin1String("--help")) && !hasInline)
            c.help = true;
        else if ((arg == QLatin1String("-v") || arg == QLatin1String("--verbose")) && !hasInline)
            c.verbose = true;
        else
            throw TarquellError(QStringLiteral("unknown option \"%1\"").arg(arguments[i]));
    }
    return c;
}

QString CommandLine::usage()
{
    return QStringLiteral(
        "Usage: tarquell-translate [-f LANG] [-t LANG] [OPTION...] [FILE...]\n"
        "Translates standard input, or each FILE in turn, and writes the translation\n"
        "to standard output, through the same services as Tarquell Translator.\n"
        "Documents (.docx, .odt, .pptx, .xlsx, .rtf, .html, .epub, .srt, .doc and the\n"
        "other types of the document service) are translated with their layout into\n"
        "a file beside them: report.docx into report.es.docx.\n"
        "\n"
        "  -f, --from LANG   source language, a code or a name (default: the window's);\n"
        "                    auto detects the language of each input (-v tells which)\n"
        "  -t, --to LANG     destination language (default: the window's)\n"
        "  -o, --output FILE write the translation of the one input to FILE\n"
        "  --server N        text server 1, 2 or 3 (default 1)\n"
        "  --piece N         send the text in pieces of N characters (3000 when N is\n"
        "                    100 or less), as the piecewise option of the window does\n"
        "  --list            print the languages and their codes\n"
        "  -v, --verbose     tell on standard error what is being done\n"
        "  -h, --help        print this text\n"
        "\n"
        "Service locations, proxy and time-out come from the [Services] and\n"
        "[Options] sections of TarquellTranslator.ini (documents: \"Document Service\").\n"
        "When they are the default ones and no local service answers, tarquell-service\n"
        "is started for the length of the run. A document that fails does not stop\n"
        "the others. Exit status: 0 done, 1 a translation failed, 2 a wrong command\n"
        "line or an unreadable file.\n");
}

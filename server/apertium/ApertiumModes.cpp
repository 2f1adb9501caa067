#include "server/apertium/ApertiumModes.h"

#include "server/engine/LanguageModes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <map>

namespace ApertiumModes {
namespace {
// Splits a stage into words, shell style: blanks separate, single quotes
// keep everything, double quotes and backslashes keep one level.
bool splitWords(const QString& stage, QStringList* words, QString* error)
{
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < stage.size(); ++i) {
        const QChar c = stage[i];
        if (c == QLatin1Char('\'')) {
            const qsizetype end = stage.indexOf(QLatin1Char('\''), i + 1);
            if (end < 0) {
                *error = QStringLiteral("unbalanced single quote");
                return false;
            }
            word += stage.mid(i + 1, end - i - 1);
            inWord = true;
            i = end;
        } else if (c == QLatin1Char('"')) {
            qsizetype j = i + 1;
            for (; j < stage.size() && stage[j] != QLatin1Char('"'); ++j) {
                if (stage[j] == QLatin1Char('\\') && j + 1 < stage.size())
                    ++j;
                else if (stage[j] == QLatin1Char('$') || stage[j] == QLatin1Char('`')) {
                    *error = QStringLiteral("expansion inside double quotes");
                    return false;
                }
                word += stage[j];
            }
            if (j >= stage.size()) {
                *error = QStringLiteral("unbalanced double quote");
                return false;
            }
            inWord = true;
            i = j;
        } else if (c == QLatin1Char('\\') && i + 1 < stage.size()) {
            word += stage[++i];
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                *words << word;
            word.clear();
            inWord = false;
        } else if (QStringLiteral(";&<>()`").contains(c)) {
            *error = QStringLiteral("the shell construct '%1'").arg(c);
            return false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        *words << word;
    return true;
}

// Splits the line at pipes that are outside quotes; the stages keep their
// quoting for splitWords.
QStringList splitStages(const QString& line)
{
    QStringList stages;
    QString current;
    QChar quote;
    for (qsizetype i = 0; i < line.size(); ++i) {
        QChar c = line[i];
        const bool escape =
            c == QLatin1Char('\\') && i + 1 < line.size() && quote != QLatin1Char('\'');
        if (escape) {
            current += c;
            c = line[++i];
        } else if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('|')) {
            stages << current;
            current.clear();
            continue;
        }
        current += c;
    }
    stages << current;
    return stages;
}

struct ModeName
{
    QString source;
    QString target;
    bool variant = false;
};

// "eng-spa" or "es-pt_BR"; names with more parts ("eco-es-fr", debugging
// modes) are not translation directions.
bool readModeName(const QString& name, ModeName* out)
{
    const QStringList parts = name.split(QLatin1Char('-'));
    if (parts.size() != 2)
        return false;
    QString target = parts[1];
    const qsizetype underscore = target.indexOf(QLatin1Char('_'));
    if (underscore >= 0) {
        target.truncate(underscore);
        out->variant = true;
    }
    out->source = ServiceLanguages::fromApertiumCode(parts[0]);
    out->target = ServiceLanguages::fromApertiumCode(target);
    return !out->source.isEmpty() && !out->target.isEmpty() && out->source != out->target;
}
} // namespace

QList<ApertiumStage> parseModeLine(const QString& line, QString* error, Unknown unknown)
{
    QList<ApertiumStage> stages;
    for (const QString& text : splitStages(line.trimmed())) {
        QStringList words;
        QString why;
        if (!splitWords(text, &words, &why)) {
            *error = QStringLiteral("the command line has %1").arg(why);
            return {};
        }
        if (words.isEmpty()) {
            *error = QStringLiteral("the command line has an empty stage");
            return {};
        }
        ApertiumStage stage;
        stage.program = words.takeFirst();
        stage.arguments << QStringLiteral("-z");
        for (const QString& word : std::as_const(words)) {
            if (word == QLatin1String("$1"))
                stage.arguments << (unknown == Unknown::Marked ? QStringLiteral("-g")
                                                               : QStringLiteral("-n"));
            else if (word == QLatin1String("$2") || word == QLatin1String("-z"))
                continue;
            else if (word.contains(QLatin1Char('$'))) {
                *error = QStringLiteral("the command line uses the variable %1").arg(word);
                return {};
            } else
                stage.arguments << word;
        }
        stages << stage;
    }
    return stages;
}

QString findProgram(const QString& program)
{
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(program);
}

Scan scan(const QString& modesDir, Unknown unknown)
{
    Scan result;
    const QDir dir(modesDir);
    // Plain modes first so that a variant only stands in for a missing one.
    std::map<std::pair<QString, QString>, std::pair<bool, ApertiumMode>> chosen;
    const QStringList files =
        dir.entryList({QStringLiteral("*.mode")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& file : files) {
        const QString name = file.chopped(5);
        ModeName modeName;
        if (!readModeName(name, &modeName))
            continue;
        const auto key = std::make_pair(modeName.source, modeName.target);
        const auto existing = chosen.find(key);
        if (existing != chosen.end() && (!existing->second.first || modeName.variant))
            continue;

        QFile f(dir.filePath(file));
        if (!f.open(QIODevice::ReadOnly)) {
            result.notes << QStringLiteral("%1: the mode file cannot be read").arg(name);
            continue;
        }
        QString why;
        QList<ApertiumStage> stages =
            parseModeLine(QString::fromUtf8(f.readAll()).simplified(), &why, unknown);
        if (stages.isEmpty()) {
            result.notes << QStringLiteral("%1: %2").arg(name, why);
            continue;
        }
        bool usable = true;
        for (ApertiumStage& stage : stages) {
            const QString path = findProgram(stage.program);
            if (path.isEmpty()) {
                result.notes << QStringLiteral("%1: the program %2 is not installed")
                                    .arg(name, stage.program);
                usable = false;
                break;
            }
            stage.program = path;
            for (const QString& argument : std::as_const(stage.arguments)) {
                if (argument.startsWith(QLatin1Char('/')) && !QFileInfo::exists(argument)) {
                    result.notes
                        << QStringLiteral("%1: the file %2 is missing").arg(name, argument);
                    usable = false;
                    break;
                }
            }
            if (!usable)
                break;
        }
        if (!usable)
            continue;
        chosen[key] = {modeName.variant,
                       ApertiumMode{name, modeName.source, modeName.target, stages}};
    }
    for (auto& entry : chosen)
        result.modes << entry.second.second;
    return result;
}
} // namespace ApertiumModes

#include "tools/Vantudict/DictEntry.h"

#include <QRegularExpression>

namespace {

// Entries never need more; what goes past is cut, not refused.
constexpr int MaxSenses = 200;

const QRegularExpression& senseNumber()
{
    static const QRegularExpression number(QStringLiteral("^\\d{1,3}\\.\\s+"));
    return number;
}

} // namespace

DictEntry parseDictEntry(const QString& text)
{
    DictEntry entry;
    const QStringList lines = text.split(u'\n');
    qsizetype i = 0;
    while (i < lines.size() && lines[i].trimmed().isEmpty())
        ++i;
    if (i == lines.size())
        return entry;

    QString head = lines[i++].trimmed();
    // The part of speech closes the line: "house /haʊs/ <n, fem>".
    if (head.endsWith(u'>')) {
        const qsizetype open = head.lastIndexOf(u'<');
        if (open > 0) {
            entry.partOfSpeech = head.mid(open + 1, head.size() - open - 2).trimmed();
            head = head.left(open).trimmed();
        }
    }
    // Pronunciations: from the first " /" to the end ("//haʊs// //hʌʊs//").
    const qsizetype slash = head.indexOf(QLatin1String(" /"));
    if (slash > 0 && head.endsWith(u'/')) {
        entry.pronunciation = head.mid(slash + 1).trimmed();
        head = head.left(slash).trimmed();
    }
    entry.headword = head;

    // Where the senses are numbered, a line at the margin without a number
    // explains the sense above it.
    bool numbered = false;
    for (; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        const bool hasNumber = senseNumber().match(trimmed).hasMatch();
        if (entry.senses.isEmpty())
            numbered = hasNumber;
        const bool opens =
            entry.senses.isEmpty() || (!line.front().isSpace() && (!numbered || hasNumber));
        if (opens) {
            if (entry.senses.size() == MaxSenses)
                break;
            QString sense = trimmed;
            sense.remove(senseNumber());
            entry.senses.append(sense);
        } else {
            entry.senses.last() += u'\n' + trimmed;
        }
    }
    return entry;
}

QString formatEntry(const DictEntry& entry)
{
    QString out = entry.headword;
    if (!entry.pronunciation.isEmpty())
        out += u' ' + entry.pronunciation;
    if (!entry.partOfSpeech.isEmpty())
        out += QStringLiteral(" <%1>").arg(entry.partOfSpeech);
    out += u'\n';
    int n = 0;
    for (const QString& sense : entry.senses) {
        const QStringList parts = sense.split(u'\n');
        out += QStringLiteral("  %1. %2\n").arg(++n).arg(parts.front());
        for (qsizetype k = 1; k < parts.size(); ++k)
            out += QStringLiteral("       %1\n").arg(parts[k]);
    }
    return out;
}

QStringList translationsOf(const DictEntry& entry, int most)
{
    static const QRegularExpression notes(QStringLiteral("<[^>]*>|\\[[^\\]]*\\]|\\([^)]*\\)"));
    QStringList out;
    for (const QString& sense : entry.senses) {
        QString first = sense.section(u'\n', 0, 0);
        first.remove(notes);
        for (const QString& part : first.split(QRegularExpression(QStringLiteral("[,;]")))) {
            const QString word = part.simplified();
            if (word.isEmpty() || out.contains(word))
                continue;
            out.append(word);
            if (out.size() == most)
                return out;
        }
    }
    return out;
}

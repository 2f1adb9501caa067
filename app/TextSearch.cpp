#include "app/TextSearch.h"

namespace TextSearch {

QString paneText(const QString& rawDocumentText)
{
    QString text = rawDocumentText;
    for (QChar& c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = u'\n';
    }
    return text;
}

QString foldBreaks(const QString& text)
{
    QString folded;
    folded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            folded += u'\n';
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else {
            folded += c;
        }
    }
    return folded;
}

qsizetype findNext(const QString& text, const QString& what, qsizetype from)
{
    if (what.isEmpty() || from < 0 || from > text.size())
        return -1;
    return text.indexOf(what, from, Qt::CaseSensitive);
}

QList<qsizetype> findAll(const QString& text, const QString& what)
{
    QList<qsizetype> found;
    for (qsizetype p = findNext(text, what, 0); p >= 0; p = findNext(text, what, p + what.size()))
        found.append(p);
    return found;
}

} // namespace TextSearch

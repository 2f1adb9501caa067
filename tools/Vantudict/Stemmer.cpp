#include "tools/Vantudict/Stemmer.h"

#include "tools/Vantudict/DictError.h"

#include <QFile>
#include <hunspell/hunspell.hxx>

Stemmer::Stemmer(const QString& affPath, const QString& dicPath)
{
    if (!QFile::exists(affPath) || !QFile::exists(dicPath))
        throw DictError(QStringLiteral("The Hunspell dictionary %1 is missing.").arg(dicPath));
    m_hunspell = std::make_unique<Hunspell>(QFile::encodeName(affPath).constData(),
                                            QFile::encodeName(dicPath).constData());
    const std::string encoding = m_hunspell->get_dict_encoding();
    m_utf8 = encoding == "UTF-8" || encoding == "utf-8";
}

Stemmer::~Stemmer() = default;

QStringList Stemmer::stems(const QString& word) const
{
    QStringList out;
    // Hunspell is not meant for sentences; a long word is no word.
    if (word.isEmpty() || word.size() > 100)
        return out;
    const std::string bytes = m_utf8 ? word.toStdString() : word.toLatin1().toStdString();
    for (const std::string& s : m_hunspell->stem(bytes)) {
        const QString stem =
            m_utf8 ? QString::fromStdString(s) : QString::fromLatin1(s.data(), qsizetype(s.size()));
        if (stem.compare(word, Qt::CaseInsensitive) != 0 && !out.contains(stem))
            out.append(stem);
        if (out.size() == 4)
            break;
    }
    return out;
}

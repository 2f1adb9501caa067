#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class Hunspell;

// The stems Hunspell gives for an inflected word ("houses": "house"), from
// Debian's hunspell-* dictionaries.
class Stemmer
{
public:
    // Throws DictError when the dictionary files cannot be read.
    Stemmer(const QString& affPath, const QString& dicPath);
    ~Stemmer();

    // The stems other than the word itself, most likely first; at most a few.
    QStringList stems(const QString& word) const;

private:
    std::unique_ptr<Hunspell> m_hunspell;
    bool m_utf8 = true;
};

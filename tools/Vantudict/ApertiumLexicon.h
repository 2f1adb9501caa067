#pragma once

#include "tools/Vantudict/DictEntry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class FSTProcessor;

// An installed Apertium pair's analyser and bilingual dictionary, run in
// this process through lttoolbox: "houses" is analysed to house<n><pl>,
// which the bilingual dictionary gives as casa<n><f>. Loaded on first use.
class ApertiumLexicon
{
public:
    ApertiumLexicon(QString analyserPath, QString bilingualPath, QString name);
    ~ApertiumLexicon();

    // The word's lemmas and their translations, one entry per lemma and
    // part of speech. Throws DictError when the pair's files cannot be read.
    QList<DictEntry> lookup(const QString& word);
    // The lemmas the analyser finds for the word, the word itself left out.
    QStringList lemmas(const QString& word);

    const QString& name() const noexcept { return m_name; }
    bool loaded() const noexcept { return bool(m_analyser); }
    // Frees the transducers (tens of megabytes); the next lookup loads them again.
    void unload();

private:
    void load();
    // The analyses of the word: "house<n><pl>", ...
    QStringList analyse(const QString& word);

    QString m_analyserPath, m_bilingualPath, m_name;
    std::unique_ptr<FSTProcessor> m_analyser, m_bilingual;
};

#pragma once

#include "tools/Vantudict/DictEntry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

class ApertiumLexicon;
class DictData;
class DictIndex;
class Stemmer;

// One dictionary found on this machine.
struct DictionaryInfo
{
    QString name;     // "freedict-eng-deu", "apertium eng-spa"
    QString from, to; // two-letter codes
    QString kind;     // "FreeDict" or "Apertium"
    QString path;     // the index or the bilingual dictionary
};

struct LookupResult
{
    QList<DictEntry> entries;
    // Said above the entries: how the pair was served, what is missing,
    // what could not be read.
    QStringList notes;
};

// Where Debian's packages put the dictionaries.
struct DictFolders
{
    QString dictd = QStringLiteral("/usr/share/dictd");
    QString hunspell = QStringLiteral("/usr/share/hunspell");
    QString apertium = QStringLiteral("/usr/share/apertium");
};

// Every dictionary of this machine, opened when first needed: FreeDict's
// dictd files, Apertium's bilingual dictionaries of the installed pairs,
// Hunspell's stems, and a DICT server when one is named.
class DictLibrary
{
public:
    using Folders = DictFolders;
    static constexpr int MaxEntries = 40;
    // Loaded at once, at most: Hunspell's dictionaries take 5 to 16 MB
    // each and an Apertium pair 20 to 60 MB in memory, against a few MB for
    // every FreeDict dictionary mapped. The least recently used goes.
    static constexpr int MaxStemmers = 2;
    static constexpr int MaxApertium = 1;

    explicit DictLibrary(Folders folders = Folders());
    ~DictLibrary();

    const QList<DictionaryInfo>& dictionaries() const noexcept { return m_infos; }
    // A dictionary of the pair itself, FreeDict's or Apertium's.
    bool hasDirect(const QString& from, const QString& to) const;

    // The entries of the word from one language to another. server: a
    // dict://host:port address, or empty for none.
    LookupResult lookup(const QString& word, const QString& from, const QString& to,
                        const QString& server = QString());

    // Opens every dictionary and analyser at once (the benchmark's memory
    // figure); returns the messages of those that could not be opened.
    QStringList openAll();

private:
    struct FreeDict
    {
        DictionaryInfo info;
        std::unique_ptr<DictIndex> index;
        std::unique_ptr<DictData> data;
    };
    void scanFreeDict();
    void scanApertium();
    FreeDict* freeDict(const QString& from, const QString& to);
    ApertiumLexicon* apertium(const QString& from, const QString& to);
    Stemmer* stemmer(const QString& language);
    void open(FreeDict& d);
    QList<DictEntry> findFreeDict(FreeDict& d, const QString& word);
    // Direct dictionaries of the pair, the word's stems included.
    QList<DictEntry> direct(const QString& word, const QString& from, const QString& to,
                            QStringList& notes);
    void throughEnglish(const QString& word, const QString& from, const QString& to,
                        LookupResult& result);
    void fromServer(const QString& server, const QString& word, const QString& from,
                    const QString& to, LookupResult& result);

    Folders m_folders;
    QList<DictionaryInfo> m_infos;
    std::map<QString, FreeDict> m_freeDicts;                        // by "en-de"
    std::map<QString, std::unique_ptr<ApertiumLexicon>> m_apertium; // by "en-es"
    std::map<QString, std::unique_ptr<Stemmer>> m_stemmers;         // by "en", null: none
    QStringList m_stemmerUse, m_apertiumUse;                        // most recently used last
};

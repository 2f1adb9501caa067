#include "tools/Vantudict/DictLibrary.h"

#include "tools/Vantudict/ApertiumLexicon.h"
#include "tools/Vantudict/DictClient.h"
#include "tools/Vantudict/DictData.h"
#include "tools/Vantudict/DictError.h"
#include "tools/Vantudict/DictIndex.h"
#include "tools/Vantudict/Languages.h"
#include "tools/Vantudict/Stemmer.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QString pairKey(const QString& from, const QString& to)
{
    return from + u'-' + to;
}

QString languageName(const QString& code)
{
    const DictLanguage* l = dictLanguage(code);
    return l ? QString::fromLatin1(l->name) : code;
}

// The two-letter code of a FreeDict or Apertium language code, or empty.
QString codeOf(const QString& other)
{
    for (const DictLanguage& l : dictLanguages())
        if (other == QLatin1String(l.freedict) ||
            (*l.apertium && other == QLatin1String(l.apertium)) ||
            (*l.apertiumShort && other == QLatin1String(l.apertiumShort)))
            return QString::fromLatin1(l.code);
    return QString();
}

bool hasNoDictionary(const QString& code)
{
    return code == QLatin1String("zh") || code == QLatin1String("ko");
}

} // namespace

DictLibrary::DictLibrary(Folders folders) : m_folders(std::move(folders))
{
    scanFreeDict();
    scanApertium();
}

DictLibrary::~DictLibrary() = default;

void DictLibrary::scanFreeDict()
{
    // freedict-eng-deu.index beside freedict-eng-deu.dict.dz (or .dict).
    static const QRegularExpression name(QStringLiteral("^(?:.*[-_])?([a-z]{3})-([a-z]{3})$"));
    const QDir dir(m_folders.dictd);
    for (const QFileInfo& index :
         dir.entryInfoList({QStringLiteral("*.index")}, QDir::Files, QDir::Name)) {
        const QString base = index.completeBaseName();
        const auto m = name.match(base);
        if (!m.hasMatch())
            continue;
        const QString from = codeOf(m.captured(1)), to = codeOf(m.captured(2));
        if (from.isEmpty() || to.isEmpty() || from == to || m_freeDicts.count(pairKey(from, to)))
            continue;
        QString data = dir.filePath(base + QStringLiteral(".dict.dz"));
        if (!QFileInfo::exists(data))
            data = dir.filePath(base + QStringLiteral(".dict"));
        if (!QFileInfo::exists(data))
            continue;
        FreeDict d;
        d.info = {base, from, to, QStringLiteral("FreeDict"), index.filePath()};
        m_infos.append(d.info);
        m_freeDicts.emplace(pairKey(from, to), std::move(d));
    }
}

void DictLibrary::scanApertium()
{
    // apertium-eng-spa/eng-spa.autobil.bin beside eng-spa.automorf.bin.
    static const QRegularExpression name(
        QStringLiteral("^([a-z]{2,3})-([a-z]{2,3})\\.autobil\\.bin$"));
    QDirIterator it(m_folders.apertium, {QStringLiteral("*.autobil.bin")}, QDir::Files,
                    QDirIterator::Subdirectories);
    QStringList found;
    while (it.hasNext())
        found.append(it.next());
    found.sort();
    for (const QString& path : found) {
        const QFileInfo bil(path);
        const auto m = name.match(bil.fileName());
        if (!m.hasMatch())
            continue;
        const QString from = codeOf(m.captured(1)), to = codeOf(m.captured(2));
        const QString key = pairKey(from, to);
        const QString morf = bil.dir().filePath(m.captured(1) + u'-' + m.captured(2) +
                                                QStringLiteral(".automorf.bin"));
        // Only for pairs FreeDict lacks: Hunspell finds the stems there.
        if (from.isEmpty() || to.isEmpty() || m_apertium.count(key) || m_freeDicts.count(key) ||
            !QFileInfo::exists(morf))
            continue;
        const QString label = QStringLiteral("apertium %1-%2").arg(m.captured(1), m.captured(2));
        m_infos.append({label, from, to, QStringLiteral("Apertium"), path});
        m_apertium.emplace(key, std::make_unique<ApertiumLexicon>(morf, path, label));
    }
}

bool DictLibrary::hasDirect(const QString& from, const QString& to) const
{
    const QString key = pairKey(from, to);
    return m_freeDicts.count(key) || m_apertium.count(key);
}

DictLibrary::FreeDict* DictLibrary::freeDict(const QString& from, const QString& to)
{
    const auto it = m_freeDicts.find(pairKey(from, to));
    return it == m_freeDicts.end() ? nullptr : &it->second;
}

ApertiumLexicon* DictLibrary::apertium(const QString& from, const QString& to)
{
    const QString key = pairKey(from, to);
    const auto it = m_apertium.find(key);
    if (it == m_apertium.end())
        return nullptr;
    m_apertiumUse.removeAll(key);
    m_apertiumUse.append(key);
    while (m_apertiumUse.size() > MaxApertium)
        m_apertium.at(m_apertiumUse.takeFirst())->unload();
    return it->second.get();
}

Stemmer* DictLibrary::stemmer(const QString& language)
{
    const auto it = m_stemmers.find(language);
    if (it != m_stemmers.end()) {
        if (it->second) {
            m_stemmerUse.removeAll(language);
            m_stemmerUse.append(language);
        }
        return it->second.get();
    }
    std::unique_ptr<Stemmer> s;
    const DictLanguage* l = dictLanguage(language);
    if (l && *l->hunspell) {
        const QDir dir(m_folders.hunspell);
        const QString base = QString::fromLatin1(l->hunspell);
        const QString aff = dir.filePath(base + QStringLiteral(".aff"));
        const QString dic = dir.filePath(base + QStringLiteral(".dic"));
        if (QFileInfo::exists(aff) && QFileInfo::exists(dic)) {
            s = std::make_unique<Stemmer>(aff, dic);
            m_stemmerUse.append(language);
            while (m_stemmerUse.size() > MaxStemmers)
                m_stemmers.erase(m_stemmerUse.takeFirst());
        }
    }
    return m_stemmers.emplace(language, std::move(s)).first->second.get();
}

void DictLibrary::open(FreeDict& d)
{
    if (d.index)
        return;
    QString dataPath = d.info.path;
    dataPath.chop(int(qstrlen(".index")));
    const QString dz = dataPath + QStringLiteral(".dict.dz");
    auto data =
        std::make_unique<DictData>(QFileInfo::exists(dz) ? dz : dataPath + QStringLiteral(".dict"));
    d.index = std::make_unique<DictIndex>(d.info.path);
    d.data = std::move(data);
}

QList<DictEntry> DictLibrary::findFreeDict(FreeDict& d, const QString& word)
{
    open(d);
    QList<DictEntry> out;
    for (const IndexHit& hit : d.index->find(word)) {
        DictEntry e = parseDictEntry(QString::fromUtf8(d.data->read(hit.offset, hit.length)));
        e.source = d.info.name;
        out.append(e);
    }
    return out;
}

QStringList DictLibrary::openAll()
{
    QStringList problems;
    for (auto& [key, d] : m_freeDicts) {
        try {
            open(d);
        } catch (const DictError& e) {
            problems.append(e.message());
        }
    }
    for (const DictionaryInfo& info : std::as_const(m_infos)) {
        ApertiumLexicon* lexicon =
            info.kind == QLatin1String("Apertium") ? apertium(info.from, info.to) : nullptr;
        if (!lexicon)
            continue;
        try {
            lexicon->lemmas(QStringLiteral("house"));
        } catch (const DictError& e) {
            problems.append(e.message());
        }
    }
    // Hunspell's dictionaries and Apertium's pairs stay within their bounds.
    for (const DictLanguage& l : dictLanguages())
        stemmer(QString::fromLatin1(l.code));
    return problems;
}

QList<DictEntry> DictLibrary::direct(const QString& word, const QString& from, const QString& to,
                                     QStringList& notes)
{
    QList<DictEntry> out;
    FreeDict* fd = freeDict(from, to);
    ApertiumLexicon* ap = apertium(from, to);
    try {
        if (fd) {
            out = findFreeDict(*fd, word);
            // The forms' own entries too: "Häuser" has one, and "Haus" is
            // what the reader is after.
            QStringList stems;
            if (Stemmer* s = stemmer(from))
                stems = s->stems(word);
            for (const QString& stem : std::as_const(stems)) {
                if (DictIndex::normalise(stem, false) == DictIndex::normalise(word, false))
                    continue;
                for (DictEntry& e : findFreeDict(*fd, stem)) {
                    e.note = QStringLiteral("%1: a form of %2")
                                 .arg(word, e.headword.isEmpty() ? stem : e.headword);
                    out.append(e);
                }
            }
        }
    } catch (const DictError& e) {
        notes.append(e.message());
    }
    if (out.isEmpty() && ap) {
        try {
            // Its analyser finds the lemma of an inflected form.
            out = ap->lookup(word);
        } catch (const DictError& e) {
            notes.append(e.message());
        }
    }
    if (out.size() > MaxEntries)
        out.resize(MaxEntries);
    return out;
}

void DictLibrary::throughEnglish(const QString& word, const QString& from, const QString& to,
                                 LookupResult& result)
{
    const QString en = QStringLiteral("en");
    result.notes.append(
        QStringLiteral("There is no %1-%2 dictionary here: looked up through English.")
            .arg(languageName(from), languageName(to)));
    if (!hasDirect(from, en) || !hasDirect(en, to))
        return;
    QStringList ignored;
    const QList<DictEntry> first = direct(word, from, en, ignored);
    QStringList englishWords;
    for (const DictEntry& e : first)
        for (const QString& w : translationsOf(e, 3))
            if (!englishWords.contains(w, Qt::CaseInsensitive) && englishWords.size() < 4)
                englishWords.append(w);
    for (const QString& english : std::as_const(englishWords)) {
        QStringList notes;
        for (DictEntry& e : direct(english, en, to, notes)) {
            e.note = QStringLiteral("Through English: %1").arg(english);
            if (result.entries.size() < MaxEntries)
                result.entries.append(e);
        }
    }
}

void DictLibrary::fromServer(const QString& server, const QString& word, const QString& from,
                             const QString& to, LookupResult& result)
{
    try {
        DictClient client(DictServerAddress::parse(server));
        const DictLanguage* f = dictLanguage(from);
        const DictLanguage* t = dictLanguage(to);
        const QString suffix =
            QStringLiteral("%1-%2").arg(QLatin1String(f->freedict), QLatin1String(t->freedict));
        QString database;
        for (const auto& [name, description] : client.databases())
            if (name == suffix || name.endsWith(u'-' + suffix))
                database = name;
        if (database.isEmpty()) {
            result.notes.append(QStringLiteral("The DICT server %1 has no %2-%3 dictionary.")
                                    .arg(server.trimmed(), languageName(from), languageName(to)));
            return;
        }
        for (DictEntry& e : client.define(database, word))
            if (result.entries.size() < MaxEntries)
                result.entries.append(e);
    } catch (const DictError& e) {
        result.notes.append(e.message());
    }
}

LookupResult DictLibrary::lookup(const QString& word, const QString& from, const QString& to,
                                 const QString& server)
{
    LookupResult result;
    const QString w = word.simplified();
    if (w.isEmpty())
        return result;
    if (!dictLanguage(from) || !dictLanguage(to)) {
        result.notes.append(
            QStringLiteral("The languages are en, fr, de, es, it, pt, ru, zh, ko and ja."));
        return result;
    }
    if (from == to) {
        result.notes.append(QStringLiteral("From and To are the same language."));
        return result;
    }
    if (hasNoDictionary(from) || hasNoDictionary(to)) {
        result.notes.append(QStringLiteral("There is no dictionary for %1 here.")
                                .arg(languageName(hasNoDictionary(from) ? from : to)));
    } else if (hasDirect(from, to)) {
        result.entries = direct(w, from, to, result.notes);
    } else if (from != QLatin1String("en") && to != QLatin1String("en") &&
               hasDirect(from, QStringLiteral("en")) && hasDirect(QStringLiteral("en"), to)) {
        throughEnglish(w, from, to, result);
    } else {
        result.notes.append(QStringLiteral("There is no %1-%2 dictionary here.")
                                .arg(languageName(from), languageName(to)));
    }
    if (!server.trimmed().isEmpty())
        fromServer(server, w, from, to, result);
    return result;
}

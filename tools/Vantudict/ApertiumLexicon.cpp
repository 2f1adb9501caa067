#include "tools/Vantudict/ApertiumLexicon.h"

#include "tools/Vantudict/DictError.h"

#include <QFile>
#include <cstdio>
#include <lttoolbox/fst_processor.h>
#include <lttoolbox/input_file.h>
#include <unicode/ustdio.h>

namespace {

struct FileCloser
{
    void operator()(FILE* f) const
    {
        if (f)
            fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Only what a single word can hold reaches the transducers: Apertium's
// stream format gives ^ $ / < > [ ] { } @ * # + ~ \ meanings of their own.
bool isPlainWord(const QString& word)
{
    if (word.isEmpty() || word.size() > 64)
        return false;
    for (const QChar c : word)
        if (!c.isLetterOrNumber() && !c.isMark() && c != u'-' && c != u'\'')
            return false;
    return true;
}

QString partOfSpeech(const QString& tag)
{
    static const std::pair<const char*, const char*> names[] = {
        {"n", "noun"},
        {"np", "proper noun"},
        {"vblex", "verb"},
        {"vbser", "verb"},
        {"vbhaver", "verb"},
        {"vbmod", "verb"},
        {"vaux", "verb"},
        {"adj", "adjective"},
        {"adv", "adverb"},
        {"pr", "preposition"},
        {"prn", "pronoun"},
        {"det", "determiner"},
        {"cnjcoo", "conjunction"},
        {"cnjsub", "conjunction"},
        {"num", "numeral"},
        {"ij", "interjection"},
    };
    for (const auto& [t, name] : names)
        if (tag == QLatin1String(t))
            return QString::fromLatin1(name);
    return tag;
}

// "casa<n><f><pl>" gives the lemma and its tags.
std::pair<QString, QStringList> splitAnalysis(const QString& analysis)
{
    const qsizetype open = analysis.indexOf(u'<');
    const QString lemma = open < 0 ? analysis : analysis.left(open);
    QStringList tags;
    if (open >= 0)
        for (const QString& t : analysis.mid(open + 1).split(u'<'))
            tags.append(t.left(t.indexOf(u'>')));
    QString clean = lemma;
    clean.remove(u'#');
    return {clean, tags};
}

} // namespace

ApertiumLexicon::ApertiumLexicon(QString analyserPath, QString bilingualPath, QString name)
    : m_analyserPath(std::move(analyserPath)), m_bilingualPath(std::move(bilingualPath)),
      m_name(std::move(name))
{
}

ApertiumLexicon::~ApertiumLexicon() = default;

void ApertiumLexicon::unload()
{
    m_analyser.reset();
    m_bilingual.reset();
}

void ApertiumLexicon::load()
{
    if (m_analyser)
        return;
    auto open = [this](const QString& path) {
        FilePtr f(fopen(QFile::encodeName(path).constData(), "rb"));
        if (!f)
            throw DictError(
                QStringLiteral("The Apertium dictionary %1 cannot be opened.").arg(path));
        auto fst = std::make_unique<FSTProcessor>();
        try {
            fst->load(f.get());
        } catch (const std::exception&) {
            throw DictError(QStringLiteral("The Apertium dictionary %1 is damaged.").arg(path));
        }
        return fst;
    };
    auto analyser = open(m_analyserPath);
    auto bilingual = open(m_bilingualPath);
    analyser->initAnalysis();
    bilingual->initBiltrans();
    if (!analyser->valid() || !bilingual->valid())
        throw DictError(QStringLiteral("The Apertium dictionaries of %1 are damaged.").arg(m_name));
    m_analyser = std::move(analyser);
    m_bilingual = std::move(bilingual);
}

QStringList ApertiumLexicon::analyse(const QString& word)
{
    QStringList out;
    if (!isPlainWord(word))
        return out;
    load();
    QByteArray in = word.toUtf8() + '\n';
    FilePtr input(fmemopen(in.data(), size_t(in.size()), "r"));
    char* buffer = nullptr;
    size_t length = 0;
    FILE* output = open_memstream(&buffer, &length);
    if (!input || !output)
        throw DictError(QStringLiteral("Out of memory."));
    InputFile reader;
    reader.wrap(input.release()); // closed by the reader
    UFILE* u = u_finit(output, nullptr, "UTF-8");
    m_analyser->analysis(reader, u);
    u_fclose(u);
    fclose(output);
    const QString text = QString::fromUtf8(buffer, qsizetype(length));
    free(buffer);
    // ^houses/house<n><pl>/house<vblex><pri><p3><sg>$
    const qsizetype begin = text.indexOf(u'^'), end = text.indexOf(u'$', begin);
    if (begin < 0 || end < 0)
        return out;
    const QStringList parts = text.mid(begin + 1, end - begin - 1).split(u'/');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString& a = parts[i];
        // Unknown words (*) and compounds (+) have nothing to look up.
        if (a.startsWith(u'*') || a.contains(u'+') || !a.contains(u'<'))
            continue;
        if (!out.contains(a))
            out.append(a);
    }
    return out;
}

QStringList ApertiumLexicon::lemmas(const QString& word)
{
    QStringList out;
    for (const QString& a : analyse(word)) {
        const QString lemma = splitAnalysis(a).first;
        if (lemma.compare(word, Qt::CaseInsensitive) != 0 && !out.contains(lemma))
            out.append(lemma);
    }
    return out;
}

QList<DictEntry> ApertiumLexicon::lookup(const QString& word)
{
    QList<DictEntry> out;
    for (const QString& analysis : analyse(word)) {
        const auto [lemma, tags] = splitAnalysis(analysis);
        const QString pos = tags.isEmpty() ? QString() : partOfSpeech(tags.front());
        // The lemma with its first tag: the bilingual dictionary's entries
        // are by lemma and part of speech, whatever the form.
        const QString key =
            u'^' + lemma + (tags.isEmpty() ? QString() : u'<' + tags.front() + u'>') + u'$';
        const std::u16string u16(reinterpret_cast<const char16_t*>(key.utf16()),
                                 size_t(key.size()));
        const UString result = m_bilingual->biltrans(UString(u16.begin(), u16.end()));
        QString text = QString::fromUtf16(result.data(), qsizetype(result.size()));
        if (text.startsWith(u'^'))
            text.remove(0, 1);
        if (text.endsWith(u'$'))
            text.chop(1);
        QStringList senses;
        for (const QString& target : text.split(u'/')) {
            if (target.isEmpty() || target.startsWith(u'@'))
                continue;
            const auto [t, ttags] = splitAnalysis(target);
            QString sense = t;
            static const QStringList genders = {QStringLiteral("m"), QStringLiteral("f"),
                                                QStringLiteral("nt"), QStringLiteral("mf")};
            if (ttags.size() > 1 && genders.contains(ttags[1]))
                sense += QStringLiteral(" <%1>").arg(ttags[1]);
            if (!t.isEmpty() && !senses.contains(sense))
                senses.append(sense);
        }
        if (senses.isEmpty())
            continue;
        bool merged = false;
        for (DictEntry& e : out)
            if (e.headword == lemma && e.partOfSpeech == pos)
                merged = true;
        if (merged)
            continue;
        DictEntry e;
        e.headword = lemma;
        e.partOfSpeech = pos;
        e.senses = senses;
        e.source = m_name;
        out.append(e);
    }
    return out;
}

// Lookups through Debian's dictionaries as installed by scripts/deps.sh:
// FreeDict's files, Hunspell's stems, Apertium's installed pairs.
#include "tools/Vantudict/DictLibrary.h"

#include <gtest/gtest.h>

namespace {

DictLibrary& library()
{
    static DictLibrary shared;
    return shared;
}

// Every sense of every entry, one text.
QString allSenses(const LookupResult& r)
{
    QStringList out;
    for (const DictEntry& e : r.entries)
        out += e.headword + u':' + e.senses.join(u'|');
    return out.join(u'\n');
}

} // namespace

TEST(LookupTest, EachInstalledPairFindsItsWord)
{
    const struct
    {
        const char *from, *to, *word, *sense, *source;
    } rows[] = {
        {"en", "de", "house", "Haus", "freedict-eng-deu"},
        {"de", "en", "Haus", "house", "freedict-deu-eng"},
        {"en", "fr", "house", "maison", "freedict-eng-fra"},
        {"fr", "en", "maison", "house", "freedict-fra-eng"},
        {"en", "es", "house", "casa", "freedict-eng-spa"},
        {"es", "en", "casa", "house", "freedict-spa-eng"},
        {"en", "it", "house", "casa", "freedict-eng-ita"},
        {"it", "en", "casa", "house", "freedict-ita-eng"},
        {"en", "pt", "house", "casa", "freedict-eng-por"},
        {"pt", "en", "casa", "house", "freedict-por-eng"},
        {"en", "ru", "house", "дом", "freedict-eng-rus"},
        {"en", "ja", "house", "家", "freedict-eng-jpn"},
        {"ja", "en", "家", "house", "freedict-jpn-eng"},
        {"de", "fr", "Haus", "maison", "freedict-deu-fra"},
        {"fr", "de", "maison", "Haus", "freedict-fra-deu"},
        {"de", "ru", "Haus", "дом", "freedict-deu-rus"},
        {"fr", "es", "maison", "casa", "freedict-fra-spa"},
        {"ja", "de", "家", "Haus", "freedict-jpn-deu"},
        // Apertium's bilingual dictionaries where FreeDict has none.
        {"es", "fr", "casa", "maison", "apertium es-fr"},
        {"es", "it", "casa", "casa", "apertium spa-ita"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.from) + "-" + r.to + " " + r.word);
        const LookupResult result =
            library().lookup(QString::fromUtf8(r.word), QLatin1String(r.from), QLatin1String(r.to));
        EXPECT_TRUE(result.notes.isEmpty()) << result.notes.join(u'\n').toStdString();
        ASSERT_FALSE(result.entries.isEmpty());
        EXPECT_TRUE(allSenses(result).contains(QString::fromUtf8(r.sense)))
            << allSenses(result).toStdString();
        EXPECT_EQ(result.entries[0].source, QString::fromUtf8(r.source));
    }
}

TEST(LookupTest, InflectedFormsFindTheirEntry)
{
    const struct
    {
        const char *from, *to, *word, *headword, *note;
    } rows[] = {
        {"en", "de", "houses", "house", "houses: a form of house"},
        {"de", "en", "Häuser", "Haus", "Häuser: a form of Haus"},
        {"fr", "en", "maisons", "maison", "maisons: a form of maison"},
        {"es", "en", "casas", "casa", "casas: a form of casa"},
        {"en", "ru", "houses", "house", "houses: a form of house"},
        // Apertium's analyser where FreeDict has no dictionary: casas is casa.
        {"es", "fr", "casas", "casa", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.word);
        const LookupResult result =
            library().lookup(QString::fromUtf8(r.word), QLatin1String(r.from), QLatin1String(r.to));
        const auto it =
            std::find_if(result.entries.begin(), result.entries.end(), [&](const DictEntry& e) {
                return e.headword == QString::fromUtf8(r.headword);
            });
        ASSERT_NE(it, result.entries.end()) << allSenses(result).toStdString();
        EXPECT_EQ(it->note, QString::fromUtf8(r.note));
    }
}

TEST(LookupTest, APairWithoutADictionaryGoesThroughEnglishAndSaysSo)
{
    // Debian has jpn-deu but no deu-jpn, and no ita-fra.
    for (const auto& [from, to, word] :
         {std::tuple{"de", "ja", "Haus"}, std::tuple{"it", "fr", "casa"}}) {
        SCOPED_TRACE(word);
        const LookupResult r =
            library().lookup(QLatin1String(word), QLatin1String(from), QLatin1String(to));
        ASSERT_FALSE(r.entries.isEmpty());
        ASSERT_EQ(r.notes.size(), 1);
        EXPECT_TRUE(
            r.notes[0].endsWith(QStringLiteral("dictionary here: looked up through English.")))
            << r.notes[0].toStdString();
        for (const DictEntry& e : r.entries)
            EXPECT_TRUE(e.note.startsWith(QStringLiteral("Through English: ")))
                << e.note.toStdString();
        EXPECT_TRUE(std::any_of(r.entries.begin(), r.entries.end(), [](const DictEntry& e) {
            return e.note == QStringLiteral("Through English: house");
        }));
    }
}

TEST(LookupTest, NoEntryAndNoDictionaryAreSaidPlainly)
{
    const struct
    {
        const char *from, *to, *word, *note;
    } rows[] = {
        {"en", "de", "qzxqzxq", nullptr},
        {"en", "zh", "house", "There is no dictionary for Chinese here."},
        {"ko", "en", "집", "There is no dictionary for Korean here."},
        {"ru", "en", "дом", "There is no Russian-English dictionary here."},
        {"de", "de", "Haus", "From and To are the same language."},
        {"en", "xx", "house", "The languages are en, fr, de, es, it, pt, ru, zh, ko and ja."},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.word);
        const LookupResult result =
            library().lookup(QString::fromUtf8(r.word), QLatin1String(r.from), QLatin1String(r.to));
        EXPECT_TRUE(result.entries.isEmpty());
        EXPECT_EQ(result.notes, r.note ? QStringList{QString::fromUtf8(r.note)} : QStringList());
    }
    // Words no dictionary could hold never reach the transducers.
    for (const char* odd : {"^casa<n>$", "a/b", "[x]", "{y}", "\\", "casa casa casa"})
        EXPECT_NO_THROW(
            library().lookup(QString::fromUtf8(odd), QStringLiteral("es"), QStringLiteral("fr")));
}

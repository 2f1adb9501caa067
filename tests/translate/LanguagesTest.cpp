#include "translate/Languages.h"
#include "QtPrinters.h"

#include <QStringList>

#include <gtest/gtest.h>

TEST(Languages, TableRowsConvertBothWays)
{
    const struct
    {
        int index;
        const char* name;
        const char* code;
        bool hint;
    } rows[] = {{0, "English", "en", false}, {1, "French", "fr", false},
                {2, "German", "de", false},  {3, "Spanish", "es", false},
                {4, "Italian", "it", false}, {5, "Portuguese", "pt", false},
                {6, "Russian", "ru", true},  {7, "Chinese", "zh", true},
                {8, "Korean", "ko", true},   {9, "Japanese", "ja", true}};
    for (const auto& r : rows) {
        const QString name = QString::fromLatin1(r.name), code = QString::fromLatin1(r.code);
        EXPECT_EQ(LanguageNameToIndex(name), r.index) << r.name;
        EXPECT_EQ(LanguageNameToCode(name), code) << r.name;
        EXPECT_EQ(LanguageCodeToName(code), name) << r.code;
        EXPECT_EQ(NeedsViewerHint(code), r.hint) << r.code;
    }
}

TEST(Languages, UnknownValuesPassThroughUnchanged)
{
    // Matching is exact and case-sensitive; nothing reports an error.
    for (const char* s : {"english", "Klingon", "", "EN", "French ", "xx"}) {
        const QString v = QString::fromLatin1(s);
        EXPECT_EQ(LanguageNameToCode(v), v) << s;
        EXPECT_EQ(LanguageCodeToName(v), v) << s;
        EXPECT_EQ(LanguageNameToIndex(v), -1) << s;
    }
    EXPECT_EQ(LanguageCodeToName(QStringLiteral("English")), QStringLiteral("English"));
}

TEST(Languages, TwentyDirectPairsEveryOtherPairGoesThroughEnglish)
{
    const QStringList direct =
        QStringLiteral("en_fr fr_en de_fr en_de de_en fr_de en_es es_en en_it it_en "
                       "en_pt pt_en en_ru ru_en en_zh zh_en en_ja ja_en en_ko ko_en")
            .split(QLatin1Char(' '));
    int count = 0;
    for (const Language& a : languageTable())
        for (const Language& b : languageTable()) {
            if (a.code == b.code)
                continue;
            const QString mode = a.code + QLatin1Char('_') + b.code;
            EXPECT_EQ(IsDirectMode(mode), direct.contains(mode)) << mode.toStdString();
            count += IsDirectMode(mode);
            // Both legs of an indirect pair are direct.
            if (!IsDirectMode(mode)) {
                EXPECT_TRUE(IsDirectMode(a.code + QStringLiteral("_en")));
                EXPECT_TRUE(IsDirectMode(QStringLiteral("en_") + b.code));
            }
        }
    EXPECT_EQ(count, 20);
    for (const char* m : {"fr_es", "es_fr", "pt_ko", "EN_FR", "en_en", "", "en-fr"})
        EXPECT_FALSE(IsDirectMode(QString::fromLatin1(m))) << m;
}

// The find and replace text rules, without a window.
#include "app/TextSearch.h"

#include <gtest/gtest.h>

using namespace TextSearch;

TEST(EditTextSearch, FindNextIsAPlainCaseSensitiveSubstringFromAPosition)
{
    const struct
    {
        const char* text;
        const char* what;
        qsizetype from;
        qsizetype expected;
    } cases[] = {
        {"x abc abc", "abc", 0, 2},
        {"x abc abc", "abc", 2, 2},  // a match right at the start position
        {"x abc abc", "abc", 3, 6},  // the next one after a selected match
        {"x abc abc", "abc", 7, -1}, // none after the last
        {"ABC", "abc", 0, -1},       // case counts
        {"a.c abc", "a.c", 1, -1},   // no patterns: a dot is a dot
        {"abc", "", 0, -1},          // nothing to look for finds nothing
        {"abc", "c", 3, -1},         // from the end
        {"abc", "c", 4, -1},         // from outside the text
        {"abc", "a", -1, -1},
        {"one\ntwo", "e\nt", 0, 2}, // across a line break
    };
    for (const auto& c : cases) {
        EXPECT_EQ(findNext(QString::fromUtf8(c.text), QString::fromUtf8(c.what), c.from),
                  c.expected)
            << c.text << " / " << c.what << " from " << c.from;
    }
}

TEST(EditTextSearch, FindAllTakesEveryOccurrenceWithoutOverlaps)
{
    EXPECT_EQ(findAll(QStringLiteral("a b a b a"), QStringLiteral("a")),
              (QList<qsizetype>{0, 4, 8}));
    EXPECT_EQ(findAll(QStringLiteral("aaaaa"), QStringLiteral("aa")), (QList<qsizetype>{0, 2}));
    EXPECT_TRUE(findAll(QStringLiteral("abc"), QString()).isEmpty());
    EXPECT_TRUE(findAll(QStringLiteral("abc"), QStringLiteral("ABC")).isEmpty());
}

TEST(EditTextSearch, LineBreaksCountAsOneCharacterLikeThePanes)
{
    const QChar paragraph = QChar::ParagraphSeparator;
    const QChar line = QChar::LineSeparator;
    const QChar nbsp = QChar::Nbsp;
    // The pane's separators become '\n' one for one; nothing else changes.
    EXPECT_EQ(paneText(QStringLiteral("a") + paragraph + QStringLiteral("b") + line + nbsp),
              QStringLiteral("a\nb\n") + nbsp);
    // Whatever break a find text carries, it is one character.
    const struct
    {
        const char* in;
        const char* out;
    } folds[] = {
        {"a\r\nb", "a\nb"},     {"a\rb", "a\nb"},     {"a\nb", "a\nb"},
        {"a\r\r\nb", "a\n\nb"}, {"\r\n\r\n", "\n\n"}, {"end\r", "end\n"},
    };
    for (const auto& f : folds)
        EXPECT_EQ(foldBreaks(QString::fromUtf8(f.in)), QString::fromUtf8(f.out)) << f.in;
}

// What Apertium does to blanks, undone: a translation keeps its source's
// outer blanks, run by run between superblanks, and a space doubled where
// a word was dropped becomes one. The translations are Apertium's own
// (eng-spa) where it shows the fault.
#include "server/engine/ApertiumStream.h"

#include <gtest/gtest.h>

TEST(ApertiumBlanks, AStreamKeepsItsSourcesBlanks)
{
    const struct
    {
        const char* source;
        const char* translated;
        const char* kept;
    } rows[] = {
        // A dropped first word leaves its blank before the sentence.
        {"There is a tiger in the house..[]", " Hay un tigre en la casa..[]",
         "Hay un tigre en la casa..[]"},
        {" There is a tiger.[]", "  Hay un tigre.[]", " Hay un tigre.[]"},
        // Spreadsheet cells: each keeps exactly its own outer spaces.
        {"[<c>]There is a tiger[<\\/c>][<c>]The dog[<\\/c>].[]",
         "[<c>] Hay un tigre[<\\/c>][<c>]El perro[<\\/c>].[]",
         "[<c>]Hay un tigre[<\\/c>][<c>]El perro[<\\/c>].[]"},
        {"[<c>]Hello [<\\/c>][<c>] Name[<\\/c>]", "[<c>]Hola[<\\/c>][<c>]Nombre [<\\/c>]",
         "[<c>]Hola [<\\/c>][<c>] Nombre[<\\/c>]"},
        {"[<c>]Is there[<\\/c>][<c>][<\\/c>]", "[<c>]Hay [<\\/c>][<c>] [<\\/c>]",
         "[<c>]Hay[<\\/c>][<c>][<\\/c>]"},
        // A word dropped inside, and one dropped next to a superblank.
        {"The developers I do know.[]", "Los desarrolladores  sé.[]", "Los desarrolladores sé.[]"},
        {"As developers we know that.[]", "Como desarrolladores   sabemos.[]",
         "Como desarrolladores sabemos.[]"},
        // Spaces the source had stay, doubled ones included.
        {"a  b c.[]", "x  y  z.[]", "x  y  z.[]"},
        {"a  b c.[]", "x   y z.[]", "x y z.[]"},
        {"one [<b>]two[<\\/b>] three", "uno [<b>]dos[<\\/b>] tres", "uno [<b>]dos[<\\/b>] tres"},
        // Superblanks that moved: only the stream's ends are kept.
        {"the [<b>]red[<\\/b>] house.[]", " la casa [<\\/b>]roja[<b>] .[]",
         "la casa [<\\/b>]roja[<b>] .[]"},
        // A run whose text moved away is left as it is.
        {"[<a>]The[<b>]", "[<a>] [<b>]", "[<a>] [<b>]"},
        // An escaped blank is text; tabs and line ends are blanks.
        {"word", " palabra\\ ", "palabra\\ "},
        {"\tx\n", " y ", "\ty\n"},
        {"", " ", ""},
        {"x", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.translated);
        EXPECT_EQ(ApertiumStream::keepBlanks(QByteArray(row.source), QByteArray(row.translated)),
                  QByteArray(row.kept));
    }
}

TEST(ApertiumBlanks, ATextKeepsItsSourcesBlanksLineByLine)
{
    const struct
    {
        const char* source;
        const char* translated;
        const char* kept;
    } rows[] = {
        {"There is a tiger in the house.", " Hay un tigre en la casa.", "Hay un tigre en la casa."},
        {"  Two lines\nThere is a cat. ", "Dos l\xc3\xadneas\n Hay un gato.  ",
         "  Dos l\xc3\xadneas\nHay un gato. "},
        {"developers I know", "desarrolladores  s\xc3\xa9", "desarrolladores s\xc3\xa9"},
        // Brackets and backslashes are text in a text.
        {"a [b] \\c ]", " x [y] \\z ]", "x [y] \\z ]"},
        {"[ ", " [", "[ "},
        // Lines lost or gained: only the text's ends are kept.
        {"one\ntwo ", " uno dos", "uno dos "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.translated);
        EXPECT_EQ(ApertiumStream::keepBlanks(QString::fromUtf8(row.source),
                                             QString::fromUtf8(row.translated)),
                  QString::fromUtf8(row.kept));
    }
}

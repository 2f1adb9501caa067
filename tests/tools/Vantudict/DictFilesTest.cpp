// The dictd readers: FreeDict's real files from Debian, files dictfmt and
// dictzip make here, and damaged ones.
#include "DictTestFiles.h"
#include "TestFiles.h"

#include "tools/Vantudict/DictData.h"
#include "tools/Vantudict/DictEntry.h"
#include "tools/Vantudict/DictError.h"
#include "tools/Vantudict/DictIndex.h"
#include "tools/Vantudict/DictLibrary.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

const QString Dictd = QStringLiteral("/usr/share/dictd/");

} // namespace

// Every headword found as often as the index lists it, in Debian's largest
// index and a small one: the binary search lands on the first duplicate.
TEST(DictIndexTest, EveryHeadwordOfARealIndexIsFoundWithAllItsDuplicates)
{
    for (const char* name : {"freedict-eng-deu", "freedict-jpn-eng", "freedict-eng-rus"}) {
        SCOPED_TRACE(name);
        const QString path = Dictd + QLatin1String(name) + QStringLiteral(".index");
        const QList<QByteArray> lines = indexLines(path);
        ASSERT_GT(lines.size(), 1000);
        DictIndex index(path);
        QRandomGenerator random(42);
        for (int n = 0; n < 300; ++n) {
            qsizetype at = random.bounded(lines.size() - 1);
            const QByteArray key = lines[at].left(lines[at].indexOf('\t'));
            // A word typed in has no blanks at its ends.
            if (key != key.simplified())
                continue;
            // The index is sorted: the duplicates are neighbours.
            while (at > 0 && lines[at - 1].startsWith(key + '\t'))
                --at;
            qsizetype count = 0;
            while (at + count < lines.size() && lines[at + count].startsWith(key + '\t'))
                ++count;
            EXPECT_EQ(index.find(QString::fromUtf8(key)).size(),
                      std::min<qsizetype>(count, DictIndex::MaxHits))
                << key.toStdString();
        }
        EXPECT_TRUE(index.find(QStringLiteral("zzzzqqqq")).isEmpty());
    }
}

TEST(DictIndexTest, HeadwordsCompareAsDictdComparesThem)
{
    const QByteArray lines = "00databaseutf8\tA\tB\n"
                             "\tA\tC\n" // an empty headword
                             "haus\tB\tD\n"
                             "haus\tC\tE\n"
                             "haus…\tD\tF\n" // dictd drops the ellipsis
                             "häuser\tE\tG\n"
                             "to be\tF\tH\n";
    DictIndex index(lines, QStringLiteral("t.index"));
    const struct
    {
        const char* word;
        int hits;
    } rows[] = {{"Haus", 3},   {"HAUS", 3},   {"haus...", 3}, {"Häuser", 1},
                {"HÄUSER", 1}, {"to  be", 1}, {" to be ", 1}, {"tobe", 0},
                {"", 0},       {"...", 0},    {"hau", 0}};
    for (const auto& r : rows)
        EXPECT_EQ(index.find(QString::fromUtf8(r.word)).size(), r.hits) << r.word;
    EXPECT_EQ(index.find(QStringLiteral("haus")).front().offset, 1u);
    EXPECT_EQ(index.find(QStringLiteral("haus")).front().length, 3u);
}

TEST(DictIndexTest, DamagedLinesAreSaidNotCrashed)
{
    for (const char* bytes : {"house\tB\n", "house\tB\t!!\n", "house\tBBBBBBBBBBBB\tB\n",
                              "house\tA\t////\n" /* over the entry bound */}) {
        SCOPED_TRACE(bytes);
        DictIndex index(QByteArrayView(bytes, qstrlen(bytes)), QStringLiteral("bad.index"));
        try {
            index.find(QStringLiteral("house"));
            ADD_FAILURE() << "no error";
        } catch (const DictError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("The index bad.index is damaged."));
        }
    }
    EXPECT_EQ(DictIndex::decode64("B"), 1u);
    EXPECT_EQ(DictIndex::decode64("BA"), 64u);
    EXPECT_EQ(DictIndex::decode64("/"), 63u);
    EXPECT_FALSE(DictIndex::decode64("A=").has_value());
}

// dictzip's chunks: a text longer than one chunk (58,315 bytes) read at
// chunk edges gives what dictfmt wrote.
TEST(DictDataTest, ReadsWhatDictfmtWroteAcrossChunkEdges)
{
    QTemporaryDir dir;
    QByteArray source;
    for (int i = 0; i < 6000; ++i)
        source += QStringLiteral("word%1\n Wort Nummer %1 mit Umlaut ä\n").arg(i).toUtf8();
    makeDictionary(dir.path(), QStringLiteral("big"), source);
    DictData dz(dir.filePath(QStringLiteral("big.dict.dz")));
    EXPECT_GT(dz.chunkCount(), 3);
    DictIndex index(dir.filePath(QStringLiteral("big.index")));
    for (int i : {0, 1, 2500, 2600, 2700, 5999}) {
        const QList<IndexHit> hits = index.find(QStringLiteral("word%1").arg(i));
        ASSERT_EQ(hits.size(), 1) << i;
        const QString text = QString::fromUtf8(dz.read(hits[0].offset, hits[0].length));
        EXPECT_EQ(text, QStringLiteral("word%1\nWort Nummer %1 mit Umlaut ä\n").arg(i));
    }
    // The whole text at once, across every chunk edge.
    const QByteArray all = dz.read(0, 200000);
    EXPECT_EQ(all.size(), 200000);
    EXPECT_TRUE(all.contains("word4000\nWort Nummer 4000"));
    EXPECT_THROW(dz.read(0, DictIndex::MaxEntryLength + 1), DictError);
    EXPECT_THROW(dz.read(quint64(1) << 40, 10), DictError);
}

TEST(DictDataTest, DamagedFilesGiveAMessage)
{
    QTemporaryDir dir;
    makeDictionary(dir.path(), QStringLiteral("d"), "haus\n house\n");
    const QByteArray good = readAll(dir.filePath(QStringLiteral("d.dict.dz")));
    const struct
    {
        const char* what;
        QByteArray bytes;
        const char* message;
    } rows[] = {
        {"empty", QByteArray(), "The dictionary x.dict.dz is not a gzip file."},
        {"plain gzip", QByteArray::fromHex("1f8b0800000000000003"),
         "The dictionary x.dict.dz has no dictzip chunk table."},
        {"cut in the header", good.left(14), "The dictionary x.dict.dz is damaged."},
        {"cut in the data", good.left(good.size() - 40), "The dictionary x.dict.dz is damaged."},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        writeAll(dir.filePath(QStringLiteral("x.dict.dz")), r.bytes);
        try {
            DictData dz(dir.filePath(QStringLiteral("x.dict.dz")));
            dz.read(0, 400);
            ADD_FAILURE() << "no error";
        } catch (const DictError& e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(r.message));
        }
    }
    // The chunk table gives the first chunk one byte: it inflates short.
    // (Chunks carry no checksum: overwritten data may inflate to garbage,
    // never past its bounds.)
    QByteArray spoilt = good;
    spoilt[22] = 1;
    spoilt[23] = 0;
    writeAll(dir.filePath(QStringLiteral("x.dict.dz")), spoilt);
    DictData dz(dir.filePath(QStringLiteral("x.dict.dz")));
    EXPECT_THROW(dz.read(0, 400), DictError);
}

TEST(DictEntryTest, FreeDictLayoutsGiveHeadwordPronunciationPartOfSpeechAndSenses)
{
    const DictEntry de =
        parseDictEntry(QStringLiteral("Haus /hˈaʊs/ <neut, n, sg>\nhouse <n>\n      \"ein Haus "
                                      "bauen\"  - build a house\n see: {Häuser}\n\n"));
    EXPECT_EQ(de.headword, QStringLiteral("Haus"));
    EXPECT_EQ(de.pronunciation, QStringLiteral("/hˈaʊs/"));
    EXPECT_EQ(de.partOfSpeech, QStringLiteral("neut, n, sg"));
    EXPECT_EQ(de.senses, QStringList{QStringLiteral(
                             "house <n>\n\"ein Haus bauen\"  - build a house\nsee: {Häuser}")});
    // Numbered senses with a definition line at the margin under each.
    const DictEntry ja = parseDictEntry(QStringLiteral(
        "house //haʊs// //hʌʊs// <n>\n1. 議院, 家\ndebating chamber\n2. 家, 家屋\nhuman abode\n"));
    EXPECT_EQ(ja.pronunciation, QStringLiteral("//haʊs// //hʌʊs//"));
    EXPECT_EQ(ja.senses, (QStringList{QStringLiteral("議院, 家\ndebating chamber"),
                                      QStringLiteral("家, 家屋\nhuman abode")}));
    EXPECT_EQ(translationsOf(ja, 3),
              (QStringList{QStringLiteral("議院"), QStringLiteral("家"), QStringLiteral("家屋")}));
    EXPECT_EQ(translationsOf(de, 3), QStringList{QStringLiteral("house")});
    const DictEntry bare = parseDictEntry(QStringLiteral("дом\n"));
    EXPECT_EQ(bare.headword, QStringLiteral("дом"));
    EXPECT_TRUE(bare.senses.isEmpty());
}

// A damaged dictionary among sound ones: its lookups say so, the others
// work.
TEST(DictLibraryTest, ADamagedDictionaryIsSaidAndTheOthersStillWork)
{
    QTemporaryDir dir;
    makeDictionary(dir.path(), QStringLiteral("freedict-deu-eng"), "haus\n house\n");
    makeDictionary(dir.path(), QStringLiteral("freedict-eng-deu"), "house\n Haus\n");
    QByteArray dz = readAll(dir.filePath(QStringLiteral("freedict-deu-eng.dict.dz")));
    writeAll(dir.filePath(QStringLiteral("freedict-deu-eng.dict.dz")), dz.left(dz.size() / 2));
    DictFolders folders;
    folders.dictd = dir.path();
    folders.apertium = dir.filePath(QStringLiteral("none"));
    DictLibrary library(folders);
    const LookupResult bad =
        library.lookup(QStringLiteral("Haus"), QStringLiteral("de"), QStringLiteral("en"));
    EXPECT_TRUE(bad.entries.isEmpty());
    EXPECT_EQ(bad.notes,
              QStringList{QStringLiteral("The dictionary freedict-deu-eng.dict.dz is damaged.")});
    const LookupResult good =
        library.lookup(QStringLiteral("house"), QStringLiteral("en"), QStringLiteral("de"));
    ASSERT_EQ(good.entries.size(), 1);
    EXPECT_EQ(good.entries[0].senses, QStringList{QStringLiteral("Haus")});
}

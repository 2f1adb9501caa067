// Hostile streams through real Apertium pipelines, in this process: none
// stalls a pipeline or changes a superblank, a caret is translated as any
// other escaped character of a blank is, ordinary pages come out as
// Apertium's own "apertium -u -f html" writes them (its doubled blanks
// aside), and a long text cut into parts translated in parallel is the text
// translated part by part on one instance. A sentence is translated the same
// whatever was translated before it and whichever instance serves it.
#include "QtPrinters.h"
#include "server/apertium/ApertiumEngine.h"
#include "server/engine/ApertiumStream.h"
#include "server/engine/FilterProcess.h"
#include "server/engine/ServiceFault.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
using namespace std::chrono_literals;

const QString modesDir = QStringLiteral("/usr/share/apertium/modes");

bool installed(std::initializer_list<const char*> modes)
{
    for (const char* mode : modes) {
        if (!QFileInfo::exists(modesDir + QLatin1Char('/') + QString::fromLatin1(mode) +
                               QStringLiteral(".mode")))
            return false;
    }
    return true;
}

std::unique_ptr<ApertiumEngine> engine(int instances, qsizetype partBytes = 64 * 1024)
{
    ApertiumEngine::Options options;
    options.instances = instances;
    options.deadlineFloor = 5s;
    options.partBytes = partBytes;
    options.minPartBytes = 1024;
    options.startBytes = 0;
    // One piece: never cut.
    if (partBytes == 0) {
        options.parallelBytes = std::numeric_limits<qsizetype>::max();
        options.partBytes = std::numeric_limits<qsizetype>::max();
    }
    return std::make_unique<ApertiumEngine>(ApertiumModes::scan(modesDir).modes, options);
}

TranslationMode mode(const char* text)
{
    return TranslationMode::parse(QString::fromLatin1(text));
}

QByteArray deshtml(const QByteArray& html)
{
    return runFilter(QStringLiteral("apertium-deshtml"), {}, html, 20s);
}

QByteArray rehtml(const QByteArray& stream)
{
    return runFilter(QStringLiteral("apertium-rehtml"), {}, stream, 20s);
}

// The superblanks of a stream, sorted: their order may change with the
// words', their content never.
QList<QByteArray> sortedSuperblanks(const QByteArray& s)
{
    QList<QByteArray> found = ApertiumStream::superblanks(s);
    std::sort(found.begin(), found.end());
    return found;
}

// Pages with what a real page has: scripts, styles, comments, preformatted
// text, attributes, entities; and carets where they hurt.
const char* const hostilePages[] = {
    "<script>^",
    "<style>^",
    "<!-- ^",
    "<script>^</script><p>The house is big.</p>",
    "<p>The house is big.</p><script>var x = a ^ b;</script>",
    "<p title=\"^\">The ^house^ is red.</p><!--^-->",
    "<pre>2^10 = 1024\nx ^ y</pre><p>^</p><b>^</b>",
    "<p>a \\^ b \\\\^ c</p><p>^^^</p><p>[x] {y} $z @w /v ~t</p>",
    "<![CDATA[^]]><p>The dog.</p><style>p::before{content:\"^\"}</style>",
    "<p>Mr. Smith^ said so.</p><p>Next. Then^</p>",
    "<p>unterminated <b>tag^",
    "<p>&#94; &Hat; &lt;^&gt; caf&eacute;^</p>",
    "<div>The dog barks^",
    "<table><tr><td>^</td><td>The cat</td></tr></table><textarea>^</textarea>",
};

const char* const hostileTexts[] = {
    "x ^",
    "^",
    "a \\^ b",
    "The house ^ is big. ^",
    "[^]",
    "^$",
    "\\",
    "^a/b<n>$",
    "tab\t^\n\n^",
    "~^~",
    "{^}",
    "The end.^",
    "caf\xc3\xa9 ^ \xe4\xb8\x96\xe7\x95\x8c",
};

const char* const hostileStreams[] = {
    ".[][<script>\\^]", "[<script>\\^]", "\\^",          "[\\^",        "a\\",
    "[[x]]y",           "^a/b$",         "[a^b",         "x[\\^]y\\^z", "[<p>]\\^[<\\/p>]",
    "{x} \\{ y \\}",    "caf\xc3",       "\xff\xfe abc", "a ~ b",
};
} // namespace

TEST(ApertiumCorpus, NoHostileStreamStallsAPipelineOrChangesASuperblank)
{
    if (!installed({"eng-spa", "es-pt", "ita-spa", "es-fr"}))
        GTEST_SKIP() << "Apertium pairs missing (scripts/deps.sh)";
    // Small parts, so that parts and their markers are in every case.
    ApertiumEngine::Options options;
    options.instances = 2;
    options.deadlineFloor = 3s;
    options.parallelBytes = 64;
    options.minPartBytes = 32;
    options.partBytes = 128;
    options.contextBytes = 32;
    options.startBytes = 0;
    ApertiumEngine apertium(ApertiumModes::scan(modesDir).modes, options);

    QList<QByteArray> streams;
    for (const char* page : hostilePages)
        streams << deshtml(page);
    for (const char* text : hostileTexts)
        streams << ApertiumStream::toStream(QString::fromUtf8(text));
    for (const char* stream : hostileStreams)
        streams << QByteArray(stream);
    // Cut at every byte: mid-escape, mid-superblank, mid-character.
    for (const QByteArray& whole :
         {deshtml("<p>Caf\xc3\xa9 ^ x.</p><script>^</script>"), QByteArray("a [<b>\\^] \\^ c")}) {
        for (qsizetype k = 1; k < whole.size(); ++k)
            streams << whole.left(k);
    }

    for (const char* pair : {"en_es", "es_pt", "it_es", "en_fr"}) {
        SCOPED_TRACE(pair);
        // The first translation starts the pipelines; none restarts after
        // (a second instance may start).
        ASSERT_FALSE(apertium.translate(mode(pair), QStringLiteral("Start.")).isEmpty());
        const QStringList before =
            apertium.debugReport().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QByteArray& stream : std::as_const(streams)) {
            SCOPED_TRACE(stream.toStdString());
            try {
                const QByteArray out = apertium.translateStream(mode(pair), stream);
                EXPECT_EQ(sortedSuperblanks(out),
                          sortedSuperblanks(ApertiumStream::unguard(ApertiumStream::guard(stream))))
                    << out.toStdString();
            } catch (const ServiceFault& fault) {
                ADD_FAILURE() << fault.message().toStdString();
            }
        }
        const QString after = apertium.debugReport();
        for (const QString& instance : before)
            EXPECT_TRUE(after.contains(instance)) << after.toStdString();
    }
}

TEST(ApertiumCorpus, ACaretIsTranslatedAsAnyOtherEscapedCharacterOfABlank)
{
    // "\@" is a blank like "\^" is for every stage, and lrx-proc reads it
    // right: so the page with carets and the page with at signs in their
    // place must translate alike.
    if (!installed({"eng-spa", "spa-ita", "fr-es"}))
        GTEST_SKIP() << "Apertium pairs missing (scripts/deps.sh)";
    const auto apertium = engine(1);
    const struct
    {
        const char* pair;
        const char* page;
    } rows[] = {
        {"en_es", "<script>^</script><p>The house ^ is big and the car is red.</p>"},
        {"en_es", "<p>The ^old^ house.</p><!-- ^ --><p>Use the new car.</p>"},
        {"es_it", "<p>La casa ^ es grande.</p><style>^</style><p>El coche es para ti.</p>"},
        {"fr_es", "<p>La maison ^ est grande.</p><pre>^</pre><p>La voiture est rouge.</p>"},
        {"en_fr", "<p>The dog ^ runs.</p><script>^</script><p>The cat sleeps.</p>"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.page);
        const QByteArray carets(row.page);
        const QByteArray ats = QByteArray(carets).replace('^', '@');
        const QByteArray withCarets =
            rehtml(apertium->translateStream(mode(row.pair), deshtml(carets)));
        const QByteArray withAts = rehtml(apertium->translateStream(mode(row.pair), deshtml(ats)));
        EXPECT_EQ(withCarets, QByteArray(withAts).replace('@', '^'));
        EXPECT_EQ(withCarets.count('^'), carets.count('^'));
    }
}

TEST(ApertiumCorpus, OrdinaryInputComesOutAsApertiumItselfWritesIt)
{
    if (!installed({"eng-spa", "es-pt"}))
        GTEST_SKIP() << "Apertium pairs missing (scripts/deps.sh)";
    const auto apertium = engine(1);
    const char* const pages[] = {
        "<html><head><title>News</title></head><body><h1>The big house</h1><p>The house is "
        "<b>big</b> and <i>red</i>. The dog is in the garden!</p><ul><li>One car.</li><li>Two "
        "cars?</li></ul></body></html>",
        "<p>Use our Frontend code: it is fast &amp; simple.</p><pre>int x = 2;</pre>",
        "<table><tr><td>The cat</td><td>The mouse</td></tr></table><p>The end</p>",
    };
    for (const char* page : pages) {
        SCOPED_TRACE(page);
        const QByteArray ours = rehtml(apertium->translateStream(mode("en_es"), deshtml(page)));
        const QByteArray theirs = runFilter(QStringLiteral("apertium"),
                                            {QStringLiteral("-u"), QStringLiteral("-f"),
                                             QStringLiteral("html"), QStringLiteral("eng-spa")},
                                            page, 60s);
        // Apertium leaves the blanks around a word it dropped ("it") side by
        // side; ours are one space, as the source's were (see
        // ApertiumBlanksTest).
        EXPECT_EQ(QString::fromUtf8(ours),
                  ApertiumStream::keepBlanks(QString::fromUtf8(page), QString::fromUtf8(theirs)));
    }
    const char* const texts[] = {
        "The house is big. The dog is red",
        "Hello world.\n\nSecond paragraph,\ttabbed  twice.\r\nAnd the end!",
        "Use our Frontend code, it's the best.",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        const QString ours = apertium->translate(mode("en_es"), QString::fromUtf8(text));
        const QByteArray theirs =
            runFilter(QStringLiteral("apertium"), {QStringLiteral("-u"), QStringLiteral("eng-spa")},
                      text, 60s);
        EXPECT_EQ(ours,
                  ApertiumStream::keepBlanks(QString::fromUtf8(text), QString::fromUtf8(theirs)));
    }
}

TEST(ApertiumCorpus, ALongTextTranslatedInParallelPartsIsTheTextTranslatedPartByPart)
{
    if (!installed({"eng-spa", "spa-eng"}))
        GTEST_SKIP() << "Apertium pairs missing (scripts/deps.sh)";
    // Texts nobody here wrote: the licences Debian ships.
    QString text;
    for (const char* licence : {"GPL-3", "Apache-2.0"}) {
        QFile f(QStringLiteral("/usr/share/common-licenses/") + QString::fromLatin1(licence));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        text += QString::fromUtf8(f.readAll()) + QStringLiteral("\n\n");
    }
    ASSERT_GT(text.size(), 40000);
    // The same parts, one after another on one instance: every exchange
    // starts from the same state, so where a part runs does not matter.
    const auto serial = engine(1, 6 * 1024);
    const auto parallel = engine(2, 6 * 1024);
    const QString whole = serial->translate(mode("en_es"), text);
    EXPECT_TRUE(whole.contains(QStringLiteral("Licencia"))) << whole.left(300).toStdString();
    EXPECT_EQ(parallel->translate(mode("en_es"), text), whole);
    // Both instances did part of it.
    EXPECT_EQ(parallel->debugReport().count(QStringLiteral("eng-spa")), 2);

    // Back again, and as a page: a stream with markup cut at block ends.
    const QString back = serial->translate(mode("es_en"), whole);
    EXPECT_EQ(parallel->translate(mode("es_en"), whole), back);
    QByteArray page = "<html><body>";
    for (const QString& paragraph : text.split(QStringLiteral("\n\n")))
        page += "<p>" + paragraph.toHtmlEscaped().toUtf8() + "</p>\n";
    page += "</body></html>";
    const QByteArray stream = deshtml(page);
    EXPECT_EQ(parallel->translateStream(mode("en_es"), stream),
              serial->translateStream(mode("en_es"), stream));
}

namespace {
// Paragraphs of the licences Debian ships: text nobody here wrote.
QStringList licenceParagraphs()
{
    QStringList paragraphs;
    for (const char* licence : {"GPL-3", "LGPL-2.1", "Apache-2.0", "MPL-2.0", "GFDL-1.3"}) {
        QFile f(QStringLiteral("/usr/share/common-licenses/") + QString::fromLatin1(licence));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        for (const QString& p : QString::fromUtf8(f.readAll()).split(QStringLiteral("\n\n"))) {
            if (p.trimmed().size() > 20)
                paragraphs << p.simplified();
        }
    }
    return paragraphs;
}
} // namespace

TEST(ApertiumCorpus, ASentenceIsTranslatedTheSameBeforeAndAfterALongUnrelatedText)
{
    if (!installed({"eng-spa", "spa-ita", "ita-spa", "es-pt", "es-fr"}))
        GTEST_SKIP() << "Apertium pairs missing (scripts/deps.sh)";
    const QStringList english = licenceParagraphs();
    ASSERT_GT(english.size(), 300);
    // Each direction gets text in its own language: the licences as
    // Apertium translates them, one request a paragraph, as a document's
    // or a window's pieces come.
    const auto apertium = engine(1);
    const auto through = [&](const char* pair, const QStringList& texts) {
        QStringList out;
        for (const QString& text : texts)
            out << apertium->translate(mode(pair), text).remove(QLatin1Char('*'));
        return out;
    };
    const QStringList probesEnglish = {QStringLiteral("This API is so Fetching!"),
                                       QStringLiteral("That succinctly captures the mood."),
                                       english[3], english[40], english[120]};
    const QStringList spanish = through("en_es", english.mid(0, 250));
    const QStringList italian = through("es_it", spanish.mid(0, 150));
    const struct
    {
        const char* pair;
        QStringList probes;
        QStringList text;
    } rows[] = {
        {"en_es", probesEnglish, english},
        {"es_it", spanish.mid(0, 8), spanish},
        {"es_pt", spanish.mid(20, 8), spanish.mid(0, 150)},
        {"it_es", italian.mid(0, 8), italian},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pair);
        const auto fresh = engine(1);
        QStringList before;
        for (const QString& probe : row.probes)
            before << fresh->translate(mode(row.pair), probe);
        for (const QString& paragraph : row.text)
            fresh->translate(mode(row.pair), paragraph);
        for (qsizetype i = 0; i < row.probes.size(); ++i)
            EXPECT_EQ(fresh->translate(mode(row.pair), row.probes[i]), before[i]) << i;
    }
}

TEST(ApertiumCorpus, ALongTextIsTranslatedTheSameOnThePoolAndOnOnePipeline)
{
    if (!installed({"eng-spa"}))
        GTEST_SKIP() << "Apertium pairs missing (scripts/deps.sh)";
    const QStringList paragraphs = licenceParagraphs();
    ASSERT_GT(paragraphs.size(), 300);
    const QString text = paragraphs.join(QStringLiteral("\n\n"));
    // Default parts, as the service cuts them.
    ApertiumEngine::Options options;
    options.deadlineFloor = 30s;
    options.startBytes = 0;
    options.instances = 1;
    ApertiumEngine one(ApertiumModes::scan(modesDir).modes, options);
    options.instances = 3;
    ApertiumEngine pool(ApertiumModes::scan(modesDir).modes, options);
    const QString alone = one.translate(mode("en_es"), text);
    // The pool has worked before, on other text, in other lifetimes of its
    // instances, and on the text itself.
    for (const QString& paragraph : paragraphs.mid(0, 60))
        pool.translate(mode("en_es"), paragraph);
    const QString first = pool.translate(mode("en_es"), text);
    EXPECT_EQ(pool.debugReport().count(QStringLiteral("eng-spa")), 3);
    pool.stop();
    ApertiumEngine again(ApertiumModes::scan(modesDir).modes, options);
    again.translate(mode("en_es"), paragraphs.mid(100, 50).join(QLatin1Char('\n')));
    const QStringList lines = alone.split(QLatin1Char('\n'));
    for (const QString& other : {first, again.translate(mode("en_es"), text)}) {
        const QStringList otherLines = other.split(QLatin1Char('\n'));
        ASSERT_EQ(otherLines.size(), lines.size());
        qsizetype differ = 0;
        for (qsizetype i = 0; i < lines.size(); ++i)
            differ += lines[i] != otherLines[i];
        EXPECT_EQ(differ, 0) << "of " << lines.size() << " lines";
    }
}

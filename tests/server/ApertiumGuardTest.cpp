// What makes a stream safe for a long-lived pipeline, and how a long
// stream is cut: pure byte work, checked without Apertium.
#include "server/engine/ApertiumStream.h"
#include "server/http/ConnectionCaps.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

using namespace ApertiumStream;

namespace {
const QByteArray caretInBlank = "\xEE\x81\x9E";
const QByteArray caretInText = "\xEE\x85\x9E";

// True when a stage could take a caret for the start of a lexical unit:
// any caret, escaped or not, outside a lexical unit, which a deformatted
// stream has none of.
bool anyCaret(const QByteArray& s)
{
    return s.contains('^');
}

} // namespace

TEST(ApertiumGuard, StreamsOfTheDeformattersComeBackByteForByte)
{
    // As apertium-deshtml and toStream write them: carets only escaped,
    // in superblanks and in text, next to every kind of neighbour.
    const char* const streams[] = {
        ".[][<script>\\^]",
        ".[][<style>\\^]",
        ".[][<!-- \\^]",
        "x \\^.[]",
        "\\^",
        "a\\^b \\^\\^ [\\^\\^] [\\^]\\^[\\^]",
        "[<a title=\"\\[x\\] \\^ \\\\\">]link[<\\/a>] 2\\^10 \\\\\\^.[]",
        ".[][<p>]The[ <b>]big[<\\/b> ]house is red..[][<\\/p>]",
        "caf\xc3\xa9 \xe4\xb8\x96\xe7\x95\x8c \\@ \\$ \\/ \\< \\> \\{ \\} [~] *x #y.[]",
        // Private-use characters of the text itself, plain as they come.
        "a \xEE\x81\x9E b [\xEE\x85\x9E] \\\\\xEE\x85\x9E.[]",
        "",
    };
    for (const char* text : streams) {
        const QByteArray stream(text);
        SCOPED_TRACE(text);
        const QByteArray guarded = guard(stream);
        EXPECT_FALSE(anyCaret(guarded)) << guarded.toStdString();
        EXPECT_EQ(unguard(guarded), stream);
        // A second leg guards again; nothing changes.
        EXPECT_EQ(guard(guarded, Guard::Continuation), guarded);
    }
}

TEST(ApertiumGuard, MendsWhatNoDeformatterWrites)
{
    const auto blankCaret = [](const char* before, const char* after) {
        return QByteArray(before) + '\\' + caretInBlank + after;
    };
    const struct
    {
        const char* name;
        QByteArray in;
        QByteArray guarded;
        QByteArray restored;
    } rows[] = {
        {"NULs dropped", QByteArray("a\0b[\0]", 7), "ab[]", "ab[]"},
        {"unclosed superblank closed", "a [<scr", "a [<scr]", "a [<scr]"},
        {"lone backslash at the end dropped", "a\\", "a", "a"},
        {"lone backslash in an unclosed superblank", "[x\\", "[x]", "[x]"},
        {"bracket inside a superblank escaped", "[a[b]c", "[a\\[b]c", "[a\\[b]c"},
        {"word-bound blank opened up", "[[t:b:1]]x", "[\\[t:b:1]\\]x", "[\\[t:b:1]\\]x"},
        {"bare caret in a superblank", "[a^b]", blankCaret("[a", "b]"), "[a\\^b]"},
        {"bare caret in text", "a^b", "a[\\" + caretInText + "]b", "a\\^b"},
        {"a lexical unit from outside stays text", "^x<n>/y$",
         "[\\" + caretInText + "]x\\<n\\>\\/y\\$", "\\^x\\<n\\>\\/y\\$"},
        {"closing bracket and braces in text", "a]{b}@", "a\\]\\{b\\}\\@", "a\\]\\{b\\}\\@"},
        {"escaped reserved character made plain", "\\" + caretInText + " [\\" + caretInBlank + "]",
         caretInText + " [" + caretInBlank + "]", caretInText + " [" + caretInBlank + "]"},
        {"malformed UTF-8 and a surrogate, which end a stage, replaced",
         "caf\xc3 \xff[\xed\xa0\x80]\xe4\xb8",
         "caf\xef\xbf\xbd "
         "\xef\xbf\xbd[\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd]\xef\xbf\xbd\xef\xbf\xbd",
         "caf\xef\xbf\xbd "
         "\xef\xbf\xbd[\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd]\xef\xbf\xbd\xef\xbf\xbd"},
        {"tilde in text kept from the post-generator", "x~y", "x[~]y", "x[~]y"},
        {"backslash before a NUL then a caret", QByteArray("\\\0^", 3), "[\\" + caretInText + "]",
         "\\^"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray guarded = guard(row.in);
        EXPECT_EQ(guarded, row.guarded);
        EXPECT_FALSE(anyCaret(guarded));
        EXPECT_EQ(unguard(guarded), row.restored);
        EXPECT_EQ(ApertiumStream::superblanks(guarded).size(),
                  guarded.count('[') - guarded.count("\\["));
    }
    // A guarded stream keeps its reserved escapes for the next leg, and
    // the part markers with them.
    const QByteArray between = "a " + partStart() + "b" + partEnd() + " [\\" + caretInBlank + "]";
    EXPECT_EQ(guard(between, Guard::Continuation), between);
    EXPECT_NE(guard(between, Guard::Entry), between);
}

TEST(ApertiumGuard, LongStreamsAreCutAtSentenceEndsWithContextOnBothSides)
{
    QByteArray stream;
    for (int i = 0; i < 200; ++i)
        stream += "Sentence number " + QByteArray::number(i) +
                  (i % 7 == 0   ? QByteArray(" ends a paragraph.[\n\n]")
                   : i % 5 == 0 ? QByteArray(" has markup.[][<p class=\"a. b\">]")
                                : QByteArray(" is plain! "));
    stream += "[<script>if (a. b) x\\^2;]The end";
    const QList<qsizetype> ends = sentenceEnds(stream);
    ASSERT_GT(ends.size(), 150);
    for (qsizetype end : ends) {
        // Right after the blank that follows a stop, never in a superblank.
        const QByteArray before = stream.left(end);
        EXPECT_TRUE(before.endsWith(". ") || before.endsWith("! ") || before.endsWith(".[]") ||
                    before.endsWith(".[\n\n]"))
            << before.right(20).toStdString();
    }
    EXPECT_FALSE(ends.contains(stream.indexOf("b\">]") + 4 - 11)); // ". b" inside markup

    for (int count : {1, 2, 3, 8, 500}) {
        SCOPED_TRACE(count);
        const QList<Part> parts = planParts(stream, count, 100);
        ASSERT_FALSE(parts.isEmpty());
        EXPECT_LE(parts.size(), std::min<qsizetype>(count, ends.size() + 1));
        QByteArray joined;
        qsizetype at = 0;
        for (const Part& part : parts) {
            EXPECT_EQ(part.start, at);
            at = part.end;
            EXPECT_LE(part.contextStart, part.start);
            EXPECT_GE(part.contextEnd, part.end);
            if (parts.size() > 1) {
                // Context where the stream has it, from sentence end to
                // sentence end.
                if (part.start > 0) {
                    EXPECT_TRUE(part.contextStart == 0 || part.start - part.contextStart >= 100)
                        << part.contextStart << " " << part.start;
                }
                if (part.end < stream.size() && stream.size() - part.end > 800) {
                    EXPECT_GE(part.contextEnd - part.end, 100);
                }
                for (qsizetype edge : {part.contextStart, part.start, part.end, part.contextEnd})
                    EXPECT_TRUE(edge == 0 || edge == stream.size() || ends.contains(edge)) << edge;
            }
            // A stage that changes nothing gives back the part alone.
            QByteArray out;
            ASSERT_TRUE(partOutput(partInput(stream, part), part, &out));
            joined += out;
        }
        EXPECT_EQ(at, stream.size());
        EXPECT_EQ(joined, stream);
    }
    // A marker lost or doubled on the way is noticed.
    const Part middle = planParts(stream, 3, 100)[1];
    QByteArray out;
    QByteArray input = partInput(stream, middle);
    EXPECT_FALSE(partOutput(QByteArray(input).replace(partStart(), ""), middle, &out));
    EXPECT_FALSE(partOutput(input + partEnd(), middle, &out));
    EXPECT_FALSE(partOutput(
        QByteArray(input).replace(partEnd(), "").replace(partStart(), partEnd() + partStart()),
        middle, &out));
}

TEST(ConnectionCaps, LoopbackIsNotCappedPerAddressAndTheIdlestMakesRoom)
{
    const auto v4 = [](const char* text) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, text, &a.sin_addr);
        return ConnectionCaps::Peer::of(reinterpret_cast<sockaddr*>(&a));
    };
    const auto v6 = [](const char* text) {
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        ::inet_pton(AF_INET6, text, &a.sin6_addr);
        return ConnectionCaps::Peer::of(reinterpret_cast<sockaddr*>(&a));
    };
    EXPECT_TRUE(v4("127.0.0.1").loopback);
    EXPECT_TRUE(v4("127.3.2.1").loopback);
    EXPECT_TRUE(v6("::1").loopback);
    EXPECT_TRUE(v6("::ffff:127.0.0.1").loopback);
    EXPECT_FALSE(v4("192.168.1.5").loopback);
    EXPECT_FALSE(v6("::ffff:192.168.1.5").loopback);
    EXPECT_FALSE(v6("fe80::1").loopback);
    EXPECT_EQ(v6("::ffff:192.168.1.5").key, v4("192.168.1.5").key);

    ConnectionCaps caps(10, 3);
    using V = ConnectionCaps::Verdict;
    const auto lan = v4("192.168.1.5");
    const auto local = v4("127.0.0.1");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(caps.verdict(lan, i, false), V::Take);
        caps.opened(lan);
    }
    EXPECT_EQ(caps.verdict(lan, 3, true), V::Refuse);
    EXPECT_EQ(caps.verdict(v4("192.168.1.6"), 3, false), V::Take);
    for (int i = 0; i < 6; ++i)
        caps.opened(local);
    EXPECT_EQ(caps.fromAddress(local), 0);
    EXPECT_EQ(caps.verdict(local, 9, false), V::Take);
    // At the total: room is made when someone idles, else refused.
    EXPECT_EQ(caps.verdict(local, 10, true), V::TakeClosingIdlest);
    EXPECT_EQ(caps.verdict(local, 10, false), V::Refuse);
    caps.closed(lan);
    EXPECT_EQ(caps.verdict(lan, 8, false), V::Take);
    caps.closed(lan);
    caps.closed(lan);
    caps.closed(lan); // one too many changes nothing
    EXPECT_EQ(caps.fromAddress(lan), 0);
}

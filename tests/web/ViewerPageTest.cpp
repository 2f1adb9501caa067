// The Viewer's page: charset labels, encoding in the declared charset with
// references for what it lacks, escaping, line ends, and reading it back.
#include "web/ViewerPage.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {

QByteArray header(const char* charset)
{
    return QByteArray("<META content=\"text/html; charset=") + charset +
           "\" http-equiv=Content-type>\r\n";
}

QByteArray bodyOf(const QByteArray& page)
{
    return page.mid(page.indexOf('\n') + 1);
}

} // namespace

TEST(ViewerPage, CharsetForEachDestinationCode)
{
    const struct
    {
        const char* code;
        const char* charset;
    } rows[] = {{"ja", "EUC-JP"},
                {"ko", "EUC-KR"},
                {"ru", "iso-8859-5"},
                {"zh", "gb2312"},
                {"it", "iso-8859-1"},
                {"fr", "iso-8859-1"},
                {"de", "iso-8859-1"},
                {"en", "iso-8859-1"},
                {"es", "iso-8859-1"},
                {"pt", "iso-8859-1"},
                {"", ""},
                {"JA", ""},
                {"jp", ""},
                {"en_fr", ""}};
    for (const auto& r : rows) {
        const QString charset = PageCharset(QString::fromLatin1(r.code));
        EXPECT_EQ(charset, QLatin1String(r.charset)) << r.code;
        // An empty modified pane gives only the header line.
        EXPECT_EQ(viewerPage(QString(), charset), header(r.charset)) << r.code;
    }
}

TEST(ViewerPage, TextIsEncodedInTheDeclaredCharsetAndReadsBackEqual)
{
    const struct
    {
        const char* code;
        const char* text;
    } rows[] = {
        {"ja", "日本語のテキスト。カタカナとひらがな"},
        {"ko", "한국어 텍스트입니다"},
        {"ru", "Привет, мир! Съешь ещё этих булок"},
        {"zh", "你好，世界。简体中文"},
        {"fr", "Ça a été déjà vu, garçon"},
        {"", "日本語 한국어 Привет 你好 😀"},
    };
    for (const auto& r : rows) {
        const QString text = QString::fromUtf8(r.text);
        const QString charset = PageCharset(QString::fromLatin1(r.code));
        const QByteArray page = viewerPage(text, charset);
        ASSERT_TRUE(page.startsWith(pageHeader(charset))) << r.code;
        // The bytes are the charset's own, not UTF-8 with a label.
        const QByteArray expected =
            charset.isEmpty()
                ? text.toUtf8()
                : QByteArray(QStringEncoder(charset.toLatin1().constData()).encode(text));
        EXPECT_EQ(bodyOf(page), expected) << r.code;
        EXPECT_FALSE(bodyOf(page).contains("&#")) << r.code;
        if (!charset.isEmpty()) {
            EXPECT_NE(bodyOf(page), text.toUtf8()) << r.code;
        }

        const ViewerPageContent back = readViewerPage(page);
        EXPECT_TRUE(back.decoded) << r.code;
        EXPECT_EQ(back.charset, charset) << r.code;
        EXPECT_EQ(back.body, text) << r.code;
    }
}

TEST(ViewerPage, CharactersTheCharsetLacksBecomeReferences)
{
    const struct
    {
        const char* charset;
        const char* text;
        const char* html; // the body decoded from the charset
    } rows[] = {
        {"iso-8859-5", "Привет 日本", "Привет &#26085;&#26412;"},
        {"iso-8859-1", "€5 😀 été", "&#8364;5 &#128512; été"},
        // The Japanese form of "language" is not in GB2312; the encoder's
        // stand-in (an ideographic space) must not reach the page.
        {"gb2312", "日本語", "日本&#35486;"},
        {"EUC-JP", "한 日", "&#54620; 日"},
        {"EUC-KR", "😀", "&#128512;"},
        // A charset this build does not know keeps ASCII only.
        {"x-no-such-charset", "a é 日", "a &#233; &#26085;"},
    };
    for (const auto& r : rows) {
        const QString charset = QString::fromLatin1(r.charset);
        const QByteArray body = encodeWithReferences(QString::fromUtf8(r.text), charset);
        QStringDecoder decoder(r.charset);
        const QString html = decoder.isValid() ? decoder.decode(body) : QString::fromLatin1(body);
        EXPECT_EQ(html, QString::fromUtf8(r.html)) << r.charset;
    }
    // An unpaired surrogate is no character: it shows as the replacement.
    const QChar lone[] = {QChar(u'a'), QChar(0xD83D), QChar(u'b')};
    EXPECT_EQ(encodeWithReferences(QString(lone, 3), QStringLiteral("iso-8859-1")),
              QByteArray("a&#65533;b"));
}

TEST(ViewerPage, EscapingLineEndsAndCtrlZ)
{
    const struct
    {
        const char* text;
        const char* txt;  // Result.txt
        const char* body; // Result.htm after the header
    } rows[] = {
        {"<script>alert(1)</script> & <b>", "<script>alert(1)</script> & <b>",
         "&lt;script&gt;alert(1)&lt;/script&gt; &amp; &lt;b&gt;"},
        {"one\ntwo\r\nthree\rfour", "one\r\ntwo\r\nthree\r\nfour",
         "one<br>\r\ntwo<br>\r\nthree<br>\r\nfour"},
        {"\n\nlast\n", "\r\n\r\nlast\r\n", "<br>\r\n<br>\r\nlast<br>\r\n"},
        // Ctrl+Z ends the copy; Result.txt keeps everything.
        {"before\x1a"
         "after\nmore",
         "before\x1a"
         "after\r\nmore",
         "before"},
        {"\x1a", "\x1a", ""},
        {"&amp;", "&amp;", "&amp;amp;"},
    };
    for (const auto& r : rows) {
        const QString text = QString::fromUtf8(r.text);
        EXPECT_EQ(resultText(text), QByteArray(r.txt)) << r.text;
        EXPECT_EQ(viewerPage(text, QStringLiteral("iso-8859-1")),
                  header("iso-8859-1") + QByteArray(r.body))
            << r.text;
    }
    EXPECT_EQ(resultText(QStringLiteral("Привет")), QStringLiteral("Привет").toUtf8());
}

TEST(ViewerPage, ReadingPagesThatAreNotQuiteOurs)
{
    // No header: the whole file is UTF-8 HTML.
    ViewerPageContent c = readViewerPage(QStringLiteral("<p>日本</p>").toUtf8());
    EXPECT_TRUE(c.decoded);
    EXPECT_TRUE(c.charset.isEmpty());
    EXPECT_EQ(c.body, QStringLiteral("<p>日本</p>"));
    // A charset nobody here can read is said so, not shown as garbage.
    c = readViewerPage(header("x-no-such-charset") + "abc");
    EXPECT_FALSE(c.decoded);
    EXPECT_EQ(c.charset, QStringLiteral("x-no-such-charset"));
    // Only a header line, without its line end.
    c = readViewerPage(header("EUC-KR").chopped(2));
    EXPECT_TRUE(c.decoded);
    EXPECT_EQ(c.charset, QStringLiteral("EUC-KR"));
    EXPECT_TRUE(c.body.isEmpty());
}

// The service's own HTML deformatter: the stream apertium-deshtml writes
// for the rules that decide a translation, every page back unchanged when
// nothing is translated (the hostile ones included), and real pages
// translated as they were through apertium-deshtml and apertium-rehtml.
#include "server/engine/HtmlStream.h"
#include "QtPrinters.h"
#include "server/apertium/ApertiumEngine.h"
#include "server/engine/ApertiumStream.h"
#include "server/engine/FilterProcess.h"
#include "server/engine/HtmlPage.h"
#include "server/engine/HtmlTranslation.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
using namespace std::chrono_literals;

// Pages nobody here wrote: Node.js's documentation as Debian ships it.
QList<QByteArray> realPages()
{
    QList<QByteArray> pages;
    for (const char* name : {"synopsis", "policy", "documentation", "corepack"}) {
        QFile f(QStringLiteral("/usr/share/doc/nodejs/api/%1.html").arg(QLatin1String(name)));
        if (f.open(QIODevice::ReadOnly))
            pages << f.readAll();
    }
    return pages;
}
} // namespace

TEST(HtmlStream, WritesTheStreamApertiumsDeformatterWrites)
{
    const struct
    {
        const char* html;
        const char* stream;
    } rows[] = {
        {"<p class=\"x\">Hello <b>big</b> world.</p>",
         ".[][<p class=\"x\">]Hello[ <b>]big[<\\/b> ]world..[][<\\/p>]"},
        {"a  b\nc d", "a[  ]b[\n]c d.[]"},
        {"x <br>y<span>z</span>", "x.[][ <br>]y[<span>]z.[][<\\/span>]"},
        {"<TD>a</Td><DIV class=x>b", ".[][<TD>]a.[][<\\/Td><DIV class=x>]b.[]"},
        {"a &amp; b&#8217;s &unknown c", "a[ &amp; ]b[&#8217;]s &unknown c.[]"},
        {"[x] ^y$ @z /w \\v {u} ~t", "\\[x\\] \\^y\\$ \\@z \\/w \\\\v \\{u\\}[ ~]t.[]"},
        {"<script>if (a<b) x=\"</p>\";</SCRIPT>Hi",
         "[<script>if (a<b) x=\"<\\/p>\";<\\/SCRIPT>]Hi.[]"},
        {"x<!-- <p> -->y<![CDATA[ z ]]>w", "x[<!-- <p> -->]y[<!\\[CDATA\\[ z \\]\\]>]w.[]"},
        {"<!DOCTYPE html><?php x ?>q", "[<!DOCTYPE html><?php x ?>]q.[]"},
        // A tag that never closes: its '<' is markup, the rest text.
        {"a <b c=\"d", "a[ <]b c=\"d.[]"},
        {"a < b > c", "a[ < ]b[ > ]c.[]"},
        {"x <!-- never", "x.[][ <!-- never]"},
        {" x ", " x.[] "},
        {"", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.html);
        const QString html = QString::fromUtf8(row.html);
        EXPECT_EQ(HtmlStream::deformat(html), QByteArray(row.stream));
        EXPECT_EQ(HtmlStream::reformat(HtmlStream::deformat(html)), html);
    }
}

TEST(HtmlStream, EveryPageComesBackUnchangedAndEveryStreamIsSafeForAPipeline)
{
    QList<QString> pages;
    for (const QByteArray& page : realPages())
        pages << QString::fromUtf8(page);
    // What would make a quadratic reader stall, a megabyte each.
    const qsizetype big = 1 << 20;
    for (const char* unit : {"<a ", "<a b=\"", "&", "&amp", "<!--", "<script>", "<style>x", "<!x",
                             "</", "<p>a", "\\^[", "~ \n"}) {
        QString page;
        while (page.size() < big)
            page += QLatin1String(unit);
        pages << page;
    }
    pages << QStringLiteral("<p>\u00e9t\u00e9 \U0001F600 caf\u00e9</p>");
    for (const QString& page : pages) {
        SCOPED_TRACE(page.left(60).toStdString());
        const QByteArray stream = HtmlStream::deformat(page);
        EXPECT_EQ(HtmlStream::reformat(stream), page);
        EXPECT_EQ(ApertiumStream::unguard(ApertiumStream::guard(stream)), stream);
    }
}

TEST(HtmlStream, RealPagesTranslateAsThroughApertiumsOwnFilters)
{
    const QString modes = QStringLiteral("/usr/share/apertium/modes");
    if (!QFileInfo::exists(modes + QStringLiteral("/eng-spa.mode")))
        GTEST_SKIP() << "Apertium pairs missing (scripts/deps.sh)";
    const QList<QByteArray> pages = realPages();
    if (pages.isEmpty())
        GTEST_SKIP() << "nodejs's documentation missing (scripts/deps.sh)";
    ApertiumEngine::Options options;
    options.instances = 1;
    options.deadlineFloor = 30s;
    options.startBytes = 0;
    ApertiumEngine apertium(ApertiumModes::scan(modes).modes, options);
    const TranslationMode mode = TranslationMode::parse(QStringLiteral("en_es"));
    for (const QByteArray& page : pages) {
        const QString html = QString::fromUtf8(page);
        SCOPED_TRACE(html.left(200).toStdString());
        const QByteArray theirStream = runFilter(QStringLiteral("apertium-deshtml"), {},
                                                 HtmlPage::spellOutLetters(html).toUtf8(), 60s);
        const QByteArray theirs = runFilter(QStringLiteral("apertium-rehtml"), {},
                                            apertium.translateStream(mode, theirStream), 60s);
        EXPECT_EQ(HtmlTranslation::translate(apertium, mode, html), QString::fromUtf8(theirs));
    }
}

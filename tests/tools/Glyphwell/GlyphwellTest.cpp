// Glyphwell on the offscreen platform: pages in each charset the Viewer
// writes show their original text; problems are said in the window.
#include "tools/Glyphwell/GlyphwellWindow.h"
#include "web/ViewerPage.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace {

class GlyphwellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(work.isValid());
        qputenv("TARQUELL_WORK_DIR", work.path().toUtf8());
    }
    void TearDown() override { qunsetenv("TARQUELL_WORK_DIR"); }
    void writePage(const QByteArray& bytes)
    {
        QFile f(GlyphwellWindow::defaultPagePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QTemporaryDir work;
};

} // namespace

TEST_F(GlyphwellTest, PagesInEachCharsetShowTheOriginalText)
{
    EXPECT_EQ(GlyphwellWindow::defaultPagePath(),
              QDir(work.path()).filePath(QStringLiteral("Result.htm")));
    const struct
    {
        const char* code;
        const char* text;
    } rows[] = {
        {"ja", "翻訳のテキスト\nカタカナ <ひらがな> & 漢字"},
        {"ko", "번역된 텍스트\n한국어"},
        {"ru", "Перевод\nтекста & <ещё>"},
        {"zh", "翻译的文本\n中文 日本語"}, // 語 is not in GB2312: a reference
        {"fr", "Traduction déjà faite\n€ 😀"},
    };
    for (const auto& r : rows) {
        const QString text = QString::fromUtf8(r.text);
        const QString charset = PageCharset(QString::fromLatin1(r.code));
        writePage(viewerPage(text, charset));
        GlyphwellWindow w(GlyphwellWindow::defaultPagePath());
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Result.htm - Glyphwell"));
        EXPECT_EQ(w.shownText(), text) << r.code;
        EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("Charset"))->text(),
                  QStringLiteral("Character set: ") + charset)
            << r.code;
        // The font finds a glyph for every character shown (emoji aside:
        // no emoji font is installed).
        const QFontMetrics metrics(w.findChild<QTextBrowser*>(QStringLiteral("Page"))->font());
        for (char32_t c : text.toUcs4()) {
            if (c != U'\n' && c != U' ' && c != 0x1F600) {
                EXPECT_TRUE(metrics.inFontUcs4(c)) << r.code << " U+" << std::hex << quint32(c);
            }
        }
    }
}

TEST_F(GlyphwellTest, ProblemsAreShownInTheWindow)
{
    {
        GlyphwellWindow w(GlyphwellWindow::defaultPagePath());
        EXPECT_TRUE(w.shownText().startsWith(QStringLiteral("The page \"%1\" cannot be opened: ")
                                                 .arg(GlyphwellWindow::defaultPagePath())))
            << w.shownText().toStdString();
    }
    writePage("<META content=\"text/html; charset=x-martian\" http-equiv=Content-type>\r\nabc");
    GlyphwellWindow w(GlyphwellWindow::defaultPagePath());
    EXPECT_TRUE(
        w.shownText().contains(QStringLiteral("\"x-martian\", which Glyphwell cannot read")))
        << w.shownText().toStdString();
    // Reloading picks up a page written since.
    writePage(viewerPage(QStringLiteral("Ура"), QStringLiteral("iso-8859-5")));
    w.findChild<QAction*>(QStringLiteral("Reload"))->trigger();
    EXPECT_EQ(w.shownText(), QStringLiteral("Ура"));
}

TEST_F(GlyphwellTest, TextCanBeCopiedAndSized)
{
    writePage(viewerPage(QStringLiteral("한국어\n텍스트"), QStringLiteral("EUC-KR")));
    GlyphwellWindow w(GlyphwellWindow::defaultPagePath());
    QAction* copy = w.findChild<QAction*>(QStringLiteral("Copy"));
    EXPECT_FALSE(copy->isEnabled());
    w.findChild<QAction*>(QStringLiteral("SelectAll"))->trigger();
    ASSERT_TRUE(copy->isEnabled());
    copy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("한국어\n텍스트"));

    QComboBox* size = w.findChild<QComboBox*>(QStringLiteral("TextSize"));
    const int index = size->findData(24);
    ASSERT_GE(index, 0);
    size->setCurrentIndex(index);
    emit size->activated(index);
    EXPECT_EQ(w.textSize(), 24);
    w.largerText();
    EXPECT_EQ(w.textSize(), 28);
    EXPECT_EQ(size->currentData().toInt(), 28);
    w.setTextSize(GlyphwellWindow::textSizes().first());
    w.smallerText(); // already the smallest
    EXPECT_EQ(w.textSize(), GlyphwellWindow::textSizes().first());
}

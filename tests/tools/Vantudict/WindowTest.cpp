// The dictionary's window on the offscreen platform, on Debian's
// dictionaries: typing shows entries, Back and Copy, the pair kept, the
// captions in the translator's interface language.
#include "TestFiles.h"

#include "tools/Vantudict/VantudictWindow.h"

#include "platform/ConfigPaths.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

namespace {

DictLibrary& library()
{
    static DictLibrary shared;
    return shared;
}

class VantudictWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(VantuSettings::path());
        QFile::remove(ConfigPaths::settingsFilePath());
    }
    template <class T> T* ctl(QWidget& w, const char* name)
    {
        T* c = w.findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QStringList captions(QWidget& w)
    {
        QStringList out;
        for (QLabel* l : w.findChildren<QLabel*>())
            if (l->buddy())
                out.append(l->text());
        for (const char* b : {"Back", "Copy"})
            out.append(ctl<QPushButton>(w, b)->text());
        return out;
    }
};

} // namespace

TEST_F(VantudictWindowTest, AWordTypedInShowsItsEntry)
{
    VantudictWindow w(library(), VantuSettings::load());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Vantu Dictionary"));
    // English to German the first time.
    EXPECT_EQ(ctl<QComboBox>(w, "From")->currentText(), QStringLiteral("English"));
    EXPECT_EQ(ctl<QComboBox>(w, "To")->currentText(), QStringLiteral("German"));
    EXPECT_EQ(ctl<QComboBox>(w, "From")->count(), 10);
    auto* word = ctl<QLineEdit>(w, "Word");
    EXPECT_EQ(word->accessibleName(), QStringLiteral("Word"));
    QTest::keyClicks(word, QStringLiteral("houses"));
    auto* entries = ctl<QTextBrowser>(w, "Entries");
    EXPECT_TRUE(entries->toPlainText().contains(QStringLiteral("Häuser")))
        << entries->toPlainText().toStdString();
    EXPECT_TRUE(entries->toPlainText().contains(QStringLiteral("houses: a form of house")));
    EXPECT_TRUE(entries->toPlainText().contains(QStringLiteral("/hˈaʊs/")));

    // Copy: the entries as plain text.
    ctl<QPushButton>(w, "Copy")->click();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith(
        QStringLiteral("houses /hˈaʊzɪz/\n  1. Häuser <pl>")))
        << QGuiApplication::clipboard()->text().toStdString();

    // A cross reference leads on; Back comes back.
    QTest::keyClick(word, Qt::Key_Return);
    w.showWord(QStringLiteral("open house"));
    EXPECT_TRUE(entries->toPlainText().contains(QStringLiteral("open house")));
    auto* back = ctl<QPushButton>(w, "Back");
    ASSERT_TRUE(back->isEnabled());
    back->click();
    EXPECT_EQ(word->text(), QStringLiteral("houses"));
    EXPECT_FALSE(back->isEnabled());

    word->setText(QStringLiteral("qzxqzxq"));
    EXPECT_EQ(ctl<QLabel>(w, "Notes")->text(), QStringLiteral("No entry for qzxqzxq."));
    EXPECT_FALSE(ctl<QPushButton>(w, "Copy")->isEnabled());
}

TEST_F(VantudictWindowTest, ItOpensOnTheLastPairWithCaptionsInTheTranslatorsLanguage)
{
    {
        VantudictWindow w(library(), VantuSettings::load());
        ctl<QComboBox>(w, "From")->setCurrentIndex(2); // German
        ctl<QComboBox>(w, "To")->setCurrentIndex(9);   // Japanese
        w.close();
    }
    writeAll(ConfigPaths::settingsFilePath(), "[Interface]\nLanguage=German\n");
    VantudictWindow w(library(), VantuSettings::load());
    EXPECT_EQ(ctl<QComboBox>(w, "From")->currentText(), QStringLiteral("German"));
    EXPECT_EQ(ctl<QComboBox>(w, "To")->currentText(), QStringLiteral("Japanese"));
    EXPECT_EQ(captions(w), (QStringList{QStringLiteral("&Wort:"), QStringLiteral("&Von:"),
                                        QStringLiteral("&Nach:"), QStringLiteral("&Zurück"),
                                        QStringLiteral("&Kopieren")}));
    ctl<QLineEdit>(w, "Word")->setText(QStringLiteral("Haus"));
    EXPECT_TRUE(
        ctl<QLabel>(w, "Notes")->text().contains(QStringLiteral("looked up through English")));

    // Each stored interface language has its captions; Korean stores
    // nothing and unknown names fall back to English.
    const struct
    {
        const char *stored, *word;
    } rows[] = {{"English", "&Word:"},    {"French", "&Mot :"},        {"Spanish", "&Palabra:"},
                {"Italian", "&Parola:"},  {"Portuguese", "&Palavra:"}, {"Japanese", "単語(&W):"},
                {"Chinois", "单词(&W):"}, {"Klingon", "&Word:"}};
    for (const auto& r : rows)
        EXPECT_STREQ(captionsFor(QString::fromLatin1(r.stored)).word, r.word);

    // Chinese: said at once.
    ctl<QLineEdit>(w, "Word")->clear();
    ctl<QComboBox>(w, "To")->setCurrentIndex(7);
    EXPECT_EQ(ctl<QLabel>(w, "Notes")->text(),
              QStringLiteral("There is no dictionary for Chinese here."));
}

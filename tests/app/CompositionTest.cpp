#include "WindowFixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

TEST_F(WindowTest, EveryMenuItemHasItsCaptionShortcutAndCheckMark)
{
    TfrmMain& w = open();
    const struct
    {
        const char* name;
        const char* caption;
        const char* shortcut;
        bool visible;
        bool checked;
    } items[] = {
        {"Opensourcefile1", "&Open Source Document ...", "", true, false},
        {"Open1", "&Save Translated Document ...", "", true, false},
        {"Print1", "Print ...", "Ctrl+P", true, false},
        {"PrinterSetup1", "Printer Setup", "", true, false},
        {"Exit1", "E&xit", "", true, false},
        {"Undo1", "Undo", "Ctrl+Z", true, false},
        {"Redo1", "Redo", "Ctrl+Y", true, false},
        {"Copy1", "Copy", "Ctrl+C", true, false},
        {"Cut1", "Cut", "Ctrl+X", true, false},
        {"Paste1", "Paste", "Ctrl+V", true, false},
        {"SelectAll1", "Select All", "Ctrl+A", true, false},
        {"Find1", "Find ...", "Ctrl+F", true, false},
        {"Replace1", "Replace ...", "Ctrl+R", true, false},
        {"ranslateSinglethreaded1", "Translate", "Ctrl+T", true, false},
        {"XMethodMenu", "Server 1", "", true, true},
        {"Xmethod2001", "Server 2", "", true, false},
        {"VelociGenMenu", "Server 3", "", true, false},
        {"English1", "English", "", true, true},
        {"French1", "French", "", true, false},
        {"Spanish1", "Spanish", "", true, false},
        {"German1", "German", "", true, false},
        {"Italian1", "Italian", "", true, false},
        {"Portuguese1", "Portuguese", "", true, false},
        {"Korean1", "Korean", "", false, false},
        {"Japanese1", "Japanese", "", true, false},
        {"Chinese1", "简体中文", "", false, false},
        {"ranslate2", "Translation Settings", "", true, false},
        // English ran at start: its text replaces the design's "Server Settings".
        {"Network1", "Timeout Settings", "", true, false},
        {"ProxySettings1", "Proxy Settings", "", true, false},
        {"TarquellTranslatorforWeb1", "Translator for Web", "", true, false},
        {"VantuDictionary1", "Vantu Dictionary", "", true, false},
        {"IEPagewatch1", "IE Pagewatch", "", true, false},
        {"Manual1", "Manual", "", true, false},
        {"Update1", "Live Update ...", "", true, false},
        {"Homepage1", "Homepage ...", "", true, false},
        {"About1", "About ...", "", true, false},
    };
    for (const auto& it : items) {
        auto* a = w.findChild<QAction*>(QString::fromLatin1(it.name));
        ASSERT_NE(a, nullptr) << it.name;
        EXPECT_EQ(a->text(), QString::fromUtf8(it.caption)) << it.name;
        EXPECT_EQ(a->shortcut().toString(), QString::fromLatin1(it.shortcut)) << it.name;
        EXPECT_EQ(a->isVisible(), it.visible) << it.name;
        EXPECT_EQ(a->isChecked(), it.checked) << it.name;
    }

    const struct
    {
        const char* name;
        const char* title;
        bool visible;
    } menus[] = {{"N1", "&File", true},
                 {"Edit1", "&Edit", true},
                 {"ranslate1", "&Translate", true},
                 {"Server1", "&Server", true},
                 {"Screen1", "&Interface", true},
                 {"Voice1", "&Voice", false},
                 {"Preference1", "&Preference", true},
                 {"Tools1", "T&ools", true},
                 {"Help1", "&Help", true}};
    QStringList order;
    for (QAction* a : ctl<QMenuBar>("MainMenu1")->actions())
        order << a->menu()->objectName();
    QStringList expected;
    for (const auto& m : menus) {
        expected << QString::fromLatin1(m.name);
        auto* menu = w.findChild<QMenu*>(QString::fromLatin1(m.name));
        ASSERT_NE(menu, nullptr) << m.name;
        EXPECT_EQ(menu->title(), QString::fromLatin1(m.title));
        EXPECT_EQ(menu->menuAction()->isVisible(), m.visible) << m.name;
    }
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(ctl<QMenu>("Voice1")->actions().isEmpty());
}

TEST_F(WindowTest, ToolbarPanesAndBrowserControlsAreInPlace)
{
    TfrmMain& w = open();
    w.show();
    const struct
    {
        const char* name;
        const char* caption;
        bool visible;
    } buttons[] = {
        {"OpenBtn", "Open", true},       {"SaveBtn", "Save", true},
        {"TransBtn", "Translate", true}, {"ClearBtn", "Clear", true},
        {"BitBtn6", "Undo", true},       {"FontBtn", "Font", true},
        {"BoldBtn", "", true},           {"ItalicBtn", "", true},
        {"UnderlineBtn", "", true},      {"LeftBtn", "", true},
        {"CentreBtn", "", true},         {"RightBtn", "", true},
        {"SpeedButton1", "Color", true}, {"SpeedButton2", "Print", true},
        {"SetBtn", "Swap", true},        {"HelpBtn", "Viewer", true},
        {"SpeedButton5", "Help", true},  {"TextBtn", "Text", false},
        {"BackBtn", "Back", false},      {"ForwardBtn", "Forward", false},
        {"StopBtn", "Stop", false},      {"RefreshBtn", "Refresh", false},
        {"GoBtn", "Go", false},          {"HomeBtn", "Home", false},
        {"ObBtn", "Observe", false},     {"ReTranBtn", "", false},
        {"ChangeBtn", "Change", false},
    };
    int lastLeft = -1;
    for (const auto& b : buttons) {
        auto* button = w.findChild<QToolButton*>(QString::fromLatin1(b.name));
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), QString::fromLatin1(b.caption)) << b.name;
        EXPECT_EQ(button->isVisible(), b.visible) << b.name;
        if (b.visible && button->height() == 48) {
            // The large buttons stand left to right in table order, picture above caption.
            const int left = button->mapTo(&w, QPoint(0, 0)).x();
            EXPECT_GT(left, lastLeft) << b.name;
            lastLeft = left;
            EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon) << b.name;
        }
    }

    // Language boxes: editable, ten languages with flags, ten rows, at the right end.
    for (QComboBox* box : {ctl<QComboBox>("CB1"), ctl<QComboBox>("CB2")}) {
        EXPECT_TRUE(box->isEditable());
        EXPECT_EQ(box->count(), 10);
        EXPECT_EQ(box->maxVisibleItems(), 10);
        for (int i = 0; i < box->count(); ++i)
            EXPECT_FALSE(box->itemIcon(i).isNull()) << i;
        EXPECT_GT(box->mapTo(&w, QPoint(0, 0)).x(),
                  ctl<QToolButton>("SpeedButton5")->mapTo(&w, QPoint(0, 0)).x());
    }
    EXPECT_LT(ctl<QComboBox>("CB1")->mapTo(&w, QPoint(0, 0)).y(),
              ctl<QComboBox>("CB2")->mapTo(&w, QPoint(0, 0)).y());

    // Panes: equal heights, one above the other, under the toolbar.
    EXPECT_EQ(ctl<QTextEdit>("Memo1")->height(), ctl<QTextEdit>("Memo2")->height());
    EXPECT_LT(ctl<QTextEdit>("Memo1")->geometry().bottom(),
              ctl<QTextEdit>("Memo2")->geometry().top());
    EXPECT_GE(ctl<QTextEdit>("Memo1")->mapTo(&w, QPoint(0, 0)).y(),
              ctl<QWidget>("Panel1")->mapTo(&w, QPoint(0, 52)).y());
    w.resize(900, 700);
    QTRY_COMPARE(ctl<QTextEdit>("Memo1")->height(), ctl<QTextEdit>("Memo2")->height());
    EXPECT_EQ(ctl<QTextEdit>("Memo1")->document()->blockCount(), 4); // four empty lines
    EXPECT_TRUE(ctl<QTextEdit>("Memo1")->toPlainText().trimmed().isEmpty());
    EXPECT_FALSE(ctl<QPlainTextEdit>("Memo3")->isVisible());

    // Browser-mode controls exist and stay out of sight in text mode.
    EXPECT_EQ(ctl<QComboBox>("CBServer")->count(), 7);
    QStringList servers;
    for (int i = 0; i < ctl<QComboBox>("CBServer")->count(); ++i)
        servers << ctl<QComboBox>("CBServer")->itemText(i);
    EXPECT_EQ(
        servers.join(QLatin1Char('|')),
        QStringLiteral("Server  5|Server  4|Server  6|Server  7|Server  3|Server  1|Server  2"));
    EXPECT_EQ(ctl<QComboBox>("CBServer")->currentText(), QStringLiteral("Server  5"));
    EXPECT_EQ(ctl<QLabel>("LblMode")->text(), QStringLiteral("Enabled"));
    EXPECT_EQ(ctl<QLabel>("LblAddress")->text(), QStringLiteral("Address"));
    for (QWidget* c :
         std::initializer_list<QWidget*>{ctl<QComboBox>("URLs"), ctl<QComboBox>("CBServer"),
                                         ctl<QLabel>("LblMode"), ctl<QLabel>("LblAddress")})
        EXPECT_FALSE(c->isVisible()) << c->objectName().toStdString();

    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tarquell Translator 4.00"));
    EXPECT_EQ(w.statusText(), QStringLiteral("Ready."));
    EXPECT_EQ(ctl<QStatusBar>("StatusBar1")->objectName(), QStringLiteral("StatusBar1"));
}

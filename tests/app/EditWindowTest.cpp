// The panes as editors on the real window: edit commands, formatting, find
// and replace, through their menus, buttons and dialogs.
#include "WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>

#include <functional>

namespace {

class EditTest : public WindowTest
{
protected:
    void SetUp() override
    {
        TfrmMain& w = open();
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        memo1 = ctl<QTextEdit>("Memo1");
        memo2 = ctl<QTextEdit>("Memo2");
    }

    // Gives the pane the keyboard focus, which makes it the current pane.
    void enter(QTextEdit* pane)
    {
        window->activateWindow();
        pane->setFocus();
        QTRY_VERIFY(pane->hasFocus());
    }
    static void select(QTextEdit* pane, int start, int length)
    {
        QTextCursor c = pane->textCursor();
        c.setPosition(start);
        c.setPosition(start + length, QTextCursor::KeepAnchor);
        pane->setTextCursor(c);
    }
    static void caretAt(QTextEdit* pane, int position) { select(pane, position, 0); }
    void trigger(const char* action) { ctl<QAction>(action)->trigger(); }
    void click(const char* button) { ctl<QToolButton>(button)->click(); }

    // Opens the find (Find1) or replace (Replace1) dialog from the Edit
    // menu and fills in its fields.
    QDialog* findDialog(const QString& what)
    {
        trigger("Find1");
        QDialog* d = ctl<QDialog>("FindDialog1");
        d->findChild<QLineEdit*>(QStringLiteral("FindText"))->setText(what);
        return d;
    }
    QDialog* replaceDialog(const QString& what, const QString& with)
    {
        trigger("Replace1");
        QDialog* d = ctl<QDialog>("ReplaceDialog1");
        d->findChild<QLineEdit*>(QStringLiteral("FindText"))->setText(what);
        d->findChild<QLineEdit*>(QStringLiteral("ReplaceText"))->setText(with);
        return d;
    }
    static void press(QDialog* d, const char* button)
    {
        auto* b = d->findChild<QPushButton*>(QString::fromLatin1(button));
        ASSERT_NE(b, nullptr) << button;
        ASSERT_TRUE(b->isEnabled()) << button;
        b->click();
    }
    static QTextCharFormat formatAt(QTextEdit* pane, int position)
    {
        QTextCursor c(pane->document());
        c.setPosition(position + 1);
        return c.charFormat();
    }

    QTextEdit* memo1 = nullptr;
    QTextEdit* memo2 = nullptr;
};

// The objectName of the widget with the keyboard focus, for failures.
std::string describe(const QWidget* w)
{
    return w ? w->objectName().toStdString() : std::string("nothing");
}

// Inserts text at a position as an undo step of its own.
void insertAt(QTextEdit* pane, int position, const QString& text)
{
    QTextCursor c(pane->document());
    c.setPosition(position);
    c.insertText(text);
}

} // namespace

TEST_F(EditTest, CurrentPaneCommandsDoNothingUntilAPaneHadTheFocus)
{
    ctl<QComboBox>("CB1")->setFocus();
    memo1->setPlainText(QStringLiteral("source"));
    memo2->setPlainText(QStringLiteral("destination"));
    select(memo1, 0, 6);
    dialogs.colorAnswers.push_back(QColor(Qt::red));
    trigger("Clear1");
    click("BitBtn6");
    click("BoldBtn");
    click("FontBtn");
    click("SpeedButton1");
    QDialog* find = findDialog(QStringLiteral("source"));
    press(find, "FindNextBtn");
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("source"));
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("destination"));
    EXPECT_FALSE(formatAt(memo1, 0).font().bold());
    EXPECT_TRUE(dialogs.fontsOffered.isEmpty());
    EXPECT_TRUE(dialogs.colorsOffered.isEmpty());
    EXPECT_TRUE(find->isVisible()); // nothing was searched
    find->close();

    // The pane that last had the focus stays current after it lost it.
    enter(memo2);
    ctl<QComboBox>("CB1")->setFocus();
    trigger("Clear1");
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("source"));
    EXPECT_EQ(memo2->toPlainText(), QString());
    EXPECT_TRUE(dialogs.shown.isEmpty()); // cleared without asking
}

TEST_F(EditTest, UndoAndRedoOnTheFocusedPaneFromEveryRoute)
{
    // Two separate edits in the source pane; the Edit menu, its shortcuts
    // and the pop-up menu all reach the same pane.
    const struct
    {
        const char* route;
        std::function<void()> undo, redo;
    } routes[] = {
        {"Edit menu", [this] { trigger("Undo1"); }, [this] { trigger("Redo1"); }},
        {"pop-up menu", [this] { trigger("Undo2"); }, [this] { trigger("Redo2"); }},
        {"shortcuts", [this] { QTest::keyClick(memo1, Qt::Key_Z, Qt::ControlModifier); },
         [this] { QTest::keyClick(memo1, Qt::Key_Y, Qt::ControlModifier); }},
    };
    for (const auto& r : routes) {
        SCOPED_TRACE(r.route);
        memo1->clear();
        enter(memo1);
        insertAt(memo1, 0, QStringLiteral("one"));
        insertAt(memo1, 0, QStringLiteral("two "));
        r.undo();
        EXPECT_EQ(memo1->toPlainText(), QStringLiteral("one"));
        // Redo takes the undone edit back in, and the history stays whole.
        r.redo();
        EXPECT_EQ(memo1->toPlainText(), QStringLiteral("two one"));
        r.undo();
        r.undo();
        EXPECT_EQ(memo1->toPlainText(), QString());
    }

    // With the focus in neither pane the destination pane is the focused one.
    memo2->clear();
    insertAt(memo2, 0, QStringLiteral("text"));
    ctl<QComboBox>("CB2")->setFocus();
    trigger("Undo1");
    EXPECT_EQ(memo2->toPlainText(), QString());
    trigger("Redo2");
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("text"));

    // The toolbar's Undo works on the current pane, wherever the focus is.
    enter(memo1);
    insertAt(memo1, 0, QStringLiteral("x"));
    ctl<QComboBox>("CB2")->setFocus();
    click("BitBtn6");
    EXPECT_EQ(memo1->toPlainText(), QString());
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("text"));
}

TEST_F(EditTest, ClipboardCommandsAndSelectAllOnTheFocusedPane)
{
    memo1->setPlainText(QStringLiteral("alpha beta"));
    memo2->setPlainText(QStringLiteral("gamma"));
    enter(memo1);
    select(memo1, 6, 4);
    trigger("Copy1");
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("beta"));
    caretAt(memo1, 0);
    trigger("Paste2");
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("betaalpha beta"));
    select(memo1, 0, 4);
    trigger("Cut1");
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("alpha beta"));
    trigger("SelectAll2");
    EXPECT_EQ(memo1->textCursor().selectedText(), QStringLiteral("alpha beta"));

    ctl<QComboBox>("CB1")->setFocus();
    trigger("SelectAll1");
    EXPECT_EQ(memo2->textCursor().selectedText(), QStringLiteral("gamma"));
    trigger("Cut2");
    EXPECT_EQ(memo2->toPlainText(), QString());
    trigger("Paste1");
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("gamma"));
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("alpha beta"));
}

TEST_F(EditTest, PopMenuItemsWrapAndTwins)
{
    QStringList items;
    for (QAction* a : ctl<QMenu>("PopMenu")->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + u'=' + a->text());
    EXPECT_EQ(items.join(u' '), QStringLiteral("Undo2=Undo Redo2=Redo - Clear1=Clear - "
                                               "Copy2=Copy Paste2=Paste Cut2=Cut "
                                               "SelectAll2=Select All - Find2=Find ... "
                                               "Replace2=Replace - AutoWrap1=Auto Wrap"));
    QAction* wrap = ctl<QAction>("AutoWrap1");
    EXPECT_TRUE(wrap->isChecked());
    EXPECT_NE(memo1->lineWrapMode(), QTextEdit::NoWrap);
    EXPECT_NE(memo2->lineWrapMode(), QTextEdit::NoWrap);

    // Auto Wrap switches the focused pane only, and inverts its check mark.
    enter(memo1);
    wrap->trigger();
    EXPECT_EQ(memo1->lineWrapMode(), QTextEdit::NoWrap);
    EXPECT_NE(memo2->lineWrapMode(), QTextEdit::NoWrap);
    EXPECT_FALSE(wrap->isChecked());

    // Opening the menu over a pane shows that pane's wrap.
    QMenu* menu = ctl<QMenu>("PopMenu");
    const struct
    {
        QTextEdit* pane;
        bool checked;
    } popups[] = {{memo2, true}, {memo1, false}, {memo2, true}};
    for (const auto& p : popups) {
        enter(p.pane);
        emit p.pane->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(menu->isVisible());
        EXPECT_EQ(wrap->isChecked(), p.checked) << p.pane->objectName().toStdString();
        menu->close();
        QTRY_VERIFY(!menu->isVisible());
    }

    // The pop-up Find and Replace open the Edit menu's dialogs, as do the
    // Edit menu's shortcuts; one dialog of each kind.
    trigger("Find2");
    QDialog* find = ctl<QDialog>("FindDialog1");
    EXPECT_TRUE(find->isVisible());
    trigger("Replace2");
    EXPECT_TRUE(ctl<QDialog>("ReplaceDialog1")->isVisible());
    find->close();
    ctl<QDialog>("ReplaceDialog1")->close();
    enter(memo1);
    QTest::keyClick(memo1, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(find->isVisible());
    enter(memo1);
    QTest::keyClick(memo1, Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(ctl<QDialog>("ReplaceDialog1")->isVisible());
    EXPECT_EQ(window->findChildren<QDialog*>().size(), 2);
}

TEST_F(EditTest, ClearButtonAsksOnlyForAnEditedSourcePane)
{
    const struct
    {
        bool edited;
        MsgResult answer;
        bool asked;
        bool cleared;
    } cases[] = {
        {false, MsgResult::Yes, false, false},
        {true, MsgResult::No, true, false},
        {true, MsgResult::Yes, true, true},
    };
    for (const auto& c : cases) {
        memo1->setPlainText(QStringLiteral("source"));
        memo1->document()->setModified(c.edited);
        memo2->setPlainText(QStringLiteral("destination"));
        enter(memo2);
        dialogs.shown.clear();
        dialogs.messageAnswers = {c.answer};
        click("ClearBtn");
        ASSERT_EQ(dialogs.shown.size(), c.asked ? 1 : 0);
        if (c.asked) {
            EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Warning"));
            EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Clear all content in both windows?"));
            EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::None);
            EXPECT_EQ(dialogs.shown[0].buttons, MsgButtons::YesNo);
        }
        EXPECT_EQ(memo1->toPlainText().isEmpty(), c.cleared);
        EXPECT_EQ(memo2->toPlainText().isEmpty(), c.cleared);
        QTRY_VERIFY(memo1->hasFocus());
    }
}

TEST_F(EditTest, BoldItalicUnderlineSwitchOnTheSelection)
{
    memo1->setPlainText(QStringLiteral("abcd"));
    enter(memo1);
    // Plain selection: the style comes on.
    select(memo1, 0, 2);
    click("BoldBtn");
    EXPECT_TRUE(formatAt(memo1, 0).font().bold());
    EXPECT_TRUE(formatAt(memo1, 1).font().bold());
    EXPECT_FALSE(formatAt(memo1, 2).font().bold());
    EXPECT_TRUE(memo1->hasFocus());
    // Mixed selection (ab bold, cd plain): all of it becomes bold.
    select(memo1, 0, 4);
    click("BoldBtn");
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(formatAt(memo1, i).font().bold()) << i;
    // Bold selection: the style goes.
    click("BoldBtn");
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(formatAt(memo1, i).font().bold()) << i;

    select(memo1, 1, 2);
    click("ItalicBtn");
    click("UnderlineBtn");
    EXPECT_FALSE(formatAt(memo1, 0).font().italic());
    EXPECT_TRUE(formatAt(memo1, 1).font().italic());
    EXPECT_TRUE(formatAt(memo1, 2).font().underline());
    EXPECT_FALSE(formatAt(memo1, 3).font().underline());
    click("ItalicBtn");
    EXPECT_FALSE(formatAt(memo1, 1).font().italic());
    EXPECT_TRUE(formatAt(memo1, 1).font().underline()); // the other styles stay
    // One undo step per switch.
    trigger("Undo1");
    EXPECT_TRUE(formatAt(memo1, 1).font().italic());
}

TEST_F(EditTest, StyleWithoutSelectionAppliesToWhatIsTypedNext)
{
    memo2->setPlainText(QStringLiteral("plain"));
    enter(memo2);
    caretAt(memo2, 5);
    click("BoldBtn");
    QTest::keyClicks(memo2, QStringLiteral("bold"));
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("plainbold"));
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(formatAt(memo2, i).font().bold()) << i;
    for (int i = 5; i < 9; ++i)
        EXPECT_TRUE(formatAt(memo2, i).font().bold()) << i;
    // The switch reads the format new typing takes: pressed again, it goes.
    click("BoldBtn");
    QTest::keyClicks(memo2, QStringLiteral("x"));
    EXPECT_FALSE(formatAt(memo2, 9).font().bold());
}

TEST_F(EditTest, FontAndColourThroughTheDialogSeam)
{
    memo1->setPlainText(QStringLiteral("one two"));
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCursor c(memo1->document());
    c.setPosition(4);
    c.setPosition(7, QTextCursor::KeepAnchor);
    c.mergeCharFormat(bold);
    enter(memo1);

    // The font dialog opens on the selection's font, style included.
    select(memo1, 4, 3);
    dialogs.fontAnswers.push_back(QFont(QStringLiteral("Courier New"), 14));
    click("FontBtn");
    ASSERT_EQ(dialogs.fontsOffered.size(), 1);
    EXPECT_EQ(dialogs.fontsOffered[0].family(), QStringLiteral("Arial"));
    EXPECT_EQ(dialogs.fontsOffered[0].pointSize(), 10);
    EXPECT_TRUE(dialogs.fontsOffered[0].bold());
    const QFont chosen = formatAt(memo1, 5).font();
    EXPECT_EQ(chosen.family(), QStringLiteral("Courier New"));
    EXPECT_EQ(chosen.pointSize(), 14);
    EXPECT_FALSE(chosen.bold()); // the whole chosen font, style and all
    EXPECT_EQ(formatAt(memo1, 0).font().pointSize(), 10);
    EXPECT_TRUE(memo1->hasFocus());

    // Cancel changes nothing.
    select(memo1, 0, 3);
    click("FontBtn");
    EXPECT_EQ(dialogs.fontsOffered.size(), 2);
    EXPECT_EQ(formatAt(memo1, 0).fontPointSize(), 0.0); // still the pane's own

    // Colour: the dialog starts from the colour chosen last; Cancel does
    // nothing; the pane's background stays white.
    dialogs.colorAnswers = {QColor(Qt::red), std::nullopt, QColor(Qt::blue)};
    click("SpeedButton1");
    EXPECT_EQ(formatAt(memo1, 1).foreground().color(), QColor(Qt::red));
    // (The font command gave "two" the whole font, its colour black included.)
    EXPECT_EQ(formatAt(memo1, 4).foreground().color(), QColor(Qt::black));
    select(memo1, 4, 3);
    click("SpeedButton1");
    EXPECT_EQ(formatAt(memo1, 4).foreground().color(), QColor(Qt::black));
    click("SpeedButton1");
    EXPECT_EQ(formatAt(memo1, 4).foreground().color(), QColor(Qt::blue));
    EXPECT_EQ(formatAt(memo1, 4).font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(dialogs.colorsOffered,
              (QList<QColor>{QColor(Qt::black), QColor(Qt::red), QColor(Qt::red)}));
    EXPECT_EQ(memo1->palette().color(QPalette::Base), QColor(Qt::white));
}

TEST_F(EditTest, AlignmentActsOnTheSourcePaneWhicheverIsCurrent)
{
    memo1->setPlainText(QStringLiteral("first\nsecond\nthird"));
    memo2->setPlainText(QStringLiteral("other"));
    caretAt(memo1, 8); // in "second"
    enter(memo2);
    const struct
    {
        const char* button;
        Qt::Alignment expected;
    } cases[] = {
        {"CentreBtn", Qt::AlignHCenter},
        {"RightBtn", Qt::AlignRight | Qt::AlignAbsolute},
        {"LeftBtn", Qt::AlignLeft | Qt::AlignAbsolute},
    };
    for (const auto& c : cases) {
        click(c.button);
        const QTextDocument* doc = memo1->document();
        EXPECT_EQ(doc->findBlockByNumber(1).blockFormat().alignment(), c.expected) << c.button;
        EXPECT_EQ(doc->findBlockByNumber(0).blockFormat().alignment(), Qt::AlignLeft);
        EXPECT_EQ(memo2->document()->firstBlock().blockFormat().alignment(), Qt::AlignLeft);
    }
    // A selection over two paragraphs aligns both.
    select(memo1, 2, 10);
    click("CentreBtn");
    EXPECT_EQ(memo1->document()->findBlockByNumber(0).blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(memo1->document()->findBlockByNumber(2).blockFormat().alignment(), Qt::AlignLeft);
}

TEST_F(EditTest, GlyphButtonsHaveTipsAndAccessibleNames)
{
    const struct
    {
        const char* button;
        const char* name;
    } buttons[] = {{"BoldBtn", "Bold"},           {"ItalicBtn", "Italic"},
                   {"UnderlineBtn", "Underline"}, {"LeftBtn", "Align Left"},
                   {"CentreBtn", "Center"},       {"RightBtn", "Align Right"}};
    for (const auto& b : buttons) {
        EXPECT_EQ(ctl<QToolButton>(b.button)->toolTip(), QString::fromLatin1(b.name));
        EXPECT_EQ(ctl<QToolButton>(b.button)->accessibleName(), QString::fromLatin1(b.name));
    }
}

TEST_F(EditTest, FindNextStartsAfterTheSelectionOrAtTheStart)
{
    memo1->setPlainText(QStringLiteral("ABC abc\r\nx abc"));
    enter(memo1);
    caretAt(memo1, memo1->toPlainText().size()); // the caret at the end
    QDialog* find = findDialog(QStringLiteral("abc"));
    ASSERT_TRUE(find->isVisible());
    press(find, "FindNextBtn");
    // Found from the start (not from the caret), case counts, the dialog
    // closes and the pane has the focus.
    EXPECT_EQ(memo1->textCursor().selectionStart(), 4);
    EXPECT_EQ(memo1->textCursor().selectedText(), QStringLiteral("abc"));
    EXPECT_FALSE(find->isVisible());
    QTRY_VERIFY(memo1->hasFocus());

    // The next press starts after the selected match, past the line break.
    find = findDialog(QStringLiteral("abc"));
    press(find, "FindNextBtn");
    EXPECT_EQ(memo1->textCursor().selectionStart(), 10);
    EXPECT_EQ(memo1->textCursor().selectedText(), QStringLiteral("abc"));

    // No further match: nothing happens, nothing is said.
    find = findDialog(QStringLiteral("abc"));
    press(find, "FindNextBtn");
    EXPECT_EQ(memo1->textCursor().selectionStart(), 10);
    EXPECT_TRUE(find->isVisible());
    EXPECT_TRUE(dialogs.shown.isEmpty());
    find->close();

    // The replace dialog's Find Next finds too, and its dialog stays open.
    select(memo1, 0, 0);
    QDialog* replace = replaceDialog(QStringLiteral("x a"), QString());
    press(replace, "FindNextBtn");
    EXPECT_EQ(memo1->textCursor().selectedText(), QStringLiteral("x a"));
    EXPECT_TRUE(replace->isVisible());

    // An empty find text cannot be searched for.
    replace->findChild<QLineEdit*>(QStringLiteral("FindText"))->clear();
    for (const char* b : {"FindNextBtn", "ReplaceBtn", "ReplaceAllBtn"})
        EXPECT_FALSE(replace->findChild<QPushButton*>(QString::fromLatin1(b))->isEnabled()) << b;
}

// Reopened with its shortcut, either dialog takes the typed text into
// "Find what:", wherever its focus was when it closed.
TEST_F(EditTest, FindAndReplaceReopenWithFindWhatFocusedAndSelected)
{
    const struct
    {
        Qt::Key key;
        const char* dialog;
        bool replacing;
    } rows[] = {{Qt::Key_R, "ReplaceDialog1", true}, {Qt::Key_F, "FindDialog1", false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.dialog);
        memo1->setPlainText(QStringLiteral("one two one"));
        enter(memo1);
        QTest::keyClick(memo1, r.key, Qt::ControlModifier);
        auto* d = ctl<QDialog>(r.dialog);
        ASSERT_TRUE(QTest::qWaitFor([&] { return d->isActiveWindow(); }));
        auto* findText = d->findChild<QLineEdit*>(QStringLiteral("FindText"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == findText; }))
            << describe(QApplication::focusWidget());
        QTest::keyClicks(findText, QStringLiteral("one"));
        // The user tabs on (to "Replace with:", or to Find Next), works
        // there, and closes the dialog with Esc.
        QTest::keyClick(findText, Qt::Key_Tab);
        QWidget* next = QApplication::focusWidget();
        ASSERT_NE(next, findText);
        if (r.replacing) {
            ASSERT_EQ(next, d->findChild<QLineEdit*>(QStringLiteral("ReplaceText")));
            QTest::keyClicks(next, QStringLiteral("1"));
            d->findChild<QPushButton*>(QStringLiteral("ReplaceBtn"))->click();
            EXPECT_EQ(memo1->toPlainText(), QStringLiteral("1 two one"));
            ASSERT_TRUE(QTest::qWaitFor([&] { return d->isActiveWindow(); }));
        }
        QTest::keyClick(next, Qt::Key_Escape);
        ASSERT_FALSE(d->isVisible());

        enter(memo1);
        QTest::keyClick(memo1, r.key, Qt::ControlModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return d->isActiveWindow(); }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == findText; }))
            << describe(QApplication::focusWidget());
        EXPECT_EQ(findText->selectedText(), QStringLiteral("one"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("two"));
        EXPECT_EQ(findText->text(), QStringLiteral("two"));
        if (r.replacing) {
            EXPECT_EQ(d->findChild<QLineEdit*>(QStringLiteral("ReplaceText"))->text(),
                      QStringLiteral("1"));
        }
        d->close();
    }
}

TEST_F(EditTest, ReplaceTakesTheFirstOccurrenceOfTheWholeText)
{
    memo2->setPlainText(QStringLiteral("a b a"));
    enter(memo2);
    select(memo2, 4, 1); // the selection plays no part
    QDialog* replace = replaceDialog(QStringLiteral("a"), QStringLiteral("aa"));
    press(replace, "ReplaceBtn");
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("aa b a"));
    press(replace, "ReplaceBtn");
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("aaa b a"));
    EXPECT_TRUE(replace->isVisible());

    // Absent: the error box names the text, nothing changes.
    replace->findChild<QLineEdit*>(QStringLiteral("FindText"))->setText(QStringLiteral("abc"));
    press(replace, "ReplaceBtn");
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Cannot find abc string."));
    EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Error);
    EXPECT_EQ(dialogs.shown[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("aaa b a"));

    // Line breaks written as CR LF count as one character, like the pane's
    // own positions: the replacement lands exactly on the match.
    memo2->setPlainText(QStringLiteral("one\r\ntwo\r\nthree two"));
    replace = replaceDialog(QStringLiteral("two"), QStringLiteral("2"));
    press(replace, "ReplaceBtn");
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("one\n2\nthree two"));
    replace = replaceDialog(QStringLiteral("2\r\nthree"), QStringLiteral("3"));
    press(replace, "ReplaceBtn");
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("one\n3 two"));
}

TEST_F(EditTest, ReplaceAllReplacesEveryOccurrenceAsOneUndoStep)
{
    memo1->setPlainText(QStringLiteral("cat, cat\nand cat"));
    enter(memo1);
    QDialog* replace = replaceDialog(QStringLiteral("cat"), QStringLiteral("tiger"));
    press(replace, "ReplaceAllBtn");
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("tiger, tiger\nand tiger"));
    EXPECT_EQ(memo1->textCursor().position(), 5); // after the first replacement
    // A replacement that holds the find text is not searched again.
    replace = replaceDialog(QStringLiteral("tiger"), QStringLiteral("tiger tiger"));
    press(replace, "ReplaceAllBtn");
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("tiger tiger, tiger tiger\nand tiger tiger"));
    enter(memo1);
    trigger("Undo1");
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("tiger, tiger\nand tiger"));
    trigger("Undo1");
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("cat, cat\nand cat"));
    // After Replace All the Replace button is still one at a time.
    replace = replaceDialog(QStringLiteral("cat"), QStringLiteral("dog"));
    press(replace, "ReplaceBtn");
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("dog, cat\nand cat"));
}

// What a screen reader finds: every control the keyboard reaches in the
// window, the options dialog and the about box, and every menu item, has a
// name, in every interface language.
#include "WindowFixture.h"

#include "platform/InterfaceLanguages.h"
#include "platform/InterfaceTexts.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

namespace {

QString describe(const QObject* o)
{
    return (o->objectName().isEmpty() ? QStringLiteral("<unnamed>") : o->objectName()) +
           QLatin1Char(' ') + QString::fromLatin1(o->metaObject()->className());
}

QString accessibleName(QObject* o)
{
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
    return a ? a->text(QAccessible::Name).trimmed() : QString();
}

// Controls the keyboard can reach (and every button) that a screen reader
// would announce without a name. Parts of a composite control, such as a
// combo box's line edit, a text pane's scroll bars or the menu bar's
// overflow button, speak through it; a control that hands its focus on
// (a tab widget to its tab bar) is announced as the one that takes it.
QStringList unnamedControls(QWidget* root)
{
    QStringList out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->focusPolicy() == Qt::NoFocus && !qobject_cast<QAbstractButton*>(w))
            continue;
        if (qobject_cast<QMenu*>(w) || qobject_cast<QMenuBar*>(w))
            continue; // their items are looked at below
        if (w->focusProxy())
            continue;
        bool part = false;
        for (QWidget* p = w->parentWidget(); p && p != root; p = p->parentWidget())
            part = part || qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractScrollArea*>(p) ||
                   qobject_cast<QMenuBar*>(p);
        if (!part && accessibleName(w).isEmpty())
            out << describe(w);
    }
    return out;
}

// Menu items without a name, the menu bar's titles included.
QStringList unnamedItems(QWidget* root)
{
    QStringList out;
    QList<QWidget*> menus;
    for (QMenuBar* bar : root->findChildren<QMenuBar*>())
        menus << bar;
    for (QMenu* menu : root->findChildren<QMenu*>())
        menus << menu;
    for (QWidget* menu : menus) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(menu);
        if (!a) {
            out << describe(menu);
            continue;
        }
        for (int i = 0; i < a->childCount(); ++i) {
            QAccessibleInterface* item = a->child(i);
            if (item->role() == QAccessible::Separator)
                continue;
            if (item->text(QAccessible::Name).trimmed().isEmpty())
                out << describe(menu) + QStringLiteral(" item %1").arg(i);
        }
    }
    return out;
}

QString joined(const QStringList& list)
{
    return list.join(QStringLiteral(", "));
}

} // namespace

TEST_F(WindowTest, EveryControlAndMenuItemOfTheWindowHasANameInEveryLanguage)
{
    open();
    auto* reTranslate = ctl<QToolButton>("ReTranBtn");
    QStringList names;
    for (const InterfaceLanguage& l : interfaceLanguages()) {
        if (*l.stored == 0)
            continue; // no command, no texts
        SCOPED_TRACE(l.stored);
        ctl<QAction>(l.menuItem)->trigger();
        EXPECT_EQ(unnamedControls(window.get()), QStringList())
            << joined(unnamedControls(window.get())).toStdString();
        EXPECT_EQ(unnamedItems(window.get()), QStringList());
        // Every named control is there when the names are given, also those
        // a controller adds late (the document progress bar).
        for (const InterfaceText& name : interfaceNames(QString::fromUtf8(l.stored))) {
            auto* control = window->findChild<QWidget*>(name.control);
            ASSERT_TRUE(control) << name.control.toStdString();
            EXPECT_EQ(control->accessibleName(), name.text) << name.control.toStdString();
        }
        // The browser row's glyph button says what it does, by name and tip.
        EXPECT_FALSE(reTranslate->accessibleName().isEmpty());
        EXPECT_EQ(reTranslate->toolTip(), reTranslate->accessibleName());
        names << reTranslate->accessibleName();
    }
    // In the language of the interface: no two languages share it here.
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 8);
    EXPECT_EQ(names.first(), QStringLiteral("Translate this page again"));
}

TEST_F(WindowTest, EveryControlOfTheOptionsDialogAndTheAboutBoxHasAName)
{
    open();
    for (const char* command : {"ranslate2", "About1"}) {
        SCOPED_TRACE(command);
        bool walked = false;
        dialogs.dialogAnswers.push_back([&](QDialog& d) {
            walked = true;
            EXPECT_EQ(unnamedControls(&d), QStringList())
                << joined(unnamedControls(&d)).toStdString();
            EXPECT_EQ(unnamedItems(&d), QStringList());
            return int(QDialog::Rejected);
        });
        ctl<QAction>(command)->trigger();
        EXPECT_TRUE(walked);
    }
}

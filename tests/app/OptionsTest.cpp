#include "WindowFixture.h"

#include "app/OptionUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

namespace {
TOption& asOption(QDialog& d)
{
    auto* o = qobject_cast<TOption*>(&d);
    if (!o)
        throw std::runtime_error("not the options dialog");
    return *o;
}
} // namespace

TEST_F(WindowTest, OptionsDialogShowsItsControlsInTheirDesignState)
{
    open();
    dialogs.dialogAnswers.push_back([](QDialog& d) {
        TOption& o = asOption(d);
        EXPECT_EQ(o.windowTitle(), QStringLiteral("Option"));
        EXPECT_EQ(o.size(), QSize(303, 223));
        EXPECT_EQ(o.minimumSize(), o.maximumSize()); // not sizable
        EXPECT_EQ(o.PageControl1->count(), 3);
        EXPECT_EQ(o.PageControl1->tabText(0), QStringLiteral("Translation && Environment"));
        EXPECT_EQ(o.PageControl1->tabText(1), QStringLiteral("Remote Server"));
        EXPECT_EQ(o.PageControl1->tabText(2), QStringLiteral("Proxy"));
        // Shown as designed every time, read by nothing.
        EXPECT_TRUE(o.RB1->isChecked());
        EXPECT_FALSE(o.RB2->isEnabled());
        EXPECT_TRUE(o.CheckBox6->isChecked());
        // Each tab has its own OK and Cancel at the same place.
        const QPushButton* buttons[] = {o.Button1, o.Button2, o.Button3,
                                        o.Button4, o.Button5, o.Button6};
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(buttons[i]->text(), i % 2 ? QStringLiteral("Cancel") : QStringLiteral("OK"));
            EXPECT_EQ(buttons[i]->geometry(), QRect(i % 2 ? 152 : 64, 160, 65, 25));
            EXPECT_EQ(buttons[i]->parentWidget(), o.PageControl1->widget(i / 2));
        }
        return int(QDialog::Rejected);
    });
    ctl<QAction>("ranslate2")->trigger();
    EXPECT_EQ(dialogs.dialogsRun, QStringList{QStringLiteral("Option")});
}

TEST_F(WindowTest, EachPreferenceItemOpensItsTabFilledFromTheFields)
{
    TfrmMain& w = open();
    const struct
    {
        const char* item;
        int tab;
        bool proxy;
    } rows[] = {{"ranslate2", 0, false},
                {"Network1", 1, true},
                {"ProxySettings1", 2, true},
                {"ProxySettings1", 2, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.item);
        w.Settings.ProxySpecified = r.proxy;
        w.Settings.ProxyAddr = QStringLiteral("10.0.0.1");
        w.Settings.ProxyPort = 3128;
        w.Settings.MTQuote = 1234;
        w.Settings.TimeOut = 777;
        w.Settings.MultiThreading = true;
        w.Settings.DragAndDrop = false;
        dialogs.dialogAnswers.push_back([&](QDialog& d) {
            TOption& o = asOption(d);
            EXPECT_EQ(o.PageControl1->currentIndex(), r.tab);
            EXPECT_TRUE(o.CheckBox1->isChecked());
            EXPECT_FALSE(o.CheckBox2->isChecked());
            EXPECT_EQ(o.Edit1->text(), QStringLiteral("1234"));
            EXPECT_EQ(o.Edit2->text(), QStringLiteral("777"));
            EXPECT_EQ(o.CheckBox5->isChecked(), r.proxy);
            // Address and port show either way; typing needs the box checked.
            EXPECT_EQ(o.Edit3->text(), QStringLiteral("10.0.0.1"));
            EXPECT_EQ(o.Edit4->text(), QStringLiteral("3128"));
            EXPECT_EQ(o.Edit3->isEnabled(), r.proxy);
            EXPECT_EQ(o.Edit4->isEnabled(), r.proxy);
            return int(QDialog::Rejected);
        });
        ctl<QAction>(r.item)->trigger();
        EXPECT_TRUE(dialogs.dialogAnswers.empty());
    }
}

TEST(OptionDialog, TheProxyBoxEnablesAddressAndPortOnEveryChange)
{
    TOption o;
    o.show();
    EXPECT_FALSE(o.Edit3->isEnabled());
    o.PageControl1->setCurrentIndex(2);
    QTest::mouseClick(o.CheckBox5, Qt::LeftButton, {}, QPoint(5, o.CheckBox5->height() / 2));
    EXPECT_TRUE(o.CheckBox5->isChecked());
    EXPECT_TRUE(o.Edit3->isEnabled());
    EXPECT_TRUE(o.Edit4->isEnabled());
    o.CheckBox5->setChecked(false); // the program's own change counts too
    EXPECT_FALSE(o.Edit3->isEnabled());
    EXPECT_FALSE(o.Edit4->isEnabled());
}

TEST_F(WindowTest, OkOnAnyTabCopiesEverythingCancelOrCloseCopiesNothing)
{
    TfrmMain& w = open();
    const MainSettings before = w.Settings;
    const struct
    {
        const char* button; // null: the title bar's close button
        bool copies;
    } rows[] = {{"Button2", false}, {"Button4", false}, {"Button6", false}, {nullptr, false},
                {"Button1", true},  {"Button3", true},  {"Button5", true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.button ? r.button : "close");
        w.Settings = before;
        dialogs.dialogAnswers.push_back([&](QDialog& d) {
            TOption& o = asOption(d);
            o.CheckBox1->setChecked(!before.MultiThreading);
            o.CheckBox2->setChecked(!before.DragAndDrop);
            o.CheckBox3->setChecked(!before.LoadSettings);
            o.Edit1->setText(QStringLiteral("0"));
            o.Edit2->setText(QStringLiteral("-5"));
            o.CheckBox4->setChecked(!before.AutoUpdate);
            o.CheckBox5->setChecked(true);
            o.Edit3->setText(QString()); // taken as typed, empty included
            o.Edit4->setText(QStringLiteral(" 3128 "));
            if (r.button) {
                auto* b = o.findChild<QPushButton*>(QString::fromLatin1(r.button));
                o.PageControl1->setCurrentWidget(b->parentWidget());
                QTest::mouseClick(b, Qt::LeftButton);
            } else {
                o.close();
            }
            return o.result();
        });
        ctl<QAction>("ranslate2")->trigger();
        const MainSettings& s = w.Settings;
        if (r.copies) {
            EXPECT_EQ(s.MultiThreading, !before.MultiThreading);
            EXPECT_EQ(s.DragAndDrop, !before.DragAndDrop);
            EXPECT_EQ(s.LoadSettings, !before.LoadSettings);
            EXPECT_EQ(s.MTQuote, 0);
            EXPECT_EQ(s.TimeOut, -5);
            EXPECT_EQ(s.AutoUpdate, !before.AutoUpdate);
            EXPECT_TRUE(s.ProxySpecified);
            EXPECT_EQ(s.ProxyAddr, QString());
            EXPECT_EQ(s.ProxyPort, 3128);
        } else {
            EXPECT_EQ(s.MultiThreading, before.MultiThreading);
            EXPECT_EQ(s.LoadSettings, before.LoadSettings);
            EXPECT_EQ(s.MTQuote, before.MTQuote);
            EXPECT_EQ(s.TimeOut, before.TimeOut);
            EXPECT_EQ(s.ProxySpecified, before.ProxySpecified);
            EXPECT_EQ(s.ProxyPort, before.ProxyPort);
        }
    }
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

// A box that is no integer stops the copying there: the fields before it
// take the dialog's values, it and those after it keep theirs.
TEST_F(WindowTest, NoIntegerInABoxStopsTheCopyingAtThatBox)
{
    TfrmMain& w = open();
    const struct
    {
        const char* edit;
        const char* text;
        int copiedUpTo; // 1 MTQuote, 2 TimeOut, 3 ProxyPort
    } rows[] = {
        {"Edit2", "12a", 1}, {"Edit1", "", 0}, {"Edit4", "99999999999", 2}, {"Edit1", "3 000", 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        w.Settings = MainSettings();
        dialogs.shown.clear();
        dialogs.dialogAnswers.push_back([&](QDialog& d) {
            TOption& o = asOption(d);
            o.CheckBox1->setChecked(true);
            o.CheckBox3->setChecked(false);
            o.Edit1->setText(QStringLiteral("4000"));
            o.Edit2->setText(QStringLiteral("60000"));
            o.CheckBox4->setChecked(false);
            o.CheckBox5->setChecked(true);
            o.Edit3->setText(QStringLiteral("proxy.lan"));
            o.Edit4->setText(QStringLiteral("81"));
            o.findChild<QLineEdit*>(QString::fromLatin1(r.edit))
                ->setText(QString::fromUtf8(r.text));
            QTest::mouseClick(o.Button3, Qt::LeftButton);
            return o.result();
        });
        ctl<QAction>("Network1")->trigger();
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(
            dialogs.shown[0].text,
            QStringLiteral("'%1' is not a valid integer value.").arg(QString::fromUtf8(r.text)));
        EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Error);
        const MainSettings& s = w.Settings;
        EXPECT_TRUE(s.MultiThreading); // copied before any box
        EXPECT_FALSE(s.LoadSettings);
        EXPECT_EQ(s.MTQuote, r.copiedUpTo >= 1 ? 4000 : 5000);
        EXPECT_EQ(s.TimeOut, r.copiedUpTo >= 2 ? 60000 : 50000);
        EXPECT_EQ(s.AutoUpdate, r.copiedUpTo < 2);
        EXPECT_EQ(s.ProxySpecified, r.copiedUpTo >= 2);
        EXPECT_EQ(s.ProxyAddr, r.copiedUpTo >= 2 ? QStringLiteral("proxy.lan") : QString());
        EXPECT_EQ(s.ProxyPort, 8080);
    }
    // The dialog is gone either way.
    EXPECT_TRUE(window->findChildren<TOption*>().isEmpty());
}

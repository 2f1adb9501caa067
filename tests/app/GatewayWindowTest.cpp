// Browser mode's commands on the real window, with a browser that records
// what it is asked to do: the mode switch, the address box, the gateway
// selector and switch, Home, Go and re-translate.
#include "WindowFixture.h"

#include "app/AboutController.h"
#include "app/BrowserPane.h"
#include "platform/AppTitle.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

namespace {

class RecordingBrowser : public BrowserPane
{
public:
    RecordingBrowser(QWidget* parent, BrowserEvents& events)
        : view(new QWidget(parent)), events(events)
    {
    }
    QWidget* widget() override { return view; }
    void Navigate(const QString& address) override
    {
        calls << QStringLiteral("Navigate ") + address;
    }
    void GoBack() override { calls << QStringLiteral("GoBack"); }
    void GoForward() override { calls << QStringLiteral("GoForward"); }
    void Refresh() override { calls << QStringLiteral("Refresh"); }
    void Stop() override { calls << QStringLiteral("Stop"); }
    QString LocationURL() const override { return location; }
    QString LocationName() const override { return QStringLiteral("Shown page"); }
    void Print(QPrinter&, std::function<void(bool)> finished) override
    {
        calls << QStringLiteral("Print");
        printed = std::move(finished);
    }

    QWidget* view;
    std::function<void(bool)> printed;
    BrowserEvents& events;
    QStringList calls;
    QString location;
};

class GatewayWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        browserFactory = [this](QWidget* parent, BrowserEvents& events) {
            ++made;
            auto b = std::make_unique<RecordingBrowser>(parent, events);
            browser = b.get();
            return b;
        };
    }
    // The window in browser mode, English to French.
    TfrmMain& openInBrowserMode()
    {
        writeIni("[Settings]\nSrcLang=English\nDstLang=French\n"
                 "[Services]\nGateway 1=gw1\nGateway 5=gw5\nHome Page=http://home.example/\n");
        TfrmMain& w = open();
        w.show();
        ctl<QToolButton>("WebBtn")->click();
        return w;
    }
    void enterAddress(const QString& text)
    {
        auto* box = ctl<QComboBox>("URLs");
        box->setEditText(text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    void selectServer(int n)
    {
        auto* box = ctl<QComboBox>("CBServer");
        const int index = box->findText(QStringLiteral("Server  %1").arg(n));
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    QStringList messages() const
    {
        QStringList texts;
        for (const auto& shown : dialogs.shown)
            texts << shown.text;
        return texts;
    }

    RecordingBrowser* browser = nullptr;
    int made = 0;
};

const char* const TextButtons[] = {"OpenBtn", "SaveBtn",      "TransBtn",     "ClearBtn", "BitBtn6",
                                   "FontBtn", "SpeedButton1", "SpeedButton5", "WebBtn"};
const char* const BrowserButtons[] = {"TextBtn", "BackBtn", "ForwardBtn", "StopBtn",   "RefreshBtn",
                                      "GoBtn",   "HomeBtn", "ObBtn",      "ReTranBtn", "ChangeBtn"};

} // namespace

TEST_F(GatewayWindowTest, BrowserModeAndBackToTextMode)
{
    TfrmMain& w = open();
    w.show();
    EXPECT_EQ(made, 0); // never at start
    ctl<QAction>("WebPage1")->trigger();
    ASSERT_EQ(made, 1);
    EXPECT_EQ(w.PaneMode, 1);
    EXPECT_EQ(browser->view->objectName(), QStringLiteral("WebBrowser1"));
    EXPECT_TRUE(browser->view->isVisible());
    for (const char* name : TextButtons)
        EXPECT_FALSE(ctl<QToolButton>(name)->isVisible()) << name;
    for (const char* name : BrowserButtons)
        EXPECT_TRUE(ctl<QToolButton>(name)->isVisible()) << name;
    for (const char* name : {"URLs", "CBServer"})
        EXPECT_TRUE(ctl<QComboBox>(name)->isVisible()) << name;
    EXPECT_TRUE(ctl<QLabel>("LblAddress")->isVisible());
    EXPECT_FALSE(ctl<QTextEdit>("Memo1")->isVisible());
    EXPECT_FALSE(ctl<QTextEdit>("Memo2")->isVisible());
    EXPECT_FALSE(ctl<QAction>("WebPage1")->isVisible());
    w.activateWindow();
    QTRY_VERIFY(ctl<QComboBox>("URLs")->hasFocus());
    // The browser follows the window's size.
    w.resize(1000, 760);
    QTRY_VERIFY(browser->view->width() > 900);

    ctl<QComboBox>("URLs")->addItem(QStringLiteral("http://kept.example/"));
    ctl<QToolButton>("TextBtn")->click();
    EXPECT_EQ(w.PaneMode, 0);
    for (const char* name : TextButtons)
        EXPECT_TRUE(ctl<QToolButton>(name)->isVisible()) << name;
    for (const char* name : BrowserButtons)
        EXPECT_FALSE(ctl<QToolButton>(name)->isVisible()) << name;
    for (const char* name : {"URLs", "CBServer"})
        EXPECT_FALSE(ctl<QComboBox>(name)->isVisible()) << name;
    EXPECT_FALSE(ctl<QLabel>("LblMode")->isVisible());
    EXPECT_FALSE(browser->view->isVisible());
    EXPECT_TRUE(ctl<QTextEdit>("Memo1")->isVisible());
    EXPECT_TRUE(ctl<QTextEdit>("Memo2")->isVisible());
    EXPECT_TRUE(ctl<QAction>("WebPage1")->isVisible());
    // Leaving neither stops the page nor clears the list.
    EXPECT_TRUE(browser->calls.isEmpty());
    EXPECT_EQ(ctl<QComboBox>("URLs")->count(), 1);

    // A second visit uses the same browser.
    ctl<QToolButton>("WebBtn")->click();
    EXPECT_EQ(made, 1);
    EXPECT_EQ(w.PaneMode, 1);
}

TEST_F(GatewayWindowTest, WithoutABrowserTheWindowStaysInTextMode)
{
    browserFactory = nullptr;
    TfrmMain& w = open();
    ctl<QToolButton>("WebBtn")->click();
    EXPECT_EQ(w.PaneMode, 0);
    EXPECT_EQ(messages(), QStringList{QStringLiteral("The web browser is not available.")});
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Error);
}

TEST_F(GatewayWindowTest, EnterListsTheAddressOnceAndSendsItThroughTheGateway)
{
    openInBrowserMode();
    auto* box = ctl<QComboBox>("URLs");

    enterAddress(QString());
    EXPECT_EQ(messages(), QStringList{QStringLiteral("No URL")});
    EXPECT_EQ(dialogs.shown[0].caption, AppTitle::get());
    EXPECT_TRUE(browser->calls.isEmpty());

    enterAddress(QStringLiteral("Example.org/A"));
    EXPECT_EQ(box->currentText(), QStringLiteral("http://Example.org/A"));
    enterAddress(QStringLiteral("example.ORG/a"));
    enterAddress(QStringLiteral("http://EXAMPLE.org/a"));
    // Entries are listed as typed; a letter-case variant of a listed one
    // is not added again, an address with the scheme added is a new one.
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    EXPECT_EQ(items, QStringList({QStringLiteral("http://EXAMPLE.org/a"),
                                  QStringLiteral("Example.org/A")}));
    EXPECT_EQ(
        browser->calls,
        QStringList(
            {QStringLiteral("Navigate http://gw5/translate_c?sl=en&&hl=fr&&u=http://Example.org/A"),
             QStringLiteral("Navigate http://gw5/translate_c?sl=en&&hl=fr&&u=http://example.ORG/a"),
             QStringLiteral(
                 "Navigate http://gw5/translate_c?sl=en&&hl=fr&&u=http://EXAMPLE.org/a")}));

    // Go sends without listing; disabled, the text goes as typed.
    ctl<QToolButton>("ChangeBtn")->click();
    EXPECT_EQ(ctl<QLabel>("LblMode")->text(), QStringLiteral("Disabled"));
    box->setEditText(QStringLiteral("plain.example"));
    ctl<QToolButton>("GoBtn")->click();
    EXPECT_EQ(browser->calls.last(), QStringLiteral("Navigate plain.example"));
    EXPECT_EQ(box->count(), 2);
    box->setEditText(QString());
    ctl<QToolButton>("GoBtn")->click();
    EXPECT_EQ(messages().last(), QStringLiteral("No URL"));
    EXPECT_EQ(browser->calls.size(), 4);
}

TEST_F(GatewayWindowTest, UnsupportedPairAndGatewaySelection)
{
    TfrmMain& w = openInBrowserMode();
    auto* dst = ctl<QComboBox>("CB2");
    dst->setCurrentIndex(dst->findText(QStringLiteral("Korean")));
    emit dst->activated(dst->currentIndex());
    selectServer(1);
    EXPECT_EQ(w.Gateway.ServerIndex, 1);
    ctl<QComboBox>("URLs")->setEditText(QStringLiteral("example.org"));
    ctl<QToolButton>("GoBtn")->click();
    EXPECT_EQ(messages(),
              QStringList{QStringLiteral("English->Korean Translation are not supported by Server "
                                         "1\rTry another server please.")});
    EXPECT_TRUE(browser->calls.isEmpty());
    EXPECT_EQ(ctl<QComboBox>("URLs")->currentText(), QStringLiteral("example.org"));

    // Russian picks Server 7, which takes every pair.
    dst->setCurrentIndex(dst->findText(QStringLiteral("Russian")));
    emit dst->activated(dst->currentIndex());
    EXPECT_EQ(ctl<QComboBox>("CBServer")->currentText(), QStringLiteral("Server  7"));
    ctl<QToolButton>("GoBtn")->click();
    EXPECT_EQ(browser->calls,
              QStringList{QStringLiteral("Navigate http://127.0.0.1:2000/Translate/index.shtml?"
                                         "type=url&&from=eng&&to=rus&&url=http://example.org")});
}

TEST_F(GatewayWindowTest, HomeTwiceStaysDisabledAndCtrlHintShowsOnce)
{
    TfrmMain& w = openInBrowserMode();
    ctl<QToolButton>("HomeBtn")->click();
    ctl<QToolButton>("HomeBtn")->click();
    EXPECT_EQ(w.Gateway.TranslateEnabled, 0);
    EXPECT_EQ(ctl<QLabel>("LblMode")->text(), QStringLiteral("Disabled"));
    EXPECT_EQ(ctl<QComboBox>("URLs")->currentText(), QStringLiteral("http://home.example/"));
    EXPECT_EQ(browser->calls, QStringList(2, QStringLiteral("Navigate http://home.example/")));

    auto* box = ctl<QComboBox>("URLs");
    QTest::keyClick(box, Qt::Key_Control);
    QTest::keyClick(box, Qt::Key_Control);
    EXPECT_EQ(messages(),
              QStringList{QStringLiteral("Right click your mouse on the Address Blank please")});
    EXPECT_EQ(w.Gateway.CtrlHintShown, 1);
}

TEST_F(GatewayWindowTest, BrowserEventsAndReTranslate)
{
    TfrmMain& w = openInBrowserMode();
    ctl<QToolButton>("ReTranBtn")->click();
    EXPECT_EQ(messages(), QStringList{QStringLiteral(
                              "Click this button, only when translation fails or web content "
                              "remains to be in English")});
    EXPECT_TRUE(browser->calls.isEmpty());

    // Server 1 reroutes a followed link through the gateway: the announced
    // navigation is refused, then the browser is stopped and sent on.
    selectServer(1);
    ctl<QComboBox>("URLs")->setEditText(QStringLiteral("typed.example"));
    EXPECT_FALSE(browser->events.BeforeNavigate2(QStringLiteral("http://link.example/b")));
    EXPECT_EQ(w.Gateway.LastNavigatedUrl, QStringLiteral("http://link.example/b"));
    EXPECT_EQ(w.statusText(), QStringLiteral("Connecting to typed.example ..."));
    const QString request = QStringLiteral(
        "http://gw1/systran/cgi?partner=demo-SystranSoft&&f=32&&lp=en_fr&&urltext=http://"
        "link.example/b");
    QTRY_COMPARE(browser->calls,
                 QStringList({QStringLiteral("Stop"), QStringLiteral("Navigate ") + request}));
    EXPECT_TRUE(browser->events.BeforeNavigate2(request));
    browser->events.ProgressChange(1, 8);
    EXPECT_EQ(w.statusText(), QStringLiteral("Translating ... 12% Complete."));
    browser->events.DocumentComplete(request);
    EXPECT_EQ(w.statusText(), QStringLiteral("Done."));

    // Re-translate sends the page on display through the gateway again.
    browser->location = QStringLiteral("http://shown.example/");
    browser->calls.clear();
    ctl<QToolButton>("ReTranBtn")->click();
    EXPECT_EQ(ctl<QComboBox>("URLs")->currentText(), QStringLiteral("http://shown.example/"));
    EXPECT_EQ(browser->calls,
              QStringList{QStringLiteral("Navigate http://gw1/systran/cgi?partner=demo-SystranSoft"
                                         "&&f=32&&lp=en_fr&&urltext=http://shown.example/")});

    for (const char* name : {"BackBtn", "ForwardBtn", "StopBtn", "RefreshBtn"})
        ctl<QToolButton>(name)->click();
    EXPECT_EQ(browser->calls.mid(1),
              QStringList({QStringLiteral("GoBack"), QStringLiteral("GoForward"),
                           QStringLiteral("Stop"), QStringLiteral("Refresh")}));
}

// Observe starts Pagewatch once, the way Tools > IE Pagewatch does; without
// it the status line says so, and no box appears.
TEST_F(GatewayWindowTest, ObserveStartsPagewatchOnceLikeTheToolsItem)
{
    TfrmMain& w = openInBrowserMode();
    const QString folder = dir.filePath(QStringLiteral("Program Folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ctl<AboutController>("AboutController")->setProgramFolder(folder);
    auto* observe = ctl<QToolButton>("ObBtn");
    ASSERT_TRUE(observe->isVisible());

    observe->click();
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_EQ(w.statusText(), QStringLiteral("Pagewatch is not installed beside the program."));

    QFile program(QDir(folder).filePath(QStringLiteral("Pagewatch")));
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.setPermissions(program.permissions() | QFileDevice::ExeOwner);
    program.close();
    w.setStatusText(QStringLiteral("Ready."));
    observe->click();
    ASSERT_EQ(launcher.started.size(), 1);
    EXPECT_EQ(launcher.started[0].program, program.fileName());
    EXPECT_TRUE(launcher.started[0].arguments.isEmpty());
    EXPECT_EQ(launcher.started[0].workingDirectory, folder);
    EXPECT_EQ(w.statusText(), QStringLiteral("Ready."));

    ctl<QAction>("IEPagewatch1")->trigger();
    ASSERT_EQ(launcher.started.size(), 2);
    EXPECT_EQ(launcher.started[1].program, launcher.started[0].program);
    EXPECT_EQ(launcher.started[1].workingDirectory, launcher.started[0].workingDirectory);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << messages().join(u'|').toStdString();
}

// The browser's Print entry prints through the print dialog; the engine's
// answer ends it.
TEST_F(GatewayWindowTest, BrowserPrintGoesThroughThePrintDialog)
{
    TfrmMain& w = openInBrowserMode();
    browser->location = QStringLiteral("http://shown.example/");
    browser->events.PrintRequested(); // cancelled in the dialog
    EXPECT_EQ(dialogs.printDialogs, 1);
    EXPECT_TRUE(browser->calls.isEmpty());

    dialogs.printAnswers = {true};
    dialogs.printToPdf = dir.filePath(QStringLiteral("page.pdf"));
    browser->events.PrintRequested();
    ASSERT_EQ(browser->calls, QStringList{QStringLiteral("Print")});
    EXPECT_EQ(w.statusText(), QStringLiteral("Printing ..."));
    // A second request while the first prints asks nothing.
    browser->events.PrintRequested();
    EXPECT_EQ(dialogs.printDialogs, 2);
    browser->printed(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.statusText() == QStringLiteral("Done."); }));

    // A failure is said in the error box.
    dialogs.printAnswers = {true};
    browser->events.PrintRequested();
    browser->printed(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages().size() == 1; }));
    EXPECT_EQ(messages()[0], QStringLiteral("Printing failed on ") + dialogs.printToPdf + u'.');
}

// Browser mode on the real window with Qt WebEngine, against pages served
// on 127.0.0.1 by the test.
#include "ServiceProcess.h"
#include "TestHttpServer.h"
#include "WindowFixture.h"

#include "web/browser/WebEngineBrowser.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <mutex>

namespace {

constexpr int Patience = 60000; // the engine's first start is slow on a busy machine

// Serves fixed pages and records the target of every request it gets.
class PageServer
{
public:
    void page(const std::string& path, const std::string& html)
    {
        http.server().Get(path, [this, html](const httplib::Request& req, httplib::Response& res) {
            record(req);
            res.set_content(html, "text/html; charset=utf-8");
        });
    }
    void start()
    {
        http.server().set_keep_alive_max_count(1);
        http.server().set_error_handler(
            [this](const httplib::Request& req, httplib::Response&) { record(req); });
        http.start();
    }
    QStringList targets()
    {
        std::lock_guard lock(m_mutex);
        return m_targets;
    }
    QString url(const char* path) const { return http.url(QString::fromLatin1(path)); }
    std::string host() const { return "127.0.0.1:" + std::to_string(http.port()); }

    TestHttpServer http;

private:
    void record(const httplib::Request& req)
    {
        if (req.path == "/favicon.ico") // the engine asks for it on its own
            return;
        std::lock_guard lock(m_mutex);
        m_targets << QString::fromStdString(req.target);
    }
    std::mutex m_mutex;
    QStringList m_targets;
};

class BrowserWindowTest : public WindowTest
{
protected:
    void SetUp() override { browserFactory = createWebEngineBrowser; }
    TfrmMain& openInBrowserMode(const QByteArray& ini = QByteArray())
    {
        writeIni(ini);
        TfrmMain& w = open();
        w.show();
        QObject::connect(&w, &TfrmMain::statusTextChanged,
                         [this](const QString& text) { statuses << text; });
        ctl<QToolButton>("WebBtn")->click();
        return w;
    }
    // Picks an item of a drop-down list the way the user does: the
    // selection changes, then the box announces the pick.
    void pick(const char* boxName, const QString& item)
    {
        auto* box = ctl<QComboBox>(boxName);
        const int index = box->findText(item);
        ASSERT_GE(index, 0) << boxName << " has no item " << item.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void enterAddress(const QString& text)
    {
        auto* box = ctl<QComboBox>("URLs");
        box->setEditText(text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    QString bodyText()
    {
        QString text;
        bool done = false;
        ctl<QWebEngineView>("WebBrowser1")
            ->page()
            ->runJavaScript(QStringLiteral("document.body.innerText"), [&](const QVariant& v) {
                text = v.toString();
                done = true;
            });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(done, Patience); }();
        return text;
    }

    QStringList statuses;
};

} // namespace

TEST_F(BrowserWindowTest, FramesAreAnnouncedStatusTextsComeInOrderAndTextModeHidesTheBrowser)
{
    PageServer server;
    server.page("/page.html", "<html><body><p>Outer page</p>"
                              "<iframe src=\"/frame.html\"></iframe></body></html>");
    server.page("/frame.html", "<html><body>Inner frame</body></html>");
    server.start();

    TfrmMain& w = openInBrowserMode();
    ctl<QToolButton>("ChangeBtn")->click(); // straight to the page
    const QString page = server.url("/page.html");
    enterAddress(page);

    // The frame's navigation is the last one announced.
    QTRY_COMPARE_WITH_TIMEOUT(w.Gateway.LastNavigatedUrl, server.url("/frame.html"), Patience);
    QTRY_COMPARE_WITH_TIMEOUT(w.statusText(), QStringLiteral("Done."), Patience);
    EXPECT_TRUE(bodyText().contains(QStringLiteral("Outer page")));
    EXPECT_EQ(server.targets(),
              QStringList({QStringLiteral("/page.html"), QStringLiteral("/frame.html")}));

    // "Connecting to" names the address box, for the frame too; progress
    // comes in between, "Done." last.
    const QString connecting = QStringLiteral("Connecting to ") + page + QStringLiteral(" ...");
    ASSERT_GE(statuses.size(), 4);
    EXPECT_EQ(statuses.first(), connecting);
    EXPECT_EQ(statuses.count(connecting), 2) << statuses.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(statuses.last(), QStringLiteral("Done."));
    bool progress = false;
    for (const QString& s : statuses)
        if (s.startsWith(QStringLiteral("Translating ... ")) &&
            s.endsWith(QStringLiteral("% Complete.")))
            progress = true;
    EXPECT_TRUE(progress) << statuses.join(QLatin1Char('|')).toStdString();

    // Text mode: the text toolbar is back, every browser control hidden;
    // the page stays loaded.
    ctl<QToolButton>("TextBtn")->click();
    for (const char* name : {"OpenBtn", "SaveBtn", "TransBtn", "ClearBtn", "BitBtn6", "FontBtn",
                             "SpeedButton1", "SpeedButton5", "WebBtn"})
        EXPECT_TRUE(ctl<QToolButton>(name)->isVisible()) << name;
    for (const char* name : {"TextBtn", "BackBtn", "ForwardBtn", "StopBtn", "RefreshBtn", "GoBtn",
                             "HomeBtn", "ObBtn", "ReTranBtn", "ChangeBtn"})
        EXPECT_FALSE(ctl<QToolButton>(name)->isVisible()) << name;
    EXPECT_FALSE(ctl<QComboBox>("URLs")->isVisible());
    EXPECT_FALSE(ctl<QComboBox>("CBServer")->isVisible());
    EXPECT_FALSE(ctl<QWebEngineView>("WebBrowser1")->isVisible());
    EXPECT_TRUE(ctl<QTextEdit>("Memo1")->isVisible());
    EXPECT_EQ(ctl<QWebEngineView>("WebBrowser1")->url().toString(), page);
    closeWindow();
}

TEST_F(BrowserWindowTest, LinkFollowedThroughServer1BecomesAFreshGatewayRequest)
{
    // The test stands in for the gateway: it records the requests and
    // answers each with a page holding a link to another site's page.
    PageServer gateway;
    gateway.page("/systran/cgi", "<html><body><a id=\"l\" href=\"/next.html\">next</a> "
                                 "Gateway page</body></html>");
    gateway.start();
    TfrmMain& w = openInBrowserMode(
        "[Services]\nGateway 1=" + QByteArray::fromStdString(gateway.host()) + "\n");
    auto* servers = ctl<QComboBox>("CBServer");
    servers->setCurrentIndex(servers->findText(QStringLiteral("Server  1")));
    emit servers->activated(servers->currentIndex());
    ASSERT_EQ(w.Gateway.ServerIndex, 1);

    const QString start = gateway.url("/start.html");
    enterAddress(start);
    const QString base =
        QStringLiteral("/systran/cgi?partner=demo-SystranSoft&&f=32&&lp=fr_en&&urltext=");
    QTRY_VERIFY_WITH_TIMEOUT(bodyText().contains(QStringLiteral("Gateway page")), Patience);

    ctl<QWebEngineView>("WebBrowser1")
        ->page()
        ->runJavaScript(QStringLiteral("document.getElementById('l').click()"));
    const QString nextUrl = gateway.url("/next.html");
    QTRY_COMPARE_WITH_TIMEOUT(gateway.targets().size(), 2, Patience);
    EXPECT_EQ(gateway.targets(), QStringList({base + start, base + nextUrl}));
    QTRY_COMPARE_WITH_TIMEOUT(w.statusText(), QStringLiteral("Done."), Patience);
    EXPECT_EQ(w.Gateway.LastNavigatedUrl,
              QStringLiteral("http://") + QString::fromStdString(gateway.host()) + base + nextUrl);
    closeWindow();
}

TEST_F(BrowserWindowTest, PageThroughServer5ShowsInSpanish)
{
    if (!QFileInfo::exists(QStringLiteral("/usr/share/apertium/modes/eng-spa.mode")))
        GTEST_SKIP() << "Apertium with eng-spa is not installed (scripts/deps.sh)";
    // The real service with Apertium is the gateway; the test serves the
    // page on 127.0.0.1, which the service fetches only when allowed.
    ServiceProcess service({QStringLiteral("--allow-private-pages")});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    PageServer site;
    site.page("/house.html", "<!DOCTYPE html><html lang=\"en\"><head><title>House</title></head>"
                             "<body><p>The house is red.</p></body></html>");
    site.start();

    TfrmMain& w = openInBrowserMode(
        "[Services]\nGateway 5=127.0.0.1:" + QByteArray::number(service.port()) + "\n");
    // Server 5 is where a fresh window starts.
    EXPECT_EQ(w.Gateway.ServerIndex, 5);
    EXPECT_EQ(ctl<QComboBox>("CBServer")->currentText(), QStringLiteral("Server  5"));
    pick("CBServer", QStringLiteral("Server  5"));
    pick("CB1", QStringLiteral("English"));
    pick("CB2", QStringLiteral("Spanish"));
    ASSERT_EQ(w.Gateway.ServerIndex, 5);

    const QString page = site.url("/house.html");
    statuses.clear();
    enterAddress(page);
    // "Done." once the gateway's answer has loaded.
    QTRY_VERIFY_WITH_TIMEOUT(!statuses.isEmpty() && statuses.last() == QStringLiteral("Done."),
                             Patience);
    // The browser asked the service, never the site itself.
    const QString request = service.url(QStringLiteral("/translate_c?sl=en&&hl=es&&u=")) + page;
    EXPECT_EQ(w.Gateway.LastNavigatedUrl, request);
    EXPECT_EQ(ctl<QWebEngineView>("WebBrowser1")->url().toString(), request);
    const QString shown = bodyText();
    EXPECT_TRUE(shown.contains(QStringLiteral("casa"))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("house"))) << shown.toStdString();
    // Only the service fetched the page, once.
    EXPECT_EQ(site.targets(), QStringList({QStringLiteral("/house.html")}));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    closeWindow();
    EXPECT_TRUE(service.terminate());
}

// Links that ask for a new window (target="_blank") and window.open open in
// the one browser view, announced like any other navigation.
TEST_F(BrowserWindowTest, NewWindowLinksAndWindowOpenOpenInTheSameView)
{
    PageServer server;
    server.page("/links.html",
                "<html><body>Links page <a id=\"blank\" href=\"/target.html\" target=\"_blank\">"
                "new window</a></body></html>");
    server.page("/target.html", "<html><body>Target page</body></html>");
    server.page("/popup.html", "<html><body>Popup page</body></html>");
    server.start();

    TfrmMain& w = openInBrowserMode();
    ctl<QToolButton>("ChangeBtn")->click(); // straight to the pages
    enterAddress(server.url("/links.html"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bodyText().contains(QStringLiteral("Links page")); },
                                Patience));
    auto* view = ctl<QWebEngineView>("WebBrowser1");

    view->page()->runJavaScript(QStringLiteral("document.getElementById('blank').click()"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return view->url().toString() == server.url("/target.html"); }, Patience));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bodyText().contains(QStringLiteral("Target page")); },
                                Patience));
    EXPECT_EQ(w.Gateway.LastNavigatedUrl, server.url("/target.html"));

    view->page()->runJavaScript(QStringLiteral("window.open('/popup.html')"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->url().toString() == server.url("/popup.html"); },
                                Patience));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bodyText().contains(QStringLiteral("Popup page")); },
                                Patience));
    EXPECT_EQ(w.Gateway.LastNavigatedUrl, server.url("/popup.html"));

    // Each page was fetched once, by the one view; no other window opened.
    EXPECT_EQ(server.targets(),
              QStringList({QStringLiteral("/links.html"), QStringLiteral("/target.html"),
                           QStringLiteral("/popup.html")}));
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_FALSE(top->isVisible() && top != &w && top->inherits("QWebEngineView"));
    EXPECT_EQ(w.findChildren<QWebEngineView*>().size(), 1);
    closeWindow();
}

// The browser's own menu has "Print", which prints the page through the
// print dialog: here to a PDF file.
TEST_F(BrowserWindowTest, ThePrintEntryOfTheBrowserMenuPrintsThePage)
{
    PageServer server;
    server.page("/print.html", "<html><body><h1>Printable page</h1><p>Second line of the "
                               "printout.</p></body></html>");
    server.start();

    TfrmMain& w = openInBrowserMode();
    ctl<QToolButton>("ChangeBtn")->click();
    enterAddress(server.url("/print.html"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return bodyText().contains(QStringLiteral("Printable page")); }, Patience));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return w.statusText() == QStringLiteral("Done."); }, Patience));

    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    dialogs.printAnswers = {true};
    dialogs.printToPdf = pdf;
    // A right click in the page opens the engine's menu with Print added.
    auto* view = ctl<QWebEngineView>("WebBrowser1");
    QWidget* surface = view->focusProxy() ? view->focusProxy() : view;
    QMenu* menu = nullptr;
    auto findMenu = [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && top->objectName() == QLatin1String("BrowserMenu"))
                menu = qobject_cast<QMenu*>(top);
        return menu != nullptr;
    };
    QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitFor([&] { return findMenu(); }, Patience));
    auto* print = menu->findChild<QAction*>(QStringLiteral("PrintPage"));
    ASSERT_NE(print, nullptr);
    EXPECT_EQ(print->text(), QStringLiteral("Print"));
    // The engine's own entries are still there.
    EXPECT_GT(menu->actions().size(), 2);
    print->trigger();
    menu->close();

    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.printDialogs == 1; }, Patience));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return w.statusText() == QStringLiteral("Done."); }, Patience));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(QStringLiteral("Printable page"))) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("Second line of the printout.")))
        << printed.toStdString();
    closeWindow();
}

// The Translate command on the real window, against tarquell-service as a
// child process (echo engine, or Apertium), and against an in-process
// server that holds each call until the test has acted.
#include "../service/ServiceFixtures.h"
#include "ServiceProcess.h"
#include "TestHttpServer.h"
#include "WindowFixture.h"

#include "app/QtDialogs.h"
#include "platform/AppTitle.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <condition_variable>
#include <mutex>

namespace {

// Serves a WSDL and answers "[mode] text"; each POST can be held until the
// test, acting on the window meanwhile, lets it go.
class GateServer
{
public:
    std::function<void()> whilePosting; // run on the window's thread during a POST
    int faultAt = -1;                   // 0-based POST that gets a SOAP Fault

    GateServer()
    {
        http.server().set_keep_alive_timeout(1);
        http.server().Get("/wsdl", [this](const httplib::Request&, httplib::Response& res) {
            Fixtures::WsdlShape shape;
            shape.endpoint = http.url(QStringLiteral("/soap"));
            res.set_content(Fixtures::str(Fixtures::wsdl(shape)), "text/xml");
        });
        http.server().Post("/soap", [this](const httplib::Request& req, httplib::Response& res) {
            int n;
            {
                std::lock_guard lock(m_mutex);
                n = m_posts++;
                m_open = !whilePosting;
            }
            if (whilePosting)
                QMetaObject::invokeMethod(qApp, whilePosting, Qt::QueuedConnection);
            {
                std::unique_lock lock(m_mutex);
                m_cv.wait_for(lock, std::chrono::seconds(30), [this] { return m_open; });
            }
            if (n == faultAt) {
                res.status = 500;
                res.set_content(Fixtures::str(Fixtures::fault("Piece refused")), "text/xml");
                return;
            }
            const QString body = QString::fromStdString(req.body);
            auto field = [&](const char* name) {
                const QRegularExpression re(
                    QStringLiteral("<%1[^>]*>([^<]*)</%1>").arg(QLatin1String(name)));
                return re.match(body).captured(1).toUtf8();
            };
            res.set_content(Fixtures::str(Fixtures::stringReply("[" + field("translationmode") +
                                                                "] " + field("sourcedata"))),
                            "text/xml");
        });
        http.start();
    }
    ~GateServer() { release(); }

    void release()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_cv.notify_all();
    }
    int posts()
    {
        std::lock_guard lock(m_mutex);
        return m_posts;
    }
    QString wsdl() const { return http.url(QStringLiteral("/wsdl")); }

    TestHttpServer http;

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
    int m_posts = 0;
};

class TranslateWindowTest : public WindowTest
{
protected:
    // Opens the window on the three given WSDL locations.
    TfrmMain& openOn(const QString& wsdl1, const QString& wsdl2, const QString& wsdl3,
                     const QByteArray& options = QByteArray())
    {
        writeIni("[Services]\nServer 1=" + wsdl1.toUtf8() + "\nServer 2=" + wsdl2.toUtf8() +
                 "\nServer 3=" + wsdl3.toUtf8() + "\n[Options]\n" + options);
        TfrmMain& w = open();
        QObject::connect(&w, &TfrmMain::statusTextChanged,
                         [this](const QString& s) { statuses << s; });
        w.show();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        return w;
    }
    TfrmMain& openOnService(const ServiceProcess& service, const QByteArray& options = QByteArray())
    {
        return openOn(service.url(QStringLiteral("/sd/BabelFishService.wsdl")),
                      service.url(QStringLiteral("/sd/2001/BabelFishService.wsdl")),
                      service.url(QStringLiteral("/vx_engine/wsdl.vep?translate.wsdl")), options);
    }
    static void pick(QComboBox* box, const char* language)
    {
        const int index = box->findText(QString::fromLatin1(language));
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void type(const QString& text)
    {
        ctl<QTextEdit>("Memo1")->clear();
        ctl<QTextEdit>("Memo1")->setFocus();
        QTest::keyClicks(ctl<QTextEdit>("Memo1"), text);
    }
    QStringList statuses;
};

} // namespace

TEST_F(TranslateWindowTest, WholeTextOnEachServerThroughEnglishWhereNeeded)
{
    ServiceProcess service({QStringLiteral("--engine"), QStringLiteral("echo")});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    TfrmMain& w = openOnService(service);
    pick(ctl<QComboBox>("CB1"), "English");
    pick(ctl<QComboBox>("CB2"), "French");
    type(QStringLiteral("Hello"));
    statuses.clear();
    ctl<QToolButton>("TransBtn")->click();
    EXPECT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(), QStringLiteral("[en_fr] Hello"));
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("Translating from English to French..."),
                                     QStringLiteral("Done.")}));
    EXPECT_TRUE(ctl<QTextEdit>("Memo2")->hasFocus());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Spanish to French goes through English on every server; the second
    // answer is appended as a new line.
    pick(ctl<QComboBox>("CB1"), "Spanish");
    const struct
    {
        QAction* server;
        const char* line;
    } rows[] = {{ctl<QAction>("Xmethod2001"), "[en_fr] [es_en] Hola"},
                {ctl<QAction>("VelociGenMenu"), "[en_fr] [es_en] Hola"},
                {ctl<QAction>("XMethodMenu"), "[en_fr] [es_en] Hola"}};
    QString expected = ctl<QTextEdit>("Memo2")->toPlainText();
    for (const auto& r : rows) {
        r.server->trigger();
        type(QStringLiteral("Hola"));
        statuses.clear();
        ctl<QAction>("ranslateSinglethreaded1")->trigger();
        expected += QLatin1Char('\n') + QLatin1String(r.line);
        EXPECT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(), expected)
            << r.server->objectName().toStdString();
        EXPECT_EQ(statuses,
                  (QStringList{QStringLiteral("Translating from Spanish to French via English ..."),
                               QStringLiteral("Translating ..."), QStringLiteral("Done.")}));
    }
    EXPECT_TRUE(dialogs.shown.isEmpty());

    // Into Japanese the status ends with the Viewer hint; text outside
    // Latin-1 survives the round trip.
    pick(ctl<QComboBox>("CB1"), "English");
    pick(ctl<QComboBox>("CB2"), "Japanese");
    ctl<QTextEdit>("Memo1")->clear();
    ctl<QTextEdit>("Memo1")->insertPlainText(QStringLiteral("Привет 你好 😀")); // as pasted
    ctl<QTextEdit>("Memo2")->clear();
    ctl<QToolButton>("TransBtn")->click();
    EXPECT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(), QStringLiteral("[en_ja] Привет 你好 😀"));
    EXPECT_TRUE(w.statusText().startsWith(QStringLiteral("Done.          Hint: ")));
}

TEST_F(TranslateWindowTest, RefusalsOnTheRealWindow)
{
    ServiceProcess service({QStringLiteral("--engine"), QStringLiteral("echo")});
    ASSERT_TRUE(service.isRunning());
    openOnService(service);
    // The four empty lines of the start are not a modification. Ctrl+T is
    // the Translate button.
    QTest::keyClick(ctl<QTextEdit>("Memo1"), Qt::Key_T, Qt::ControlModifier);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Nothing to translate."));
    EXPECT_EQ(dialogs.shown[0].caption, AppTitle::get());
    pick(ctl<QComboBox>("CB1"), "Italian");
    pick(ctl<QComboBox>("CB2"), "Italian");
    type(QStringLiteral("ciao"));
    ctl<QToolButton>("TransBtn")->click();
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].caption, QStringLiteral("Error"));
    EXPECT_EQ(dialogs.shown[1].text,
              QStringLiteral("Source Language and Destination Language are the same"));
    EXPECT_TRUE(ctl<QTextEdit>("Memo2")->toPlainText().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TranslateWindowTest, SplitModeSendsPiecesAndJoinsThemWithoutSeparators)
{
    ServiceProcess service({QStringLiteral("--engine"), QStringLiteral("echo")});
    ASSERT_TRUE(service.isRunning());
    openOnService(service, "MultiThreading=1\nMT Quote=3000\n");
    pick(ctl<QComboBox>("CB1"), "English");
    pick(ctl<QComboBox>("CB2"), "German");
    QString text;
    for (int i = 0; text.size() < 7000; ++i)
        text += QStringLiteral("w%1 ").arg(i % 10);
    text.truncate(6999);
    text += QLatin1Char('\n'); // a line break counts as one character
    ctl<QTextEdit>("Memo1")->setPlainText(text);
    ctl<QTextEdit>("Memo1")->document()->setModified(true);
    ctl<QTextEdit>("Memo2")->setHtml(QStringLiteral("<b>old</b>"));
    statuses.clear();
    ctl<QToolButton>("TransBtn")->click();

    const QString pre = QStringLiteral("[en_de] ");
    EXPECT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(),
              QStringLiteral("old") + pre + text.left(3000) + pre + text.mid(3000, 3000) + pre +
                  text.mid(6000));
    EXPECT_FALSE(ctl<QTextEdit>("Memo2")->toHtml().contains(
        QStringLiteral("font-weight:700"))); // formatting dropped
    EXPECT_EQ(
        statuses,
        (QStringList{QStringLiteral("Splitting  0 / 7000"),
                     QStringLiteral("Translating from English to German...        3000 of 7000"),
                     QStringLiteral("Done."), QStringLiteral("Splitting  3000 / 7000"),
                     QStringLiteral("Translating from English to German...        6000 of 7000"),
                     QStringLiteral("Done."), QStringLiteral("Splitting  6000 / 7000"),
                     QStringLiteral("Translating from English to German...        9000 of 7000"),
                     QStringLiteral("Done.")}));
    // The selection stays on the last piece; the piece memo is cleared.
    EXPECT_EQ(ctl<QTextEdit>("Memo1")->textCursor().selectionStart(), 6000);
    EXPECT_EQ(ctl<QTextEdit>("Memo1")->textCursor().selectionEnd(), 7000);
    EXPECT_TRUE(ctl<QPlainTextEdit>("Memo3")->toPlainText().isEmpty());
    EXPECT_TRUE(ctl<QTextEdit>("Memo2")->hasFocus());

    // Typing into the destination between runs: the next run starts from
    // what the pane holds then.
    ctl<QTextEdit>("Memo2")->setPlainText(QStringLiteral("fresh"));
    ctl<QTextEdit>("Memo1")->setPlainText(QStringLiteral("abc"));
    ctl<QTextEdit>("Memo1")->document()->setModified(true);
    ctl<QToolButton>("TransBtn")->click();
    EXPECT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(), QStringLiteral("fresh[en_de] abc"));
}

TEST_F(TranslateWindowTest, FailingCallsShowTheErrorAfterTheFinishingStep)
{
    // A fault: the Apertium engine has no German-French pair.
    {
        ServiceProcess service({QStringLiteral("--engine"), QStringLiteral("apertium")});
        ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
        TfrmMain& w = openOnService(service);
        pick(ctl<QComboBox>("CB1"), "German");
        pick(ctl<QComboBox>("CB2"), "French");
        type(QStringLiteral("Guten Tag"));
        ctl<QTextEdit>("Memo2")->setPlainText(QStringLiteral("kept"));
        ctl<QTextEdit>("Memo1")->setFocus();
        ctl<QToolButton>("TransBtn")->click();
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(
            dialogs.shown[0].text,
            QStringLiteral("No translation from German to French is installed on this server."));
        EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Error);
        EXPECT_EQ(dialogs.shown[0].caption, AppTitle::get());
        EXPECT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(), QStringLiteral("kept"));
        EXPECT_EQ(w.statusText(), QStringLiteral("Done."));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(ctl<QTextEdit>("Memo1")->hasFocus());
        closeWindow();
    }
    // A closed port: the first WSDL fetch fails.
    dialogs.shown.clear();
    QString wsdl;
    {
        TestHttpServer gone;
        gone.start();
        wsdl = gone.url(QStringLiteral("/sd/BabelFishService.wsdl"));
    }
    TfrmMain& w = openOn(wsdl, wsdl, wsdl);
    pick(ctl<QComboBox>("CB1"), "English");
    pick(ctl<QComboBox>("CB2"), "Russian");
    type(QStringLiteral("Hello"));
    ctl<QToolButton>("TransBtn")->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral("Connection refused - URL:%1 - SOAPAction:\"\"")
                  .arg(wsdl)); // no full stop after a quote
    EXPECT_TRUE(w.statusText().startsWith(QStringLiteral("Done.          Hint")));
    EXPECT_TRUE(ctl<QTextEdit>("Memo2")->toPlainText().isEmpty());
}

TEST_F(TranslateWindowTest, SplitFailureKeepsEarlierPieces)
{
    GateServer gate;
    gate.faultAt = 1;
    openOn(gate.wsdl(), gate.wsdl(), gate.wsdl(), "MultiThreading=1\nMT Quote=101\n");
    pick(ctl<QComboBox>("CB1"), "English");
    pick(ctl<QComboBox>("CB2"), "French");
    const QString text = QString(101, QLatin1Char('a')) + QString(101, QLatin1Char('b')) +
                         QString(50, QLatin1Char('c'));
    ctl<QTextEdit>("Memo1")->setPlainText(text);
    ctl<QTextEdit>("Memo1")->document()->setModified(true);
    ctl<QToolButton>("TransBtn")->click();
    EXPECT_EQ(gate.posts(), 2);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Piece refused."));
    EXPECT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(),
              QStringLiteral("[en_fr] ") + QString(101, QLatin1Char('a')));
    EXPECT_EQ(ctl<QPlainTextEdit>("Memo3")->toPlainText(), QString(101, QLatin1Char('b')));
    EXPECT_EQ(ctl<QTextEdit>("Memo1")->textCursor().selectionStart(), 101);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TranslateWindowTest, SecondTranslateWhileOneRunsIsIgnored)
{
    GateServer gate;
    TfrmMain& w = openOn(gate.wsdl(), gate.wsdl(), gate.wsdl());
    pick(ctl<QComboBox>("CB1"), "English");
    pick(ctl<QComboBox>("CB2"), "Italian");
    type(QStringLiteral("one"));
    gate.whilePosting = [&] {
        ctl<QToolButton>("TransBtn")->click();
        ctl<QAction>("ranslateSinglethreaded1")->trigger();
        QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
        EXPECT_TRUE(
            w.statusText().startsWith(QStringLiteral("Translating from English to Italian")));
        gate.release();
    };
    ctl<QToolButton>("TransBtn")->click();
    EXPECT_EQ(gate.posts(), 1);
    EXPECT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(), QStringLiteral("[en_it] one"));
    EXPECT_EQ(w.statusText(), QStringLiteral("Done."));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(TranslateWindowTest, EscCancelsTheCallInFlight)
{
    GateServer gate;
    TfrmMain& w = openOn(gate.wsdl(), gate.wsdl(), gate.wsdl(), "MultiThreading=1\nMT Quote=101\n");
    pick(ctl<QComboBox>("CB1"), "English");
    pick(ctl<QComboBox>("CB2"), "Spanish");
    ctl<QTextEdit>("Memo1")->setPlainText(QString(300, QLatin1Char('x')));
    ctl<QTextEdit>("Memo1")->document()->setModified(true);
    gate.whilePosting = [&] {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w,
                        Qt::Key_Escape);
    };
    ctl<QToolButton>("TransBtn")->click();
    gate.release();
    EXPECT_EQ(gate.posts(), 1);
    EXPECT_EQ(w.statusText(), QStringLiteral("Translation cancelled."));
    EXPECT_TRUE(ctl<QTextEdit>("Memo2")->toPlainText().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_FALSE(w.isTranslating());

    // The next run works as usual.
    gate.whilePosting = nullptr;
    ctl<QTextEdit>("Memo1")->setPlainText(QStringLiteral("again"));
    ctl<QTextEdit>("Memo1")->document()->setModified(true);
    ctl<QToolButton>("TransBtn")->click();
    EXPECT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(), QStringLiteral("[en_es] again"));
}

TEST_F(TranslateWindowTest, ClosingDuringACallClosesOnceItReturns)
{
    GateServer gate;
    TfrmMain& w = openOn(gate.wsdl(), gate.wsdl(), gate.wsdl(), "MultiThreading=1\nMT Quote=101\n");
    pick(ctl<QComboBox>("CB1"), "English");
    pick(ctl<QComboBox>("CB2"), "Portuguese");
    ctl<QTextEdit>("Memo1")->setPlainText(QString(300, QLatin1Char('z')));
    ctl<QTextEdit>("Memo1")->document()->setModified(true);
    gate.whilePosting = [&] {
        EXPECT_FALSE(w.close()); // not yet: the call is in flight
        EXPECT_TRUE(w.isVisible());
        EXPECT_FALSE(readIni().contains("[Interface]")); // nothing written yet
        gate.release();
    };
    ctl<QToolButton>("TransBtn")->click();
    EXPECT_EQ(gate.posts(), 1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(),
              QStringLiteral("[en_pt] ") + QString(101, QLatin1Char('z')));
    EXPECT_TRUE(readIni().contains("[Interface]"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(TranslateWindowTest, RealTranslationWithApertium)
{
    ServiceProcess service({QStringLiteral("--engine"), QStringLiteral("apertium")});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    openOnService(service);
    pick(ctl<QComboBox>("CB1"), "English");
    pick(ctl<QComboBox>("CB2"), "Spanish");
    type(QStringLiteral("The house is red."));
    ctl<QToolButton>("TransBtn")->click();
    EXPECT_TRUE(dialogs.shown.isEmpty())
        << (dialogs.shown.isEmpty() ? "" : dialogs.shown[0].text.toStdString());
    EXPECT_TRUE(ctl<QTextEdit>("Memo2")->toPlainText().contains(QStringLiteral("casa")))
        << ctl<QTextEdit>("Memo2")->toPlainText().toStdString();
    EXPECT_TRUE(ctl<QTextEdit>("Memo2")->toPlainText().contains(QStringLiteral("roja")))
        << ctl<QTextEdit>("Memo2")->toPlainText().toStdString();
}

namespace {

// A service whose POST asks for Basic credentials (user "user", password
// "secret"), either itself (401) or as the proxy in front of it (407).
class CredentialServer
{
public:
    explicit CredentialServer(bool asProxy) : m_asProxy(asProxy)
    {
        // Through a proxy the request target is the absolute address.
        const std::string prefix = asProxy ? "http://translate.example" : "";
        http.server().Get(
            prefix + "/wsdl", [this, prefix](const httplib::Request&, httplib::Response& res) {
                Fixtures::WsdlShape shape;
                shape.endpoint = m_asProxy ? QStringLiteral("http://translate.example/soap")
                                           : http.url(QStringLiteral("/soap"));
                res.set_content(Fixtures::str(Fixtures::wsdl(shape)), "text/xml");
            });
        http.server().Post(
            prefix + "/soap", [this](const httplib::Request& req, httplib::Response& res) {
                const char* header = m_asProxy ? "Proxy-Authorization" : "Authorization";
                std::lock_guard lock(m_mutex);
                ++m_posts;
                if (req.get_header_value(header) != "Basic dXNlcjpzZWNyZXQ=") {
                    res.status = m_asProxy ? 407 : 401;
                    res.set_header(m_asProxy ? "Proxy-Authenticate" : "WWW-Authenticate",
                                   "Basic realm=\"translators\"");
                    return;
                }
                res.set_content(Fixtures::str(Fixtures::stringReply("Hallo")), "text/xml");
            });
        http.start();
    }
    int posts()
    {
        std::lock_guard lock(m_mutex);
        return m_posts;
    }
    QString wsdl() const
    {
        return m_asProxy ? QStringLiteral("http://translate.example/wsdl")
                         : http.url(QStringLiteral("/wsdl"));
    }
    TestHttpServer http;

private:
    bool m_asProxy;
    std::mutex m_mutex;
    int m_posts = 0;
};

// Acts on whatever modal dialog the window opens while a command runs: the
// credentials prompt gets the test's action, a message box is recorded and
// closed.
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(std::function<void(QDialog*)> onPrompt) : m_onPrompt(std::move(onPrompt))
    {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog == m_handled)
                return;
            m_handled = dialog;
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                messages << box->text();
                box->reject();
                return;
            }
            ++prompts;
            titles << dialog->windowTitle();
            m_onPrompt(dialog);
            // The test's keys and clicks act at once: a prompt still open
            // took no input. Closed here, so that the test ends.
            if (dialog->isVisible()) {
                ignoredInput = true;
                dialog->reject();
            }
        });
        m_timer.start();
    }
    int prompts = 0;
    bool ignoredInput = false;
    QStringList titles;
    QStringList messages;

private:
    std::function<void(QDialog*)> m_onPrompt;
    QPointer<QDialog> m_handled;
    QTimer m_timer;
};

} // namespace

// The real credentials prompt during a blocked call: the main window takes
// no input, the prompt takes keys as usual. Answered, the POST goes again
// with the credentials; Esc ends the call silently; closing the window
// cancels the prompt, lets the call end and then closes.
TEST_F(TranslateWindowTest, CredentialsPromptTakesInputDuringTheCall)
{
    enum class Act { Answer, Escape, Close };
    const struct
    {
        bool proxy;
        Act act;
    } rows[] = {{false, Act::Answer},
                {true, Act::Answer},
                {false, Act::Escape},
                {true, Act::Escape},
                {false, Act::Close}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "proxy " << row.proxy << " act " << int(row.act));
        CredentialServer server(row.proxy);
        const QByteArray proxy = row.proxy
                                     ? "Proxy Speficied=1\nProxy Addr=127.0.0.1\nProxy Port=" +
                                           QByteArray::number(server.http.port()) + "\n"
                                     : QByteArray();
        writeIni("[Services]\nServer 1=" + server.wsdl().toUtf8() + "\n[Options]\n" + proxy);
        QtDialogs real;
        TfrmMain::Environment env;
        env.dialogs = &real;
        env.settingsPath = iniPath();
        window = std::make_unique<TfrmMain>(env);
        TfrmMain& w = *window;
        real.setParent(&w);
        w.show();
        pick(ctl<QComboBox>("CB1"), "English");
        pick(ctl<QComboBox>("CB2"), "German");
        ctl<QTextEdit>("Memo1")->setPlainText(QStringLiteral("Hello"));
        ctl<QTextEdit>("Memo1")->document()->setModified(true);

        ModalDriver driver([&](QDialog* dialog) {
            auto* user = dialog->findChild<QLineEdit*>(QStringLiteral("userName"));
            ASSERT_NE(user, nullptr);
            // The window behind the prompt still takes no keys.
            QTest::keyClicks(ctl<QTextEdit>("Memo1"), QStringLiteral("typed behind"));
            switch (row.act) {
            case Act::Answer: {
                QTest::keyClicks(user, QStringLiteral("user"));
                QTest::keyClick(user, Qt::Key_Tab);
                QWidget* next = dialog->focusWidget();
                ASSERT_NE(next, nullptr);
                EXPECT_EQ(next->objectName(), QStringLiteral("password"));
                QTest::keyClicks(next, QStringLiteral("secret"));
                QTest::keyClick(next, Qt::Key_Return);
                break;
            }
            case Act::Escape:
                QTest::keyClick(user, Qt::Key_Escape);
                break;
            case Act::Close:
                EXPECT_FALSE(w.close()); // the call ends first
                break;
            }
        });
        ctl<QToolButton>("TransBtn")->click();

        EXPECT_EQ(driver.prompts, 1);
        EXPECT_FALSE(driver.ignoredInput);
        EXPECT_EQ(driver.titles.value(0), row.proxy ? QStringLiteral("Proxy authentication")
                                                    : QStringLiteral("Authentication"));
        EXPECT_TRUE(driver.messages.isEmpty())
            << driver.messages.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(ctl<QTextEdit>("Memo1")->toPlainText(), QStringLiteral("Hello"));
        EXPECT_FALSE(w.isTranslating());
        if (row.act == Act::Answer) {
            EXPECT_EQ(server.posts(), 2);
            EXPECT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(), QStringLiteral("Hallo"));
            EXPECT_EQ(w.statusText(), QStringLiteral("Done."));
        } else {
            EXPECT_EQ(server.posts(), 1);
            EXPECT_TRUE(ctl<QTextEdit>("Memo2")->toPlainText().isEmpty());
        }
        EXPECT_EQ(w.isVisible(), row.act != Act::Close);
        EXPECT_EQ(readIni().contains("[Interface]"), row.act == Act::Close);
        window.reset();
        QFile::remove(iniPath());
    }
}

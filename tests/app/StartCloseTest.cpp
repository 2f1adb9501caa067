#include "WindowFixture.h"

#include "translate/MainSettings.h"
#include "platform/AppTitle.h"
#include "platform/ProfileFile.h"
#include "service/THTTPRIO.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <csignal>

namespace {
ProfileFile parse(const QByteArray& bytes)
{
    ProfileFile p;
    p.loadFromBytes(bytes);
    return p;
}
} // namespace

TEST_F(WindowTest, FirstRunWithoutFileTakesDefaultsAndWritesEveryKey)
{
    TfrmMain& w = open();
    EXPECT_EQ(ctl<QComboBox>("CB1")->currentText(), QStringLiteral("French"));
    EXPECT_EQ(ctl<QComboBox>("CB2")->currentText(), QStringLiteral("English"));
    EXPECT_EQ(ctl<QComboBox>("CB1")->currentIndex(), 1);
    EXPECT_EQ(w.Settings.SrcLangCode, QStringLiteral("fr"));
    EXPECT_EQ(w.Settings.DstLangCode, QStringLiteral("en"));
    EXPECT_EQ(ctl<QTextEdit>("Memo1")->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(ctl<QTextEdit>("Memo2")->font().pointSize(), 10);
    EXPECT_EQ(w.TextServer, 1);
    EXPECT_EQ(w.Gateway.ServerIndex, 5);
    EXPECT_EQ(w.Gateway.TranslateEnabled, 1);
    EXPECT_EQ(w.Gateway.Server2Tail, QStringLiteral("&&doit=done&&tt=url&&urltext="));
    // English was detected, so English1 ran: one blank in the title now.
    EXPECT_EQ(w.Settings.InterfaceLanguage, QStringLiteral("English"));
    EXPECT_EQ(AppTitle::get(), QStringLiteral("Tarquell Translator 4.00"));
    // Service locations default to the local service; nothing is fetched yet.
    EXPECT_EQ(ctl<THTTPRIO>("HTTPRIO2")->WSDLLocation(),
              QStringLiteral("http://127.0.0.1:8731/sd/BabelFishService.wsdl"));
    EXPECT_EQ(ctl<THTTPRIO>("HTTPRIO3")->WSDLLocation(),
              QStringLiteral("http://127.0.0.1:8731/sd/2001/BabelFishService.wsdl"));
    EXPECT_EQ(ctl<THTTPRIO>("HTTPRIO1")->WSDLLocation(),
              QStringLiteral("http://127.0.0.1:8731/vx_engine/wsdl.vep?translate.wsdl"));
    EXPECT_EQ(ctl<THTTPRIO>("HTTPRIO1")->Service(), QStringLiteral("translate"));
    EXPECT_EQ(ctl<THTTPRIO>("HTTPRIO1")->Port(), QStringLiteral("Port"));
    EXPECT_TRUE(ctl<THTTPRIO>("HTTPRIO2")->HTTPWebNode().proxy().isEmpty());

    closeWindow();
    EXPECT_EQ(readIni(), QByteArray("[Settings]\nSrcLang=French\nDstLang=English\nSrcFont=Arial\n"
                                    "DstFont=Arial\nSrcFntS=10\nDstFntS=10\n\n[Interface]\n"
                                    "Language=English\n\n[Options]\nMultiThreading=0\n"
                                    "Drag and Drop=1\nLoad Settings=1\nMT Quote=5000\n"
                                    "TimeOut=50000\nAuto Update=1\nProxy Speficied=0\n"
                                    "Proxy Addr=\nProxy Port=8080\n"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(WindowTest, StoredValuesComeBackAndUnknownKeysAreKept)
{
    writeIni("; written by hand\n[Options]\nMT Quote=0x20\nTimeOut=abc\nProxy Speficied=1\n"
             "Proxy Addr=10.0.0.1\nProxy Port=$C38\nMultiThreading=1\nMy Own=kept\n"
             "[Settings]\nSrcLang=Spanish\nDstLang=Japanese\nSrcFont=Courier New\nSrcFntS=14\n"
             "[Services]\nServer 2=http://example.invalid/x.wsdl\n[Unknown]\nA=1\n");
    TfrmMain& w = open();
    EXPECT_EQ(w.Settings.MTQuote, 32);
    EXPECT_EQ(w.Settings.TimeOut, 50000); // junk reads as the default
    EXPECT_TRUE(w.Settings.MultiThreading);
    EXPECT_EQ(w.Settings.ProxyPort, 3128);
    EXPECT_EQ(w.Settings.SrcLangCode, QStringLiteral("es"));
    EXPECT_EQ(w.Settings.DstLangCode, QStringLiteral("ja"));
    EXPECT_EQ(ctl<QComboBox>("CB2")->currentIndex(), 9);
    EXPECT_EQ(ctl<QTextEdit>("Memo1")->font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(ctl<QTextEdit>("Memo1")->font().pointSize(), 14);
    EXPECT_EQ(ctl<QTextEdit>("Memo2")->font().family(), QStringLiteral("Arial"));
    // The proxy reaches all three transports.
    for (THTTPRIO* rio :
         {ctl<THTTPRIO>("HTTPRIO1"), ctl<THTTPRIO>("HTTPRIO2"), ctl<THTTPRIO>("HTTPRIO3")})
        EXPECT_EQ(rio->HTTPWebNode().proxy(), QStringLiteral("10.0.0.1:3128"));
    EXPECT_EQ(ctl<THTTPRIO>("HTTPRIO3")->WSDLLocation(),
              QStringLiteral("http://example.invalid/x.wsdl"));

    closeWindow();
    const QByteArray out = readIni();
    EXPECT_TRUE(out.startsWith("; written by hand\n[Options]\nMT Quote=32\nTimeOut=50000\n"));
    ProfileFile p = parse(out);
    EXPECT_EQ(p.readString(QStringLiteral("Options"), QStringLiteral("My Own"), {}),
              QStringLiteral("kept"));
    EXPECT_EQ(p.readString(QStringLiteral("Unknown"), QStringLiteral("A"), {}),
              QStringLiteral("1"));
    EXPECT_EQ(p.readString(QStringLiteral("Settings"), QStringLiteral("DstLang"), {}),
              QStringLiteral("Japanese"));
    EXPECT_EQ(p.readString(QStringLiteral("Settings"), QStringLiteral("SrcFont"), {}),
              QStringLiteral("Courier New"));
    // The service locations are configuration: never written.
    EXPECT_EQ(p.readString(QStringLiteral("Services"), QStringLiteral("Server 1"),
                           QStringLiteral("none")),
              QStringLiteral("none"));
}

TEST_F(WindowTest, LoadSettingsOffLeavesLanguagesEmptyAndWritesThemEmpty)
{
    writeIni("[Options]\nLoad "
             "Settings=0\n[Settings]\nSrcLang=German\nDstLang=Italian\nSrcFont=Courier New\n");
    TfrmMain& w = open();
    EXPECT_TRUE(w.Settings.SrcLangCode.isEmpty());
    EXPECT_TRUE(w.Settings.DstLangCode.isEmpty());
    EXPECT_EQ(ctl<QComboBox>("CB1")->currentIndex(), -1);
    EXPECT_TRUE(ctl<QComboBox>("CB1")->currentText().isEmpty());
    EXPECT_EQ(ctl<QTextEdit>("Memo1")->font().family(), QStringLiteral("Arial"));
    closeWindow();
    ProfileFile p = parse(readIni());
    EXPECT_TRUE(p.contains(QStringLiteral("Settings"), QStringLiteral("SrcLang")));
    EXPECT_EQ(
        p.readString(QStringLiteral("Settings"), QStringLiteral("SrcLang"), QStringLiteral("x")),
        QString());
    EXPECT_EQ(
        p.readString(QStringLiteral("Settings"), QStringLiteral("DstLang"), QStringLiteral("x")),
        QString());
    EXPECT_EQ(p.readString(QStringLiteral("Settings"), QStringLiteral("SrcFont"), {}),
              QStringLiteral("Arial"));
    EXPECT_EQ(p.readInteger(QStringLiteral("Options"), QStringLiteral("Load Settings"), 7), 0);
}

TEST_F(WindowTest, LanguageOutsideTheTableIsShownAndWrittenBackUnchanged)
{
    writeIni("[Settings]\nSrcLang=Klingon\nDstLang=English\n");
    TfrmMain& w = open();
    EXPECT_EQ(ctl<QComboBox>("CB1")->currentIndex(), -1);
    EXPECT_EQ(ctl<QComboBox>("CB1")->currentText(), QStringLiteral("Klingon"));
    EXPECT_EQ(w.Settings.SrcLangCode, QStringLiteral("Klingon"));
    closeWindow();
    EXPECT_EQ(
        parse(readIni()).readString(QStringLiteral("Settings"), QStringLiteral("SrcLang"), {}),
        QStringLiteral("Klingon"));
}

TEST_F(WindowTest, InterfaceLanguageAtStart)
{
    const struct
    {
        const char* stored; // nullptr: no [Interface] key
        const char* posixLocale;
        const char* checked;
        const char* title;
        bool chineseVisible;
        const char* written;
    } rows[] = {
        {nullptr, "en_US.UTF-8", "English1", "Tarquell Translator 4.00", false, "English"},
        {nullptr, "fr_FR.UTF-8", "French1", "Tarquell Translator 4.00", false, "French"},
        {nullptr, "de_AT.UTF-8", "German1", "Tarquell Translator 4.00", false, "German"},
        {nullptr, "zh_TW.UTF-8", "English1", "Tarquell Translator  4.00", false,
         "Chinese(Taiwan Province)"},
        {"Korean", "fr_FR.UTF-8", "English1", "Tarquell Translator  4.00", false, "Korean"},
        {"Chinese(Taiwan Province)", "en_US", "English1", "Tarquell Translator  4.00", false,
         "Chinese(Taiwan Province)"},
        {"Chinois", "en_US", "Chinese1", "Tarquell Translator 4.00", true, "Chinois"},
        {"Japanese", "en_US", "Japanese1", "Tarquell Translator 4.00", false, "Japanese"},
        {"english", "en_US", "English1", "Tarquell Translator  4.00", false, "english"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.stored ? r.stored : r.posixLocale);
        QFile::remove(iniPath());
        if (r.stored)
            writeIni(QByteArray("[Interface]\nLanguage=") + r.stored + "\n");
        open(QString::fromLatin1(r.posixLocale));
        QStringList checked;
        for (QAction* a : ctl<QMenu>("Screen1")->actions())
            if (a->isChecked())
                checked << a->objectName();
        EXPECT_EQ(checked, QStringList{QString::fromLatin1(r.checked)});
        EXPECT_EQ(AppTitle::get(), QString::fromLatin1(r.title));
        EXPECT_EQ(ctl<QAction>("Chinese1")->isVisible(), r.chineseVisible);
        closeWindow();
        EXPECT_EQ(parse(readIni()).readString(QStringLiteral("Interface"),
                                              QStringLiteral("Language"), {}),
                  QString::fromLatin1(r.written));
    }
}

TEST_F(WindowTest, UnwritableSettingsFileIsReportedAndTheWindowStillCloses)
{
    // A plain file where the folder should be: not even root can write there.
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    AppTitle::set(AppTitle::StartTitle);
    TfrmMain::Environment env;
    env.dialogs = &dialogs;
    env.settingsPath = dir.filePath(QStringLiteral("blocker/TarquellTranslator.ini"));
    TfrmMain w(env);
    w.show();
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Unable to write to TarquellTranslator.ini"));
    // Written once: a second close asks nothing more.
    w.close();
    EXPECT_EQ(dialogs.shown.size(), 1);
}

TEST_F(WindowTest, LanguageBoxesSwapAndGatewayFollowsTheDestination)
{
    writeIni("[Settings]\nSrcLang=English\nDstLang=French\n");
    TfrmMain& w = open();
    w.show();
    ctl<QToolButton>("SetBtn")->click();
    EXPECT_EQ(w.Settings.SrcLangCode, QStringLiteral("fr"));
    EXPECT_EQ(w.Settings.DstLangCode, QStringLiteral("en"));
    EXPECT_EQ(ctl<QComboBox>("CB1")->currentText(), QStringLiteral("French"));
    EXPECT_EQ(ctl<QComboBox>("CB2")->currentText(), QStringLiteral("English"));
    ctl<QToolButton>("SetBtn")->click();
    EXPECT_EQ(w.Settings.SrcLangCode, QStringLiteral("en"));
    EXPECT_EQ(ctl<QComboBox>("CB1")->currentIndex(), 0);
    EXPECT_EQ(ctl<QComboBox>("CB2")->currentIndex(), 1);

    // The user picks an item from the list: the box selects it and reports
    // the activation, as its drop-down list does.
    auto pick = [](QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    };
    pick(ctl<QComboBox>("CB1"), 5);
    EXPECT_EQ(w.Settings.SrcLangCode, QStringLiteral("pt"));
    // Stepping with the arrow keys picks each item on the way.
    ctl<QComboBox>("CB1")->setFocus();
    QTest::keyClick(ctl<QComboBox>("CB1"), Qt::Key_Up);
    EXPECT_EQ(w.Settings.SrcLangCode, QStringLiteral("it"));
    pick(ctl<QComboBox>("CB1"), 6); // Russian as source leaves the gateway alone
    EXPECT_EQ(w.Gateway.ServerIndex, 5);
    EXPECT_EQ(ctl<QComboBox>("CBServer")->currentText(), QStringLiteral("Server  5"));
    pick(ctl<QComboBox>("CB2"), 6);
    EXPECT_EQ(w.Settings.DstLangCode, QStringLiteral("ru"));
    EXPECT_EQ(w.Gateway.ServerIndex, 7);
    EXPECT_EQ(ctl<QComboBox>("CBServer")->currentText(), QStringLiteral("Server  7"));
    pick(ctl<QComboBox>("CB2"), 9);
    EXPECT_EQ(w.Gateway.ServerIndex, 2);
    EXPECT_EQ(ctl<QComboBox>("CBServer")->currentText(), QStringLiteral("Server  2"));
    pick(ctl<QComboBox>("CB2"), 2);
    EXPECT_EQ(w.Gateway.ServerIndex, 2);

    // A swap selects items itself: no handler runs, so the gateway stays.
    ctl<QToolButton>("SetBtn")->click();
    EXPECT_EQ(ctl<QComboBox>("CB2")->currentText(), QStringLiteral("Russian"));
    EXPECT_EQ(w.Settings.DstLangCode, QStringLiteral("ru"));
    EXPECT_EQ(w.Gateway.ServerIndex, 2);
}

TEST_F(WindowTest, ServerMenuKeepsOneCheckMark)
{
    TfrmMain& w = open();
    ctl<QAction>("Xmethod2001")->trigger();
    EXPECT_EQ(w.TextServer, 2);
    ctl<QAction>("VelociGenMenu")->trigger();
    ctl<QAction>("VelociGenMenu")->trigger(); // choosing the checked one again keeps it checked
    EXPECT_EQ(w.TextServer, 3);
    EXPECT_TRUE(ctl<QAction>("VelociGenMenu")->isChecked());
    ctl<QAction>("XMethodMenu")->trigger();
    EXPECT_EQ(w.TextServer, 1);
    EXPECT_TRUE(ctl<QAction>("XMethodMenu")->isChecked());
    EXPECT_FALSE(ctl<QAction>("Xmethod2001")->isChecked());
    EXPECT_FALSE(ctl<QAction>("VelociGenMenu")->isChecked());
}

TEST_F(WindowTest, ExitClosesAndWritesOnce)
{
    TfrmMain& w = open();
    w.show();
    w.Settings.MTQuote = 777;
    ctl<QAction>("Exit1")->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(
        parse(readIni()).readInteger(QStringLiteral("Options"), QStringLiteral("MT Quote"), 0),
        777);
    QFile::remove(iniPath());
    w.writeSettingsOnce();
    EXPECT_FALSE(QFile::exists(iniPath()));
}

// The real program: SIGTERM closes the window the normal way and the
// settings file is written.
TEST(Program, TerminationSignalWritesTheSettingsFile)
{
    for (int sig : {SIGTERM, SIGINT}) {
        QTemporaryDir config;
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("tarquell.app.info=true"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(TARQUELL_BUILD_DIR "/app/tarquell-translator"));
        ASSERT_TRUE(program.waitForStarted());
        QByteArray output;
        while (!output.contains("window shown") && program.state() == QProcess::Running) {
            program.waitForReadyRead(10000);
            output += program.readAll();
        }
        ASSERT_TRUE(output.contains("window shown")) << output.toStdString();
        ::kill(static_cast<pid_t>(program.processId()), sig);
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        QFile ini(config.filePath(QStringLiteral("TarquellTranslator.ini")));
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly)) << sig;
        EXPECT_TRUE(ini.readAll().contains("[Options]\nMultiThreading=0\n"));
    }
}

// A stored font size no pane can use shows as 10 and goes back to the file
// as it was read.
TEST(MainSettingsFonts, UnusableSizeShownAsTenWrittenBackAsRead)
{
    ProfileFile file = parse("[Settings]\nSrcFntS=0\nDstFntS=5000\n");
    MainSettings settings;
    settings.loadOptions(file);
    settings.loadSettings(file);
    EXPECT_EQ(settings.SrcFntS, 10);
    EXPECT_EQ(settings.DstFntS, 10);
    settings.store(file);
    EXPECT_TRUE(file.toBytes().contains("SrcFntS=0\nDstFntS=5000\n")) << file.toBytes().constData();
}

#include "app/Translator.h"

#include "app/Logging.h"
#include "app/QtDialogs.h"
#include "app/TranslateView.h"

#include "platform/AppTitle.h"
#include "platform/CommandGuard.h"
#include "platform/ConfigPaths.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/LanguageDetection.h"
#include "platform/LocaleRegistry.h"
#include "platform/ProfileFile.h"
#include "service/THTTPRIO.h"
#include "sysinfo/ahmtsystemdetails.h"
#include "translate/Languages.h"
#include "translate/ServerLegRunner.h"
#include "translate/TranslateCommand.h"
#include "web/Gateways.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QComboBox>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolButton>

Q_LOGGING_CATEGORY(lcApp, "tarquell.app", QtWarningMsg)

static void initFlagResources()
{
    // The flag pictures live in a static library: make sure they are linked.
    Q_INIT_RESOURCE(flags);
}

TfrmMain::TfrmMain(const Environment& env, QWidget* parent) : QMainWindow(parent), m_env(env)
{
    initFlagResources();
    if (!m_env.dialogs) {
        m_ownDialogs = std::make_unique<QtDialogs>(this);
        m_env.dialogs = m_ownDialogs.get();
    }
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tarquell Translator 4.00"));
    resize(718, 540);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    buildMenus();
    buildToolbar();
    buildPanes();

    // The three service components, configured from the service table;
    // their WSDL locations come from the settings file at start.
    HTTPRIO1 = new THTTPRIO(this);
    HTTPRIO2 = new THTTPRIO(this);
    HTTPRIO3 = new THTTPRIO(this);
    HTTPRIO1->setObjectName(QStringLiteral("HTTPRIO1"));
    HTTPRIO2->setObjectName(QStringLiteral("HTTPRIO2"));
    HTTPRIO3->setObjectName(QStringLiteral("HTTPRIO3"));
    HTTPRIO2->setService(QStringLiteral("BabelFish"));
    HTTPRIO2->setPort(QStringLiteral("BabelFishPort"));
    HTTPRIO3->setService(QStringLiteral("BabelFishService"));
    HTTPRIO3->setPort(QStringLiteral("BabelFishPort"));
    HTTPRIO1->setService(QStringLiteral("translate"));
    HTTPRIO1->setPort(QStringLiteral("Port"));
    for (THTTPRIO* rio : {HTTPRIO1, HTTPRIO2, HTTPRIO3})
        rio->HTTPWebNode().setDialogs(m_env.dialogs);

    AH = new TAHMSystemDetails(this);
    AH->setObjectName(QStringLiteral("AH"));

    m_translateView = std::make_unique<TranslateView>(*this, Memo1, Memo2, Memo3, CB1, CB2);
    m_translate = std::make_unique<TranslateCommand>(*m_translateView, *m_env.dialogs);

    wireHandlers();
    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::wireHandlers()
{
    // Only the user's pick runs the select handlers; selections the
    // program makes itself do not.
    connect(CB1, &QComboBox::activated, this, &TfrmMain::CB1Select);
    connect(CB2, &QComboBox::activated, this, &TfrmMain::CB2Select);
    connect(SetBtn, &QToolButton::clicked, this, &TfrmMain::SetBtnClick);

    connect(TransBtn, &QToolButton::clicked, this, &TfrmMain::TransBtnClick);
    connect(ranslateSinglethreaded1, &QAction::triggered, this,
            &TfrmMain::ranslateSinglethreaded1Click);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(QStringLiteral("CancelShortcut"));
    connect(escape, &QShortcut::activated, this, &TfrmMain::cancelTranslation);

    connect(XMethodMenu, &QAction::triggered, this, &TfrmMain::XMethodMenuClick);
    connect(Xmethod2001, &QAction::triggered, this, &TfrmMain::Xmethod2001Click);
    connect(VelociGenMenu, &QAction::triggered, this, &TfrmMain::VelociGenMenuClick);

    connect(English1, &QAction::triggered, this, &TfrmMain::English1Click);
    connect(French1, &QAction::triggered, this, &TfrmMain::French1Click);
    connect(Spanish1, &QAction::triggered, this, &TfrmMain::Spanish1Click);
    connect(German1, &QAction::triggered, this, &TfrmMain::German1Click);
    connect(Italian1, &QAction::triggered, this, &TfrmMain::Italian1Click);
    connect(Portuguese1, &QAction::triggered, this, &TfrmMain::Portuguese1Click);
    connect(Japanese1, &QAction::triggered, this, &TfrmMain::Japanese1Click);
    connect(Chinese1, &QAction::triggered, this, &TfrmMain::Chinese1Click);

    connect(Exit1, &QAction::triggered, this, &TfrmMain::Exit1Click);
}

void TfrmMain::FormCreate()
{
    // Detection of the system's language: only the default of [Interface].
    std::unique_ptr<LocaleRegistry> ownLocale;
    const LocaleRegistry* locale = m_env.locale;
    if (!locale) {
        ownLocale = std::make_unique<LocaleRegistry>();
        locale = ownLocale.get();
    }
    const QString detected =
        detectInterfaceLanguage(locale->installLanguage(), locale->locale(), AH->OperatingSystem());
    Settings.InterfaceLanguage = detected;

    // Start values that are never stored.
    TextServer = 1;
    Gateway = initialGatewayState();

    ProfileFile file(settingsPath());
    file.load();
    Settings.load(file, detected);
    Services = ServiceLocations::read(file);

    if (Settings.LoadSettings) {
        Memo1->setFont(QFont(Settings.SrcFont, Settings.SrcFntS));
        Memo2->setFont(QFont(Settings.DstFont, Settings.DstFntS));
    }

    // Server 1 is HTTPRIO2, Server 2 HTTPRIO3, Server 3 HTTPRIO1.
    HTTPRIO2->setWSDLLocation(Services.server[0]);
    HTTPRIO3->setWSDLLocation(Services.server[1]);
    HTTPRIO1->setWSDLLocation(Services.server[2]);
    const QString proxy = Settings.proxyText();
    for (THTTPRIO* rio : {HTTPRIO1, HTTPRIO2, HTTPRIO3}) {
        if (!proxy.isEmpty())
            rio->HTTPWebNode().setProxy(proxy);
        rio->HTTPWebNode().setTimeout(Settings.TimeOut);
    }

    setBoxFromName(CB1, Settings.SrcLangCode);
    setBoxFromName(CB2, Settings.DstLangCode);
    Settings.SrcLangCode = LanguageNameToCode(Settings.SrcLangCode);
    Settings.DstLangCode = LanguageNameToCode(Settings.DstLangCode);

    setStatusText(QStringLiteral("Ready."));

    // The captions change while the window is minimised, so the user never
    // sees them switch; it is restored afterwards.
    setWindowState(windowState() | Qt::WindowMinimized);

    // The stored (or detected) interface language; names outside the menu
    // invoke nothing and the window keeps its English captions.
    const QString& lang = Settings.InterfaceLanguage;
    const struct
    {
        const char* name;
        QAction* item;
    } items[] = {{"English", English1}, {"French", French1},    {"Spanish", Spanish1},
                 {"German", German1},   {"Italian", Italian1},  {"Portuguese", Portuguese1},
                 {"Korean", Korean1},   {"Japanese", Japanese1}};
    for (const auto& it : items)
        if (lang == QLatin1String(it.name))
            it.item->trigger();
    if (lang == QLatin1String("Chinois")) {
        Chinese1->setVisible(true);
        Chinese1->trigger();
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
}

void TfrmMain::setBoxFromName(QComboBox* box, const QString& name)
{
    // A name outside the table leaves the box without a selection, showing
    // the name as typed text.
    box->setCurrentIndex(LanguageNameToIndex(name));
    box->setEditText(name);
}

QString TfrmMain::settingsPath() const
{
    return m_env.settingsPath.isEmpty() ? ConfigPaths::settingsFilePath() : m_env.settingsPath;
}

QString TfrmMain::statusText() const
{
    return m_statusLabel->text();
}

void TfrmMain::setStatusText(const QString& text)
{
    m_statusLabel->setText(text);
    emit statusTextChanged(text);
}

// --- Translate ---

bool TfrmMain::isTranslating() const
{
    return m_translate->isRunning();
}

void TfrmMain::TransBtnClick()
{
    if (m_translate->isRunning())
        return; // the status line goes on saying what is being done
    runGuarded(*m_env.dialogs, [this] {
        ServerLegRunner runner(TextServer, *HTTPRIO1, *HTTPRIO2, *HTTPRIO3);
        m_translate->run(
            {Settings.SrcLangCode, Settings.DstLangCode, Settings.MultiThreading, Settings.MTQuote},
            runner);
    });
    // A close asked for during the run happens now that the call returned.
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void TfrmMain::ranslateSinglethreaded1Click()
{
    TransBtn->click();
}

void TfrmMain::cancelTranslation()
{
    m_translate->cancel();
}

// --- languages ---

void TfrmMain::CB1Select(int)
{
    Settings.SrcLangCode = LanguageNameToCode(CB1->currentText());
}

void TfrmMain::CB2Select(int)
{
    Settings.DstLangCode = LanguageNameToCode(CB2->currentText());
    const int gateway = gatewayForDestination(Settings.DstLangCode);
    if (gateway != 0) {
        Gateway.ServerIndex = gateway;
        const QString text = QStringLiteral("Server  %1").arg(gateway);
        CBServer->setCurrentIndex(CBServer->findText(text));
    }
}

void TfrmMain::SetBtnClick()
{
    std::swap(Settings.SrcLangCode, Settings.DstLangCode);
    const QString shown1 = CB1->currentText();
    const QString shown2 = CB2->currentText();
    CB1->setCurrentIndex(LanguageNameToIndex(shown2));
    CB2->setCurrentIndex(LanguageNameToIndex(shown1));
}

// --- Server menu ---

void TfrmMain::selectTextServer(int server)
{
    TextServer = server;
    XMethodMenu->setChecked(server == 1);
    Xmethod2001->setChecked(server == 2);
    VelociGenMenu->setChecked(server == 3);
}

void TfrmMain::XMethodMenuClick()
{
    selectTextServer(1);
}

void TfrmMain::Xmethod2001Click()
{
    selectTextServer(2);
}

void TfrmMain::VelociGenMenuClick()
{
    selectTextServer(3);
}

// --- Interface menu ---

void TfrmMain::selectInterface(QAction* item, const QString& name)
{
    Settings.InterfaceLanguage = name;
    for (QAction* a : Screen1->actions())
        a->setChecked(a == item);
    setWindowTitle(AppTitle::InterfaceTitle);
    AppTitle::set(AppTitle::InterfaceTitle);
}

void TfrmMain::English1Click()
{
    selectInterface(English1, QStringLiteral("English"));
}

void TfrmMain::French1Click()
{
    selectInterface(French1, QStringLiteral("French"));
}

void TfrmMain::Spanish1Click()
{
    selectInterface(Spanish1, QStringLiteral("Spanish"));
}

void TfrmMain::German1Click()
{
    selectInterface(German1, QStringLiteral("German"));
}

void TfrmMain::Italian1Click()
{
    selectInterface(Italian1, QStringLiteral("Italian"));
}

void TfrmMain::Portuguese1Click()
{
    selectInterface(Portuguese1, QStringLiteral("Portuguese"));
}

void TfrmMain::Japanese1Click()
{
    selectInterface(Japanese1, QStringLiteral("Japanese"));
}

void TfrmMain::Chinese1Click()
{
    selectInterface(Chinese1, QStringLiteral("Chinois"));
}

// --- closing ---

void TfrmMain::Exit1Click()
{
    close();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // Closing during a translation waits for the call in flight; nothing
    // more is sent, and the window closes when the command has ended.
    if (m_translate->isRunning()) {
        m_translate->stopAfterCurrentCall();
        m_closePending = true;
        event->ignore();
        return;
    }
    FormCloseQuery();
    event->accept();
}

bool TfrmMain::FormCloseQuery()
{
    writeSettingsOnce();
    return true; // closing always proceeds
}

void TfrmMain::writeSettingsOnce()
{
    if (m_settingsWritten)
        return;
    m_settingsWritten = true;
    try {
        // Read the file as it is now, so that keys other programs wrote
        // since the start are kept.
        ProfileFile file(settingsPath());
        file.load();
        Settings.store(file);
        file.save();
    } catch (const TarquellError& e) {
        qCWarning(lcApp) << "settings not written:" << e.message();
        if (m_env.dialogs)
            m_env.dialogs->messageBox(AppTitle::get(), e.message(), MsgIcon::Error, MsgButtons::Ok);
    }
}

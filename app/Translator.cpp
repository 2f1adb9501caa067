#include "app/Translator.h"

#include "app/BrowserController.h"
#include "app/DocumentController.h"
#include "app/DocumentTranslateController.h"
#include "app/EditController.h"
#include "app/GatewayController.h"
#include "app/LanguageController.h"
#include "app/Logging.h"
#include "app/QtDialogs.h"
#include "app/StatusLine.h"
#include "app/TranslateController.h"
#include "app/ViewerController.h"
#include "platform/QtLauncher.h"
// the shell: options, interface languages, about box and launchers
#include "app/AboutController.h"
#include "app/InterfaceController.h"
#include "app/OptionsController.h"

#include "platform/AppTitle.h"
#include "platform/ConfigPaths.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/LanguageDetection.h"
#include "platform/LocaleRegistry.h"
#include "platform/ProfileFile.h"
#include "service/THTTPRIO.h"
#include "sysinfo/ahmtsystemdetails.h"
#include "translate/ServerComponents.h"
#include "translate/TextServers.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QTextEdit>

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
    if (!m_env.launcher) {
        m_ownLauncher = std::make_unique<QtLauncher>();
        m_env.launcher = m_ownLauncher.get();
    }
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tarquell Translator 4.00"));
    ui.setupUi(this);
    // The design size, or wider where the toolbar's captions need it;
    // centred on the screen.
    resize(QSize(718, 540).expandedTo(minimumSizeHint()));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_status = new StatusLine(ui.SimplePanel, this);
    connect(m_status, &StatusLine::changed, this, &TfrmMain::statusTextChanged);
    connect(ui.Exit1, &QAction::triggered, this, &TfrmMain::Exit1Click);

    createComponents();
    createControllers();
    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::createComponents()
{
    // One service component per text server, configured from the table;
    // their WSDL locations come from the settings file at start.
    for (const TextServerInfo& server : textServers()) {
        auto* rio = new THTTPRIO(this);
        setUpComponent(*rio, server);
        rio->HTTPWebNode().setDialogs(m_env.dialogs);
        m_components[server.number - 1] = rio;
    }
    AH = new TAHMSystemDetails(this);
    AH->setObjectName(QStringLiteral("AH"));
    // The window's components are in place: the component refreshes itself
    // once more, as on the end of loading a form.
    AH->loaded();
}

void TfrmMain::createControllers()
{
    m_translate = new TranslateController(this, ui, Settings, TextServer, m_components, *m_status,
                                          *m_env.dialogs);
    // A close asked for during a run happens once the call has returned.
    const auto closeIfPending = [this] {
        if (m_closePending) {
            m_closePending = false;
            close();
        }
    };
    connect(m_translate, &TranslateController::runEnded, this, closeIfPending);
    m_languages = new LanguageController(this, ui, Settings, Gateway);
    m_viewer = new ViewerController(this, ui, Settings, PaneMode, *m_env.dialogs, *m_env.launcher);
    m_editor = new EditController(this, ui, *m_env.dialogs);
    // the shell: options, interface languages, about box and launchers
    m_options = new OptionsController(this, ui, Settings, *m_status, *m_env.dialogs,
                                      [this] { return isTranslating(); });
    m_about = new AboutController(this, ui, Services, *m_status, *m_env.dialogs, *m_env.launcher,
                                  [this] { return isTranslating(); });
    m_about->setSettingsFile(settingsPath());
    // Browser mode.
    m_browser = new BrowserController(this, ui, PaneMode, Settings, Gateway, *m_status,
                                      *m_env.dialogs, m_env.browserFactory);
    m_gateways = new GatewayController(this, ui, Settings, Gateway, *m_browser, *m_env.dialogs);
    m_documents = new DocumentController(this, ui, PaneMode, *m_status, *m_env.dialogs,
                                         *m_env.launcher, [this] { return isTranslating(); });
    m_documentTranslate =
        new DocumentTranslateController(this, ui, Settings, Services, *m_status, *m_env.dialogs,
                                        *m_env.launcher, [this] { return isTranslating(); });
    connect(m_documentTranslate, &DocumentTranslateController::runEnded, this, closeIfPending);
    // Last: it names the controls the others add (the document progress bar).
    m_interface = new InterfaceController(this, ui, Settings);
}

// --- start sequence ---

void TfrmMain::FormCreate()
{
    const QString detected = detectLanguage();
    // Start values that are never stored.
    TextServer = 1;
    Gateway = initialGatewayState();

    ProfileFile file(settingsPath());
    file.load();
    readOptions(file);
    readInterface(file, detected);
    readSettings(file);
    giveProxy();
    setBoxes();
    setStatusText(QStringLiteral("Ready."));
    applyInterface();
}

QString TfrmMain::detectLanguage()
{
    // The system's language: only the default of [Interface].
    std::unique_ptr<LocaleRegistry> ownLocale;
    const LocaleRegistry* locale = m_env.locale;
    if (!locale) {
        ownLocale = std::make_unique<LocaleRegistry>();
        locale = ownLocale.get();
    }
    return detectInterfaceLanguage(locale->installLanguage(), locale->locale(),
                                   AH->OperatingSystem());
}

void TfrmMain::readOptions(const ProfileFile& file)
{
    Settings.loadOptions(file);
}

void TfrmMain::readInterface(const ProfileFile& file, const QString& detected)
{
    Settings.loadInterface(file, detected);
}

void TfrmMain::readSettings(const ProfileFile& file)
{
    Settings.loadSettings(file);
    Services = ServiceLocations::read(file);
    // Browser mode: the gateway hosts and the home page are configuration.
    Gateway = initialGatewayState(GatewayConfig::read(file));
    // Without a configured home page, Home shows the manual.
    Gateway.HomePageAddress =
        Services.homePage.isEmpty() ? m_about->manualPath() : Services.homePage;
    if (Settings.LoadSettings) {
        ui.Memo1->setFont(QFont(Settings.SrcFont, Settings.SrcFntS));
        ui.Memo2->setFont(QFont(Settings.DstFont, Settings.DstFntS));
    }
}

void TfrmMain::giveProxy()
{
    for (const TextServerInfo& server : textServers())
        giveSettings(*m_components[server.number - 1], Services.server[server.number - 1],
                     Settings);
}

void TfrmMain::setBoxes()
{
    m_languages->setBoxes();
}

void TfrmMain::applyInterface()
{
    // The captions change while the window is minimised, so the user never
    // sees them switch; it is restored afterwards.
    setWindowState(windowState() | Qt::WindowMinimized);
    m_languages->applyInterface();
    setWindowState(windowState() & ~Qt::WindowMinimized);
}

QString TfrmMain::settingsPath() const
{
    return m_env.settingsPath.isEmpty() ? ConfigPaths::settingsFilePath() : m_env.settingsPath;
}

// --- status line and state ---

QString TfrmMain::statusText() const
{
    return m_status->text();
}

void TfrmMain::setStatusText(const QString& text)
{
    m_status->setText(text);
}

bool TfrmMain::isTranslating() const
{
    return m_translate->isTranslating();
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
    if (m_translate->isTranslating()) {
        m_translate->stopAfterCurrentCall();
        m_closePending = true;
        event->ignore();
        return;
    }
    // A document may take minutes: closing ends its translation, here and
    // in the service.
    if (m_documentTranslate->isRunning()) {
        m_documentTranslate->cancel();
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
        m_env.dialogs->messageBox(AppTitle::get(), e.message(), MsgIcon::Error, MsgButtons::Ok);
    }
}

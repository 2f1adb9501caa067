#include "app/AboutController.h"

#include "app/AboutUnit.h"
#include "app/MainWindowUi.h"
#include "app/StatusLine.h"
#include "translate/MainSettings.h"

#include "platform/CommandGuard.h"
#include "platform/ConfigPaths.h"
#include "platform/Dialogs.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QToolButton>

AboutController::AboutController(QWidget* window, MainWindowUi& ui,
                                 const ServiceLocations& services, StatusLine& status,
                                 IDialogs& dialogs, ILauncher& launcher, std::function<bool()> busy)
    : QObject(window), m_window(window), ui(ui), m_services(services), m_status(status),
      m_dialogs(dialogs), m_launcher(launcher), m_busy(std::move(busy)),
      m_programFolder(ConfigPaths::programFolder())
{
    setObjectName(QStringLiteral("AboutController"));
    connect(ui.About1, &QAction::triggered, this, &AboutController::About1Click);
    connect(ui.Manual1, &QAction::triggered, this, &AboutController::Manual1Click);
    connect(ui.SpeedButton5, &QToolButton::clicked, this, &AboutController::SpeedButton5Click);
    connect(ui.Update1, &QAction::triggered, this, &AboutController::Update1Click);
    connect(ui.Homepage1, &QAction::triggered, this, &AboutController::Homepage1Click);
    connect(ui.TarquellTranslatorforWeb1, &QAction::triggered, this,
            &AboutController::TarquellTranslatorforWeb1Click);
    connect(ui.VantuDictionary1, &QAction::triggered, this,
            &AboutController::VantuDictionary1Click);
    connect(ui.IEPagewatch1, &QAction::triggered, this, &AboutController::IEPagewatch1Click);
    connect(ui.ObBtn, &QToolButton::clicked, this, &AboutController::ObBtnClick);
}

void AboutController::About1Click()
{
    if (m_busy && m_busy()) {
        m_status.setText(QStringLiteral("The about box opens once the translation has ended."));
        return;
    }
    runGuarded(m_dialogs, [this] {
        // Created for this showing only: the count and the timer start afresh.
        TAbout About(m_window, m_dialogs, m_services.supportMail);
        connect(&About, &TAbout::mailRequested, this, &AboutController::openMail);
        connect(&About, &TAbout::tealCaught, this, [this] {
            ui.Chinese1->setVisible(true);
            ui.French1->trigger();
        });
        m_dialogs.runDialog(About);
    });
}

void AboutController::Manual1Click()
{
    openManual();
}

QString AboutController::manualPath() const
{
    const QDir folder(m_programFolder);
    for (const char* name : {"Tarqtran.chm", "Tarqtran.html"}) {
        const QString path = folder.filePath(QString::fromLatin1(name));
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

bool AboutController::openManual()
{
    // Compiled help where someone installed it; the HTML manual we ship
    // when there is none, or when the desktop has no viewer for it (a
    // Linux desktop seldom has).
    const QString manual = manualPath();
    if (manual.isEmpty()) {
        m_status.setText(QStringLiteral("The manual is not installed beside the program."));
        return false;
    }
    if (m_launcher.openAddress(manual))
        return true;
    const QString html = QDir(m_programFolder).filePath(QStringLiteral("Tarqtran.html"));
    if (manual != html && QFileInfo::exists(html) && m_launcher.openAddress(html))
        return true;
    m_status.setText(QStringLiteral("The manual could not be opened."));
    return false;
}

void AboutController::SpeedButton5Click()
{
    ui.Manual1->trigger();
}

void AboutController::Update1Click()
{
    // There is no update check of the program's own: the web site tells.
    openWebSite(false);
}

void AboutController::Homepage1Click()
{
    openWebSite(true);
}

void AboutController::TarquellTranslatorforWeb1Click()
{
    startSibling(QStringLiteral("Webvane"));
}

void AboutController::VantuDictionary1Click()
{
    startSibling(QStringLiteral("Vantudict"));
}

void AboutController::IEPagewatch1Click()
{
    startSibling(QStringLiteral("Pagewatch"));
}

void AboutController::ObBtnClick()
{
    // The same program as Tools > IE Pagewatch, started the same way.
    IEPagewatch1Click();
}

void AboutController::startSibling(const QString& name)
{
    // The path goes over whole, never through a shell: blanks in the
    // folder's name are harmless. The program runs in its own folder,
    // where it finds its files.
    const QString program = QDir(m_programFolder).filePath(name);
    if (!QFileInfo::exists(program))
        m_status.setText(QStringLiteral("%1 is not installed beside the program.").arg(name));
    else if (!m_launcher.startProgram(program, {}, m_programFolder))
        m_status.setText(QStringLiteral("%1 could not be started.").arg(name));
}

QString AboutController::notConfigured(const QString& what, const QString& key) const
{
    const QString file =
        m_settingsFile.isEmpty() ? ConfigPaths::settingsFilePath() : m_settingsFile;
    return QStringLiteral("No %1 is configured: set %2 in the [Services] section of %3 (read "
                          "at start).")
        .arg(what, key, QDir::toNativeSeparators(file));
}

void AboutController::openWebSite(bool manualInstead)
{
    // Unset, there is no site to open: the manual stands in for the home
    // page, and the status line says where the address goes.
    if (m_services.homePage.isEmpty()) {
        if (manualInstead)
            openManual();
        m_status.setText(notConfigured(QStringLiteral("home page"), QStringLiteral("Home Page")));
        return;
    }
    if (!m_launcher.openAddress(m_services.homePage))
        m_status.setText(QStringLiteral("No web browser could open %1.").arg(m_services.homePage));
}

void AboutController::openMail(const QString& link)
{
    if (m_services.supportMail.isEmpty()) {
        m_status.setText(
            notConfigured(QStringLiteral("support address"), QStringLiteral("Support Mail")));
        return;
    }
    if (!m_launcher.openAddress(link))
        m_status.setText(QStringLiteral("The mail program could not be started."));
}

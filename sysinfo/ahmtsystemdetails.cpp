#include "sysinfo/ahmtsystemdetails.h"

#include "sysinfo/SystemFacts.h"

#include <QDir>
#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QSysInfo>

namespace {
const QScreen* primaryScreen()
{
    // Without a GUI application there is no screen to ask.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return nullptr;
    return QGuiApplication::primaryScreen();
}
} // namespace

TAHMSystemDetails::TAHMSystemDetails(QObject* parent) : TAHMSystemComponent(parent)
{
    refresh();
}

void TAHMSystemDetails::refresh()
{
    m_processorType = SystemFacts::processorType();
    m_processorLevel = SystemFacts::processorLevel(m_processorType);
    m_noOfProcessors = SystemFacts::processorCount();

    const QString release = QSysInfo::kernelVersion();
    m_operatingSystem = SystemFacts::operatingSystemName();
    m_buildNumber = SystemFacts::buildNumber(release);
    m_plus = false;        // Plus! existed only for Windows 95 and 98
    m_platformCSD.clear(); // no service packs
    m_versionNumber = SystemFacts::versionNumber(release);
    m_registeredOwner.clear(); // no registry to ask
    m_registeredCompany.clear();

    m_computerName = QSysInfo::machineHostName();
    m_language = SystemFacts::languageName(QLocale::system());
    m_userName = SystemFacts::loginName();
    m_directoryWindows.clear();
    m_directorySystem.clear();
    m_directoryTemp = SystemFacts::temporaryDirectory();
    m_directoryCurrent = QDir::toNativeSeparators(QDir::currentPath());

    emit OnUpdate(this);
}

QString TAHMSystemDetails::DirectoryCurrent()
{
    refresh();
    return m_directoryCurrent;
}

int TAHMSystemDetails::ScreenWidth() const
{
    const QScreen* screen = primaryScreen();
    return screen ? screen->size().width() : 0;
}

int TAHMSystemDetails::ScreenHeight() const
{
    const QScreen* screen = primaryScreen();
    return screen ? screen->size().height() : 0;
}

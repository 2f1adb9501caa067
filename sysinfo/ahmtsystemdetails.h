#pragma once

#include "sysinfo/ahmtsystemcomponent.h"

#include <QString>

// Facts about the machine and the operating system, as read-only properties.
// Everything is read once at creation and again on every refresh; reading
// DirectoryCurrent refreshes first, and the screen size is read live.
//
// On Linux: OperatingSystem is uname's system name ("Linux"); VersionNumber is
// the kernel's major.minor and BuildNumber the third number of the kernel
// release. Windows-only facts (Plus, PlatformCSD, RegisteredOwner,
// RegisteredCompany, DirectoryWindows, DirectorySystem) are false or empty:
// Linux has no Windows or system directory, and inventing one would mislead.
class TAHMSystemDetails : public TAHMSystemComponent
{
    Q_OBJECT
    Q_PROPERTY(bool Plus READ Plus)
    Q_PROPERTY(QString ProcessorType READ ProcessorType)
    Q_PROPERTY(QString ProcessorLevel READ ProcessorLevel)
    Q_PROPERTY(QString OperatingSystem READ OperatingSystem)
    Q_PROPERTY(QString PlatformCSD READ PlatformCSD)
    Q_PROPERTY(QString BuildNumber READ BuildNumber)
    Q_PROPERTY(QString VersionNumber READ VersionNumber)
    Q_PROPERTY(QString ComputerName READ ComputerName)
    Q_PROPERTY(QString UserName READ UserName)
    Q_PROPERTY(QString DirectoryCurrent READ DirectoryCurrent)
    Q_PROPERTY(QString DirectoryWindows READ DirectoryWindows)
    Q_PROPERTY(QString DirectorySystem READ DirectorySystem)
    Q_PROPERTY(QString DirectoryTemp READ DirectoryTemp)
    Q_PROPERTY(int NoOfProcessors READ NoOfProcessors)
    Q_PROPERTY(QString RegisteredOwner READ RegisteredOwner)
    Q_PROPERTY(QString RegisteredCompany READ RegisteredCompany)
    Q_PROPERTY(QString Language READ Language)
    Q_PROPERTY(int ScreenWidth READ ScreenWidth)
    Q_PROPERTY(int ScreenHeight READ ScreenHeight)

public:
    explicit TAHMSystemDetails(QObject* parent = nullptr);

    void refresh() override;

    bool Plus() const { return m_plus; }
    QString ProcessorType() const { return m_processorType; }
    QString ProcessorLevel() const { return m_processorLevel; }
    QString OperatingSystem() const { return m_operatingSystem; }
    QString PlatformCSD() const { return m_platformCSD; }
    QString BuildNumber() const { return m_buildNumber; }
    QString VersionNumber() const { return m_versionNumber; }
    QString ComputerName() const { return m_computerName; }
    QString UserName() const { return m_userName; }
    // Refreshes every property, then returns the current directory.
    QString DirectoryCurrent();
    QString DirectoryWindows() const { return m_directoryWindows; }
    QString DirectorySystem() const { return m_directorySystem; }
    QString DirectoryTemp() const { return m_directoryTemp; }
    int NoOfProcessors() const { return m_noOfProcessors; }
    QString RegisteredOwner() const { return m_registeredOwner; }
    QString RegisteredCompany() const { return m_registeredCompany; }
    QString Language() const { return m_language; }
    // The primary screen's size now; 0 without a screen.
    int ScreenWidth() const;
    int ScreenHeight() const;

signals:
    // After every refresh, with the component as sender.
    void OnUpdate(QObject* sender);

private:
    bool m_plus = false;
    QString m_processorType;
    QString m_processorLevel;
    QString m_operatingSystem;
    QString m_platformCSD;
    QString m_buildNumber;
    QString m_versionNumber;
    QString m_computerName;
    QString m_userName;
    QString m_directoryCurrent;
    QString m_directoryWindows;
    QString m_directorySystem;
    QString m_directoryTemp;
    int m_noOfProcessors = 0;
    QString m_registeredOwner;
    QString m_registeredCompany;
    QString m_language;
};

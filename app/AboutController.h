#pragma once

#include <QObject>
#include <functional>

class IDialogs;
class ILauncher;
class QWidget;
class StatusLine;
struct MainWindowUi;
struct ServiceLocations;

// The commands that lead outside the translation work: the about box, the
// manual, the maker's web site and the sibling programs. Everything is
// started through the launcher seam, in the program folder, and never
// waited for; what cannot be started is said in the status line.
class AboutController : public QObject
{
    Q_OBJECT
public:
    // services: the [Services] configuration (web site and support mail).
    // busy: true while a command waits on a remote call; the about box's
    // own modal loop must not be started inside that wait.
    AboutController(QWidget* window, MainWindowUi& ui, const ServiceLocations& services,
                    StatusLine& status, IDialogs& dialogs, ILauncher& launcher,
                    std::function<bool()> busy);

    // Where the manual and the sibling programs are looked for; the
    // running program's folder unless a test sets another.
    QString programFolder() const { return m_programFolder; }
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }
    // The settings file named where the status line says how to configure
    // the web site and the support address.
    void setSettingsFile(const QString& path) { m_settingsFile = path; }
    // The manual to open: the compiled help where it exists, else the HTML
    // one; empty when neither is installed.
    QString manualPath() const;

public slots:
    void About1Click();
    void Manual1Click();
    void SpeedButton5Click();
    void Update1Click();
    void Homepage1Click();
    void TarquellTranslatorforWeb1Click();
    void VantuDictionary1Click();
    void IEPagewatch1Click();
    void ObBtnClick();

private:
    void startSibling(const QString& name);
    bool openManual();
    void openWebSite(bool manualInstead);
    void openMail(const QString& link);
    QString notConfigured(const QString& what, const QString& key) const;

    QWidget* m_window;
    MainWindowUi& ui;
    const ServiceLocations& m_services;
    StatusLine& m_status;
    IDialogs& m_dialogs;
    ILauncher& m_launcher;
    std::function<bool()> m_busy;
    QString m_programFolder;
    QString m_settingsFile;
};

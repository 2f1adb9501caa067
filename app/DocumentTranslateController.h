#pragma once

#include <QObject>
#include <QString>
#include <functional>

class DocumentClient;
class IDialogs;
class ILauncher;
class QProgressBar;
class QTimer;
class QWidget;
class StatusLine;
struct MainSettings;
struct MainWindowUi;
struct ServiceLocations;

// File > Translate Document...: a whole document translated by the
// document service with its layout kept. The open dialog offers the types
// the service takes; the languages are the two boxes'; the save dialog
// proposes "<name>.<destination code>.<ext>" beside the original, which is
// never written over. The status line follows the translation, with a
// progress bar once it takes more than a second, and Esc ends it. At the
// end the user may open the translation with the desktop's application.
class DocumentTranslateController : public QObject
{
    Q_OBJECT
public:
    // settings and services are the window's, read when the command runs;
    // busy tells whether a text translation is running.
    DocumentTranslateController(QWidget* window, MainWindowUi& ui, const MainSettings& settings,
                                const ServiceLocations& services, StatusLine& status,
                                IDialogs& dialogs, ILauncher& launcher, std::function<bool()> busy);
    ~DocumentTranslateController() override;

    bool isRunning() const { return m_running; }
    // Ends the translation under way, as Esc does.
    void cancel();
    // What the window says when the document service does not answer.
    static QString notRunningText(const QString& url);

public slots:
    void TranslateDocument1Click();

signals:
    // The command has ended, however it ended.
    void runEnded();

private:
    void translateDocument();
    void showProgress(const QString& name, int percent);

    MainWindowUi& ui;
    const MainSettings& m_settings;
    const ServiceLocations& m_services;
    StatusLine& m_status;
    IDialogs& m_dialogs;
    ILauncher& m_launcher;
    std::function<bool()> m_busy;
    DocumentClient* m_client;
    QProgressBar* m_bar;
    QTimer* m_barDelay;
    bool m_running = false;
};

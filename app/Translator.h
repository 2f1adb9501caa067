#pragma once

#include "app/BrowserPane.h"
#include "app/MainWindowUi.h"
#include "translate/MainSettings.h"
#include "web/Gateways.h"

#include <QMainWindow>
#include <array>
#include <memory>

class EditController;
class BrowserController;
class GatewayController;
class DocumentController;
class DocumentTranslateController;
class IDialogs;
class ILauncher;
class LanguageController;
class LocaleRegistry;
class ProfileFile;
class StatusLine;
class TAHMSystemDetails;
class THTTPRIO;
class TranslateController;
class ViewerController;
// the shell: options, interface languages, about box and launchers
class AboutController;
class InterfaceController;
class OptionsController;

// The main window: the switchboard. It composes the controls and the area
// controllers, runs the start and close sequences and keeps the settings
// fields; every command lives on the controller of its area.
class TfrmMain : public QMainWindow
{
    Q_OBJECT

public:
    // Where the window reads its environment from; tests replace parts.
    struct Environment
    {
        IDialogs* dialogs = nullptr;            // null: Qt's dialogs
        ILauncher* launcher = nullptr;          // null: start programs for real
        QString settingsPath;                   // empty: the per-user configuration file
        const LocaleRegistry* locale = nullptr; // null: the process locale
        // Browser mode: makes WebBrowser1 the first time it is entered.
        BrowserPaneFactory browserFactory;
    };

    explicit TfrmMain(const Environment& env, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Writes the settings file (once per window). Used by the close
    // sequence and by the session/signal shutdown paths.
    void writeSettingsOnce();

    QString statusText() const;
    void setStatusText(const QString& text);
    bool isTranslating() const;

    // --- settings fields and start values ---
    MainSettings Settings;
    ServiceLocations Services;
    int TextServer = 0;
    int PaneMode = 0;
    GatewayState Gateway;

signals:
    void statusTextChanged(const QString& text);

public slots:
    void Exit1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createComponents();
    void createControllers();

    // The start sequence, step by step.
    void FormCreate();
    QString detectLanguage();
    void readOptions(const ProfileFile& file);
    void readInterface(const ProfileFile& file, const QString& detected);
    void readSettings(const ProfileFile& file);
    void giveProxy();
    void setBoxes();
    void applyInterface();

    bool FormCloseQuery();
    QString settingsPath() const;

    MainWindowUi ui;
    Environment m_env;
    std::unique_ptr<IDialogs> m_ownDialogs;
    std::unique_ptr<ILauncher> m_ownLauncher;
    StatusLine* m_status = nullptr;
    std::array<THTTPRIO*, 3> m_components{}; // by text server
    TAHMSystemDetails* AH = nullptr;
    TranslateController* m_translate = nullptr;
    LanguageController* m_languages = nullptr;
    ViewerController* m_viewer = nullptr;
    EditController* m_editor = nullptr; // editor: edit, format, find and replace
    // the shell: options, interface languages, about box and launchers
    OptionsController* m_options = nullptr;
    InterfaceController* m_interface = nullptr;
    AboutController* m_about = nullptr;
    // Browser mode.
    BrowserController* m_browser = nullptr;
    GatewayController* m_gateways = nullptr;
    DocumentController* m_documents = nullptr; // documents: open, save, print
    DocumentTranslateController* m_documentTranslate = nullptr;
    bool m_closePending = false;
    bool m_settingsWritten = false;
};

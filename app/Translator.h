#pragma once

#include "app/MainSettings.h"
#include "web/Gateways.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QStatusBar;
class QTextEdit;
class QToolButton;
class QWidget;
class IDialogs;
class THTTPRIO;
class TranslateCommand;
class TranslateView;
class TAHMSystemDetails;
class LocaleRegistry;

// The main window: the switchboard. Every handler hands its work to the
// area that owns it; controls keep their design names as member and
// objectName.
class TfrmMain : public QMainWindow
{
    Q_OBJECT

public:
    // Where the window reads its environment from; tests replace parts.
    struct Environment
    {
        IDialogs* dialogs = nullptr;
        QString settingsPath;                   // empty: the per-user configuration file
        const LocaleRegistry* locale = nullptr; // null: the process locale
    };

    explicit TfrmMain(const Environment& env, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Writes the settings file (once per window). Used by the close
    // sequence and by the session/signal shutdown paths.
    void writeSettingsOnce();

    QString statusText() const;
    void setStatusText(const QString& text);
    bool isTranslating() const;

signals:
    void statusTextChanged(const QString& text);

public:
    // --- settings fields and start values ---
    MainSettings Settings;
    ServiceLocations Services;
    int TextServer = 0;
    int PaneMode = 0;
    GatewayState Gateway;

    // --- controls ---
    QMenuBar* MainMenu1 = nullptr;
    QMenu *N1, *Edit1, *ranslate1, *Server1, *Screen1, *Voice1, *Preference1, *Tools1, *Help1;
    QAction *Opensourcefile1, *Open1, *Print1, *PrinterSetup1, *Exit1;
    QAction *Undo1, *Redo1, *Copy1, *Cut1, *Paste1, *SelectAll1, *Find1, *Replace1;
    QAction* ranslateSinglethreaded1;
    QAction *XMethodMenu, *Xmethod2001, *VelociGenMenu;
    QAction *English1, *French1, *Spanish1, *German1, *Italian1, *Portuguese1, *Korean1, *Japanese1,
        *Chinese1;
    QAction *ranslate2, *Network1, *ProxySettings1;
    QAction *TarquellTranslatorforWeb1, *VantuDictionary1, *IEPagewatch1;
    QAction *Manual1, *Update1, *Homepage1, *About1;

    QWidget* Panel1 = nullptr;
    QToolButton *OpenBtn, *SaveBtn, *TransBtn, *ClearBtn, *BitBtn6, *FontBtn;
    QToolButton *BoldBtn, *ItalicBtn, *UnderlineBtn, *LeftBtn, *CentreBtn, *RightBtn;
    QToolButton *SpeedButton1, *SpeedButton2, *SetBtn, *HelpBtn, *SpeedButton5;
    QToolButton *TextBtn, *BackBtn, *ForwardBtn, *StopBtn, *RefreshBtn, *GoBtn, *HomeBtn, *ObBtn;
    QComboBox *CB1, *CB2;

    QWidget* AddressRow = nullptr;
    QLabel* LblAddress = nullptr;
    QComboBox* URLs = nullptr;
    QToolButton* ReTranBtn = nullptr;
    QComboBox* CBServer = nullptr;
    QLabel* LblMode = nullptr;
    QToolButton* ChangeBtn = nullptr;

    QTextEdit *Memo1, *Memo2;
    QPlainTextEdit* Memo3 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

    THTTPRIO *HTTPRIO1, *HTTPRIO2, *HTTPRIO3;
    TAHMSystemDetails* AH = nullptr;

public slots:
    // Translate
    void TransBtnClick();
    void ranslateSinglethreaded1Click();
    void cancelTranslation();
    // Languages
    void CB1Select(int index);
    void CB2Select(int index);
    void SetBtnClick();
    // Server menu
    void XMethodMenuClick();
    void Xmethod2001Click();
    void VelociGenMenuClick();
    // Interface menu
    void English1Click();
    void French1Click();
    void Spanish1Click();
    void German1Click();
    void Italian1Click();
    void Portuguese1Click();
    void Japanese1Click();
    void Chinese1Click();
    // File
    void Exit1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildPanes();
    void wireHandlers();
    void FormCreate();
    bool FormCloseQuery();
    void selectInterface(QAction* item, const QString& name);
    void selectTextServer(int server);
    void setBoxFromName(QComboBox* box, const QString& name);
    QString settingsPath() const;

    Environment m_env;
    std::unique_ptr<IDialogs> m_ownDialogs;
    std::unique_ptr<TranslateView> m_translateView;
    std::unique_ptr<TranslateCommand> m_translate;
    bool m_closePending = false;
    QLabel* m_statusLabel = nullptr;
    bool m_settingsWritten = false;
};

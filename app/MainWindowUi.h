#pragma once

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QStatusBar;
class QTextEdit;
class QToolButton;
class QWidget;

// Every control of the main window under its design name, which is also its
// objectName. Built once by setupUi (TranslatorUi.cpp); the window and its
// controllers share it, and nothing outside them reaches into it.
struct MainWindowUi
{
    void setupUi(QMainWindow* frmMain);

    QMenuBar* MainMenu1 = nullptr;
    QMenu *N1 = nullptr, *Edit1 = nullptr, *ranslate1 = nullptr, *Server1 = nullptr,
          *Screen1 = nullptr, *Voice1 = nullptr, *Preference1 = nullptr, *Tools1 = nullptr,
          *Help1 = nullptr;
    QAction *Opensourcefile1 = nullptr, *Open1 = nullptr, *Print1 = nullptr,
            *PrinterSetup1 = nullptr, *Exit1 = nullptr;
    QAction* TranslateDocument1 = nullptr; // File > Translate Document..., Ctrl+Shift+T
    QAction *Undo1 = nullptr, *Redo1 = nullptr, *Copy1 = nullptr, *Cut1 = nullptr,
            *Paste1 = nullptr, *SelectAll1 = nullptr, *Find1 = nullptr, *Replace1 = nullptr;
    QAction* ranslateSinglethreaded1 = nullptr;
    // The Server menu's items in text-server order (Server 1, 2, 3), one
    // check mark among them.
    QAction *XMethodMenu = nullptr, *Xmethod2001 = nullptr, *VelociGenMenu = nullptr;
    QActionGroup* ServerGroup = nullptr;
    // The Interface menu's items; one check mark among all nine.
    QAction *English1 = nullptr, *French1 = nullptr, *Spanish1 = nullptr, *German1 = nullptr,
            *Italian1 = nullptr, *Portuguese1 = nullptr, *Korean1 = nullptr, *Japanese1 = nullptr,
            *Chinese1 = nullptr;
    QActionGroup* InterfaceGroup = nullptr;
    QAction *ranslate2 = nullptr, *Network1 = nullptr, *ProxySettings1 = nullptr;
    QAction *TarquellTranslatorforWeb1 = nullptr, *VantuDictionary1 = nullptr,
            *IEPagewatch1 = nullptr;
    QAction *Manual1 = nullptr, *Update1 = nullptr, *Homepage1 = nullptr, *About1 = nullptr;

    QWidget* Panel1 = nullptr;
    QToolButton *OpenBtn = nullptr, *SaveBtn = nullptr, *TransBtn = nullptr, *ClearBtn = nullptr,
                *BitBtn6 = nullptr, *FontBtn = nullptr;
    QToolButton *BoldBtn = nullptr, *ItalicBtn = nullptr, *UnderlineBtn = nullptr,
                *LeftBtn = nullptr, *CentreBtn = nullptr, *RightBtn = nullptr;
    QToolButton *SpeedButton1 = nullptr, *SpeedButton2 = nullptr, *SetBtn = nullptr,
                *HelpBtn = nullptr, *SpeedButton5 = nullptr;
    QToolButton *TextBtn = nullptr, *BackBtn = nullptr, *ForwardBtn = nullptr, *StopBtn = nullptr,
                *RefreshBtn = nullptr, *GoBtn = nullptr, *HomeBtn = nullptr, *ObBtn = nullptr;
    QComboBox *CB1 = nullptr, *CB2 = nullptr;

    QWidget* AddressRow = nullptr;
    QLabel* LblAddress = nullptr;
    QComboBox* URLs = nullptr;
    QToolButton* ReTranBtn = nullptr;
    QComboBox* CBServer = nullptr;
    QLabel* LblMode = nullptr;
    QToolButton* ChangeBtn = nullptr;

    QTextEdit *Memo1 = nullptr, *Memo2 = nullptr;
    QPlainTextEdit* Memo3 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* SimplePanel = nullptr; // the status bar's one panel

    // --- editor: the pop-up menu both panes share, items in menu order ---
    QMenu* PopMenu = nullptr;
    QAction *Undo2 = nullptr, *Redo2 = nullptr, *Clear1 = nullptr, *Copy2 = nullptr,
            *Paste2 = nullptr, *Cut2 = nullptr, *SelectAll2 = nullptr, *Find2 = nullptr,
            *Replace2 = nullptr, *AutoWrap1 = nullptr;
    // --- browser mode ---
    // Enters browser mode; both shown only in text mode.
    QToolButton* WebBtn = nullptr; // toolbar "Web", beside "Help"
    QAction* WebPage1 = nullptr;   // Translate > "Web Page", Ctrl+B
    QWidget* PaneArea = nullptr;   // holds Memo1 and Memo2
    // Where WebBrowser1 goes when browser mode is first entered; hidden in
    // text mode.
    QWidget* BrowserArea = nullptr;

private:
    void buildMenus(QMainWindow* frmMain);
    void buildToolbar(QWidget* parent);
    void buildPanes(QMainWindow* frmMain);
    void buildPopMenu(QMainWindow* frmMain); // editor
};

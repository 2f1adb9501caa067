// Composition of the main window: menus, toolbar, panes, browser-mode
// controls and status bar. Handlers live on the area controllers.
#include "app/MainWindowUi.h"

#include "platform/InterfaceLanguages.h"
#include "translate/Languages.h"
#include "translate/TextServers.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QAction* addItem(QMenu* menu, const char* name, const char* caption,
                 const QKeySequence& shortcut = QKeySequence())
{
    auto* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    return a;
}

QMenu* addMenu(QMenuBar* bar, const char* name, const char* caption)
{
    auto* m = bar->addMenu(QString::fromUtf8(caption));
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Action"));
    return m;
}

// A large toolbar button: 48 x 48, picture above caption.
// A large toolbar button: 48 x 48 at least, picture above caption, and
// never narrower than its caption (in any interface language): the row
// does not squeeze it, the window grows instead.
class BigButton : public QToolButton
{
public:
    BigButton(QWidget* parent, int minWidth) : QToolButton(parent), m_minWidth(minWidth)
    {
        setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override
    {
        return QSize(std::max(QToolButton::sizeHint().width(), m_minWidth), 48);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    int m_minWidth;
};

QToolButton* bigButton(QWidget* parent, const char* name, const char* caption, const char* icon,
                       int width = 48)
{
    auto* b = new BigButton(parent, width);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(QString::fromUtf8(caption));
    b->setIcon(QIcon::fromTheme(QString::fromLatin1(icon)));
    b->setIconSize(QSize(24, 24));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    return b;
}

// A 24 x 24 formatting button without caption. Its tip, which is also its
// accessible name, comes from the interface-language names.
QToolButton* smallButton(QWidget* parent, const char* name, const char* icon)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(QIcon::fromTheme(QString::fromLatin1(icon)));
    b->setIconSize(QSize(16, 16));
    b->setAutoRaise(true);
    b->setFixedSize(24, 24);
    return b;
}

QComboBox* languageBox(QWidget* parent, const char* name, const QString& designText)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(10);
    box->setFixedWidth(100);
    for (const Language& l : languageTable())
        box->addItem(QIcon(QStringLiteral(":/flags/") + l.flag + QStringLiteral(".png")), l.name);
    box->setCurrentIndex(LanguageNameToIndex(designText));
    return box;
}

QTextEdit* pane(QWidget* parent, const char* name)
{
    auto* m = new QTextEdit(parent);
    m->setObjectName(QString::fromLatin1(name));
    m->setAcceptRichText(true);
    m->setFont(QFont(QStringLiteral("Arial"), 10));
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m->setLineWrapMode(QTextEdit::WidgetWidth);
    QPalette p = m->palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, Qt::black);
    m->setPalette(p);
    return m;
}

// Holds the two panes one above the other with equal heights, whatever
// the window's size; an odd pixel is left at the bottom.
class PaneArea : public QWidget
{
public:
    PaneArea(QWidget* parent, QWidget* upper, QWidget* lower)
        : QWidget(parent), m_upper(upper), m_lower(lower)
    {
        setObjectName(QStringLiteral("PaneArea"));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        upper->setParent(this);
        lower->setParent(this);
    }
    QSize sizeHint() const override { return QSize(700, 400); }
    QSize minimumSizeHint() const override { return QSize(100, 2 * 24 + Gap); }

protected:
    void resizeEvent(QResizeEvent*) override
    {
        const int h = (height() - Gap) / 2;
        m_upper->setGeometry(0, 0, width(), h);
        m_lower->setGeometry(0, h + Gap, width(), h);
    }

private:
    static constexpr int Gap = 2;
    QWidget* m_upper;
    QWidget* m_lower;
};

} // namespace

void MainWindowUi::setupUi(QMainWindow* frmMain)
{
    buildMenus(frmMain);
    buildPanes(frmMain);
    buildPopMenu(frmMain);
}

void MainWindowUi::buildMenus(QMainWindow* frmMain)
{
    MainMenu1 = new QMenuBar(frmMain);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    frmMain->setMenuBar(MainMenu1);

    N1 = addMenu(MainMenu1, "N1", "&File");
    Opensourcefile1 = addItem(N1, "Opensourcefile1", "&Open Source Document ...");
    Open1 = addItem(N1, "Open1", "&Save Translated Document ...");
    TranslateDocument1 = addItem(N1, "TranslateDocument1", "&Translate Document...",
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    N1->addSeparator();
    Print1 = addItem(N1, "Print1", "Print ...", QKeySequence(Qt::CTRL | Qt::Key_P));
    PrinterSetup1 = addItem(N1, "PrinterSetup1", "Printer Setup");
    N1->addSeparator();
    Exit1 = addItem(N1, "Exit1", "E&xit");

    Edit1 = addMenu(MainMenu1, "Edit1", "&Edit");
    Undo1 = addItem(Edit1, "Undo1", "Undo", QKeySequence(Qt::CTRL | Qt::Key_Z));
    Redo1 = addItem(Edit1, "Redo1", "Redo", QKeySequence(Qt::CTRL | Qt::Key_Y));
    Edit1->addSeparator();
    Copy1 = addItem(Edit1, "Copy1", "Copy", QKeySequence(Qt::CTRL | Qt::Key_C));
    Cut1 = addItem(Edit1, "Cut1", "Cut", QKeySequence(Qt::CTRL | Qt::Key_X));
    Paste1 = addItem(Edit1, "Paste1", "Paste", QKeySequence(Qt::CTRL | Qt::Key_V));
    SelectAll1 = addItem(Edit1, "SelectAll1", "Select All", QKeySequence(Qt::CTRL | Qt::Key_A));
    Edit1->addSeparator();
    Find1 = addItem(Edit1, "Find1", "Find ...", QKeySequence(Qt::CTRL | Qt::Key_F));
    Replace1 = addItem(Edit1, "Replace1", "Replace ...", QKeySequence(Qt::CTRL | Qt::Key_R));

    ranslate1 = addMenu(MainMenu1, "ranslate1", "&Translate");
    ranslateSinglethreaded1 = addItem(ranslate1, "ranslateSinglethreaded1", "Translate",
                                      QKeySequence(Qt::CTRL | Qt::Key_T));
    // Browser mode.
    WebPage1 = addItem(ranslate1, "WebPage1", "Web Page", QKeySequence(Qt::CTRL | Qt::Key_B));

    Server1 = addMenu(MainMenu1, "Server1", "&Server");
    ServerGroup = new QActionGroup(Server1);
    ServerGroup->setObjectName(QStringLiteral("ServerGroup"));
    QAction** serverItems[] = {&XMethodMenu, &Xmethod2001, &VelociGenMenu};
    for (const TextServerInfo& server : textServers()) {
        QAction* a = addItem(Server1, server.menuItem, server.caption);
        a->setCheckable(true);
        ServerGroup->addAction(a);
        *serverItems[server.number - 1] = a;
    }
    XMethodMenu->setChecked(true);

    Screen1 = addMenu(MainMenu1, "Screen1", "&Interface");
    InterfaceGroup = new QActionGroup(Screen1);
    InterfaceGroup->setObjectName(QStringLiteral("InterfaceGroup"));
    QAction** interfaceItems[] = {&English1,    &French1, &Spanish1,  &German1, &Italian1,
                                  &Portuguese1, &Korean1, &Japanese1, &Chinese1};
    int row = 0;
    for (const InterfaceLanguage& l : interfaceLanguages()) {
        QAction* a = addItem(Screen1, l.menuItem, l.caption);
        // An item without a command must never toggle.
        a->setCheckable(*l.stored != 0);
        a->setVisible(l.visibleAtStart);
        InterfaceGroup->addAction(a);
        *interfaceItems[row++] = a;
    }
    English1->setChecked(true);

    Voice1 = addMenu(MainMenu1, "Voice1", "&Voice");
    Voice1->menuAction()->setVisible(false);

    Preference1 = addMenu(MainMenu1, "Preference1", "&Preference");
    ranslate2 = addItem(Preference1, "ranslate2", "Translation Settings");
    Network1 = addItem(Preference1, "Network1", "Server Settings");
    ProxySettings1 = addItem(Preference1, "ProxySettings1", "Proxy Settings");

    Tools1 = addMenu(MainMenu1, "Tools1", "T&ools");
    TarquellTranslatorforWeb1 = addItem(Tools1, "TarquellTranslatorforWeb1", "Translator for Web");
    VantuDictionary1 = addItem(Tools1, "VantuDictionary1", "Vantu Dictionary");
    IEPagewatch1 = addItem(Tools1, "IEPagewatch1", "IE Pagewatch");

    Help1 = addMenu(MainMenu1, "Help1", "&Help");
    Manual1 = addItem(Help1, "Manual1", "Manual");
    Help1->addSeparator();
    Update1 = addItem(Help1, "Update1", "Live Update ...");
    Homepage1 = addItem(Help1, "Homepage1", "Homepage ...");
    Help1->addSeparator();
    About1 = addItem(Help1, "About1", "About ...");
}

void MainWindowUi::buildToolbar(QWidget* parent)
{
    Panel1 = new QWidget(parent);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(52);
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(1, 2, 4, 2);
    row->setSpacing(0);

    OpenBtn = bigButton(Panel1, "OpenBtn", "Open", "document-open");
    SaveBtn = bigButton(Panel1, "SaveBtn", "Save", "document-save");
    TransBtn = bigButton(Panel1, "TransBtn", "Translate", "accessories-dictionary");
    ClearBtn = bigButton(Panel1, "ClearBtn", "Clear", "edit-clear");
    BitBtn6 = bigButton(Panel1, "BitBtn6", "Undo", "edit-undo");
    FontBtn = bigButton(Panel1, "FontBtn", "Font", "preferences-desktop-font");
    // Browser mode shows these in place of the text buttons.
    TextBtn = bigButton(Panel1, "TextBtn", "Text", "accessories-text-editor");
    BackBtn = bigButton(Panel1, "BackBtn", "Back", "go-previous");
    ForwardBtn = bigButton(Panel1, "ForwardBtn", "Forward", "go-next");
    StopBtn = bigButton(Panel1, "StopBtn", "Stop", "process-stop");
    RefreshBtn = bigButton(Panel1, "RefreshBtn", "Refresh", "view-refresh");
    GoBtn = bigButton(Panel1, "GoBtn", "Go", "go-jump");
    HomeBtn = bigButton(Panel1, "HomeBtn", "Home", "go-home");
    ObBtn = bigButton(Panel1, "ObBtn", "Observe", "system-search", 47);
    for (QToolButton* b : {OpenBtn, SaveBtn, TransBtn, ClearBtn, BitBtn6, FontBtn, TextBtn, BackBtn,
                           ForwardBtn, StopBtn, RefreshBtn, GoBtn, HomeBtn, ObBtn})
        row->addWidget(b);
    for (QToolButton* b :
         {TextBtn, BackBtn, ForwardBtn, StopBtn, RefreshBtn, GoBtn, HomeBtn, ObBtn})
        b->hide();

    auto* formatting = new QGridLayout;
    formatting->setSpacing(0);
    BoldBtn = smallButton(Panel1, "BoldBtn", "format-text-bold");
    ItalicBtn = smallButton(Panel1, "ItalicBtn", "format-text-italic");
    UnderlineBtn = smallButton(Panel1, "UnderlineBtn", "format-text-underline");
    LeftBtn = smallButton(Panel1, "LeftBtn", "format-justify-left");
    CentreBtn = smallButton(Panel1, "CentreBtn", "format-justify-center");
    RightBtn = smallButton(Panel1, "RightBtn", "format-justify-right");
    formatting->addWidget(BoldBtn, 0, 0);
    formatting->addWidget(ItalicBtn, 0, 1);
    formatting->addWidget(UnderlineBtn, 0, 2);
    formatting->addWidget(LeftBtn, 1, 0);
    formatting->addWidget(CentreBtn, 1, 1);
    formatting->addWidget(RightBtn, 1, 2);
    row->addLayout(formatting);

    SpeedButton1 = bigButton(Panel1, "SpeedButton1", "Color", "applications-graphics");
    SpeedButton2 = bigButton(Panel1, "SpeedButton2", "Print", "document-print");
    SetBtn = bigButton(Panel1, "SetBtn", "Swap", "media-playlist-repeat");
    HelpBtn = bigButton(Panel1, "HelpBtn", "Viewer", "document-print-preview");
    SpeedButton5 = bigButton(Panel1, "SpeedButton5", "Help", "help-browser");
    for (QToolButton* b : {SpeedButton1, SpeedButton2, SetBtn, HelpBtn, SpeedButton5})
        row->addWidget(b);
    // Browser mode.
    // Narrower than the others: its caption is short and the text-mode
    // toolbar is full.
    WebBtn = bigButton(Panel1, "WebBtn", "Web", "web-browser", 36);
    row->addWidget(WebBtn);
    row->addStretch(1);

    auto* boxes = new QVBoxLayout;
    boxes->setSpacing(2);
    CB1 = languageBox(Panel1, "CB1", QStringLiteral("English"));
    CB2 = languageBox(Panel1, "CB2", QStringLiteral("French"));
    boxes->addWidget(CB1);
    boxes->addWidget(CB2);
    row->addLayout(boxes);
}

void MainWindowUi::buildPanes(QMainWindow* frmMain)
{
    auto* central = new QWidget(frmMain);
    central->setObjectName(QStringLiteral("ClientArea"));
    buildToolbar(central);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(Panel1);

    // The address row of browser mode; hidden in text mode.
    AddressRow = new QWidget(central);
    AddressRow->setObjectName(QStringLiteral("AddressRow"));
    auto* address = new QHBoxLayout(AddressRow);
    address->setContentsMargins(2, 0, 2, 0);
    LblAddress = new QLabel(QStringLiteral("Address"), AddressRow);
    LblAddress->setObjectName(QStringLiteral("LblAddress"));
    // The label names the box for screen readers, in every language.
    URLs = new QComboBox(AddressRow);
    URLs->setObjectName(QStringLiteral("URLs"));
    URLs->setEditable(true);
    URLs->setToolTip(QStringLiteral("URL"));
    URLs->setMinimumWidth(436);
    LblAddress->setBuddy(URLs);
    ReTranBtn = new QToolButton(AddressRow);
    ReTranBtn->setObjectName(QStringLiteral("ReTranBtn"));
    ReTranBtn->setIcon(QIcon::fromTheme(QStringLiteral("view-refresh")));
    ReTranBtn->setFixedSize(22, 21);
    CBServer = new QComboBox(AddressRow);
    CBServer->setObjectName(QStringLiteral("CBServer"));
    CBServer->setFixedWidth(69 + 20);
    for (int n : {5, 4, 6, 7, 3, 1, 2})
        CBServer->addItem(QStringLiteral("Server  %1").arg(n));
    CBServer->setCurrentIndex(0);
    LblMode = new QLabel(QStringLiteral("Enabled"), AddressRow);
    LblMode->setObjectName(QStringLiteral("LblMode"));
    QFont bold = LblMode->font();
    bold.setBold(true);
    LblMode->setFont(bold);
    ChangeBtn = new QToolButton(AddressRow);
    ChangeBtn->setObjectName(QStringLiteral("ChangeBtn"));
    ChangeBtn->setText(QStringLiteral("Change"));
    ChangeBtn->setFixedSize(49, 21);
    address->addWidget(LblAddress);
    address->addWidget(URLs, 1);
    address->addWidget(ReTranBtn);
    address->addWidget(CBServer);
    address->addWidget(LblMode);
    address->addWidget(ChangeBtn);
    for (QWidget* w : std::initializer_list<QWidget*>{URLs, ReTranBtn, CBServer, ChangeBtn})
        w->hide();
    AddressRow->hide();
    column->addWidget(AddressRow);

    Memo1 = pane(central, "Memo1");
    Memo1->setPlainText(QStringLiteral("\n\n\n"));
    Memo1->document()->setModified(false);
    Memo2 = pane(central, "Memo2");
    PaneArea = new ::PaneArea(central, Memo1, Memo2);
    column->addWidget(PaneArea, 1);
    // Browser mode: the browser takes the panes' place.
    BrowserArea = new QWidget(central);
    BrowserArea->setObjectName(QStringLiteral("BrowserArea"));
    auto* browserColumn = new QVBoxLayout(BrowserArea);
    browserColumn->setContentsMargins(0, 0, 0, 0);
    BrowserArea->hide();
    column->addWidget(BrowserArea, 1);

    Memo3 = new QPlainTextEdit(central);
    Memo3->setObjectName(QStringLiteral("Memo3"));
    // Never shown: the piece in transit, not a place for the user's keys.
    Memo3->setFocusPolicy(Qt::NoFocus);
    Memo3->hide();

    frmMain->setCentralWidget(central);

    StatusBar1 = new QStatusBar(frmMain);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    SimplePanel = new QLabel(QStringLiteral("Ready."), StatusBar1);
    SimplePanel->setObjectName(QStringLiteral("SimplePanel"));
    // A long message is cut at the window's edge (its tip shows it whole);
    // it never widens the window.
    SimplePanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusBar1->addWidget(SimplePanel, 1);
    frmMain->setStatusBar(StatusBar1);
}

// --- editor: the pop-up menu both panes share ---

void MainWindowUi::buildPopMenu(QMainWindow* frmMain)
{
    PopMenu = new QMenu(frmMain);
    PopMenu->setObjectName(QStringLiteral("PopMenu"));
    Undo2 = addItem(PopMenu, "Undo2", "Undo");
    Redo2 = addItem(PopMenu, "Redo2", "Redo");
    PopMenu->addSeparator();
    Clear1 = addItem(PopMenu, "Clear1", "Clear");
    PopMenu->addSeparator();
    Copy2 = addItem(PopMenu, "Copy2", "Copy");
    Paste2 = addItem(PopMenu, "Paste2", "Paste");
    Cut2 = addItem(PopMenu, "Cut2", "Cut");
    SelectAll2 = addItem(PopMenu, "SelectAll2", "Select All");
    PopMenu->addSeparator();
    Find2 = addItem(PopMenu, "Find2", "Find ...");
    Replace2 = addItem(PopMenu, "Replace2", "Replace");
    PopMenu->addSeparator();
    AutoWrap1 = addItem(PopMenu, "AutoWrap1", "Auto Wrap");
    AutoWrap1->setCheckable(true);
    AutoWrap1->setChecked(true);
    for (QTextEdit* m : {Memo1, Memo2})
        m->setContextMenuPolicy(Qt::CustomContextMenu);
}

#include "app/GatewayController.h"

#include "app/BrowserController.h"
#include "translate/MainSettings.h"
#include "app/MainWindowUi.h"

#include "platform/AppTitle.h"
#include "platform/CommandGuard.h"
#include "platform/Dialogs.h"
#include "web/Gateways.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

GatewayController::GatewayController(QWidget* window, MainWindowUi& ui, MainSettings& settings,
                                     GatewayState& gateway, BrowserController& browser,
                                     IDialogs& dialogs)
    : QObject(window), ui(ui), m_settings(settings), m_gateway(gateway), m_browser(browser),
      m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("GatewayController"));
    // The address list grows only through Enter, case-insensitively.
    ui.URLs->setInsertPolicy(QComboBox::NoInsert);
    // The box takes the keys and hands them to its line edit itself.
    ui.URLs->installEventFilter(this);
    ui.URLs->lineEdit()->installEventFilter(this);
    connect(ui.CBServer, &QComboBox::activated, this, &GatewayController::CBServerSelect);
    connect(ui.ChangeBtn, &QToolButton::clicked, this, &GatewayController::ChangeBtnClick);
    connect(ui.GoBtn, &QToolButton::clicked, this, &GatewayController::GoBtnClick);
    connect(ui.HomeBtn, &QToolButton::clicked, this, &GatewayController::HomeBtnClick);
    connect(ui.ReTranBtn, &QToolButton::clicked, this, &GatewayController::ReTranBtnClick);
}

void GatewayController::showMessage(const QString& text)
{
    m_dialogs.messageBox(AppTitle::get(), text, MsgIcon::None, MsgButtons::Ok);
}

void GatewayController::sendPage()
{
    const PagePlan plan = planTranslatePage(m_gateway, m_settings.SrcLangCode,
                                            m_settings.DstLangCode, ui.URLs->currentText());
    if (plan.kind == PagePlan::Unsupported) {
        showMessage(unsupportedPairMessage(ui.CB1->currentText(), ui.CB2->currentText(),
                                           m_gateway.ServerIndex));
        return;
    }
    BrowserPane& browser = m_browser.requireBrowser();
    if (plan.boxText != ui.URLs->currentText())
        ui.URLs->setEditText(plan.boxText);
    browser.Navigate(plan.address);
}

void GatewayController::TranslatePage()
{
    runGuarded(m_dialogs, [this] { sendPage(); });
}

void GatewayController::CBServerSelect(int)
{
    // A text that names no server leaves the selection alone.
    if (const int server = gatewayFromItemText(ui.CBServer->currentText()))
        m_gateway.ServerIndex = server;
}

void GatewayController::ChangeBtnClick()
{
    if (ui.LblMode->text() == QLatin1String("Enabled")) {
        ui.LblMode->setText(QStringLiteral("Disabled"));
        m_gateway.TranslateEnabled = 0;
    } else if (ui.LblMode->text() == QLatin1String("Disabled")) {
        ui.LblMode->setText(QStringLiteral("Enabled"));
        m_gateway.TranslateEnabled = 1;
    }
}

void GatewayController::URLsKeyDown(int key)
{
    runGuarded(m_dialogs, [this, key] {
        if (key == KeyEnter) {
            const QString address = ui.URLs->currentText();
            if (address.isEmpty()) {
                showMessage(QStringLiteral("No URL"));
                return;
            }
            QStringList items;
            for (int i = 0; i < ui.URLs->count(); ++i)
                items << ui.URLs->itemText(i);
            if (!addressListed(items, address)) {
                ui.URLs->insertItem(0, address);
                ui.URLs->setCurrentIndex(0);
            }
            sendPage();
        } else if (key == KeyCtrl && !m_gateway.CtrlHintShown) {
            // Points the user to the box's own context menu, once per run.
            m_gateway.CtrlHintShown = 1;
            showMessage(QStringLiteral("Right click your mouse on the Address Blank please"));
        }
    });
}

void GatewayController::GoBtnClick()
{
    runGuarded(m_dialogs, [this] {
        // Go does not add the address to the list.
        if (ui.URLs->currentText().isEmpty())
            showMessage(QStringLiteral("No URL"));
        else
            sendPage();
    });
}

void GatewayController::HomeBtnClick()
{
    runGuarded(m_dialogs, [this] {
        // The home page opens directly: web translation is switched off.
        if (ui.LblMode->text() == QLatin1String("Enabled"))
            ChangeBtnClick();
        ui.URLs->setEditText(m_gateway.HomePageAddress);
        sendPage();
    });
}

void GatewayController::ReTranBtnClick()
{
    runGuarded(m_dialogs, [this] {
        if (m_gateway.LastNavigatedUrl.isEmpty()) {
            showMessage(QStringLiteral("Click this button, only when translation fails or web "
                                       "content remains to be in ") +
                        ui.CB1->currentText());
            return;
        }
        ui.URLs->setEditText(m_browser.requireBrowser().LocationURL());
        sendPage();
    });
}

bool GatewayController::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == ui.URLs || watched == ui.URLs->lineEdit()) &&
        event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            URLsKeyDown(KeyEnter);
            return true; // the box itself must not act on Enter
        }
        if (key == Qt::Key_Control)
            URLsKeyDown(KeyCtrl);
    }
    return QObject::eventFilter(watched, event);
}

#include "app/LanguageController.h"

#include "translate/MainSettings.h"
#include "app/MainWindowUi.h"

#include "platform/AppTitle.h"
#include "platform/InterfaceLanguages.h"
#include "translate/Languages.h"
#include "web/Gateways.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QMenu>
#include <QToolButton>
#include <QWidget>

LanguageController::LanguageController(QWidget* window, MainWindowUi& ui, MainSettings& settings,
                                       GatewayState& gateway)
    : QObject(window), m_window(window), ui(ui), m_settings(settings), m_gateway(gateway)
{
    setObjectName(QStringLiteral("LanguageController"));
    // Only the user's pick runs the select handlers; selections the
    // program makes itself do not.
    connect(ui.CB1, &QComboBox::activated, this, &LanguageController::CB1Select);
    connect(ui.CB2, &QComboBox::activated, this, &LanguageController::CB2Select);
    connect(ui.SetBtn, &QToolButton::clicked, this, &LanguageController::SetBtnClick);

    const struct
    {
        QAction* item;
        void (LanguageController::*handler)();
    } commands[] = {
        {ui.English1, &LanguageController::English1Click},
        {ui.French1, &LanguageController::French1Click},
        {ui.Spanish1, &LanguageController::Spanish1Click},
        {ui.German1, &LanguageController::German1Click},
        {ui.Italian1, &LanguageController::Italian1Click},
        {ui.Portuguese1, &LanguageController::Portuguese1Click},
        {ui.Japanese1, &LanguageController::Japanese1Click},
        {ui.Chinese1, &LanguageController::Chinese1Click},
    };
    for (const auto& c : commands)
        connect(c.item, &QAction::triggered, this, c.handler);
}

namespace {
// A name outside the table leaves the box without a selection, showing the
// name as typed text.
void setBoxFromName(QComboBox* box, const QString& name)
{
    box->setCurrentIndex(LanguageNameToIndex(name));
    box->setEditText(name);
}
} // namespace

void LanguageController::setBoxes()
{
    setBoxFromName(ui.CB1, m_settings.SrcLangCode);
    setBoxFromName(ui.CB2, m_settings.DstLangCode);
    m_settings.SrcLangCode = LanguageNameToCode(m_settings.SrcLangCode);
    m_settings.DstLangCode = LanguageNameToCode(m_settings.DstLangCode);
}

void LanguageController::applyInterface()
{
    const InterfaceLanguage* lang = interfaceLanguageByName(m_settings.InterfaceLanguage);
    if (!lang)
        return;
    auto* item = m_window->findChild<QAction*>(QString::fromLatin1(lang->menuItem));
    if (item == ui.Chinese1)
        item->setVisible(true);
    item->trigger();
}

void LanguageController::CB1Select(int)
{
    m_settings.SrcLangCode = LanguageNameToCode(ui.CB1->currentText());
}

void LanguageController::CB2Select(int)
{
    m_settings.DstLangCode = LanguageNameToCode(ui.CB2->currentText());
    const int gateway = gatewayForDestination(m_settings.DstLangCode);
    if (gateway != 0) {
        m_gateway.ServerIndex = gateway;
        const QString text = QStringLiteral("Server  %1").arg(gateway);
        ui.CBServer->setCurrentIndex(ui.CBServer->findText(text));
    }
}

void LanguageController::SetBtnClick()
{
    std::swap(m_settings.SrcLangCode, m_settings.DstLangCode);
    const QString shown1 = ui.CB1->currentText();
    const QString shown2 = ui.CB2->currentText();
    ui.CB1->setCurrentIndex(LanguageNameToIndex(shown2));
    ui.CB2->setCurrentIndex(LanguageNameToIndex(shown1));
}

void LanguageController::selectInterface(QAction* item)
{
    for (const InterfaceLanguage& l : interfaceLanguages())
        if (item->objectName() == QLatin1String(l.menuItem))
            m_settings.InterfaceLanguage = QString::fromUtf8(l.stored);
    // The group keeps one check mark; a command run directly sets it too.
    item->setChecked(true);
    m_window->setWindowTitle(AppTitle::InterfaceTitle);
    AppTitle::set(AppTitle::InterfaceTitle);
}

void LanguageController::English1Click()
{
    selectInterface(ui.English1);
}

void LanguageController::French1Click()
{
    selectInterface(ui.French1);
}

void LanguageController::Spanish1Click()
{
    selectInterface(ui.Spanish1);
}

void LanguageController::German1Click()
{
    selectInterface(ui.German1);
}

void LanguageController::Italian1Click()
{
    selectInterface(ui.Italian1);
}

void LanguageController::Portuguese1Click()
{
    selectInterface(ui.Portuguese1);
}

void LanguageController::Japanese1Click()
{
    selectInterface(ui.Japanese1);
}

void LanguageController::Chinese1Click()
{
    selectInterface(ui.Chinese1);
}

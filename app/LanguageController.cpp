#include "app/LanguageController.h"

#include "translate/MainSettings.h"
#include "app/MainWindowUi.h"

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

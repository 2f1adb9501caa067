#pragma once

#include <QObject>

class BrowserController;
class IDialogs;
class QWidget;
struct GatewayState;
struct MainSettings;
struct MainWindowUi;

// Web page translation: the gateway selector, the web translation switch
// and the commands that send the address box through the selected gateway
// (Enter in the box, Go, Home, re-translate).
class GatewayController : public QObject
{
    Q_OBJECT
public:
    GatewayController(QWidget* window, MainWindowUi& ui, MainSettings& settings,
                      GatewayState& gateway, BrowserController& browser, IDialogs& dialogs);

    // Windows key codes that the address box reacts to.
    static constexpr int KeyEnter = 13;
    static constexpr int KeyCtrl = 17;

public slots:
    // Sends the address box's text: through the selected gateway while web
    // translation is on, else as it is.
    void TranslatePage();
    void CBServerSelect(int index);
    void ChangeBtnClick();
    void URLsKeyDown(int key);
    void GoBtnClick();
    void HomeBtnClick();
    void ReTranBtnClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sendPage();
    void showMessage(const QString& text);

    MainWindowUi& ui;
    MainSettings& m_settings;
    GatewayState& m_gateway;
    BrowserController& m_browser;
    IDialogs& m_dialogs;
};

#pragma once

#include "translate/MainSettings.h"

#include <QObject>
#include <array>
#include <memory>

class IDialogs;
class QWidget;
class StatusLine;
class THTTPRIO;
class TranslateCommand;
class TranslateView;
struct MainWindowUi;

// The Translate command and the Server menu. Connects its own button, menu
// items and the Esc key; translates with the component of the text server
// chosen in the Server menu.
class TranslateController : public QObject
{
    Q_OBJECT
public:
    // components[i] serves text server i + 1.
    TranslateController(QWidget* window, MainWindowUi& ui, MainSettings& settings, int& textServer,
                        const std::array<THTTPRIO*, 3>& components, StatusLine& status,
                        IDialogs& dialogs);
    ~TranslateController() override;

    bool isTranslating() const;
    // Closing during a run: nothing more is sent once the call in flight returns.
    void stopAfterCurrentCall();

signals:
    // A Translate run has ended (done, failed or stopped).
    void runEnded();

public slots:
    void TransBtnClick();
    void ranslateSinglethreaded1Click();
    void cancelTranslation();
    void XMethodMenuClick();
    void Xmethod2001Click();
    void VelociGenMenuClick();

private:
    MainWindowUi& ui;
    MainSettings& m_settings;
    int& m_textServer;
    std::array<THTTPRIO*, 3> m_components;
    IDialogs& m_dialogs;
    std::unique_ptr<TranslateView> m_view;
    std::unique_ptr<TranslateCommand> m_command;
};

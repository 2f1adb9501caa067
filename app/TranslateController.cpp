#include "app/TranslateController.h"

#include "app/MainWindowUi.h"
#include "app/TranslateView.h"

#include "platform/CommandGuard.h"
#include "service/THTTPRIO.h"
#include "translate/ServerLegRunner.h"
#include "translate/TextServers.h"
#include "translate/TranslateCommand.h"

#include <QAction>
#include <QShortcut>
#include <QToolButton>

TranslateController::TranslateController(QWidget* window, MainWindowUi& ui, MainSettings& settings,
                                         int& textServer,
                                         const std::array<THTTPRIO*, 3>& components,
                                         StatusLine& status, IDialogs& dialogs)
    : QObject(window), ui(ui), m_settings(settings), m_textServer(textServer),
      m_components(components), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TranslateController"));
    m_view = std::make_unique<TranslateView>(status, ui.Memo1, ui.Memo2, ui.Memo3, ui.CB1, ui.CB2);
    m_command = std::make_unique<TranslateCommand>(*m_view, dialogs);

    connect(ui.TransBtn, &QToolButton::clicked, this, &TranslateController::TransBtnClick);
    connect(ui.ranslateSinglethreaded1, &QAction::triggered, this,
            &TranslateController::ranslateSinglethreaded1Click);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setObjectName(QStringLiteral("CancelShortcut"));
    connect(escape, &QShortcut::activated, this, &TranslateController::cancelTranslation);

    connect(ui.XMethodMenu, &QAction::triggered, this, &TranslateController::XMethodMenuClick);
    connect(ui.Xmethod2001, &QAction::triggered, this, &TranslateController::Xmethod2001Click);
    connect(ui.VelociGenMenu, &QAction::triggered, this, &TranslateController::VelociGenMenuClick);
}

TranslateController::~TranslateController() = default;

bool TranslateController::isTranslating() const
{
    return m_command->isRunning();
}

void TranslateController::stopAfterCurrentCall()
{
    m_command->stopAfterCurrentCall();
}

void TranslateController::TransBtnClick()
{
    if (m_command->isRunning())
        return; // the status line goes on saying what is being done
    runGuarded(m_dialogs, [this] {
        const TextServerInfo& server = textServer(m_textServer);
        ServerLegRunner runner(server, *m_components[server.number - 1]);
        m_command->run({m_settings.SrcLangCode, m_settings.DstLangCode, m_settings.MultiThreading,
                        m_settings.MTQuote},
                       runner);
    });
    emit runEnded();
}

void TranslateController::ranslateSinglethreaded1Click()
{
    ui.TransBtn->click();
}

void TranslateController::cancelTranslation()
{
    m_command->cancel();
}

// The menu's action group keeps the one check mark.
void TranslateController::XMethodMenuClick()
{
    m_textServer = 1;
}

void TranslateController::Xmethod2001Click()
{
    m_textServer = 2;
}

void TranslateController::VelociGenMenuClick()
{
    m_textServer = 3;
}

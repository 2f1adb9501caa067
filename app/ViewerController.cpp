#include "app/ViewerController.h"

#include "translate/MainSettings.h"
#include "app/MainWindowUi.h"

#include "platform/CommandGuard.h"
#include "platform/ConfigPaths.h"
#include "platform/Errors.h"
#include "web/ViewerPage.h"

#include <QDir>
#include <QSaveFile>
#include <QTextEdit>
#include <QToolButton>

namespace {

// Replaces the file as a whole, so that Glyphwell never reads half a page.
void writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw TarquellError(QStringLiteral("Cannot create file \"%1\". %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
}

} // namespace

ViewerController::ViewerController(QWidget* window, MainWindowUi& ui, const MainSettings& settings,
                                   const int& paneMode, IDialogs& dialogs, ILauncher& launcher)
    : QObject(window), ui(ui), m_settings(settings), m_paneMode(paneMode), m_dialogs(dialogs),
      m_launcher(launcher)
{
    setObjectName(QStringLiteral("ViewerController"));
    connect(ui.HelpBtn, &QToolButton::clicked, this, &ViewerController::HelpBtnClick);
}

void ViewerController::HelpBtnClick()
{
    // Browser mode, or nothing new in the destination pane: no file is touched.
    if (m_paneMode == 1 || !ui.Memo2->document()->isModified())
        return;
    runGuarded(m_dialogs, [this] { writeAndShow(); });
}

void ViewerController::writeAndShow()
{
    const QString folder = ConfigPaths::workingFolder();
    // A working folder that does not exist yet is made; one that cannot be
    // made fails below with the file's own message.
    QDir().mkpath(folder);
    const QDir dir(folder);
    const QString text = ui.Memo2->toPlainText();
    writeFile(dir.filePath(QStringLiteral("Result.txt")), resultText(text));
    writeFile(dir.filePath(QStringLiteral("Result.htm")),
              viewerPage(text, PageCharset(m_settings.DstLangCode)));
    // Glyphwell reads the page from the working folder itself; whether it
    // starts is not waited for.
    m_launcher.startProgram(
        QDir(ConfigPaths::programFolder()).filePath(QStringLiteral("Glyphwell")), {});
}

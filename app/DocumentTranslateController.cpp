#include "app/DocumentTranslateController.h"

#include "app/EscapeWatcher.h"
#include "app/MainWindowUi.h"
#include "app/StatusLine.h"
#include "common/DocumentTypes.h"
#include "platform/AppTitle.h"
#include "platform/CommandGuard.h"
#include "platform/ConfigPaths.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "service/DocumentClient.h"
#include "translate/DocumentTranslation.h"
#include "translate/MainSettings.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QKeyEvent>
#include <QProgressBar>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

namespace {
QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The service program a user starts: beside this one once installed, in
// the build folder's server/ in a build tree.
QString serviceProgram()
{
    const QDir folder(ConfigPaths::programFolder());
    const QString beside = folder.filePath(QStringLiteral("tarquell-service"));
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString built =
        QDir::cleanPath(folder.filePath(QStringLiteral("../server/tarquell-service")));
    return QFileInfo(built).isExecutable() ? built : QStringLiteral("tarquell-service");
}

// "Documents (*.docx *.odt ...)": the types the service takes.
QStringList openFilters(const QStringList& formats)
{
    QStringList patterns;
    for (const QString& format : formats)
        patterns << QLatin1Char('*') + format;
    return {QStringLiteral("Documents (%1)").arg(patterns.join(QLatin1Char(' ')))};
}
} // namespace

DocumentTranslateController::DocumentTranslateController(QWidget* window, MainWindowUi& ui,
                                                         const MainSettings& settings,
                                                         const ServiceLocations& services,
                                                         StatusLine& status, IDialogs& dialogs,
                                                         ILauncher& launcher,
                                                         std::function<bool()> busy)
    : QObject(window), ui(ui), m_settings(settings), m_services(services), m_status(status),
      m_dialogs(dialogs), m_launcher(launcher), m_busy(std::move(busy)),
      m_client(new DocumentClient(this)), m_bar(new QProgressBar(ui.StatusBar1)),
      m_barDelay(new QTimer(this))
{
    setObjectName(QStringLiteral("DocumentTranslateController"));
    m_bar->setObjectName(QStringLiteral("DocumentProgress"));
    m_bar->setMaximumWidth(160);
    m_bar->setMaximumHeight(ui.StatusBar1->fontMetrics().height() + 4);
    m_bar->setTextVisible(true);
    ui.StatusBar1->addPermanentWidget(m_bar);
    m_bar->hide();
    // Only a document that takes more than a second shows the bar.
    m_barDelay->setObjectName(QStringLiteral("DocumentProgressDelay"));
    m_barDelay->setSingleShot(true);
    m_barDelay->setInterval(1000);
    connect(m_barDelay, &QTimer::timeout, this, [this] {
        if (m_running)
            m_bar->show();
    });
    connect(ui.TranslateDocument1, &QAction::triggered, this,
            &DocumentTranslateController::TranslateDocument1Click);
}

DocumentTranslateController::~DocumentTranslateController() = default;

QString DocumentTranslateController::notRunningText(const QString& url)
{
    const QUrl address(url);
    const QHostAddress host(address.host());
    if (host.isLoopback() || address.host() == QLatin1String("localhost")) {
        // Started without arguments it listens on 127.0.0.1:8731; anywhere
        // else it must be told.
        QString command = native(serviceProgram());
        const int port = address.port(80);
        if (!(address.host() == QLatin1String("127.0.0.1") && port == 8731))
            command += QStringLiteral(" --listen %1:%2").arg(address.host()).arg(port);
        return QStringLiteral("The document service at %1 is not running. Start it with the "
                              "command\n\n%2\n\nand try again. The tarquell-translator command "
                              "starts it together with this window")
            .arg(url, command);
    }
    return QStringLiteral("The document service at %1 does not answer: nothing takes requests "
                          "there. Check the address, the key \"Document Service\" of the "
                          "[Services] section in %2")
        .arg(url, native(ConfigPaths::settingsFilePath()));
}

void DocumentTranslateController::TranslateDocument1Click()
{
    if (m_running)
        return; // the status line goes on saying what is being done
    runGuarded(m_dialogs, [this] { translateDocument(); });
    emit runEnded();
}

void DocumentTranslateController::cancel()
{
    if (m_running)
        m_client->cancel();
}

void DocumentTranslateController::showProgress(const QString& name, int percent)
{
    if (percent < 0) {
        m_bar->setRange(0, 0); // busy, without a figure
        m_status.setText(QStringLiteral("Translating %1 ...").arg(name));
        return;
    }
    m_bar->setRange(0, 100);
    m_bar->setValue(percent);
    m_status.setText(QStringLiteral("Translating %1 ... %2%").arg(name).arg(percent));
}

void DocumentTranslateController::translateDocument()
{
    if (m_busy && m_busy())
        throw TarquellError(
            QStringLiteral("Cannot translate a document while a translation is running"));
    const QString source = m_settings.SrcLangCode;
    const QString target = m_settings.DstLangCode;
    if (source.isEmpty() || target.isEmpty())
        throw TarquellError(QStringLiteral("Choose the languages in the two language boxes first"));
    if (source == target)
        throw TarquellError(
            QStringLiteral("The two language boxes show the same language; choose the language "
                           "to translate into in the second"));

    const QString url = m_services.documentService;
    m_client->setServiceUrl(url);
    m_client->setProxy(m_settings.proxyText());
    m_client->setTimeout(m_settings.TimeOut);
    const QString before = m_status.text();
    m_running = true;
    const auto restore = qScopeGuard([&] {
        m_running = false;
        m_barDelay->stop();
        m_bar->hide();
    });

    // The service says which types it takes; a service that is not
    // running is found out before any file is chosen.
    QStringList formats;
    try {
        formats = m_client->supportedFormats();
    } catch (const DocumentServiceDown&) {
        m_status.setText(before);
        throw TarquellError(notRunningText(url));
    }
    if (formats.isEmpty())
        throw TarquellError(
            QStringLiteral("The document service at %1 translates no type of file").arg(url));

    const std::optional<FileChoice> open = m_dialogs.openFileDialog(openFilters(formats), 1);
    if (!open)
        return;
    const QString input = open->path;
    const QString name = QFileInfo(input).fileName();
    const QString suffix = QLatin1Char('.') + QFileInfo(input).suffix().toLower();
    if (!formats.contains(suffix))
        throw TarquellError(DocumentTranslation::failure(
            input, QStringLiteral("the document service does not translate files of the type "
                                  "%1; it takes %2")
                       .arg(suffix, formats.join(QStringLiteral(", ")))));

    const QString proposed = DocumentTranslation::proposedOutput(input, target);
    const QString given = QFileInfo(proposed).suffix();
    const DocumentTypes::Type* type = DocumentTypes::find(given);
    const QString label = type ? QString::fromLatin1(type->label) : given.toUpper();
    const std::optional<FileChoice> save = m_dialogs.saveFileDialog(
        {QStringLiteral("%1 (*.%2)").arg(label.left(1).toUpper() + label.mid(1), given),
         QStringLiteral("All files (*)")},
        given, proposed);
    if (!save)
        return;
    QString output = save->path;
    if (DocumentTranslation::sameFile(input, output))
        throw TarquellError(DocumentTranslation::failure(
            input, QStringLiteral("the translation cannot be saved over the original; choose "
                                  "another name")));

    DocumentClient::Result result;
    try {
        const QByteArray data = DocumentTranslation::readDocument(input);
        showProgress(name, 0);
        m_barDelay->start();
        // The bar is the translation's only: it goes when the call ends,
        // before any question is asked.
        const auto endBar = qScopeGuard([this] {
            m_barDelay->stop();
            m_bar->hide();
        });
        EscapeWatcher escape([this] { cancel(); });
        qApp->installEventFilter(&escape);
        const auto removeFilter = qScopeGuard([&] { qApp->removeEventFilter(&escape); });
        result = m_client->translate(input, data, source, target,
                                     [&](const DocumentClient::Progress& p) {
                                         showProgress(name, DocumentClient::percentOf(p));
                                     });
    } catch (const SilentAbort&) {
        // The service stops too, before the window may close.
        m_client->awaitCancel(2000);
        m_status.setText(QStringLiteral("Translation cancelled."));
        throw;
    } catch (const DocumentServiceDown&) {
        m_status.setText(before);
        throw TarquellError(notRunningText(url));
    } catch (const TarquellError& e) {
        m_status.setText(before);
        throw TarquellError(DocumentTranslation::failure(input, e.message()));
    }

    // Where the service gives the document in another type than asked
    // for, the name says the type it is.
    const QString typed = DocumentTranslation::withFormat(output, result.format);
    if (typed != output) {
        if (QFileInfo::exists(typed) &&
            m_dialogs.messageBox(AppTitle::get(),
                                 QStringLiteral("The translation is a %1 document, so it is "
                                                "saved as %2, which exists already. Replace it?")
                                     .arg(result.format, native(typed)),
                                 MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes) {
            m_status.setText(QStringLiteral("The translation is not saved."));
            return;
        }
        output = typed;
    }
    try {
        DocumentTranslation::save(output, result.file, input);
    } catch (const TarquellError& e) {
        m_status.setText(before);
        throw TarquellError(DocumentTranslation::failure(input, e.message()));
    }
    m_status.setText(QStringLiteral("Done."));
    if (m_dialogs.messageBox(AppTitle::get(),
                             QStringLiteral("Done. The translation of %1 is saved as\n\n%2\n\n"
                                            "Open the translated document?")
                                 .arg(name, native(output)),
                             MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes &&
        !m_launcher.openAddress(output))
        throw TarquellError(
            QStringLiteral("%1 could not be opened: the desktop has no application for it")
                .arg(native(output)));
}

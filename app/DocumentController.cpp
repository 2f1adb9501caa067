#include "app/DocumentController.h"

#include "app/EscapeWatcher.h"
#include "app/MainWindowUi.h"
#include "app/StatusLine.h"
#include "editor/DocumentFile.h"
#include "editor/DocumentFilters.h"
#include "platform/AppTitle.h"
#include "platform/BlockingWait.h"
#include "platform/CommandGuard.h"
#include "platform/ConfigPaths.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

namespace {

const QString ResultName = QStringLiteral("Result.rtf");
const QString MarkerName = QStringLiteral("Result.000");
const QString ErrorName = QStringLiteral("Result.err");

QString workingFile(const QString& name)
{
    return QDir(ConfigPaths::workingFolder()).filePath(name);
}

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

DocumentController::DocumentController(QWidget* window, MainWindowUi& ui, const int& paneMode,
                                       StatusLine& status, IDialogs& dialogs, ILauncher& launcher,
                                       std::function<bool()> busy)
    : QObject(window), m_window(window), ui(ui), m_paneMode(paneMode), m_status(status),
      m_dialogs(dialogs), m_launcher(launcher), m_busy(std::move(busy)),
      m_converter(QDir(ConfigPaths::programFolder()).filePath(QStringLiteral("Docshift")))
{
    setObjectName(QStringLiteral("DocumentController"));
    connect(ui.OpenBtn, &QToolButton::clicked, this, &DocumentController::OpenBtnClick);
    connect(ui.Opensourcefile1, &QAction::triggered, this,
            &DocumentController::Opensourcefile1Click);
    connect(ui.SaveBtn, &QToolButton::clicked, this, &DocumentController::SaveBtnClick);
    connect(ui.Open1, &QAction::triggered, this, &DocumentController::Open1Click);
    connect(ui.Print1, &QAction::triggered, this, &DocumentController::Print1Click);
    connect(ui.PrinterSetup1, &QAction::triggered, this, &DocumentController::PrinterSetup1Click);
    connect(ui.SpeedButton2, &QToolButton::clicked, this, &DocumentController::SpeedButton2Click);
}

DocumentController::~DocumentController() = default;

QPrinter& DocumentController::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

// --- open ---

void DocumentController::OpenBtnClick()
{
    if (m_opening)
        return; // a conversion is being waited for
    m_opening = true;
    runGuarded(m_dialogs, [this] { openDocument(); });
    m_opening = false;
}

void DocumentController::Opensourcefile1Click()
{
    OpenBtnClick();
}

// Removes the exchange files, so that a conversion never finishes on an
// old marker or reads an old result.
static void removeExchangeFiles()
{
    for (const QString& name : {ResultName, MarkerName, ErrorName}) {
        const QString path = workingFile(name);
        if (QFileInfo::exists(path) && !QFile::remove(path))
            throw TarquellError(QStringLiteral("Cannot delete file %1").arg(native(path)));
    }
}

void DocumentController::openDocument()
{
    // Exchange files left behind are removed first.
    removeExchangeFiles();

    const QStringList filters =
        DocumentFilters::toQtFilters(QString::fromLatin1(DocumentFilters::OpenFilter));
    const std::optional<FileChoice> choice = m_dialogs.openFileDialog(filters, m_openFilterIndex);
    if (!choice)
        return;
    m_openFilterIndex = choice->filterIndex;

    if (DocumentFilters::openRoute(choice->filterIndex, choice->path) ==
        DocumentFilters::OpenRoute::Convert)
        convert(choice->path);
    else
        readInto(choice->path);
    finishOpen();
}

void DocumentController::readInto(const QString& path)
{
    // Read first: a file that cannot be read leaves the pane as it was.
    const QByteArray data = DocumentFile::readAll(path);
    DocumentFile::load(data, *ui.Memo1->document());
}

void DocumentController::finishOpen()
{
    QTextDocument* doc = ui.Memo1->document();
    QTextCursor end(doc);
    end.movePosition(QTextCursor::End);
    for (int i = 0; i < 3; ++i)
        end.insertBlock();
    doc->setModified(true);
    ui.Memo1->moveCursor(QTextCursor::Start);
    ui.Memo1->setFocus();
}

void DocumentController::convert(const QString& path)
{
    const QString file = native(path);
    const QString failure = QStringLiteral("Cannot convert %1: %2");
    if (m_busy && m_busy())
        throw TarquellError(
            QStringLiteral("Cannot convert %1 while a translation is running").arg(file));
    if (*m_abandoned > 0)
        throw TarquellError(
            failure.arg(file, QStringLiteral("the conversion cancelled before is still running")));
    const QFileInfo program(m_converter);
    if (!program.isFile() || !program.isExecutable())
        throw TarquellError(failure.arg(
            file, QStringLiteral("the conversion program %1 is missing").arg(native(m_converter))));

    // 0 is what the loop returns when the application quits under it.
    enum { Quit = 0, Done = 1, Cancelled = 2, TimedOut = 3 };
    // What the wait ended on; shared with the program's end report, which
    // may come after this command.
    struct Wait
    {
        QPointer<QEventLoop> loop;
        bool ended = false;
    };
    // Once more right before the start: a conversion given up earlier may
    // have finished while the open dialog was up.
    removeExchangeFiles();
    auto wait = std::make_shared<Wait>();
    std::shared_ptr<int> abandoned = m_abandoned;
    auto counted = std::make_shared<bool>(false); // counted as abandoned
    const bool started = m_launcher.startWatched(m_converter, {path}, [wait, abandoned, counted] {
        wait->ended = true;
        if (wait->loop)
            wait->loop->exit(Done);
        if (*counted)
            --*abandoned;
    });
    if (!started)
        throw TarquellError(
            failure.arg(file, QStringLiteral("the conversion program %1 could not be started")
                                  .arg(native(m_converter))));

    const QString marker = workingFile(MarkerName);
    const QString error = workingFile(ErrorName);
    const QString before = m_status.text();
    m_status.setText(QStringLiteral("Converting ") + QFileInfo(path).fileName() +
                     QStringLiteral(" ..."));

    QEventLoop loop;
    wait->loop = &loop;
    auto arrived = [&] { return QFileInfo::exists(marker) || QFileInfo::exists(error); };
    QTimer poll;
    poll.setInterval(200);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (arrived())
            loop.exit(Done);
    });
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, [&] { loop.exit(TimedOut); });
    EscapeWatcher escape([&] { loop.exit(Cancelled); });

    int outcome = Done;
    if (!arrived() && !wait->ended) {
        poll.start();
        limit.start(m_timeoutMs);
        qApp->installEventFilter(&escape);
        outcome = execBlockingUserInput(loop);
        qApp->removeEventFilter(&escape);
    }
    wait->loop = nullptr;
    m_status.setText(before);

    if (outcome != Done) {
        if (!wait->ended) {
            *counted = true;
            ++*m_abandoned;
        }
        if (outcome == Quit)
            throw SilentAbort();
        if (outcome == Cancelled) {
            m_status.setText(QStringLiteral("Conversion cancelled."));
            throw SilentAbort();
        }
        throw TarquellError(
            failure.arg(file, QStringLiteral("the conversion did not finish within %1 seconds")
                                  .arg(m_timeoutMs / 1000.0)));
    }
    // The program may have ended right after writing its marker.
    if (!arrived())
        throw TarquellError(
            failure.arg(file, QStringLiteral("the conversion program ended without a result")));

    QString reason;
    if (QFileInfo::exists(error)) {
        QFile f(error);
        reason = f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
        if (reason.isEmpty())
            reason = QStringLiteral("the conversion failed");
    }
    const QString result = workingFile(ResultName);
    if (reason.isEmpty())
        readInto(result);
    for (const QString& name : {ResultName, MarkerName, ErrorName})
        QFile::remove(workingFile(name));
    if (!reason.isEmpty())
        throw TarquellError(failure.arg(file, reason));
}

// --- save ---

void DocumentController::SaveBtnClick()
{
    runGuarded(m_dialogs, [this] { saveDocument(); });
}

void DocumentController::Open1Click()
{
    SaveBtnClick();
}

void DocumentController::saveDocument()
{
    QTextDocument* doc = ui.Memo2->document();
    if (!doc->isModified())
        return;
    const std::optional<FileChoice> choice = m_dialogs.saveFileDialog(
        DocumentFilters::toQtFilters(QString::fromLatin1(DocumentFilters::SaveFilter)),
        QString::fromLatin1(DocumentFilters::SaveDefaultExtension), m_lastSaveName);
    if (!choice)
        return;
    m_lastSaveName = choice->path;
    // An ".rtf" name gets RTF with its formatting; any other plain text.
    DocumentFile::save(choice->path, DocumentFile::saveBytes(choice->path, *doc));
}

// --- print ---

void DocumentController::Print1Click()
{
    runGuarded(m_dialogs, [this] { printDocument(); });
}

void DocumentController::SpeedButton2Click()
{
    if (m_paneMode == 1) {
        m_dialogs.messageBox(
            AppTitle::get(),
            QStringLiteral("Right-click your mouse, and then select 'Print' on the quick menu."),
            MsgIcon::None, MsgButtons::Ok);
        return;
    }
    Print1Click();
}

void DocumentController::PrinterSetup1Click()
{
    runGuarded(m_dialogs, [this] { m_dialogs.pageSetupDialog(printer()); });
}

void DocumentController::printDocument()
{
    QPrinter& p = printer();
    p.setDocName(QStringLiteral("Document Printing Session"));
    // The whole pane, whatever the dialog offered last time.
    p.setPrintRange(QPrinter::AllPages);
    if (!m_dialogs.printDialog(p))
        return;
    ui.Memo2->document()->print(&p);
    if (p.printerState() == QPrinter::Error) {
        if (p.outputFormat() == QPrinter::PdfFormat)
            throw TarquellError(
                QStringLiteral("Printing failed: cannot write %1").arg(native(p.outputFileName())));
        throw TarquellError(QStringLiteral("Printing failed on printer %1").arg(p.printerName()));
    }
}

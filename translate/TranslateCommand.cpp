#include "translate/TranslateCommand.h"

#include "platform/AppTitle.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "translate/Languages.h"

#include <optional>

namespace {
const QString CancelledText = QStringLiteral("Translation cancelled.");

// Resets the command's state however the run ends.
struct RunScope
{
    ILegRunner*& runner;
    bool& cancelled;
    bool& stopRequested;
    RunScope(ILegRunner*& r, ILegRunner& now, bool& c, bool& s)
        : runner(r), cancelled(c), stopRequested(s)
    {
        runner = &now;
        cancelled = false;
    }
    ~RunScope()
    {
        runner = nullptr;
        cancelled = false;
        stopRequested = false;
    }
};
} // namespace

TranslateCommand::TranslateCommand(ITranslateView& view, IDialogs& dialogs)
    : m_view(view), m_dialogs(dialogs)
{
}

QString TranslateCommand::doneText(const QString& dstCode)
{
    if (NeedsViewerHint(dstCode))
        return QStringLiteral("Done.          Hint: If you see mass code such as ????? in the "
                              "translation window, click 'Viewer' button.");
    return QStringLiteral("Done.");
}

void TranslateCommand::run(const TranslateRequest& request, ILegRunner& runner)
{
    // A second Translate while one runs is ignored; the status line keeps
    // saying what is being done.
    if (isRunning())
        return;
    RunScope scope(m_runner, runner, m_cancelled, m_stopRequested);

    if (!m_view.sourceModified()) {
        m_dialogs.messageBox(AppTitle::get(), QStringLiteral("Nothing to translate."),
                             MsgIcon::None, MsgButtons::Ok);
        return;
    }
    if (request.MultiThreading)
        runSplit(request);
    else
        runWhole(request);
}

void TranslateCommand::cancel()
{
    if (!isRunning() || m_cancelled)
        return;
    m_cancelled = true;
    m_runner->abort();
}

void TranslateCommand::pump()
{
    m_view.processEvents();
}

bool TranslateCommand::refuseEqualLanguages(const TranslateRequest& r)
{
    if (r.SrcLangCode != r.DstLangCode)
        return false;
    m_dialogs.messageBox(QStringLiteral("Error"),
                         QStringLiteral("Source Language and Destination Language are the same"),
                         MsgIcon::None, MsgButtons::Ok);
    return true;
}

void TranslateCommand::finish(const TranslateRequest& r)
{
    m_view.setBusyCursor(false);
    m_view.setStatus(doneText(r.DstLangCode));
}

QString TranslateCommand::translate(const TranslateRequest& r, bool piece, int end, int length)
{
    const QString mode = r.SrcLangCode + QLatin1Char('_') + r.DstLangCode;
    const QString from = QStringLiteral("Translating from ") + m_view.sourceName() +
                         QStringLiteral(" to ") + m_view.destinationName();
    const QString progress =
        piece ? QString::number(end) + QStringLiteral(" of ") + QString::number(length) : QString();
    auto leg = [&](const QString& m, const QString& t) {
        if (stopping())
            throw SilentAbort();
        return m_runner->translateLeg(m, t);
    };

    if (IsDirectMode(mode)) {
        pump();
        m_view.setStatus(
            from + (piece ? QStringLiteral("...        ") + progress : QStringLiteral("...")));
        // Taken now, after the status text: the messages let through
        // before may have changed the pane.
        const QString source = piece ? m_view.piece() : m_view.sourceText();
        pump();
        const QString result = leg(mode, source);
        pump();
        if (piece)
            pump();
        return result;
    }

    pump();
    m_view.setStatus(from + (piece ? QStringLiteral("  ...        ") + progress
                                   : QStringLiteral(" via English ...")));
    pump();
    const QString source = piece ? m_view.piece() : m_view.sourceText();
    const QString english = leg(r.SrcLangCode + QStringLiteral("_en"), source);
    pump();
    m_view.setStatus(QStringLiteral("Translating ..."));
    pump();
    const QString result = leg(QStringLiteral("en_") + r.DstLangCode, english);
    pump();
    if (piece)
        pump();
    return result;
}

std::optional<QString> TranslateCommand::guardedTranslate(const TranslateRequest& r, bool piece,
                                                          int end, int length)
{
    m_view.setBusyCursor(true);
    try {
        QString result = translate(r, piece, end, length);
        if (!piece) {
            // The whole text's translation is appended and the messages
            // processed before the finishing step.
            m_view.appendLine(result);
            pump();
        }
        finish(r);
        return result;
    } catch (const SilentAbort&) {
        finish(r);
    } catch (...) {
        finish(r);
        // After Esc, whatever the aborted call reports is no news to the user.
        if (!m_cancelled)
            throw;
    }
    if (m_cancelled)
        m_view.setStatus(CancelledText);
    return std::nullopt;
}

void TranslateCommand::runWhole(const TranslateRequest& r)
{
    if (refuseEqualLanguages(r))
        return;
    // A translation that arrived is kept, even when Esc came just after it.
    if (!guardedTranslate(r, false, 0, 0))
        return;
    endRun();
}

void TranslateCommand::runSplit(const TranslateRequest& r)
{
    const int size = pieceSize(r.MTQuote);
    int position = 0;
    for (int length = m_view.sourceLength(); length > position && !stopping();
         length = m_view.sourceLength()) {
        const QString selected = m_view.selectSource(position, qMin(size, length - position));
        m_view.setStatus(QStringLiteral("Splitting  ") + QString::number(position) +
                         QStringLiteral(" / ") + QString::number(length));
        position += size;
        m_view.setPiece(selected);
        if (refuseEqualLanguages(r))
            return;
        const std::optional<QString> result = guardedTranslate(r, true, position, length);
        if (!result)
            return;
        m_view.appendPiece(*result);
        pump();
        m_view.setPiece(QString());
    }
    endRun();
}

void TranslateCommand::endRun()
{
    if (m_cancelled)
        m_view.setStatus(CancelledText);
    else if (!m_stopRequested)
        m_view.focusDestination();
}

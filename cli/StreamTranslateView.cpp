#include "cli/StreamTranslateView.h"

#include <QCoreApplication>
#include <QFile>

StreamTranslateView::StreamTranslateView(QFile& out, QFile* status, const QString& sourceName,
                                         const QString& destinationName)
    : m_out(out), m_status(status), m_sourceName(sourceName), m_destinationName(destinationName)
{
}

void StreamTranslateView::setSource(const QString& text)
{
    m_source = text;
    m_piece.clear();
}

void StreamTranslateView::write(const QString& text)
{
    if (text.isEmpty())
        return;
    m_out.write(text.toUtf8());
    m_lineOpen = !text.endsWith(QLatin1Char('\n'));
}

void StreamTranslateView::appendLine(const QString& text)
{
    // A new line after the present content, as the pane's line-adding does.
    if (m_lineOpen)
        write(QStringLiteral("\n"));
    write(text);
    endInput();
}

void StreamTranslateView::appendPiece(const QString& text)
{
    write(text);
}

void StreamTranslateView::endInput()
{
    if (m_lineOpen)
        write(QStringLiteral("\n"));
    m_lineOpen = false;
    m_out.flush();
}

void StreamTranslateView::setStatus(const QString& text)
{
    if (m_status) {
        m_status->write((text + QLatin1Char('\n')).toUtf8());
        m_status->flush();
    }
}

void StreamTranslateView::processEvents()
{
    QCoreApplication::processEvents();
}

MsgResult TerminalDialogs::messageBox(const QString&, const QString& text, MsgIcon, MsgButtons)
{
    // Every message the command shows here ends the run without a translation.
    error(text);
    return MsgResult::Ok;
}

std::optional<Credentials> TerminalDialogs::askCredentials(const QString&, const QString& host,
                                                           bool forProxy)
{
    error(QStringLiteral("%1 %2 asks for a user name and password, which the command line "
                         "cannot give")
              .arg(forProxy ? QStringLiteral("the proxy") : QStringLiteral("the server"), host));
    return std::nullopt;
}

void TerminalDialogs::error(const QString& text)
{
    m_failed = true;
    warn(text);
}

void TerminalDialogs::warn(const QString& text)
{
    m_err.write((QStringLiteral("tarquell-translate: ") + text + QLatin1Char('\n')).toUtf8());
    m_err.flush();
}

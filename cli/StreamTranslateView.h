#pragma once

#include "platform/Dialogs.h"
#include "translate/TranslateCommand.h"

#include <QString>

class QFile;

// The Translate command's view in a terminal: the source pane is one input
// (a file or standard input), the destination pane is standard output.
// Status texts go to standard error when asked for.
class StreamTranslateView : public ITranslateView
{
public:
    StreamTranslateView(QFile& out, QFile* status, const QString& sourceName,
                        const QString& destinationName);

    // The next input; its translation starts on a line of its own.
    void setSource(const QString& text);
    // The source language's name, for an input whose language was detected.
    void setSourceName(const QString& name) { m_sourceName = name; }
    // Ends the translation of one input with a line break.
    void endInput();

    bool sourceModified() const override { return true; }
    QString sourceText() const override { return m_source; }
    int sourceLength() const override { return int(m_source.size()); }
    QString selectSource(int start, int length) override { return m_source.mid(start, length); }
    void setPiece(const QString& text) override { m_piece = text; }
    QString piece() const override { return m_piece; }
    void appendLine(const QString& text) override;
    void appendPiece(const QString& text) override;
    QString sourceName() const override { return m_sourceName; }
    QString destinationName() const override { return m_destinationName; }
    void setStatus(const QString& text) override;
    void setBusyCursor(bool) override {}
    void focusDestination() override {}
    void processEvents() override;

private:
    void write(const QString& text);

    QFile& m_out;
    QFile* m_status;
    QString m_sourceName;
    QString m_destinationName;
    QString m_source;
    QString m_piece;
    bool m_lineOpen = false; // the output so far does not end with a line break
};

// The dialog seam in a terminal: messages go to standard error, and a
// server that asks for credentials is told none (the run then fails).
class TerminalDialogs : public IDialogs
{
public:
    explicit TerminalDialogs(QFile& err) : m_err(err) {}

    MsgResult messageBox(const QString& caption, const QString& text, MsgIcon icon,
                         MsgButtons buttons) override;
    std::optional<Credentials> askCredentials(const QString& realm, const QString& host,
                                              bool forProxy) override;
    // A terminal has no font or colour dialog: both are cancelled.
    std::optional<QFont> chooseFont(const QFont&) override { return std::nullopt; }
    std::optional<QColor> chooseColor(const QColor&) override { return std::nullopt; }

    void error(const QString& text);
    // A message that does not by itself fail the run.
    void warn(const QString& text);
    // Something went wrong that the user was told about.
    bool failed() const { return m_failed; }

private:
    QFile& m_err;
    bool m_failed = false;
};

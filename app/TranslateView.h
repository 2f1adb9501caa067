#pragma once

#include "translate/TranslateCommand.h"

class QComboBox;
class QPlainTextEdit;
class QTextEdit;
class StatusLine;

// The Translate command's view of the window: the panes, the piece memo,
// the language boxes' texts, the status line, cursor and focus.
class TranslateView : public ITranslateView
{
public:
    TranslateView(StatusLine& status, QTextEdit* source, QTextEdit* destination,
                  QPlainTextEdit* piece, QComboBox* sourceBox, QComboBox* destinationBox);

    bool sourceModified() const override;
    QString sourceText() const override;
    int sourceLength() const override;
    QString selectSource(int start, int length) override;
    void setPiece(const QString& text) override;
    QString piece() const override;
    void appendLine(const QString& text) override;
    void appendPiece(const QString& text) override;
    QString sourceName() const override;
    QString destinationName() const override;
    void setStatus(const QString& text) override;
    void setBusyCursor(bool busy) override;
    void focusDestination() override;
    void processEvents() override;

private:
    StatusLine& m_status;
    QTextEdit* m_source;
    QTextEdit* m_destination;
    QPlainTextEdit* m_piece;
    QComboBox* m_sourceBox;
    QComboBox* m_destinationBox;
    bool m_busy = false;
    // False while the destination holds only what our last piece left
    // there: the pane is then already plain and the next piece only appends.
    bool m_destinationTouched = true;
    bool m_appending = false;
};

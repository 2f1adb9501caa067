#pragma once

#include <QString>
#include <optional>

class IDialogs;

// What the Translate command sees of the window: the two panes, the piece
// memo, the language boxes' texts, the status line, the cursor and focus.
class ITranslateView
{
public:
    virtual ~ITranslateView() = default;

    virtual bool sourceModified() const = 0;
    // The source pane's plain text, and its length (kept cheap: split mode
    // asks for it before every piece).
    virtual QString sourceText() const = 0;
    virtual int sourceLength() const = 0;
    // Selects the run in the source pane, visibly, and returns it as plain text.
    virtual QString selectSource(int start, int length) = 0;

    // The hidden piece memo.
    virtual void setPiece(const QString& text) = 0;
    virtual QString piece() const = 0;

    // Whole text: the translation becomes a new line after the present content.
    virtual void appendLine(const QString& text) = 0;
    // Split mode: the destination pane becomes its own plain text followed
    // by the piece, without separator.
    virtual void appendPiece(const QString& text) = 0;

    virtual QString sourceName() const = 0;      // what the source box shows
    virtual QString destinationName() const = 0; // what the destination box shows
    virtual void setStatus(const QString& text) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    virtual void focusDestination() = 0;
    // Lets pending window messages through (repaint, typing, clicks).
    virtual void processEvents() = 0;
};

// One remote call: a leg of a translation on the selected text server.
class ILegRunner
{
public:
    virtual ~ILegRunner() = default;
    virtual QString translateLeg(const QString& mode, const QString& text) = 0;
    // Ends the call in flight; it then fails with CallCancelled.
    virtual void abort() = 0;
};

struct TranslateRequest
{
    QString SrcLangCode;
    QString DstLangCode;
    bool MultiThreading = false;
    int MTQuote = 5000;
};

// The Translate command: one or two legs through English, the whole text or
// piece by piece, with its status texts. A failure of a call is rethrown
// after the finishing step, for the application error box.
class TranslateCommand
{
public:
    TranslateCommand(ITranslateView& view, IDialogs& dialogs);

    // Ignored (returns at once) while a run is in progress.
    void run(const TranslateRequest& request, ILegRunner& runner);
    bool isRunning() const { return m_runner != nullptr; }

    // Esc: aborts the call in flight and sends nothing more.
    void cancel();
    // The window wants to close: let the call in flight end, send nothing more.
    void stopAfterCurrentCall() { m_stopRequested = true; }

    static int pieceSize(int mtQuote) { return mtQuote > 100 ? mtQuote : 3000; }
    static QString doneText(const QString& dstCode);

private:
    void runWhole(const TranslateRequest& r);
    void runSplit(const TranslateRequest& r);
    // The leg plan on the source text (or the piece); returns the final
    // translation.
    QString translate(const TranslateRequest& r, bool piece, int end, int length);
    // Runs the legs between the hourglass and the finishing step; the whole
    // text's translation is appended before that step. Empty when the run
    // ends without a translation and without an error to show.
    std::optional<QString> guardedTranslate(const TranslateRequest& r, bool piece, int end,
                                            int length);
    bool refuseEqualLanguages(const TranslateRequest& r);
    void endRun();
    void finish(const TranslateRequest& r);
    // True when the run must stop now (Esc or closing).
    bool stopping() const { return m_cancelled || m_stopRequested; }
    void pump();

    ITranslateView& m_view;
    IDialogs& m_dialogs;
    ILegRunner* m_runner = nullptr;
    bool m_cancelled = false;
    bool m_stopRequested = false;
};

#pragma once

#include "QtPrinters.h"
#include "platform/Dialogs.h"

#include <QList>
#include <QStringList>
#include <deque>
#include <functional>

// The dialog seam for tests: answers come from queues, everything shown is
// recorded. With an empty queue a message box answers OK (or the first
// button), a credentials prompt is cancelled and a dialog is closed.
class ScriptedDialogs : public IDialogs
{
public:
    struct Shown
    {
        QString caption;
        QString text;
        MsgIcon icon;
        MsgButtons buttons;
    };
    struct CredentialsAsked
    {
        QString realm;
        QString host;
        bool forProxy;
    };

    MsgResult messageBox(const QString& caption, const QString& text, MsgIcon icon,
                         MsgButtons buttons) override;
    std::optional<Credentials> askCredentials(const QString& realm, const QString& host,
                                              bool forProxy) override;
    // the shell: options dialog and about box
    int runDialog(QDialog& dialog) override;

    // --- editor: character formatting ---
    // With an empty queue the font and colour dialogs are cancelled.
    std::optional<QFont> chooseFont(const QFont& initial) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;
    std::deque<std::optional<QFont>> fontAnswers;
    std::deque<std::optional<QColor>> colorAnswers;
    QList<QFont> fontsOffered;   // the font each font dialog opened on
    QList<QColor> colorsOffered; // the colour each colour dialog opened on

    // --- Documents: file dialogs answer from fileAnswers (empty: cancelled);
    // a print dialog is confirmed when printAnswers says so and then prints
    // to the PDF file printToPdf; page set-up answers from pageSetupAnswers.
    struct FileAsked
    {
        bool save;
        QStringList filters;
        int filterIndex;
        QString defaultSuffix;
        QString fileName;
    };
    std::optional<FileChoice> openFileDialog(const QStringList& filters, int filterIndex) override;
    std::optional<FileChoice> saveFileDialog(const QStringList& filters,
                                             const QString& defaultSuffix,
                                             const QString& fileName) override;
    bool printDialog(QPrinter& printer) override;
    bool pageSetupDialog(QPrinter& printer) override;
    std::deque<std::optional<FileChoice>> fileAnswers;
    // Runs while an open dialog is up, before it answers.
    std::function<void()> whileOpenDialogShown;
    QList<FileAsked> filesAsked;
    std::deque<bool> printAnswers;
    QString printToPdf;
    std::deque<std::function<bool(QPrinter&)>> pageSetupAnswers;
    int printDialogs = 0;
    int pageSetupDialogs = 0;

    std::deque<MsgResult> messageAnswers;
    std::deque<std::optional<Credentials>> credentialAnswers;

    QList<Shown> shown;
    QList<CredentialsAsked> credentialsAsked;

    // --- the shell: options dialog and about box ---
    // Each answer works the dialog's controls (it is shown, not executed)
    // and returns its result; with none queued the dialog is closed
    // (rejected) as it opened. dialogsRun records their objectNames.
    std::deque<std::function<int(QDialog&)>> dialogAnswers;
    QStringList dialogsRun;
};

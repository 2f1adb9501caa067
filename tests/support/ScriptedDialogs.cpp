#include "ScriptedDialogs.h"

#include <QDialog>
#include <QPrinter>

MsgResult ScriptedDialogs::messageBox(const QString& caption, const QString& text, MsgIcon icon,
                                      MsgButtons buttons)
{
    shown.append({caption, text, icon, buttons});
    if (!messageAnswers.empty()) {
        MsgResult r = messageAnswers.front();
        messageAnswers.pop_front();
        return r;
    }
    return buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MsgResult::Ok
                                                                        : MsgResult::Yes;
}

std::optional<Credentials> ScriptedDialogs::askCredentials(const QString& realm,
                                                           const QString& host, bool forProxy)
{
    credentialsAsked.append({realm, host, forProxy});
    if (credentialAnswers.empty())
        return std::nullopt;
    auto r = credentialAnswers.front();
    credentialAnswers.pop_front();
    return r;
}

// --- editor: character formatting ---

std::optional<QFont> ScriptedDialogs::chooseFont(const QFont& initial)
{
    fontsOffered.append(initial);
    if (fontAnswers.empty())
        return std::nullopt;
    auto r = fontAnswers.front();
    fontAnswers.pop_front();
    return r;
}

std::optional<QColor> ScriptedDialogs::chooseColor(const QColor& initial)
{
    colorsOffered.append(initial);
    if (colorAnswers.empty())
        return std::nullopt;
    auto r = colorAnswers.front();
    colorAnswers.pop_front();
    return r;
}

// --- the shell: options dialog and about box ---

int ScriptedDialogs::runDialog(QDialog& dialog)
{
    dialogsRun.append(dialog.objectName());
    dialog.show();
    int result = QDialog::Rejected;
    if (!dialogAnswers.empty()) {
        auto answer = std::move(dialogAnswers.front());
        dialogAnswers.pop_front();
        result = answer(dialog);
    }
    dialog.hide();
    return result;
}

// --- Documents ---

std::optional<FileChoice> ScriptedDialogs::openFileDialog(const QStringList& filters,
                                                          int filterIndex)
{
    filesAsked.append({false, filters, filterIndex, QString(), QString()});
    if (whileOpenDialogShown)
        whileOpenDialogShown();
    if (fileAnswers.empty())
        return std::nullopt;
    auto r = fileAnswers.front();
    fileAnswers.pop_front();
    return r;
}

std::optional<FileChoice> ScriptedDialogs::saveFileDialog(const QStringList& filters,
                                                          const QString& defaultSuffix,
                                                          const QString& fileName)
{
    filesAsked.append({true, filters, 0, defaultSuffix, fileName});
    if (fileAnswers.empty())
        return std::nullopt;
    auto r = fileAnswers.front();
    fileAnswers.pop_front();
    return r;
}

bool ScriptedDialogs::printDialog(QPrinter& printer)
{
    ++printDialogs;
    if (printAnswers.empty())
        return false;
    const bool ok = printAnswers.front();
    printAnswers.pop_front();
    if (ok) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printToPdf);
    }
    return ok;
}

bool ScriptedDialogs::pageSetupDialog(QPrinter& printer)
{
    ++pageSetupDialogs;
    if (pageSetupAnswers.empty())
        return false;
    auto answer = pageSetupAnswers.front();
    pageSetupAnswers.pop_front();
    return answer(printer);
}

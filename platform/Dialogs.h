#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QDialog;
class QPrinter;

// The one seam for everything modal. The window asks it; the real
// implementation shows Qt dialogs, tests script the answers and record
// what was shown.
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

struct Credentials
{
    QString user;
    QString password;
};

// Documents: the file the user chose in an open or save dialog and the
// filter entry (1-based) left selected.
struct FileChoice
{
    QString path;
    int filterIndex = 1;
};

class IDialogs
{
public:
    virtual ~IDialogs() = default;

    virtual MsgResult messageBox(const QString& caption, const QString& text, MsgIcon icon,
                                 MsgButtons buttons) = 0;

    // Asked when a server or proxy wants a user name and password. Empty
    // when the user cancels.
    virtual std::optional<Credentials> askCredentials(const QString& realm, const QString& host,
                                                      bool forProxy) = 0;

    // --- editor: character formatting ---
    // The font dialog, opened on the given font (name, size, style); the
    // chosen font, or empty on Cancel.
    virtual std::optional<QFont> chooseFont(const QFont& initial) = 0;
    // The colour dialog, opened on the given colour; the chosen colour, or
    // empty on Cancel.
    virtual std::optional<QColor> chooseColor(const QColor& initial) = 0;
    // --- the shell: options dialog and about box ---
    // Shows a dialog its caller built (and destroys afterwards) modally;
    // returns its result, QDialog::Accepted (1) or QDialog::Rejected (0).
    // Tests work the dialog's real controls instead of running its event
    // loop; a seam that shows no dialogs closes it unseen.
    virtual int runDialog(QDialog& dialog)
    {
        (void)dialog;
        return 0;
    }
    // --- Documents: file, print and page set-up dialogs ---
    // Filters in Qt's syntax; filterIndex (1-based) is selected at first.
    // Empty when the user cancels.
    virtual std::optional<FileChoice> openFileDialog(const QStringList& filters, int filterIndex)
    {
        (void)filters, (void)filterIndex;
        return std::nullopt;
    }
    // The dialog adds defaultSuffix to a name without one and offers
    // fileName at first.
    virtual std::optional<FileChoice> saveFileDialog(const QStringList& filters,
                                                     const QString& defaultSuffix,
                                                     const QString& fileName)
    {
        (void)filters, (void)defaultSuffix, (void)fileName;
        return std::nullopt;
    }
    // True when the user confirms; the printer then holds the choices.
    virtual bool printDialog(QPrinter& printer)
    {
        (void)printer;
        return false;
    }
    virtual bool pageSetupDialog(QPrinter& printer)
    {
        (void)printer;
        return false;
    }
};

// Starting programs and opening addresses: the second seam.
class ILauncher
{
public:
    virtual ~ILauncher() = default;
    // workingDirectory: the folder the program starts in; empty, the
    // caller's own.
    virtual bool startProgram(const QString& program, const QStringList& arguments,
                              const QString& workingDirectory = QString()) = 0;
    // False when the desktop cannot open it (no application for it, or no
    // handler at all).
    virtual bool openAddress(const QString& address) = 0;

    // Documents: starts a program whose end the caller waits for; `ended`
    // is called on this thread once it has exited (never when the start
    // fails). A launcher that cannot watch starts it and never reports.
    virtual bool startWatched(const QString& program, const QStringList& arguments,
                              std::function<void()> ended)
    {
        (void)ended;
        return startProgram(program, arguments);
    }
};

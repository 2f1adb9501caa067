#include "app/QtDialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFontDialog>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QVBoxLayout>

namespace {

// Cancels a prompt when its window is asked to close (the close button,
// File > Exit, or SIGTERM at the end of the session), so that the call
// waiting on the prompt can end and the window close. The close event
// itself goes on to the window.
class CancelOnClose : public QObject
{
public:
    CancelOnClose(QWidget* window, QDialog* dialog) : m_window(window), m_dialog(dialog)
    {
        if (m_window)
            m_window->installEventFilter(this);
    }
    ~CancelOnClose() override
    {
        if (m_window)
            m_window->removeEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            m_dialog->reject();
        return false;
    }

private:
    QPointer<QWidget> m_window;
    QDialog* m_dialog;
};

} // namespace

MsgResult QtDialogs::messageBox(const QString& caption, const QString& text, MsgIcon icon,
                                MsgButtons buttons)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case MsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    case QMessageBox::Cancel:
        return MsgResult::Cancel;
    default:
        return MsgResult::Ok;
    }
}

std::optional<Credentials> QtDialogs::askCredentials(const QString& realm, const QString& host,
                                                     bool forProxy)
{
    QDialog dialog(m_parent);
    dialog.setWindowTitle(forProxy ? QStringLiteral("Proxy authentication")
                                   : QStringLiteral("Authentication"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* intro = new QLabel(
        (forProxy ? QStringLiteral("The proxy %1 asks for a user name and password.")
                  : QStringLiteral("The server %1 asks for a user name and password."))
                .arg(host.toHtmlEscaped()) +
            (realm.isEmpty() ? QString()
                             : QStringLiteral("<br>Realm: %1").arg(realm.toHtmlEscaped())),
        &dialog);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    auto* user = new QLineEdit(&dialog);
    user->setObjectName(QStringLiteral("userName"));
    auto* password = new QLineEdit(&dialog);
    password->setObjectName(QStringLiteral("password"));
    password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("User name:"), user);
    form->addRow(QStringLiteral("Password:"), password);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    user->setFocus();
    CancelOnClose cancelOnClose(m_parent ? m_parent->window() : nullptr, &dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return Credentials{user->text(), password->text()};
}

// --- editor: character formatting ---

std::optional<QFont> QtDialogs::chooseFont(const QFont& initial)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, m_parent);
    if (!ok)
        return std::nullopt;
    return chosen;
}

std::optional<QColor> QtDialogs::chooseColor(const QColor& initial)
{
    const QColor chosen = QColorDialog::getColor(initial, m_parent);
    if (!chosen.isValid())
        return std::nullopt; // Cancel
    return chosen;
}

// --- the shell: options dialog and about box ---

int QtDialogs::runDialog(QDialog& dialog)
{
    return dialog.exec();
}

// --- Documents ---

namespace {
std::optional<FileChoice> runFileDialog(QFileDialog& dialog, const QStringList& filters)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const qsizetype index = filters.indexOf(dialog.selectedNameFilter());
    return FileChoice{dialog.selectedFiles().first(), index < 0 ? 1 : int(index) + 1};
}
} // namespace

std::optional<FileChoice> QtDialogs::openFileDialog(const QStringList& filters, int filterIndex)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dialog.selectNameFilter(filters[filterIndex - 1]);
    return runFileDialog(dialog, filters);
}

std::optional<FileChoice> QtDialogs::saveFileDialog(const QStringList& filters,
                                                    const QString& defaultSuffix,
                                                    const QString& fileName)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(defaultSuffix);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    return runFileDialog(dialog, filters);
}

bool QtDialogs::printDialog(QPrinter& printer)
{
    QPrintDialog dialog(&printer, m_parent);
    // The whole pane is printed: no selection or page range to pick.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogs::pageSetupDialog(QPrinter& printer)
{
    QPageSetupDialog dialog(&printer, m_parent);
    return dialog.exec() == QDialog::Accepted;
}

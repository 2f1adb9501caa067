#pragma once

#include "platform/Dialogs.h"

class QWidget;

// The real dialog seam: Qt's own dialogs, modal to the given window.
class QtDialogs : public IDialogs
{
public:
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    MsgResult messageBox(const QString& caption, const QString& text, MsgIcon icon,
                         MsgButtons buttons) override;
    std::optional<Credentials> askCredentials(const QString& realm, const QString& host,
                                              bool forProxy) override;
    // the shell: options dialog and about box
    int runDialog(QDialog& dialog) override;

    // --- editor: character formatting ---
    std::optional<QFont> chooseFont(const QFont& initial) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;

    // --- Documents ---
    std::optional<FileChoice> openFileDialog(const QStringList& filters, int filterIndex) override;
    std::optional<FileChoice> saveFileDialog(const QStringList& filters,
                                             const QString& defaultSuffix,
                                             const QString& fileName) override;
    bool printDialog(QPrinter& printer) override;
    bool pageSetupDialog(QPrinter& printer) override;

private:
    QWidget* m_parent;
};

#pragma once

#include "QtPrinters.h"
#include "RecordingLauncher.h"
#include "ScriptedDialogs.h"
#include "app/Translator.h"
#include "platform/LocaleRegistry.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>

// A main window on a settings file of its own, with the dialog seam
// scripted and the system locale chosen by the test.
class WindowTest : public ::testing::Test
{
protected:
    QString iniPath() const { return dir.filePath(QStringLiteral("TarquellTranslator.ini")); }
    void writeIni(const QByteArray& text);
    QByteArray readIni() const;
    // Creates the window (the start sequence runs) with LANG set to the
    // given locale.
    TfrmMain& open(const QString& posixLocale = QStringLiteral("en_US.UTF-8"));
    // Closes it the way the title bar does.
    void closeWindow();
    // A control or component of the open window, found by its objectName.
    template <class T> T* ctl(const char* name) const
    {
        T* found = window ? window->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        if (!found)
            throw std::runtime_error(std::string("the window has no ") + name);
        return found;
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    std::unique_ptr<LocaleRegistry> locale;
    // Browser mode: what makes WebBrowser1 (none unless a test sets it).
    BrowserPaneFactory browserFactory;
    std::unique_ptr<TfrmMain> window;
};

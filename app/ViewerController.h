#pragma once

#include <QObject>

class IDialogs;
class ILauncher;
class QWidget;
struct MainSettings;
struct MainWindowUi;

// The Viewer button: writes the destination pane as Result.txt and as a
// page labelled with the destination language's charset, Result.htm, into
// the working folder, then starts Glyphwell beside the program to show it.
class ViewerController : public QObject
{
    Q_OBJECT
public:
    // paneMode is the window's PaneMode field (1: browser mode).
    ViewerController(QWidget* window, MainWindowUi& ui, const MainSettings& settings,
                     const int& paneMode, IDialogs& dialogs, ILauncher& launcher);

public slots:
    void HelpBtnClick();

private:
    void writeAndShow();

    MainWindowUi& ui;
    const MainSettings& m_settings;
    const int& m_paneMode;
    IDialogs& m_dialogs;
    ILauncher& m_launcher;
};

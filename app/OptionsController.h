#pragma once

#include <QObject>
#include <functional>

class IDialogs;
class QWidget;
class StatusLine;
class TOption;
struct MainSettings;
struct MainWindowUi;

// The Preference menu: runs the options dialog on the tab its item names
// and copies the confirmed values into the settings fields. What those
// change takes effect where each field is read (the proxy at the next
// start).
class OptionsController : public QObject
{
    Q_OBJECT
public:
    // busy: true while a command waits on a remote call; the dialog's own
    // modal loop must not be started inside that wait.
    OptionsController(QWidget* window, MainWindowUi& ui, MainSettings& settings, StatusLine& status,
                      IDialogs& dialogs, std::function<bool()> busy);

    // Runs the dialog on tab 1, 2 or 3 (any other number: the first tab).
    void ShowOptions(int tab);

    // Fills the dialog from the fields, and copies it back on OK; a box
    // that holds no integer stops the copying there (TarquellError).
    static void fill(TOption& dialog, const MainSettings& settings);
    static void copyBack(const TOption& dialog, MainSettings& settings);

public slots:
    void ranslate2Click();
    void Network1Click();
    void ProxySettings1Click();

private:
    QWidget* m_window;
    MainSettings& m_settings;
    StatusLine& m_status;
    IDialogs& m_dialogs;
    std::function<bool()> m_busy;
};

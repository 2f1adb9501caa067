#pragma once

#include <QObject>

class QAction;
class QComboBox;
class QWidget;
struct GatewayState;
struct MainSettings;
struct MainWindowUi;

// The language boxes and the Swap button: keeps the two language codes in
// step with the boxes and lets the destination pick the web gateway. At
// start it also runs the stored interface language's command (the commands
// themselves live on InterfaceController).
class LanguageController : public QObject
{
    Q_OBJECT
public:
    LanguageController(QWidget* window, MainWindowUi& ui, MainSettings& settings,
                       GatewayState& gateway);

    // Start sequence: the boxes show the stored language names, and the
    // fields become their codes.
    void setBoxes();
    // Start sequence: runs the command of the stored (or detected) interface
    // language. Names outside the menu run nothing; "Chinois" first shows
    // its hidden item.
    void applyInterface();

public slots:
    void CB1Select(int index);
    void CB2Select(int index);
    void SetBtnClick();

private:
    QWidget* m_window;
    MainWindowUi& ui;
    MainSettings& m_settings;
    GatewayState& m_gateway;
};

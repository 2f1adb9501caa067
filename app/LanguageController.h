#pragma once

#include <QObject>

class QAction;
class QComboBox;
class QWidget;
struct GatewayState;
struct MainSettings;
struct MainWindowUi;

// The language boxes, the Swap button and the Interface menu's choice: keeps
// the two language codes in step with the boxes, lets the destination pick
// the web gateway, and records the interface language with its check mark.
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
    void English1Click();
    void French1Click();
    void Spanish1Click();
    void German1Click();
    void Italian1Click();
    void Portuguese1Click();
    void Japanese1Click();
    void Chinese1Click();

private:
    void selectInterface(QAction* item);

    QWidget* m_window;
    MainWindowUi& ui;
    MainSettings& m_settings;
    GatewayState& m_gateway;
};

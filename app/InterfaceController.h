#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QAction;
class QWidget;
struct MainSettings;
struct MainWindowUi;

// The Interface menu's commands: each stores its language's name, moves the
// check mark and puts its column of the interface-text table on the
// window's menus, toolbar and browser-mode controls, and the names screen
// readers say for the controls without a caption, then sets the window
// caption and the application title.
class InterfaceController : public QObject
{
    Q_OBJECT
public:
    InterfaceController(QWidget* window, MainWindowUi& ui, MainSettings& settings);

public slots:
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
    void applyTexts(const QString& stored);
    void applyNames(const QString& stored);

    QWidget* m_window;
    MainWindowUi& ui;
    MainSettings& m_settings;
    // The table's controls, found once by name, in table order.
    QList<QPointer<QObject>> m_controls;
    // The same for the table of accessible names.
    QList<QPointer<QWidget>> m_named;
};

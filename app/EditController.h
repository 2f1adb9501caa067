#pragma once

#include <QObject>

class EditorPanes;
class FindController;
class FormatController;
class IDialogs;
class QPoint;
class QTextEdit;
class QWidget;
struct MainWindowUi;

// The panes as editors: the Edit menu, the pop-up menu both panes share,
// the toolbar's Clear and Undo. Owns which pane is current and the
// formatting and find/replace commands, which act on that pane.
class EditController : public QObject
{
    Q_OBJECT
public:
    EditController(QWidget* window, MainWindowUi& ui, IDialogs& dialogs);
    ~EditController() override;

    EditorPanes& panes() { return *m_panes; }

public slots:
    // The Edit menu's items run their pop-up twins.
    void Undo1Click();
    void Redo1Click();
    void Copy1Click();
    void Cut1Click();
    void Paste1Click();
    void SelectAll1Click();
    // The pop-up menu; these act on the focused pane.
    void Undo2Click();
    void Redo2Click();
    void Copy2Click();
    void Cut2Click();
    void Paste2Click();
    void SelectAll2Click();
    void AutoWrap1Click();
    void PopMenuPopup();
    // Acts on the current pane.
    void Clear1Click();
    // The toolbar.
    void ClearBtnClick();
    void BitBtn6Click();

private:
    void showPopMenu(QTextEdit* pane, const QPoint& pos);

    MainWindowUi& ui;
    IDialogs& m_dialogs;
    EditorPanes* m_panes;
    FormatController* m_format;
    FindController* m_find;
};

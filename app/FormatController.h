#pragma once

#include <QColor>
#include <QFont>
#include <QObject>

class EditorPanes;
class IDialogs;
class QTextEdit;
struct MainWindowUi;

// Character formatting (font, bold, italic, underline, colour) of the
// current pane and paragraph alignment of the source pane. Every character
// change passes through one working font, the font dialog's.
class FormatController : public QObject
{
    Q_OBJECT
public:
    // The font dialog's font: name, size, style and colour.
    struct WorkingFont
    {
        QFont font;
        QColor color = Qt::black;
    };

    FormatController(MainWindowUi& ui, EditorPanes& panes, IDialogs& dialogs, QObject* parent);

    const WorkingFont& fontDialogFont() const { return FontDialog1; }

public slots:
    void FontBtnClick();
    void BoldBtnClick();
    void ItalicBtnClick();
    void UnderlineBtnClick();
    void SpeedButton1Click();
    void LeftBtnClick();
    void CentreBtnClick();
    void RightBtnClick();

private:
    enum class Style { Bold, Italic, Underline };
    void switchStyle(Style style);
    // Loads the working font from the pane's selection format.
    void loadFromSelection(QTextEdit* pane);
    // Applies the whole working font to the pane's formatting target: its
    // selection when one character or more is selected, else the format
    // new typing takes. Then the working font's style is reset to none.
    void applyToTarget(QTextEdit* pane);
    void resetStyle();
    void alignSource(Qt::Alignment alignment);

    MainWindowUi& ui;
    EditorPanes& m_panes;
    IDialogs& m_dialogs;
    WorkingFont FontDialog1;
    QColor ColorDialog1 = Qt::black; // the colour chosen last
};

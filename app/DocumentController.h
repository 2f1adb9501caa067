#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class IDialogs;
class ILauncher;
class QPrinter;
class QWidget;
class StatusLine;
struct MainWindowUi;

// Documents in and out: opening a document into the source pane (directly,
// or through the conversion program Docshift and its Result.rtf/Result.000
// exchange), saving the destination pane, printing it and the printer's
// page set-up. Connects its own buttons and menu items.
class DocumentController : public QObject
{
    Q_OBJECT
public:
    // paneMode is the window's (0 text, 1 browser); busy tells whether a
    // translation is running.
    DocumentController(QWidget* window, MainWindowUi& ui, const int& paneMode, StatusLine& status,
                       IDialogs& dialogs, ILauncher& launcher, std::function<bool()> busy);
    ~DocumentController() override;

    // The conversion program: Docshift in the program folder unless set.
    QString converter() const { return m_converter; }
    void setConverter(const QString& path) { m_converter = path; }
    // The longest wait for the conversion's marker, in milliseconds.
    void setConversionTimeout(int ms) { m_timeoutMs = ms; }
    int conversionTimeout() const { return m_timeoutMs; }
    // Conversions given up with Esc whose program still runs.
    int abandonedConversions() const { return *m_abandoned; }
    // The printer the print and page set-up dialogs work on (made at first use).
    QPrinter& printer();

public slots:
    void OpenBtnClick();
    void Opensourcefile1Click();
    void SaveBtnClick();
    void Open1Click();
    void Print1Click();
    void PrinterSetup1Click();
    void SpeedButton2Click();

private:
    void openDocument();
    void readInto(const QString& path);
    void convert(const QString& path);
    void finishOpen();
    void saveDocument();
    void printDocument();

    QWidget* m_window;
    MainWindowUi& ui;
    const int& m_paneMode;
    StatusLine& m_status;
    IDialogs& m_dialogs;
    ILauncher& m_launcher;
    std::function<bool()> m_busy;
    QString m_converter;
    int m_timeoutMs = 120000;
    int m_openFilterIndex = 1;
    QString m_lastSaveName;
    bool m_opening = false;
    // Conversions given up with Esc whose program has not ended yet: a new
    // one would take their marker for its own.
    std::shared_ptr<int> m_abandoned = std::make_shared<int>(0);
    std::unique_ptr<QPrinter> m_printer;
};

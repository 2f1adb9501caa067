#pragma once

#include "tools/Vantudict/DictLibrary.h"
#include "tools/Vantudict/VantuSettings.h"

#include <QList>
#include <QMainWindow>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;
class QUrl;

// The dictionary's window: a word, From and To, and the entries, which
// follow the word as it is typed. Cross references in the entries are
// links; Back returns to the word before. The DICT server, when one is
// set, is asked on Enter only: it may take seconds to answer.
class VantudictWindow : public QMainWindow
{
    Q_OBJECT
public:
    VantudictWindow(DictLibrary& library, VantuSettings settings, QWidget* parent = nullptr);
    ~VantudictWindow() override;

    const LookupResult& shown() const noexcept { return m_result; }
    QString entriesText() const;
    const VantuSettings& settings() const noexcept { return m_settings; }

public slots:
    void lookUp();
    void lookUpWithServer();
    void back();
    void copy();
    void showWord(const QString& word);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Place
    {
        QString word, from, to;
    };
    void pairChanged();
    void follow(const QUrl& link);
    void showResult(const LookupResult& result);
    void remember();
    QString currentFrom() const;
    QString currentTo() const;

    DictLibrary& m_library;
    VantuSettings m_settings;
    LookupResult m_result;
    QList<Place> m_history;
    QLineEdit* m_word = nullptr;
    QComboBox* m_from = nullptr;
    QComboBox* m_to = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_copy = nullptr;
    QTextBrowser* m_entries = nullptr;
    QLabel* m_notes = nullptr;
};

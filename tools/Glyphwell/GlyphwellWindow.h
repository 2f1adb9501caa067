#pragma once

#include <QMainWindow>

class QAction;
class QComboBox;
class QLabel;
class QTextBrowser;

// Glyphwell's window: shows the Viewer's page, decoded by the charset its
// header declares, in a font that has Cyrillic, Han, kana and Hangul. A page
// that cannot be read is said so in the window.
class GlyphwellWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit GlyphwellWindow(const QString& pagePath, QWidget* parent = nullptr);

    // Result.htm in the working folder, where the translator writes it.
    static QString defaultPagePath();

    // The text sizes the user can pick, in points.
    static const QList<int>& textSizes();

    QString shownText() const;
    int textSize() const;

public slots:
    void reload();
    void setTextSize(int points);
    void largerText();
    void smallerText();

private:
    void showProblem(const QString& message);

    QString m_path;
    QTextBrowser* m_page = nullptr;
    QComboBox* m_sizeBox = nullptr;
    QLabel* m_charsetLabel = nullptr;
    QAction* m_copy = nullptr;
};

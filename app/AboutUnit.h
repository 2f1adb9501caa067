#pragma once

#include <QColor>
#include <QDialog>
#include <functional>

class IDialogs;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;

// The circle of the about box's hidden game: a filled circle that reports
// any mouse button pressed on it.
class TShapeCircle : public QWidget
{
    Q_OBJECT
public:
    explicit TShapeCircle(QWidget* parent);
    QColor brushColor() const { return m_brush; }
    void setBrushColor(const QColor& color);

signals:
    void mouseDown();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    QColor m_brush;
};

// The about box: product name, version, support mail, acknowledgement and
// notice, and a small game behind four Shift presses on "Support".
class TAbout : public QDialog
{
    Q_OBJECT
public:
    // supportMail: the address of the two mail links.
    TAbout(QWidget* parent, IDialogs& dialogs, const QString& supportMail);

    // Where the game's random numbers in [0, 1) come from (tests seed it).
    void setRandom(std::function<double()> random) { m_random = std::move(random); }
    int shiftCount() const { return m_shiftCount; }

    // The game's colours, by the number drawn in [0, 1), and the place
    // (1 to 201) a number gives: nearest integer of r × 200, halves to even.
    static QColor colourFor(double r);
    static int placeFor(double r);
    // "mailto:" link to the address with a percent-encoded subject.
    static QString mailLink(const QString& address, const QString& subject);

    QLabel* Image1 = nullptr;
    QLabel *Label1 = nullptr, *Label4 = nullptr, *Label2 = nullptr;
    QFrame* Bevel1 = nullptr;
    TShapeCircle* d = nullptr;
    QLabel *Label8 = nullptr, *Label9 = nullptr, *Label10 = nullptr;
    QPushButton *Button2 = nullptr, *Button1 = nullptr;
    QLabel *Label6 = nullptr, *Label7 = nullptr;
    QTimer* Timer1 = nullptr;

signals:
    // A mail link to open (the window's launcher does it).
    void mailRequested(const QString& link);
    // The circle was caught while teal; the box closes right after.
    void tealCaught();

public slots:
    void Label9MouseEnter();
    void Label9MouseLeave();
    void Label9Click();
    void Button2Click();
    void Button2KeyDown(int key);
    void Timer1Timer();
    void dMouseDown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    IDialogs& m_dialogs;
    QString m_supportMail;
    std::function<double()> m_random;
    int m_shiftCount = 0;
    QString m_savedLabel9;
};

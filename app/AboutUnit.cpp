#include "app/AboutUnit.h"

#include "platform/AppTitle.h"
#include "platform/Dialogs.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>
#include <cmath>

namespace {

const QColor Teal(0, 128, 128);
const QColor Purple(128, 0, 128);

// The named face where it is installed, else the next one that is.
QFont faceFont(const QStringList& families, int points, bool bold)
{
    QFont f;
    f.setFamilies(families);
    f.setPointSize(points);
    f.setBold(bold);
    return f;
}

QFont dialogFont(bool bold)
{
    return faceFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                     QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                     QStringLiteral("DejaVu Sans")},
                    8, bold);
}

QLabel* label(QWidget* parent, const char* name, int left, int top, const QString& text,
              const QFont& f, const QColor& colour)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
    l->move(left, top);
    l->adjustSize();
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, int left, int top)
{
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setFont(dialogFont(true));
    b->setGeometry(left, top, 65, 25);
    return b;
}

// The product's picture, 33 × 65: a teal page with a folded corner, the
// initial and the two flags of the program's first language pair.
QPixmap productPicture()
{
    QPixmap picture(33, 65);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath page;
    page.moveTo(1, 1);
    page.lineTo(23, 1);
    page.lineTo(32, 10);
    page.lineTo(32, 64);
    page.lineTo(1, 64);
    page.closeSubpath();
    QLinearGradient fill(0, 0, 33, 65);
    fill.setColorAt(0, QColor(0, 160, 160));
    fill.setColorAt(1, QColor(0, 80, 96));
    p.fillPath(page, fill);
    p.setPen(QPen(QColor(0, 64, 64), 1));
    p.drawPath(page);
    p.setBrush(QColor(180, 230, 230));
    p.drawPolygon(QPolygonF({QPointF(23, 1), QPointF(23, 10), QPointF(32, 10)}));
    p.setPen(Qt::white);
    p.setFont(faceFont({QStringLiteral("Century Gothic"), QStringLiteral("URW Gothic"),
                        QStringLiteral("DejaVu Sans")},
                       16, true));
    p.drawText(QRect(1, 6, 31, 24), Qt::AlignCenter, QStringLiteral("T"));
    p.drawPixmap(8, 34, QPixmap(QStringLiteral(":/flags/gb.png")));
    p.drawPixmap(8, 48, QPixmap(QStringLiteral(":/flags/fr.png")));
    return picture;
}

} // namespace

// --- the circle ---

TShapeCircle::TShapeCircle(QWidget* parent) : QWidget(parent), m_brush(Purple) {}

void TShapeCircle::setBrushColor(const QColor& color)
{
    m_brush = color;
    update();
}

void TShapeCircle::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(m_brush);
    p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

void TShapeCircle::mousePressEvent(QMouseEvent*)
{
    emit mouseDown();
}

// --- the box ---

TAbout::TAbout(QWidget* parent, IDialogs& dialogs, const QString& supportMail)
    : QDialog(parent), m_dialogs(dialogs), m_supportMail(supportMail.trimmed()),
      m_random([] { return QRandomGenerator::global()->generateDouble(); })
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About"));
    setFont(dialogFont(false));
    setFixedSize(288, 286);
    // A dialog border: no sizing, no minimise or maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    const QFont bold = dialogFont(true);
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(4, 6, 281, 75);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(13, 10, 33, 65);
    Image1->setPixmap(productPicture());

    Label1 = label(this, "Label1", 55, 12, QStringLiteral("Tarquell Translator"),
                   faceFont({QStringLiteral("Century Gothic"), QStringLiteral("URW Gothic"),
                             QStringLiteral("DejaVu Sans")},
                            18, true),
                   Teal);
    Label4 = label(this, "Label4", 66, 40,
                   QStringLiteral("for Document, letter, invoice\n     FAX, report, contract, etc"),
                   faceFont({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}, 10, true),
                   Teal);
    Label2 = label(this, "Label2", 248, 56, QStringLiteral("(TM)"), dialogFont(false), Qt::blue);

    Label8 =
        label(this, "Label8", 18, 168, QStringLiteral("Version 4.00  (Build 4195)"), bold, Teal);
    // Without a configured address the line says so; a click then tells
    // where to set it.
    Label9 = label(this, "Label9", 18, 183,
                   QStringLiteral("Technical Support: ") +
                       (m_supportMail.isEmpty() ? QStringLiteral("not configured") : m_supportMail),
                   bold, Teal);
    Label9->setCursor(Qt::PointingHandCursor);
    Label9->installEventFilter(this);
    Label10 = label(this, "Label10", 18, 199,
                    QStringLiteral("Acknowlege To: AltaVista translation services"), bold, Teal);

    Button2 = button(this, "Button2", "Support", 64, 219);
    Button1 = button(this, "Button1", "OK", 160, 219);
    Button1->setDefault(true);
    Button2->installEventFilter(this);
    connect(Button2, &QPushButton::clicked, this, &TAbout::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    Label6 = label(this, "Label6", 40, 250,
                   QStringLiteral("Copyright \u00A9 the Tarquell Translator authors."), bold, Teal);
    Label7 = label(this, "Label7", 56, 267, QStringLiteral("All rights reserved."), bold, Teal);

    // Last, so that it passes over everything else while it jumps.
    d = new TShapeCircle(this);
    d->setObjectName(QStringLiteral("d"));
    d->setGeometry(152, 40, 32, 32);
    d->hide();
    connect(d, &TShapeCircle::mouseDown, this, &TAbout::dMouseDown);

    // Ticks from the moment the box exists, circle shown or not.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TAbout::Timer1Timer);
    Timer1->start();
}

QColor TAbout::colourFor(double r)
{
    if (r < 0.25)
        return QColor(255, 0, 0);
    if (r <= 0.5)
        return QColor(255, 255, 0);
    if (r <= 0.75)
        return QColor(0, 128, 0);
    return Teal;
}

int TAbout::placeFor(double r)
{
    // The default rounding mode rounds halves to even.
    return 1 + int(std::nearbyint(r * 200));
}

QString TAbout::mailLink(const QString& address, const QString& subject)
{
    return QStringLiteral("mailto:") + address + QStringLiteral("?Subject=") +
           QString::fromLatin1(QUrl::toPercentEncoding(subject));
}

bool TAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label9) {
        switch (event->type()) {
        case QEvent::Enter:
            Label9MouseEnter();
            break;
        case QEvent::Leave:
            Label9MouseLeave();
            break;
        case QEvent::MouseButtonRelease:
            if (Label9->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
                Label9Click();
            break;
        default:
            break;
        }
    } else if (watched == Button2 && event->type() == QEvent::KeyPress) {
        Button2KeyDown(static_cast<QKeyEvent*>(event)->key());
    }
    return QDialog::eventFilter(watched, event);
}

void TAbout::Label9MouseEnter()
{
    m_savedLabel9 = Label9->text();
    Label9->setText(QStringLiteral("<<<Click me to send an E-mail to the author>>>"));
    Label9->adjustSize();
}

void TAbout::Label9MouseLeave()
{
    Label9->setText(m_savedLabel9);
    Label9->adjustSize();
}

void TAbout::Label9Click()
{
    emit mailRequested(mailLink(m_supportMail, QStringLiteral("Tarquell Translator v4.00")));
}

void TAbout::Button2Click()
{
    // After a Shift press the button belongs to the game until the circle
    // is caught.
    if (m_shiftCount == 0)
        emit mailRequested(
            mailLink(m_supportMail, QStringLiteral("Tarquell Translator V4.00 support")));
}

void TAbout::Button2KeyDown(int key)
{
    if (key != Qt::Key_Shift)
        return;
    ++m_shiftCount;
    if (m_shiftCount == 4) {
        d->show();
        d->raise();
        Timer1->start();
    }
}

void TAbout::Timer1Timer()
{
    // The event loop has handled what was pending before this tick arrived.
    const double r1 = m_random();
    const double r2 = m_random();
    d->move(placeFor(r2), placeFor(r1));
    d->setBrushColor(colourFor(m_random()));
}

void TAbout::dMouseDown()
{
    Timer1->stop();
    m_dialogs.messageBox(AppTitle::get(), QStringLiteral("You catch it!"), MsgIcon::None,
                         MsgButtons::Ok);
    m_shiftCount = 0;
    d->hide();
    if (d->brushColor() == Teal) {
        emit tealCaught();
        Button1->click();
    }
}

#include "app/OptionUnit.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

namespace {

// MS Sans Serif 8 where it is installed, else the closest sans serif that is.
QFont dialogFont(bool bold)
{
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                   QStringLiteral("DejaVu Sans")});
    f.setPointSize(8);
    f.setBold(bold);
    return f;
}

template <class W> W* place(W* w, const char* name, int left, int top, int width, int height)
{
    w->setObjectName(QString::fromLatin1(name));
    // Never narrower than its text needs in the font that is installed.
    w->setGeometry(left, top, std::max(width, w->sizeHint().width()), height);
    return w;
}

QLabel* label(QWidget* parent, const char* name, int left, int top, const char* caption, bool bold)
{
    auto* l = new QLabel(QString::fromLatin1(caption), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(dialogFont(bold));
    l->move(left, top);
    l->adjustSize();
    return l;
}

QCheckBox* checkBox(QWidget* parent, const char* name, int left, int top, int width, int height,
                    const char* caption, bool checked)
{
    auto* c = new QCheckBox(QString::fromLatin1(caption), parent);
    c->setFont(dialogFont(true));
    c->setChecked(checked);
    return place(c, name, left, top, width, height);
}

QLineEdit* editBox(QWidget* parent, const char* name, int left, int top, int width,
                   const char* text)
{
    auto* e = new QLineEdit(QString::fromLatin1(text), parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setFont(dialogFont(false));
    e->setGeometry(left, top, width, 21);
    return e;
}

QFrame* bevel(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(left, top, width, height);
    f->lower();
    return f;
}

// Every tab carries its own OK and Cancel at the same place.
void okCancel(TOption* dialog, QWidget* tab, QPushButton*& ok, const char* okName,
              QPushButton*& cancel, const char* cancelName)
{
    ok = new QPushButton(QStringLiteral("OK"), tab);
    ok->setObjectName(QString::fromLatin1(okName));
    ok->setGeometry(64, 160, 65, 25);
    cancel = new QPushButton(QStringLiteral("Cancel"), tab);
    cancel->setObjectName(QString::fromLatin1(cancelName));
    cancel->setGeometry(152, 160, 65, 25);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

QWidget* tabSheet(QTabWidget* pages, const char* name, const char* caption)
{
    auto* tab = new QWidget;
    tab->setObjectName(QString::fromLatin1(name));
    pages->addTab(tab, QString::fromLatin1(caption));
    return tab;
}

} // namespace

TOption::TOption(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Option"));
    setWindowTitle(QStringLiteral("Option"));
    setFont(dialogFont(false));
    setFixedSize(303, 223);
    // A dialog border: no sizing, no minimise or maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    // Larger than the client area, so that the tabs fill the dialog.
    PageControl1->setGeometry(0, 0, 303 + 2, 223 + 2);

    // "&&" shows as one ampersand, as in any Qt caption.
    TabSheet1 = tabSheet(PageControl1, "TabSheet1", "Translation && Environment");
    Bevel1 = bevel(TabSheet1, "Bevel1", 0, 0, 297, 145);
    CheckBox1 = checkBox(TabSheet1, "CheckBox1", 32, 11, 257, 28,
                         "Multi-threading translation if passage", true);
    Label1 = label(TabSheet1, "Label1", 53, 38, "is larger than", true);
    Edit1 = editBox(TabSheet1, "Edit1", 137, 38, 33, "3000");
    Label2 = label(TabSheet1, "Label2", 176, 38, "words.", true);
    CheckBox2 = checkBox(TabSheet1, "CheckBox2", 32, 61, 225, 17,
                         "Drag and Drop action across source and", true);
    Label3 = label(TabSheet1, "Label3", 51, 84, "and destination windows enabled.", true);
    CheckBox3 = checkBox(TabSheet1, "CheckBox3", 32, 106, 241, 21,
                         "Load previous settings when launch", true);
    okCancel(this, TabSheet1, Button1, "Button1", Button2, "Button2");

    TabSheet2 = tabSheet(PageControl1, "TabSheet2", "Remote Server");
    Label6 = label(TabSheet2, "Label6", 16, 8, "Remote Translation Server", true);
    Bevel2 = bevel(TabSheet2, "Bevel2", 12, 29, 273, 65);
    RB1 = place(new QRadioButton(QStringLiteral("Auto Load-Balancing (Default)"), TabSheet2), "RB1",
                32, 39, 241, 21);
    RB1->setChecked(true);
    RB2 = place(new QRadioButton(QStringLiteral("Use only the specified server"), TabSheet2), "RB2",
                32, 65, 241, 17);
    RB2->setEnabled(false);
    Label4 = label(TabSheet2, "Label4", 16, 106, "TimeOut", true);
    Edit2 = editBox(TabSheet2, "Edit2", 84, 104, 45, "50000");
    Label5 = label(TabSheet2, "Label5", 136, 106, "ms", false);
    CheckBox4 = checkBox(TabSheet2, "CheckBox4", 16, 138, 273, 17,
                         "Check for new updates of Vantu Translator", true);
    // The transports take the network settings at start only.
    Label7 = label(TabSheet2, "Label7", 160, 106, "(applies at next start)", false);
    okCancel(this, TabSheet2, Button3, "Button3", Button4, "Button4");

    TabSheet3 = tabSheet(PageControl1, "TabSheet3", "Proxy");
    Label11 = label(TabSheet3, "Label11", 8, 8, "Proxy settings", true);
    CheckBox6 = checkBox(TabSheet3, "CheckBox6", 9, 40, 288, 17,
                         "Use IE/Netscape proxy configuration (Default)", true);
    CheckBox5 =
        checkBox(TabSheet3, "CheckBox5", 9, 64, 241, 17, "Use another HTTP proxy server", false);
    Label9 = label(TabSheet3, "Label9", 24, 92, "Address", false);
    Edit3 = editBox(TabSheet3, "Edit3", 74, 89, 186, "");
    Label10 = label(TabSheet3, "Label10", 24, 125, "Port", false);
    Edit4 = editBox(TabSheet3, "Edit4", 74, 122, 39, "8080");
    Label8 = label(TabSheet3, "Label8", 141, 125, "Applies at next start.", true);
    okCancel(this, TabSheet3, Button5, "Button5", Button6, "Button6");

    // What screen readers call the boxes: the label before each, or a
    // name of their own where the label is half a sentence.
    Label4->setBuddy(Edit2);
    Label9->setBuddy(Edit3);
    Label10->setBuddy(Edit4);
    Edit1->setAccessibleName(QStringLiteral("Passage size in words"));
    const QString nextStart =
        QStringLiteral("Time-out and proxy settings apply from the next start of the program.");
    for (QWidget* w : std::initializer_list<QWidget*>{Edit2, CheckBox6, CheckBox5, Edit3, Edit4})
        w->setToolTip(nextStart);

    // toggled fires on every change of state, the program's own included.
    connect(CheckBox5, &QCheckBox::toggled, this, &TOption::CheckBox5Click);
    CheckBox5Click();
}

void TOption::CheckBox5Click()
{
    const bool on = CheckBox5->isChecked();
    Edit3->setEnabled(on);
    Edit4->setEnabled(on);
}

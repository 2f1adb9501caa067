#include "app/FindReplaceDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPushButton* button(QWidget* parent, const char* name, const char* caption)
{
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QLineEdit* field(QWidget* parent, const char* name)
{
    auto* f = new QLineEdit(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setMinimumWidth(220);
    return f;
}
} // namespace

FindReplaceDialog::FindReplaceDialog(Kind kind, QWidget* parent) : QDialog(parent)
{
    const bool replacing = kind == Kind::Replace;
    setObjectName(replacing ? QStringLiteral("ReplaceDialog1") : QStringLiteral("FindDialog1"));
    setWindowTitle(replacing ? QStringLiteral("Replace") : QStringLiteral("Find"));
    setModal(false);

    auto* fields = new QFormLayout;
    m_findText = field(this, "FindText");
    auto* findLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
    findLabel->setBuddy(m_findText);
    fields->addRow(findLabel, m_findText);
    if (replacing) {
        m_replaceText = field(this, "ReplaceText");
        auto* replaceLabel = new QLabel(QStringLiteral("Re&place with:"), this);
        replaceLabel->setBuddy(m_replaceText);
        fields->addRow(replaceLabel, m_replaceText);
    }

    auto* buttons = new QVBoxLayout;
    m_findNext = button(this, "FindNextBtn", "&Find Next");
    m_findNext->setDefault(true);
    buttons->addWidget(m_findNext);
    connect(m_findNext, &QPushButton::clicked, this, &FindReplaceDialog::find);
    if (replacing) {
        m_replace = button(this, "ReplaceBtn", "&Replace");
        m_replaceAllButton = button(this, "ReplaceAllBtn", "Replace &All");
        buttons->addWidget(m_replace);
        buttons->addWidget(m_replaceAllButton);
        connect(m_replace, &QPushButton::clicked, this, [this] {
            m_replaceAll = false;
            emit replace();
        });
        connect(m_replaceAllButton, &QPushButton::clicked, this, [this] {
            m_replaceAll = true;
            emit replace();
        });
    }
    auto* close = button(this, "CloseBtn", "Close");
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    buttons->addWidget(close);
    buttons->addStretch(1);

    auto* row = new QHBoxLayout(this);
    row->addLayout(fields, 1);
    row->addLayout(buttons);

    // Nothing to look for: the buttons that search wait for a find text.
    connect(m_findText, &QLineEdit::textChanged, this, &FindReplaceDialog::updateButtons);
    updateButtons();
}

void FindReplaceDialog::focusFindText()
{
    m_findText->selectAll();
    m_findText->setFocus(Qt::OtherFocusReason);
}

QString FindReplaceDialog::findText() const
{
    return m_findText->text();
}

QString FindReplaceDialog::replaceText() const
{
    return m_replaceText ? m_replaceText->text() : QString();
}

void FindReplaceDialog::updateButtons()
{
    const bool any = !m_findText->text().isEmpty();
    for (QPushButton* b : {m_findNext, m_replace, m_replaceAllButton}) {
        if (b)
            b->setEnabled(any);
    }
}

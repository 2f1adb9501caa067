#include "tools/Vantudict/VantudictWindow.h"

#include "tools/Vantudict/Languages.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QUrl>
#include <QUrlQuery>

namespace {

// Keeps history to a sensible length.
constexpr int MaxHistory = 100;

QString html(const QString& text)
{
    return text.toHtmlEscaped();
}

// "see: {houses}, {open house}": each reference a link to its entry.
QString withLinks(const QString& text)
{
    static const QRegularExpression ref(QStringLiteral("\\{([^{}]{1,100})\\}"));
    QString out;
    qsizetype last = 0;
    for (auto it = ref.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += html(text.mid(last, m.capturedStart() - last));
        QUrl link;
        link.setScheme(QStringLiteral("word"));
        QUrlQuery q;
        q.addQueryItem(QStringLiteral("w"), m.captured(1));
        link.setQuery(q);
        out += QStringLiteral("<a href=\"%1\">%2</a>")
                   .arg(html(link.toString(QUrl::FullyEncoded)), html(m.captured(1)));
        last = m.capturedEnd();
    }
    return out + html(text.mid(last));
}

QString entryHtml(const DictEntry& e)
{
    QString out = QStringLiteral("<div>");
    if (!e.note.isEmpty())
        out += QStringLiteral("<p style=\"color:#555\"><i>%1</i></p>").arg(html(e.note));
    out += QStringLiteral("<p><b style=\"font-size:large\">%1</b>").arg(html(e.headword));
    if (!e.pronunciation.isEmpty())
        out += QStringLiteral(" &nbsp;%1").arg(html(e.pronunciation));
    if (!e.partOfSpeech.isEmpty())
        out += QStringLiteral(" &nbsp;<i>%1</i>").arg(html(e.partOfSpeech));
    out += QStringLiteral("</p><ol>");
    for (const QString& sense : e.senses) {
        const QStringList lines = sense.split(u'\n');
        out += QStringLiteral("<li>%1").arg(withLinks(lines.front()));
        for (qsizetype i = 1; i < lines.size(); ++i)
            out +=
                QStringLiteral("<br><span style=\"color:#555\">%1</span>").arg(withLinks(lines[i]));
        out += QStringLiteral("</li>");
    }
    out += QStringLiteral("</ol>");
    if (!e.source.isEmpty())
        out +=
            QStringLiteral("<p style=\"color:#777; font-size:small\">%1</p>").arg(html(e.source));
    return out + QStringLiteral("</div><hr>");
}

} // namespace

VantudictWindow::VantudictWindow(DictLibrary& library, VantuSettings settings, QWidget* parent)
    : QMainWindow(parent), m_library(library), m_settings(std::move(settings))
{
    setObjectName(QStringLiteral("VantudictWindow"));
    setWindowTitle(QStringLiteral("Vantu Dictionary"));
    const VantuCaptions& c = captionsFor(m_settings.interfaceLanguage);

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    m_word = new QLineEdit(central);
    m_word->setObjectName(QStringLiteral("Word"));
    m_word->setAccessibleName(QStringLiteral("Word"));
    m_word->setClearButtonEnabled(true);
    auto* wordLabel = new QLabel(QString::fromUtf8(c.word), central);
    wordLabel->setBuddy(m_word);

    m_from = new QComboBox(central);
    m_from->setObjectName(QStringLiteral("From"));
    m_from->setAccessibleName(QStringLiteral("From"));
    m_to = new QComboBox(central);
    m_to->setObjectName(QStringLiteral("To"));
    m_to->setAccessibleName(QStringLiteral("To"));
    for (const DictLanguage& l : dictLanguages()) {
        m_from->addItem(QString::fromLatin1(l.name), QString::fromLatin1(l.code));
        m_to->addItem(QString::fromLatin1(l.name), QString::fromLatin1(l.code));
    }
    m_from->setCurrentIndex(m_from->findData(m_settings.from));
    m_to->setCurrentIndex(m_to->findData(m_settings.to));
    auto* fromLabel = new QLabel(QString::fromUtf8(c.from), central);
    fromLabel->setBuddy(m_from);
    auto* toLabel = new QLabel(QString::fromUtf8(c.to), central);
    toLabel->setBuddy(m_to);

    m_back = new QPushButton(QIcon::fromTheme(QStringLiteral("go-previous")),
                             QString::fromUtf8(c.back), central);
    m_back->setObjectName(QStringLiteral("Back"));
    m_back->setEnabled(false);
    m_copy = new QPushButton(QIcon::fromTheme(QStringLiteral("edit-copy")),
                             QString::fromUtf8(c.copy), central);
    m_copy->setObjectName(QStringLiteral("Copy"));
    m_copy->setEnabled(false);

    auto* top = new QHBoxLayout;
    top->addWidget(wordLabel);
    top->addWidget(m_word, 1);
    top->addWidget(m_back);
    top->addWidget(m_copy);
    auto* pair = new QHBoxLayout;
    pair->addWidget(fromLabel);
    pair->addWidget(m_from, 1);
    pair->addWidget(toLabel);
    pair->addWidget(m_to, 1);

    m_notes = new QLabel(central);
    m_notes->setObjectName(QStringLiteral("Notes"));
    m_notes->setWordWrap(true);
    m_notes->setTextFormat(Qt::PlainText);
    m_entries = new QTextBrowser(central);
    m_entries->setObjectName(QStringLiteral("Entries"));
    m_entries->setAccessibleName(QStringLiteral("Entries"));
    m_entries->setOpenLinks(false);

    grid->addLayout(top, 0, 0);
    grid->addLayout(pair, 1, 0);
    grid->addWidget(m_notes, 2, 0);
    grid->addWidget(m_entries, 3, 0);
    grid->setRowStretch(3, 1);
    setCentralWidget(central);
    resize(560, 480);

    connect(m_word, &QLineEdit::textChanged, this, &VantudictWindow::lookUp);
    connect(m_word, &QLineEdit::returnPressed, this, &VantudictWindow::lookUpWithServer);
    connect(m_from, &QComboBox::currentIndexChanged, this, &VantudictWindow::pairChanged);
    connect(m_to, &QComboBox::currentIndexChanged, this, &VantudictWindow::pairChanged);
    connect(m_back, &QPushButton::clicked, this, &VantudictWindow::back);
    connect(m_copy, &QPushButton::clicked, this, &VantudictWindow::copy);
    connect(m_entries, &QTextBrowser::anchorClicked, this, &VantudictWindow::follow);
    m_word->setFocus();
    // Said at once: Chinese and Korean have no dictionary here.
    lookUp();
}

VantudictWindow::~VantudictWindow() = default;

QString VantudictWindow::currentFrom() const
{
    return m_from->currentData().toString();
}

QString VantudictWindow::currentTo() const
{
    return m_to->currentData().toString();
}

void VantudictWindow::pairChanged()
{
    m_settings.from = currentFrom();
    m_settings.to = currentTo();
    lookUp();
}

void VantudictWindow::lookUp()
{
    const QString from = currentFrom(), to = currentTo();
    if (m_word->text().trimmed().isEmpty()) {
        LookupResult r;
        for (const QString& code : {from, to})
            if (code == QLatin1String("zh") || code == QLatin1String("ko"))
                r.notes.append(QStringLiteral("There is no dictionary for %1 here.")
                                   .arg(QLatin1String(dictLanguage(code)->name)));
        if (from == to)
            r.notes = QStringList{QStringLiteral("From and To are the same language.")};
        showResult(r);
        return;
    }
    showResult(m_library.lookup(m_word->text(), from, to));
}

void VantudictWindow::lookUpWithServer()
{
    remember();
    if (m_settings.server.trimmed().isEmpty() || m_word->text().trimmed().isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const LookupResult r =
        m_library.lookup(m_word->text(), currentFrom(), currentTo(), m_settings.server);
    QApplication::restoreOverrideCursor();
    showResult(r);
}

void VantudictWindow::showResult(const LookupResult& result)
{
    m_result = result;
    QStringList notes = result.notes;
    if (result.entries.isEmpty() && !m_word->text().trimmed().isEmpty())
        notes.append(QStringLiteral("No entry for %1.").arg(m_word->text().trimmed()));
    m_notes->setText(notes.join(u'\n'));
    m_notes->setVisible(!notes.isEmpty());
    QString page;
    for (const DictEntry& e : result.entries)
        page += entryHtml(e);
    m_entries->setHtml(page);
    m_copy->setEnabled(!result.entries.isEmpty());
}

QString VantudictWindow::entriesText() const
{
    QStringList parts;
    for (const DictEntry& e : m_result.entries)
        parts.append((e.note.isEmpty() ? QString() : u'(' + e.note + QStringLiteral(")\n")) +
                     formatEntry(e));
    return parts.join(u'\n');
}

void VantudictWindow::copy()
{
    QApplication::clipboard()->setText(entriesText());
}

void VantudictWindow::remember()
{
    const Place here{m_word->text().trimmed(), currentFrom(), currentTo()};
    if (here.word.isEmpty())
        return;
    if (!m_history.isEmpty() && m_history.last().word == here.word &&
        m_history.last().from == here.from && m_history.last().to == here.to)
        return;
    m_history.append(here);
    if (m_history.size() > MaxHistory)
        m_history.removeFirst();
    m_back->setEnabled(m_history.size() > 1);
}

void VantudictWindow::showWord(const QString& word)
{
    remember();
    m_word->setText(word);
    remember();
}

void VantudictWindow::follow(const QUrl& link)
{
    if (link.scheme() != QLatin1String("word"))
        return;
    showWord(QUrlQuery(link).queryItemValue(QStringLiteral("w"), QUrl::FullyDecoded));
}

void VantudictWindow::back()
{
    if (m_history.size() < 2)
        return;
    m_history.removeLast();
    const Place p = m_history.last();
    const QSignalBlocker a(m_from), b(m_to);
    m_from->setCurrentIndex(m_from->findData(p.from));
    m_to->setCurrentIndex(m_to->findData(p.to));
    m_settings.from = p.from;
    m_settings.to = p.to;
    m_word->setText(p.word);
    m_back->setEnabled(m_history.size() > 1);
}

void VantudictWindow::closeEvent(QCloseEvent* event)
{
    try {
        m_settings.save();
    } catch (const std::exception&) {
        // The pair is a convenience: a read-only folder keeps the window closable.
    }
    event->accept();
}

#include "tools/Glyphwell/GlyphwellWindow.h"

#include "platform/ConfigPaths.h"
#include "web/ViewerPage.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>

namespace {
// Tried first for every character, so that Russian, Chinese, Japanese and
// Korean all find their glyphs; other fonts follow through the system's
// own fallback.
const char* const GlyphFont = "WenQuanYi Micro Hei";
const int DefaultTextSize = 12;
} // namespace

GlyphwellWindow::GlyphwellWindow(const QString& pagePath, QWidget* parent)
    : QMainWindow(parent), m_path(pagePath)
{
    setObjectName(QStringLiteral("Glyphwell"));
    setWindowTitle(QFileInfo(pagePath).fileName() + QStringLiteral(" - Glyphwell"));
    resize(640, 480);

    m_page = new QTextBrowser(this);
    m_page->setObjectName(QStringLiteral("Page"));
    m_page->setOpenLinks(false);
    m_page->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setCentralWidget(m_page);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* reloadAction =
        file->addAction(QStringLiteral("&Reload"), this, &GlyphwellWindow::reload);
    reloadAction->setObjectName(QStringLiteral("Reload"));
    reloadAction->setShortcut(QKeySequence::Refresh);
    file->addSeparator();
    QAction* closeAction = file->addAction(QStringLiteral("&Close"), this, &QWidget::close);
    closeAction->setShortcut(QKeySequence::Close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    m_copy = edit->addAction(QStringLiteral("&Copy"), m_page, &QTextEdit::copy);
    m_copy->setObjectName(QStringLiteral("Copy"));
    m_copy->setShortcut(QKeySequence::Copy);
    m_copy->setEnabled(false);
    connect(m_page, &QTextEdit::copyAvailable, m_copy, &QAction::setEnabled);
    QAction* selectAll =
        edit->addAction(QStringLiteral("Select &All"), m_page, &QTextEdit::selectAll);
    selectAll->setObjectName(QStringLiteral("SelectAll"));
    selectAll->setShortcut(QKeySequence::SelectAll);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* larger =
        view->addAction(QStringLiteral("&Larger Text"), this, &GlyphwellWindow::largerText);
    larger->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    QAction* smaller =
        view->addAction(QStringLiteral("&Smaller Text"), this, &GlyphwellWindow::smallerText);
    smaller->setShortcut(QKeySequence::ZoomOut);

    QToolBar* bar = addToolBar(QStringLiteral("Page"));
    bar->setMovable(false);
    bar->addAction(m_copy);
    bar->addSeparator();
    bar->addWidget(new QLabel(QStringLiteral(" Text size: "), bar));
    m_sizeBox = new QComboBox(bar);
    m_sizeBox->setObjectName(QStringLiteral("TextSize"));
    for (int points : textSizes())
        m_sizeBox->addItem(QString::number(points), points);
    bar->addWidget(m_sizeBox);
    connect(m_sizeBox, &QComboBox::activated, this,
            [this](int index) { setTextSize(m_sizeBox->itemData(index).toInt()); });

    m_charsetLabel = new QLabel(this);
    m_charsetLabel->setObjectName(QStringLiteral("Charset"));
    statusBar()->addPermanentWidget(m_charsetLabel);

    setTextSize(DefaultTextSize);
    reload();
}

QString GlyphwellWindow::defaultPagePath()
{
    return QDir(ConfigPaths::workingFolder()).filePath(QStringLiteral("Result.htm"));
}

const QList<int>& GlyphwellWindow::textSizes()
{
    static const QList<int> sizes = {8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 32, 36, 48, 72};
    return sizes;
}

QString GlyphwellWindow::shownText() const
{
    return m_page->toPlainText();
}

int GlyphwellWindow::textSize() const
{
    return m_page->font().pointSize();
}

void GlyphwellWindow::reload()
{
    m_charsetLabel->clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        showProblem(QStringLiteral("The page \"%1\" cannot be opened: %2.\n\nPress Viewer in "
                                   "Tarquell Translator to write it.")
                        .arg(QDir::toNativeSeparators(m_path), file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        showProblem(QStringLiteral("The page \"%1\" cannot be read: %2.")
                        .arg(QDir::toNativeSeparators(m_path), file.errorString()));
        return;
    }
    const ViewerPageContent page = readViewerPage(bytes);
    if (!page.decoded) {
        showProblem(QStringLiteral("The page \"%1\" is written in the character set \"%2\", which "
                                   "Glyphwell cannot read.")
                        .arg(QDir::toNativeSeparators(m_path), page.charset));
        return;
    }
    m_page->setHtml(page.body);
    m_charsetLabel->setText(QStringLiteral("Character set: ") +
                            (page.charset.isEmpty() ? QStringLiteral("UTF-8") : page.charset));
    statusBar()->clearMessage();
}

void GlyphwellWindow::showProblem(const QString& message)
{
    m_page->setPlainText(message);
    statusBar()->showMessage(QStringLiteral("Nothing to show."));
}

void GlyphwellWindow::setTextSize(int points)
{
    QFont font = m_page->font();
    font.setFamilies({font.family(), QString::fromLatin1(GlyphFont)});
    font.setPointSize(points);
    m_page->setFont(font);
    const int index = m_sizeBox->findData(points);
    if (index >= 0)
        m_sizeBox->setCurrentIndex(index);
}

void GlyphwellWindow::largerText()
{
    for (int points : textSizes()) {
        if (points > textSize()) {
            setTextSize(points);
            return;
        }
    }
}

void GlyphwellWindow::smallerText()
{
    const QList<int>& sizes = textSizes();
    for (auto it = sizes.rbegin(); it != sizes.rend(); ++it) {
        if (*it < textSize()) {
            setTextSize(*it);
            return;
        }
    }
}

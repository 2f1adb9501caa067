#include "DocumentFormats.h"

#include "HtmlPage.h"

#include <QRegularExpression>

namespace {
// The text of a file: UTF-8 or UTF-16 by its byte order mark, else UTF-8
// when it is valid UTF-8, else windows-1252.
QString decodeText(const QByteArray& bytes)
{
    return HtmlPage::decode(bytes.toStdString(), std::string(), HtmlPage::Kind::Text);
}

class TextDocument : public DocumentTranslator
{
public:
    QStringList extensions() const override { return {QStringLiteral(".txt")}; }
    QString sampleText(const QByteArray& document) const override { return decodeText(document); }
    Result translate(TranslationEngine& engine, const TranslationMode& mode,
                     const QByteArray& document, const QString& extension) const override
    {
        return {engine.translate(mode, decodeText(document)).toUtf8(),
                QStringLiteral("text/plain; charset=utf-8"), extension};
    }
};

class HtmlDocument : public DocumentTranslator
{
public:
    QStringList extensions() const override
    {
        return {QStringLiteral(".html"), QStringLiteral(".htm")};
    }
    QString sampleText(const QByteArray& document) const override
    {
        return HtmlPage::decode(document.toStdString(), std::string(), HtmlPage::Kind::Html);
    }
    Result translate(TranslationEngine& engine, const TranslationMode& mode,
                     const QByteArray& document, const QString& extension) const override
    {
        QString html = engine.translateHtml(mode, sampleText(document));
        // The translation is written in UTF-8, whatever the page declared.
        static const QRegularExpression declared(
            QStringLiteral("(<meta\\b[^>]*\\bcharset\\s*=\\s*[\"']?)([A-Za-z0-9_:.+-]+)"),
            QRegularExpression::CaseInsensitiveOption);
        html.replace(declared, QStringLiteral("\\1utf-8"));
        return {html.toUtf8(), QStringLiteral("text/html; charset=utf-8"), extension};
    }
};
} // namespace

QString fileExtension(const QString& fileName)
{
    const qsizetype slash =
        std::max(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1) // none, or a name that only begins with a dot
        return {};
    return fileName.mid(dot).toLower();
}

void DocumentFormats::add(std::unique_ptr<DocumentTranslator> translator)
{
    m_translators.push_back(std::move(translator));
}

const DocumentTranslator* DocumentFormats::forFile(const QString& fileName) const
{
    const QString extension = fileExtension(fileName);
    if (extension.isEmpty())
        return nullptr;
    for (const auto& translator : m_translators) {
        if (translator->extensions().contains(extension))
            return translator.get();
    }
    return nullptr;
}

QStringList DocumentFormats::extensions() const
{
    QStringList all;
    for (const auto& translator : m_translators)
        all += translator->extensions();
    return all;
}

DocumentFormats DocumentFormats::standard()
{
    DocumentFormats formats;
    formats.add(std::make_unique<TextDocument>());
    formats.add(std::make_unique<HtmlDocument>());
    return formats;
}

#include "server/documents/DocumentJob.h"

#include "common/DocumentTypes.h"
#include "server/documents/DocumentError.h"
#include "server/engine/TranslationEngine.h"

#include <QFileInfo>
#include <utility>

ApertiumFilters::Context DocumentJob::context() const
{
    ApertiumFilters::Context c;
    c.engine = &engine;
    if (mode)
        c.mode = *mode;
    c.run = &run;
    c.filterTimeout = limits.filterTimeout;
    return c;
}

ApertiumFilters::Context DocumentJob::scratchContext() const
{
    ApertiumFilters::Context c = context();
    c.scratch = dir();
    return c;
}

QList<QByteArray> DocumentJob::translateHtmlParts(const QList<QByteArray>& parts) const
{
    if (!engine.takesHtml(*mode))
        return ApertiumFilters::translate(ApertiumFilters::Filter::Html, parts, context());
    qint64 total = 0;
    for (const QByteArray& part : parts)
        total += part.size();
    QList<QByteArray> out;
    qint64 done = 0;
    for (const QByteArray& part : parts) {
        run.check();
        out << engine.translateHtml(*mode, QString::fromUtf8(part)).toUtf8();
        done += part.size();
        run.progress(done, total);
    }
    run.check();
    return out;
}

std::optional<TranslatedDocument> DocumentJob::detectSource(const QString& text)
{
    const TranslationMode found = detect(text.left(maxChars));
    if (!engine.canTranslate(found))
        throw DocumentError(
            DocumentError::Kind::NoPair,
            QStringLiteral("No translation from %1 to %2 is installed")
                .arg(ServiceLanguages::name(found.source), ServiceLanguages::name(found.target)));
    mode = found;
    detect = nullptr;
    return translateWhole();
}

std::optional<TranslatedDocument> DocumentJob::translateWhole()
{
    if (!mode || !row)
        return std::nullopt;
    std::optional<QByteArray> whole =
        engine.translateFile(*mode, nameWithExtension(fileName, row->extension), original);
    run.check();
    if (!whole)
        return std::nullopt;
    translatedWhole = true;
    return result(std::move(*whole), fileName, *row);
}

QString DocumentJob::nameWithExtension(const QString& fileName, const char* extension)
{
    const QFileInfo info(fileName);
    QString base = info.fileName();
    const QString suffix = info.suffix();
    if (!suffix.isEmpty())
        base.chop(suffix.size() + 1);
    if (base.isEmpty())
        base = QStringLiteral("document");
    return base + QLatin1Char('.') + QLatin1String(extension);
}

TranslatedDocument DocumentJob::result(QByteArray bytes, const QString& fileName,
                                       const DocumentTypes::Type& row)
{
    return {std::move(bytes), nameWithExtension(fileName, row.extension),
            QString::fromLatin1(row.mimeType), QString::fromLatin1(row.extension)};
}

#include "server/documents/OfficeRoute.h"

#include "common/DocumentTypes.h"
#include "server/documents/DocumentError.h"
#include "server/documents/OfficeConverter.h"
#include "server/documents/PackageRoute.h"

#include <QDir>
#include <QFile>

namespace {
void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly) || f.write(bytes) != bytes.size() ||
        !f.flush())
        throw DocumentError(DocumentError::Kind::Failed,
                            QStringLiteral("A temporary file could not be written"));
}

QByteArray readConversion(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw DocumentError(DocumentError::Kind::Failed,
                            QStringLiteral("LibreOffice's conversion could not be read"));
    return f.readAll();
}
} // namespace

TranslatedDocument OfficeRoute::translate(DocumentJob& job, const QByteArray& file,
                                          const QString& fileName, const DocumentTypes::Type& row,
                                          const Settings& settings)
{
    if (!settings.useOffice)
        throw DocumentError(DocumentError::Kind::Unsupported,
                            QStringLiteral("Files of the type .%1 cannot be translated here")
                                .arg(QLatin1String(row.extension)));
    const QString dir = job.dir();
    const QString input = dir + QStringLiteral("/document.") + QLatin1String(row.extension);
    writeFile(input, file);
    QDir(dir).mkdir(QStringLiteral("docx"));
    const QString docxPath = OfficeConverter::convert(
        input, QLatin1String(row.extension), QStringLiteral("docx:MS Word 2007 XML"),
        dir + QStringLiteral("/docx"), settings.profile, job.run, job.limits.officeTimeout);
    const QByteArray docx = readConversion(docxPath);
    const TranslatedDocument translated =
        PackageRoute::translate(job, docx, fileName, DocumentTypes::find(QStringLiteral("docx")));
    // With the text only, a type LibreOffice cannot write, or a document
    // the engine translated whole (its language found in the .docx's text),
    // what came back is the answer.
    if (job.text || !row.writeBack || job.translatedWhole)
        return translated;
    QDir(dir).mkdir(QStringLiteral("translated"));
    QDir(dir).mkdir(QStringLiteral("back"));
    const QString translatedPath = dir + QStringLiteral("/translated/document.docx");
    writeFile(translatedPath, translated.file);
    const QString backPath = OfficeConverter::convert(
        translatedPath, QStringLiteral("docx"), QString::fromLatin1(row.writeBack),
        dir + QStringLiteral("/back"), settings.profile, job.run, job.limits.officeTimeout);
    return DocumentJob::result(readConversion(backPath), fileName, row);
}

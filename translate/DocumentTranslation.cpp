#include "translate/DocumentTranslation.h"

#include "common/DocumentTypes.h"
#include "platform/Errors.h"
#include "service/DocumentClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <sys/stat.h>

namespace DocumentTranslation {
namespace {
QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The path with its last part, the file's name, replaced: the folder stays
// as the user wrote it.
QString withName(const QString& path, const QString& name)
{
    return path.left(path.size() - QFileInfo(path).fileName().size()) + name;
}
} // namespace

QString proposedOutput(const QString& input, const QString& targetCode)
{
    const QFileInfo info(input);
    const QString suffix = info.suffix();
    QString given = DocumentTypes::givenExtension(suffix);
    // A type of the table keeps the letter case the user gave it.
    if (given.compare(suffix, Qt::CaseInsensitive) == 0 || given.isEmpty())
        given = suffix;
    QString base = info.fileName();
    if (!suffix.isEmpty())
        base.chop(suffix.size() + 1);
    return withName(input, base + QLatin1Char('.') + targetCode +
                               (given.isEmpty() ? QString() : QLatin1Char('.') + given));
}

QString withFormat(const QString& output, const QString& format)
{
    if (format.isEmpty() || !format.startsWith(QLatin1Char('.')))
        return output;
    const QFileInfo info(output);
    if (info.fileName().endsWith(format, Qt::CaseInsensitive))
        return output;
    QString name = info.fileName();
    // "report.es.wpd" becomes "report.es.docx"; "report.es" "report.es.docx".
    const QString suffix = info.suffix();
    if (!suffix.isEmpty() && !DocumentTypes::mimeTypeOf(suffix).isEmpty())
        name.chop(suffix.size() + 1);
    return withName(output, name + format);
}

bool sameFile(const QString& existing, const QString& other)
{
    const QFileInfo a(existing);
    const QFileInfo b(other);
    struct stat sa
    {
    };
    struct stat sb
    {
    };
    // Hard links and links of any kind: the same device and inode.
    if (::stat(QFile::encodeName(a.absoluteFilePath()).constData(), &sa) == 0 &&
        ::stat(QFile::encodeName(b.absoluteFilePath()).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    // The other does not exist yet: where it would be.
    const QString folder = b.absoluteDir().canonicalPath();
    const QString canonical = a.canonicalFilePath();
    if (folder.isEmpty() || canonical.isEmpty())
        return QDir::cleanPath(a.absoluteFilePath()) == QDir::cleanPath(b.absoluteFilePath());
    return QDir(folder).filePath(b.fileName()) == canonical;
}

bool isDocument(const QString& path)
{
    const DocumentTypes::Type* type = DocumentTypes::find(QFileInfo(path).suffix());
    return type && type->family != DocumentTypes::Family::Text;
}

void checkType(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    const DocumentTypes::Type* type = DocumentTypes::find(suffix);
    if (type && type->family == DocumentTypes::Family::Pdf)
        throw TarquellError(DocumentTypes::pdfRefusal());
    if (!type)
        throw TarquellError((suffix.isEmpty()
                                 ? QStringLiteral("a file without an extension is not known as a "
                                                  "document")
                                 : QStringLiteral("files of the type .%1 are not translated as "
                                                  "documents")
                                       .arg(suffix)) +
                            QStringLiteral("; these types are: ") +
                            DocumentTypes::supportedExtensions().join(QStringLiteral(", ")));
}

QByteArray readDocument(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TarquellError(
            QStringLiteral("Cannot read %1: %2").arg(native(path), file.errorString()));
    if (file.size() > DocumentClient::MaxUploadBytes)
        throw TarquellError(QStringLiteral("The file is larger than %1 MiB, the most the "
                                           "document service takes")
                                .arg(DocumentClient::MaxUploadBytes / (1024 * 1024)));
    const QByteArray data = file.read(DocumentClient::MaxUploadBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw TarquellError(
            QStringLiteral("Cannot read %1: %2").arg(native(path), file.errorString()));
    if (data.size() > DocumentClient::MaxUploadBytes)
        throw TarquellError(QStringLiteral("The file is larger than %1 MiB, the most the "
                                           "document service takes")
                                .arg(DocumentClient::MaxUploadBytes / (1024 * 1024)));
    return data;
}

void save(const QString& output, const QByteArray& data, const QString& original)
{
    if (sameFile(original, output))
        throw TarquellError(QStringLiteral("The translation would be written over the original "
                                           "document %1; choose another name")
                                .arg(native(output)));
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throw TarquellError(
            QStringLiteral("Cannot write %1: %2").arg(native(output), file.errorString()));
}

QString failure(const QString& input, const QString& reason)
{
    return QStringLiteral("Cannot translate %1: %2").arg(QFileInfo(input).fileName(), reason);
}
} // namespace DocumentTranslation

#include "Conversion.h"

#include "editor/RtfReader.h"
#include "editor/RtfWriter.h"
#include "editor/TextDecoding.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringConverter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QUrl>

namespace Docshift {

namespace {

// Below the window's own bound of 120 s, so that the reason reaches it.
constexpr int OfficeTimeoutMs = 95000;
constexpr int ProfileLockWaitMs = 15000;

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw TarquellError(
            QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)));
    return f.readAll();
}

QByteArray htmlToRtf(const QByteArray& data)
{
    QString html;
    if (auto encoding = QStringConverter::encodingForHtml(data)) {
        QStringDecoder decoder(*encoding);
        html = decoder(data);
    } else {
        html = TextDecoding::decode(data);
    }
    QTextDocument doc;
    doc.setHtml(html);
    return Rtf::write(doc);
}

QByteArray textToRtf(const QByteArray& data)
{
    QTextDocument doc;
    doc.setPlainText(TextDecoding::decode(data));
    return Rtf::write(doc);
}

QByteArray throughOffice(const QString& path)
{
    const QString soffice = officeProgram();
    if (soffice.isEmpty())
        throw TarquellError(QStringLiteral(
            "LibreOffice Writer is needed to convert this document and is not installed"));
    const QString profile = officeProfile();
    QDir().mkpath(profile);
    // One conversion at a time per profile: a second soffice on the same
    // profile would hand its work to the first and end at once.
    QLockFile lock(profile + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(ProfileLockWaitMs))
        throw TarquellError(QStringLiteral("another conversion is still running"));

    QTemporaryDir out;
    if (!out.isValid())
        throw TarquellError(QStringLiteral("no temporary folder for the conversion"));
    QProcess office;
    office.setProcessChannelMode(QProcess::MergedChannels);
    office.start(soffice, {QStringLiteral("-env:UserInstallation=") +
                               QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded),
                           QStringLiteral("--headless"), QStringLiteral("--invisible"),
                           QStringLiteral("--norestore"), QStringLiteral("--nologo"),
                           QStringLiteral("--nolockcheck"), QStringLiteral("--convert-to"),
                           QStringLiteral("rtf"), QStringLiteral("--outdir"), out.path(), path});
    if (!office.waitForStarted())
        throw TarquellError(QStringLiteral("LibreOffice could not be started (%1)").arg(soffice));
    if (!office.waitForFinished(OfficeTimeoutMs)) {
        office.kill();
        office.waitForFinished();
        throw TarquellError(QStringLiteral("LibreOffice did not finish within %1 seconds")
                                .arg(OfficeTimeoutMs / 1000));
    }
    const QString result =
        QDir(out.path()).filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".rtf"));
    if (!QFileInfo::exists(result)) {
        // soffice reports a document it cannot load on its output, not in
        // its exit code.
        QString said = QString::fromLocal8Bit(office.readAll()).trimmed();
        const qsizetype nl = said.lastIndexOf(QLatin1Char('\n'));
        if (nl >= 0)
            said = said.mid(nl + 1);
        throw TarquellError(
            QStringLiteral("LibreOffice could not convert the document") +
            (said.isEmpty() ? QString() : QStringLiteral(" (") + said + QLatin1Char(')')));
    }
    return readFile(result);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw TarquellError(
            QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(path)));
}

} // namespace

QString officeProgram()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (found.isEmpty() &&
        QFileInfo(QStringLiteral("/usr/lib/libreoffice/program/soffice")).isExecutable())
        found = QStringLiteral("/usr/lib/libreoffice/program/soffice");
    return found;
}

QString officeProfile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/TarquellTranslator/docshift-libreoffice");
}

QByteArray toRtf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        throw TarquellError(
            QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)));
    const QString ext = info.suffix().toLower();
    if (ext == QLatin1StringView("htm") || ext == QLatin1StringView("html") ||
        ext == QLatin1StringView("xhtml"))
        return htmlToRtf(readFile(path));
    if (ext == QLatin1StringView("txt") || ext == QLatin1StringView("text"))
        return textToRtf(readFile(path));
    if (ext == QLatin1StringView("rtf")) {
        const QByteArray data = readFile(path);
        return Rtf::looksLikeRtf(data) ? data : textToRtf(data);
    }
    return throughOffice(info.absoluteFilePath());
}

int run(const QString& argument, const QString& folder)
{
    // The window passes the path as one argument; a path that came through
    // a shell with its quotes still on works too.
    QString path = argument;
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"')))
        path = path.mid(1, path.size() - 2);
    const QDir dir(folder);
    const QString result = dir.filePath(QStringLiteral("Result.rtf"));
    const QString error = dir.filePath(QStringLiteral("Result.err"));
    const QString marker = dir.filePath(QStringLiteral("Result.000"));
    QFile::remove(error);

    int code = 0;
    try {
        if (path.isEmpty())
            throw TarquellError(QStringLiteral("no document was named"));
        writeFile(result, toRtf(path));
    } catch (const TarquellError& e) {
        QFile::remove(result);
        // Whole or not at all: the window may read it as soon as it exists.
        QSaveFile f(error);
        if (f.open(QIODevice::WriteOnly)) {
            f.write(e.message().toUtf8());
            f.commit();
        }
        code = 1;
    }
    // The marker comes last: the window reads the result once it exists.
    QFile m(marker);
    if (!m.open(QIODevice::WriteOnly))
        return 2;
    return code;
}

} // namespace Docshift

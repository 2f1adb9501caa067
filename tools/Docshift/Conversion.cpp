#include "Conversion.h"

#include "editor/RtfReader.h"
#include "editor/RtfWriter.h"
#include "editor/TextDecoding.h"
#include "platform/DocumentSniff.h"
#include "platform/Errors.h"
#include "platform/OfficeLaunch.h"

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
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

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

// Qt's HTML importer would read the images and style sheets a page names
// from this machine's files: a document opened here loads nothing it links
// to, only what it carries inline (data: addresses).
class SealedDocument : public QTextDocument
{
protected:
    QVariant loadResource(int type, const QUrl& name) override
    {
        if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
            return QTextDocument::loadResource(type, name);
        return {};
    }
};

QByteArray htmlToRtf(const QByteArray& data)
{
    QString html;
    if (auto encoding = QStringConverter::encodingForHtml(data)) {
        QStringDecoder decoder(*encoding);
        html = decoder(data);
    } else {
        html = TextDecoding::decode(data);
    }
    SealedDocument doc;
    doc.setHtml(html);
    return Rtf::write(doc);
}

QByteArray textToRtf(const QByteArray& data)
{
    QTextDocument doc;
    doc.setPlainText(TextDecoding::decode(data));
    return Rtf::write(doc);
}

QByteArray throughOffice(const QString& path, const QString& filter)
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
    if (!OfficeLaunch::prepareProfile(profile))
        throw TarquellError(QStringLiteral("LibreOffice's settings could not be written"));

    QTemporaryDir out;
    if (!out.isValid())
        throw TarquellError(QStringLiteral("no temporary folder for the conversion"));
    const OfficeLaunch::Command command = OfficeLaunch::convertCommand(
        soffice, profile, filter, QStringLiteral("rtf"), out.path(), path);
    QProcess office;
    office.setProcessChannelMode(QProcess::MergedChannels);
    // A process group of its own, so that its helpers (oosplash,
    // soffice.bin) end with it.
    office.setChildProcessModifier([] { ::setpgid(0, 0); });
    office.start(command.program, command.arguments);
    if (!office.waitForStarted())
        throw TarquellError(QStringLiteral("LibreOffice could not be started"));
    const qint64 group = office.processId();
    const bool finished = office.waitForFinished(OfficeTimeoutMs);
    if (group > 0)
        ::kill(static_cast<pid_t>(-group), SIGKILL);
    if (!finished) {
        office.waitForFinished();
        throw TarquellError(QStringLiteral("LibreOffice did not finish within %1 seconds")
                                .arg(OfficeTimeoutMs / 1000));
    }
    const QString result =
        QDir(out.path()).filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".rtf"));
    if (!QFileInfo::exists(result)) {
        // soffice reports a document it cannot load on its output, not in
        // its exit code; what it says names files and its process.
        throw TarquellError(OfficeLaunch::failureReason(office.readAll()));
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
    return OfficeLaunch::program();
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
    if (ext == QLatin1StringView("txt") || ext == QLatin1StringView("text"))
        return textToRtf(readFile(path));
    const bool page = ext == QLatin1StringView("htm") || ext == QLatin1StringView("html") ||
                      ext == QLatin1StringView("xhtml");
    const QString filter = OfficeLaunch::inputFilter(ext);
    if (!page && ext != QLatin1StringView("rtf") && filter.isEmpty())
        throw TarquellError(QStringLiteral("Files of the type .%1 cannot be opened").arg(ext));

    // What the file holds decides, not its name: LibreOffice reads a web
    // page named .doc as a page, and fetches what it links to.
    const QByteArray data = readFile(path);
    const DocumentSniff::Kind kind = DocumentSniff::sniff(data);
    QString real = ext;
    if (!DocumentSniff::fits(kind, ext)) {
        real = DocumentSniff::extensionOf(kind);
        if (ext == QLatin1StringView("rtf") && kind == DocumentSniff::Kind::Unknown)
            return textToRtf(data); // plain text saved as .rtf
        if (real.isEmpty() ||
            (real != QLatin1StringView("html") && real != QLatin1StringView("rtf") &&
             OfficeLaunch::inputFilter(real).isEmpty()))
            throw TarquellError(QStringLiteral("The file is named .%1 but it is %2")
                                    .arg(ext, DocumentSniff::describe(kind)));
    }
    if (real == QLatin1StringView("html") || (page && real == ext))
        return htmlToRtf(data);
    if (real == QLatin1StringView("rtf"))
        return data;
    return throughOffice(info.absoluteFilePath(), OfficeLaunch::inputFilter(real));
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

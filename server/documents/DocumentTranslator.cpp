#include "server/documents/DocumentTranslator.h"

#include "common/DocumentTypes.h"
#include "platform/DocumentSniff.h"
#include "server/documents/DocumentError.h"
#include "server/documents/OfficeRoute.h"
#include "server/documents/PackageRoute.h"
#include "server/documents/TextRoutes.h"
#include "server/engine/ServiceFault.h"
#include "server/engine/TranslationEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <memory>
#include <optional>
#include <unistd.h>
#include <utility>

namespace {
using Family = DocumentTypes::Family;
using FormatRow = DocumentTypes::Type;

const FormatRow* rowFor(const QString& extension)
{
    return DocumentTypes::find(extension);
}

const FormatRow* rowFor(const char* extension)
{
    return rowFor(QString::fromLatin1(extension));
}

bool isZip(const QByteArray& data)
{
    return data.startsWith("PK\x03\x04") || data.startsWith("PK\x05\x06");
}

// Word 97-2003 and the other OLE compound files; an encrypted Office 2007
// file is one of these holding an "EncryptedPackage" stream.
bool isCompoundFile(const QByteArray& data)
{
    return data.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
}

bool holdsEncryptedPackage(const QByteArray& data)
{
    static const QByteArray name =
        QByteArray::fromRawData("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    return data.contains(name);
}

// "an RTF document", "a Write document".
QString withArticle(const QString& label)
{
    const bool vowel =
        QStringLiteral("AEIOU").contains(label.left(1)) || label.startsWith(QLatin1String("RTF"));
    return (vowel ? QStringLiteral("an ") : QStringLiteral("a ")) + label;
}

// Stale working folders: "tarquell-documents-<pid>-..." of a process that
// is gone.
void removeStale(const QString& parent)
{
    const QDir dir(parent);
    static const QRegularExpression own(QStringLiteral("^tarquell-documents-([0-9]+)-"));
    const QStringList names = dir.entryList({QStringLiteral("tarquell-documents-*")},
                                            QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = own.match(name);
        if (!m.hasMatch())
            continue;
        const pid_t pid = static_cast<pid_t>(m.captured(1).toLongLong());
        const QFileInfo info(dir.filePath(name));
        if (pid <= 0 || info.ownerId() != ::getuid())
            continue;
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            QDir(info.filePath()).removeRecursively();
    }
}
} // namespace

// One translation (or text extraction) of one document.
class DocumentTranslator::Job
{
public:
    Job(DocumentTranslator& owner, const DocumentControl& control, qint64 size)
        : m_owner(owner), m_run(control, owner.m_options.limits.timeFor(size), &owner.m_stopping,
                                &owner.m_options.limits)
    {
        std::lock_guard lock(owner.m_mutex);
        ++owner.m_running;
    }
    ~Job()
    {
        m_dir.reset();
        std::lock_guard lock(m_owner.m_mutex);
        if (--m_owner.m_running == 0)
            m_owner.m_idle.notify_all();
    }

    const DocumentRun& run() const { return m_run; }
    const DocumentLimits& limits() const { return m_owner.m_options.limits; }

    // This job's private working folder, removed when the job ends.
    QString dir()
    {
        if (!m_dir) {
            m_dir = std::make_unique<QTemporaryDir>(m_owner.scratchRoot() +
                                                    QStringLiteral("/job-XXXXXX"));
            if (!m_dir->isValid())
                throw DocumentError(DocumentError::Kind::Failed,
                                    QStringLiteral("No working folder could be made for the "
                                                   "document"));
        }
        return m_dir->path();
    }

private:
    DocumentTranslator& m_owner;
    DocumentRun m_run;
    std::unique_ptr<QTemporaryDir> m_dir;
};

DocumentTranslator::DocumentTranslator(TranslationEngine& engine)
    : DocumentTranslator(engine, Options{})
{
}

DocumentTranslator::DocumentTranslator(TranslationEngine& engine, const Options& options)
    : m_engine(engine), m_options(options)
{
    if (m_options.scratchParent.isEmpty())
        m_options.scratchParent = QDir::tempPath();
    if (m_options.officeProfile.isEmpty())
        m_options.officeProfile =
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
            QStringLiteral("/TarquellTranslator/service-libreoffice");
    removeStale(m_options.scratchParent);
}

DocumentTranslator::~DocumentTranslator()
{
    cancelAll();
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_running == 0; });
    if (!m_scratchRoot.isEmpty())
        QDir(m_scratchRoot).removeRecursively();
}

void DocumentTranslator::cancelAll()
{
    m_stopping = true;
}

QString DocumentTranslator::scratchRoot()
{
    std::lock_guard lock(m_mutex);
    if (m_scratchRoot.isEmpty()) {
        const QString root = QDir(m_options.scratchParent)
                                 .filePath(QStringLiteral("tarquell-documents-%1-%2")
                                               .arg(::getpid())
                                               .arg(QString::fromLatin1(DocumentStreams::nonce())));
        if (!QDir().mkpath(root))
            throw DocumentError(DocumentError::Kind::Failed,
                                QStringLiteral("No working folder could be made in %1")
                                    .arg(m_options.scratchParent));
        QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_scratchRoot = root;
    }
    return m_scratchRoot;
}

QStringList DocumentTranslator::supportedExtensions()
{
    return DocumentTypes::supportedExtensions();
}

QString DocumentTranslator::mimeTypeOf(const QString& extension)
{
    return DocumentTypes::mimeTypeOf(extension);
}

TranslatedDocument DocumentTranslator::translate(const QByteArray& file, const QString& fileName,
                                                 const TranslationMode& mode,
                                                 const DocumentControl& control)
{
    if (!m_engine.canTranslate(mode))
        throw DocumentError(
            DocumentError::Kind::NoPair,
            QStringLiteral("No translation from %1 to %2 is installed")
                .arg(ServiceLanguages::name(mode.source), ServiceLanguages::name(mode.target)));
    return run(file, fileName, {&mode, nullptr, nullptr, 0}, control);
}

TranslatedDocument DocumentTranslator::translate(const QByteArray& file, const QString& fileName,
                                                 const DocumentJob::SourceDetector& detect,
                                                 const DocumentControl& control, qsizetype maxChars)
{
    return run(file, fileName, {nullptr, detect, nullptr, maxChars}, control);
}

QString DocumentTranslator::detectText(const QByteArray& file, const QString& fileName,
                                       qsizetype maxChars, const DocumentControl& control)
{
    QString text;
    run(file, fileName, {nullptr, nullptr, &text, maxChars}, control);
    return text;
}

TranslatedDocument DocumentTranslator::run(const QByteArray& file, const QString& fileName,
                                           const Wanted& wanted, const DocumentControl& control)
{
    const DocumentLimits& limits = m_options.limits;
    if (file.size() > limits.uploadBytes)
        throw DocumentError(DocumentError::Kind::TooLarge,
                            QStringLiteral("The file is %1 MiB; files of at most %2 MiB are "
                                           "translated")
                                .arg(file.size() / (1024 * 1024))
                                .arg(limits.uploadBytes / (1024 * 1024)));
    Job job(*this, control, file.size());
    job.run().check();

    const QString extension = QFileInfo(fileName).suffix().toLower();
    const FormatRow* row = rowFor(extension);
    // The content decides the family, not the name: LibreOffice, given a
    // web page called .doc, would read it as a page and fetch what it
    // links to.
    const DocumentSniff::Kind kind = DocumentSniff::sniff(file);
    const bool toOffice = row && row->family == Family::Office;
    if (isZip(file)) {
        // The archive's content says what it is, whatever its name.
        if (!row || row->family == Family::Html || row->family == Family::Text ||
            row->family == Family::Subtitles || row->family == Family::Office)
            row = nullptr;
    } else if (isCompoundFile(file) && holdsEncryptedPackage(file)) {
        throw DocumentError(DocumentError::Kind::Refused,
                            QStringLiteral("The document is encrypted (password-protected); "
                                           "remove the password and try again"));
    } else if (kind == DocumentSniff::Kind::WordBinary) {
        // A Word 97-2003 file, whatever it is called.
        if (!toOffice || !DocumentSniff::fits(kind, extension))
            row = rowFor("doc");
    } else if (file.startsWith("%PDF")) {
        row = rowFor("pdf");
    } else if (kind == DocumentSniff::Kind::Rtf || kind == DocumentSniff::Kind::Write ||
               kind == DocumentSniff::Kind::WordPerfect || kind == DocumentSniff::Kind::FlatOdf) {
        // Sent the way of its real type, with that type's filter.
        row = rowFor(DocumentSniff::extensionOf(kind));
    } else if (kind == DocumentSniff::Kind::Html && (!row || toOffice)) {
        // A page is translated as a page, which loads nothing it links to.
        row = rowFor("html");
    } else if (toOffice && !DocumentSniff::fits(kind, extension)) {
        throw DocumentError(
            DocumentError::Kind::Refused,
            QStringLiteral("The file is named .%1 but is not %2: it is %3; save it under its "
                           "own type and try again")
                .arg(extension, withArticle(QString::fromLatin1(row->label)),
                     DocumentSniff::describe(kind)));
    }
    if (row && row->family == Family::Pdf)
        throw DocumentError(DocumentError::Kind::Unsupported, DocumentTypes::pdfRefusal());
    if (!row && !isZip(file))
        throw DocumentError(
            DocumentError::Kind::Unsupported,
            (extension.isEmpty()
                 ? QStringLiteral("The type of this file is not known")
                 : QStringLiteral("Files of the type .%1 cannot be translated").arg(extension)) +
                QStringLiteral("; documents of these types can: ") +
                supportedExtensions().join(QStringLiteral(", ")));

    DocumentJob work{m_engine,
                     limits,
                     job.run(),
                     wanted.mode ? std::optional<TranslationMode>(*wanted.mode) : std::nullopt,
                     wanted.text,
                     wanted.maxChars,
                     [&job] { return job.dir(); },
                     wanted.detect,
                     file,
                     fileName,
                     row};
    try {
        // An engine that translates files of this type itself (a server's
        // own document translation) gets the file whole. (Where the source
        // language is still to be found, once the text has been read.)
        if (std::optional<TranslatedDocument> whole = work.translateWhole())
            return std::move(*whole);
        if (!row)
            return PackageRoute::translate(work, file, fileName, nullptr);
        switch (row->family) {
        case Family::Word:
        case Family::Slides:
        case Family::Sheet:
        case Family::OpenDocument:
        case Family::Epub:
            if (!isZip(file))
                throw DocumentError(DocumentError::Kind::Refused,
                                    QStringLiteral("The file is not a valid %1: it is not a zip "
                                                   "archive")
                                        .arg(QString::fromLatin1(row->label)));
            return PackageRoute::translate(work, file, fileName, row);
        case Family::Html:
            return TextRoutes::html(work, file, fileName, *row);
        case Family::Text:
            return TextRoutes::plain(work, file, fileName, *row);
        case Family::Subtitles:
            return TextRoutes::subtitles(work, file, fileName, *row);
        case Family::Office:
            return OfficeRoute::translate(work, file, fileName, *row,
                                          {m_options.useOffice, m_options.officeProfile});
        case Family::Pdf:
            break;
        }
        throw DocumentError(DocumentError::Kind::Unsupported,
                            QStringLiteral("This file cannot be translated"));
    } catch (const DocumentError&) {
        throw;
    } catch (const TarquellError& e) {
        // The engine's faults (a pipeline that failed, a pair that went).
        job.run().check();
        throw DocumentError(
            DocumentError::Kind::Failed,
            QStringLiteral("The document could not be translated: %1").arg(e.message()));
    } catch (const std::bad_alloc&) {
        throw DocumentError(DocumentError::Kind::TooLarge,
                            QStringLiteral("The document is too large to be translated"));
    }
}

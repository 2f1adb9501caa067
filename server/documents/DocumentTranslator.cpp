#include "server/documents/DocumentTranslator.h"

#include "common/DocumentTypes.h"
#include "server/documents/ApertiumFilters.h"
#include "server/documents/DocumentError.h"
#include "server/documents/OfficeConverter.h"
#include "server/documents/XmlGuard.h"
#include "server/documents/ZipPackage.h"
#include "server/engine/HtmlPage.h"
#include "server/engine/ServiceFault.h"
#include "server/engine/TranslationEngine.h"
#include "platform/DocumentSniff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <memory>
#include <optional>
#include <unistd.h>
#include <utility>

using Filter = ApertiumFilters::Filter;

namespace {
using Route = DocumentTypes::Route;
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

const QRegularExpression& partsOf(Route route)
{
    static const QRegularExpression word(QStringLiteral(
        "^word/(document|footnotes|endnotes|comments|header[0-9]*|footer[0-9]*)\\.xml$"));
    static const QRegularExpression slides(
        QStringLiteral("^ppt/(slides/slide[0-9]+|notesSlides/notesSlide[0-9]+)\\.xml$"));
    // Cells hold their text in the shared strings (or, written by some
    // programs, inline in the sheet: see inlineStrings); comments have
    // their own parts. Numbers and formulas are elsewhere.
    static const QRegularExpression sheet(
        QStringLiteral("^xl/(sharedStrings|comments[0-9]*|worksheets/sheet[0-9]+)\\.xml$"));
    static const QRegularExpression odf(QStringLiteral("^(content|styles)\\.xml$"));
    static const QRegularExpression epub(QStringLiteral("\\.(xhtml|html|htm|ncx)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    switch (route) {
    case Route::Word:
        return word;
    case Route::Slides:
        return slides;
    case Route::Sheet:
        return sheet;
    case Route::OpenDocument:
        return odf;
    default:
        return epub;
    }
}

Filter filterOf(Route route)
{
    switch (route) {
    case Route::Word:
        return Filter::Wxml;
    case Route::Slides:
        return Filter::Pptx;
    case Route::Sheet:
        return Filter::Xlsx;
    case Route::OpenDocument:
        return Filter::Odt;
    default:
        return Filter::Html;
    }
}

// "an RTF document", "a Write document".
QString withArticle(const QString& label)
{
    const bool vowel =
        QStringLiteral("AEIOU").contains(label.left(1)) || label.startsWith(QLatin1String("RTF"));
    return (vowel ? QStringLiteral("an ") : QStringLiteral("a ")) + label;
}

bool validUtf8(const QByteArray& data)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(data); // (decoding is lazy until converted)
    return !decoder.hasError();
}

// The document's text and how to write it back: its byte order mark (if
// any) and encoding.
struct DecodedText
{
    QString text;
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    bool bom = false;
};

DecodedText decodeText(const QByteArray& data, HtmlPage::Kind kind)
{
    DecodedText decoded;
    if (auto bomEncoding = QStringConverter::encodingForData(data)) {
        decoded.encoding = *bomEncoding;
        decoded.bom = data.startsWith("\xEF\xBB\xBF") || decoded.encoding != QStringConverter::Utf8;
        QStringDecoder decoder(*bomEncoding, QStringConverter::Flag::Default);
        decoded.text = decoder.decode(data);
        if (decoded.encoding != QStringConverter::Utf8 &&
            decoded.encoding != QStringConverter::Utf16LE &&
            decoded.encoding != QStringConverter::Utf16BE)
            decoded.encoding = QStringConverter::Utf8;
        if (!decoded.text.isEmpty() && decoded.text.front() == QChar(0xFEFF))
            decoded.text.remove(0, 1);
        return decoded;
    }
    decoded.text = HtmlPage::decode(data.toStdString(), std::string(), kind);
    // Text that was in another code page comes back as UTF-8 with a byte
    // order mark, so that editors know it.
    decoded.bom = kind == HtmlPage::Kind::Text && !validUtf8(data);
    return decoded;
}

QByteArray encodeText(const DecodedText& how, const QString& text)
{
    QStringEncoder encoder(how.encoding, how.bom ? QStringConverter::Flag::WriteBom
                                                 : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

// The translation is written in UTF-8, whatever the page declared (a page
// in ASCII declared as ISO-8859-1 gets letters beyond ASCII now): its
// charset declarations, in a meta element or the XML declaration, must say
// so.
QString declareUtf8(const QString& html)
{
    static const QRegularExpression declared(
        QStringLiteral("(<meta\\b[^>]*?charset\\s*=\\s*[\"']?|"
                       "^\\s*<\\?xml\\b[^>]*?encoding\\s*=\\s*[\"'])([A-Za-z0-9_.:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    QString out = html;
    qsizetype from = 0;
    for (;;) {
        const QRegularExpressionMatch m = declared.match(out, from);
        if (!m.hasMatch())
            break;
        out.replace(m.capturedStart(2), m.capturedLength(2), QStringLiteral("utf-8"));
        from = m.capturedStart(2) + 5;
    }
    // A page that declared nothing and has letters beyond ASCII now would
    // be read in the browser's guess: it says UTF-8 (XML needs nothing).
    const bool ascii =
        std::all_of(out.cbegin(), out.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (from > 0 || ascii || out.trimmed().startsWith(QLatin1String("<?xml")))
        return out;
    static const QRegularExpression head(QStringLiteral("<head\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression root(QStringLiteral("<html\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = head.match(out); m.hasMatch())
        out.insert(m.capturedEnd(), QStringLiteral("<meta charset=\"utf-8\">"));
    else if (const QRegularExpressionMatch r = root.match(out); r.hasMatch())
        out.insert(r.capturedEnd(), QStringLiteral("<head><meta charset=\"utf-8\"></head>"));
    else
        out.prepend(QChar(0xFEFF)); // a fragment: the byte order mark says it
    return out;
}

std::chrono::milliseconds officeCap(const DocumentLimits& limits)
{
    return limits.officeTimeout;
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
        : m_owner(owner), m_run(control, owner.m_options.limits.timeFor(size), &owner.m_stopping)
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

    ApertiumFilters::Context context(const TranslationMode* mode)
    {
        ApertiumFilters::Context c;
        c.engine = &m_owner.m_engine;
        if (mode)
            c.mode = *mode;
        c.run = &m_run;
        c.filterTimeout = limits().filterTimeout;
        return c;
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
    return run(file, fileName, &mode, nullptr, 0, control);
}

QString DocumentTranslator::detectText(const QByteArray& file, const QString& fileName,
                                       qsizetype maxChars, const DocumentControl& control)
{
    QString text;
    run(file, fileName, nullptr, &text, maxChars, control);
    return text;
}

namespace {
// What the routes share: the job, the mode (none when only the text is
// wanted) and where the text goes then.
struct Work
{
    DocumentTranslator::Options options;
    const TranslationMode* mode;
    QString* text;
    qsizetype maxChars;
};

QString nameWithExtension(const QString& fileName, const char* extension)
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

TranslatedDocument result(QByteArray bytes, const QString& fileName, const FormatRow& row)
{
    return {std::move(bytes), nameWithExtension(fileName, row.extension),
            QString::fromLatin1(row.mimeType), QString::fromLatin1(row.extension)};
}
} // namespace

TranslatedDocument DocumentTranslator::run(const QByteArray& file, const QString& fileName,
                                           const TranslationMode* mode, QString* text,
                                           qsizetype maxChars, const DocumentControl& control)
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
    // The content decides the route, not the name: LibreOffice, given a
    // web page called .doc, would read it as a page and fetch what it
    // links to.
    const DocumentSniff::Kind kind = DocumentSniff::sniff(file);
    const bool toOffice = row && row->route == Route::Office;
    if (isZip(file)) {
        // The archive's content says what it is, whatever its name.
        if (!row || row->route == Route::Html || row->route == Route::Text ||
            row->route == Route::Subtitles || row->route == Route::Office)
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
        // A page goes by the page route, which loads nothing it links to.
        row = rowFor("html");
    } else if (toOffice && !DocumentSniff::fits(kind, extension)) {
        throw DocumentError(
            DocumentError::Kind::Refused,
            QStringLiteral("The file is named .%1 but is not %2: it is %3; save it under its "
                           "own type and try again")
                .arg(extension, withArticle(QString::fromLatin1(row->label)),
                     DocumentSniff::describe(kind)));
    }
    if (row && row->route == Route::Pdf)
        throw DocumentError(DocumentError::Kind::Unsupported, DocumentTypes::pdfRefusal());
    if (!row && !isZip(file))
        throw DocumentError(
            DocumentError::Kind::Unsupported,
            (extension.isEmpty()
                 ? QStringLiteral("The type of this file is not known")
                 : QStringLiteral("Files of the type .%1 cannot be translated").arg(extension)) +
                QStringLiteral("; documents of these types can: ") +
                supportedExtensions().join(QStringLiteral(", ")));

    const Work work{m_options, mode, text, maxChars};
    try {
        // An engine that translates files of this type itself (a server's
        // own document translation) gets the file whole.
        if (mode && row) {
            std::optional<QByteArray> whole =
                m_engine.translateFile(*mode, nameWithExtension(fileName, row->extension), file);
            job.run().check();
            if (whole)
                return result(std::move(*whole), fileName, *row);
        }
        // Each route below; they share Job for time, cancel and folders.
        struct Routes
        {
            Job& job;
            const Work& work;
            TranslationEngine& engine;

            ApertiumFilters::Context context() { return job.context(work.mode); }

            // HTML parts (a page, a book's chapters): through the engine's
            // own HTML translation where it does better than the filters
            // (a server that takes HTML), else through the filters here,
            // which the run's clock and cancel reach between pieces.
            QList<QByteArray> translateHtmlParts(const QList<QByteArray>& parts)
            {
                if (!engine.takesHtml(*work.mode))
                    return ApertiumFilters::translate(Filter::Html, parts, context());
                qint64 total = 0;
                for (const QByteArray& part : parts)
                    total += part.size();
                QList<QByteArray> out;
                qint64 done = 0;
                for (const QByteArray& part : parts) {
                    job.run().check();
                    out << engine.translateHtml(*work.mode, QString::fromUtf8(part)).toUtf8();
                    done += part.size();
                    job.run().progress(done, total);
                }
                job.run().check();
                return out;
            }

            TranslatedDocument package(const QByteArray& file, const QString& fileName,
                                       const FormatRow* row)
            {
                const QString label =
                    row ? QString::fromLatin1(row->label) : QStringLiteral("document");
                ZipPackage zip(file, job.limits(), label);
                // What the archive is, by the parts it holds.
                Route route;
                const FormatRow* given = row;
                QByteArray mimetype;
                if (zip.indexOf("mimetype") >= 0) {
                    mimetype = zip.read("mimetype").trimmed();
                }
                if (zip.indexOf("word/document.xml") >= 0) {
                    route = Route::Word;
                } else if (zip.indexOf("ppt/presentation.xml") >= 0) {
                    route = Route::Slides;
                } else if (zip.indexOf("xl/workbook.xml") >= 0) {
                    route = Route::Sheet;
                } else if (mimetype == "application/epub+zip") {
                    route = Route::Epub;
                } else if (mimetype.startsWith("application/vnd.oasis.opendocument.") &&
                           zip.indexOf("content.xml") >= 0) {
                    route = Route::OpenDocument;
                } else {
                    throw DocumentError(
                        DocumentError::Kind::Unsupported,
                        QStringLiteral("The file is a zip archive, but not a document that "
                                       "can be translated"));
                }
                if (!given || given->route != route) {
                    given = nullptr;
                    for (const FormatRow& r : DocumentTypes::all()) {
                        if (r.route != route)
                            continue;
                        if (route != Route::OpenDocument || mimetype == r.mimeType) {
                            given = &r;
                            break;
                        }
                    }
                    if (!given)
                        throw DocumentError(DocumentError::Kind::Unsupported,
                                            QStringLiteral("OpenDocument files of the type %1 "
                                                           "cannot be translated")
                                                .arg(QString::fromUtf8(mimetype.left(100))));
                }
                const QString what = QString::fromLatin1(given->label);
                const auto refuse = [&](const QString& why) {
                    throw DocumentError(
                        DocumentError::Kind::Refused,
                        QStringLiteral("The file is not a valid %1: %2").arg(what, why));
                };
                if (route == Route::OpenDocument || route == Route::Epub) {
                    if (zip.indexOf("META-INF/manifest.xml") >= 0 &&
                        zip.read("META-INF/manifest.xml").contains("encryption-data"))
                        throw DocumentError(DocumentError::Kind::Refused,
                                            QStringLiteral("The %1 is encrypted "
                                                           "(password-protected); remove the "
                                                           "password and try again")
                                                .arg(what));
                }

                QList<qsizetype> indexes;
                QList<QByteArray> parts;
                const QRegularExpression& pattern = partsOf(route);
                for (qsizetype i = 0; i < zip.entries().size(); ++i) {
                    const QString name = QString::fromUtf8(zip.entries()[i].name);
                    if (!pattern.match(name).hasMatch())
                        continue;
                    job.run().check();
                    QByteArray part = zip.read(i);
                    // A sheet only when it holds text of its own.
                    if (route == Route::Sheet && name.startsWith(QLatin1String("xl/worksheets/")) &&
                        !part.contains("inlineStr"))
                        continue;
                    const QString problem =
                        XmlGuard::problem(part, job.limits().xmlDepth, route == Route::Epub);
                    if (!problem.isEmpty())
                        refuse(QStringLiteral("its part \"%1\": %2").arg(name, problem));
                    if (route == Route::Epub)
                        part = HtmlPage::spellOutLetters(QString::fromUtf8(part)).toUtf8();
                    indexes << i;
                    parts << part;
                }
                if (route == Route::Epub) {
                    // A book whose chapters are locked by DRM cannot be read.
                    if (zip.indexOf("META-INF/encryption.xml") >= 0) {
                        const QByteArray enc = zip.read("META-INF/encryption.xml");
                        for (qsizetype i : std::as_const(indexes)) {
                            if (enc.contains("URI=\"" + zip.entries()[i].name + '"'))
                                throw DocumentError(
                                    DocumentError::Kind::Refused,
                                    QStringLiteral("The EPUB book is protected by DRM, so its "
                                                   "chapters cannot be read"));
                        }
                    }
                }
                if (parts.isEmpty() && route == Route::Word)
                    refuse(QStringLiteral("it has no text part"));

                if (work.text) {
                    QString& out = *work.text;
                    for (const QByteArray& part : std::as_const(parts)) {
                        if (out.size() >= work.maxChars)
                            break;
                        out += XmlGuard::text(part, work.maxChars - out.size());
                        out += QLatin1Char(' ');
                    }
                    out = out.left(work.maxChars);
                    return {};
                }

                const QList<QByteArray> translated =
                    route == Route::Epub
                        ? translateHtmlParts(parts)
                        : ApertiumFilters::translate(filterOf(route), parts, scratchContext());
                for (qsizetype k = 0; k < indexes.size(); ++k) {
                    const QString name = QString::fromUtf8(zip.entries()[indexes[k]].name);
                    const QString problem = XmlGuard::problem(translated[k], job.limits().xmlDepth,
                                                              route == Route::Epub);
                    if (!problem.isEmpty())
                        throw DocumentError(DocumentError::Kind::Failed,
                                            QStringLiteral("The translation could not be put "
                                                           "back into the part \"%1\" of the "
                                                           "%2: %3")
                                                .arg(name, what, problem));
                    zip.replace(indexes[k], translated[k]);
                }
                job.run().check();
                return result(zip.save(), fileName, *given);
            }

            ApertiumFilters::Context scratchContext()
            {
                ApertiumFilters::Context c = context();
                c.scratch = job.dir();
                return c;
            }

            TranslatedDocument html(const QByteArray& file, const QString& fileName,
                                    const FormatRow& row)
            {
                const DecodedText decoded = decodeText(file, HtmlPage::Kind::Html);
                const QByteArray page = HtmlPage::spellOutLetters(decoded.text).toUtf8();
                if (work.text) {
                    *work.text = DocumentStreams::streamText(
                        ApertiumFilters::deformat(Filter::Html, {page}, context()), work.maxChars);
                    return {};
                }
                QString out = QString::fromUtf8(translateHtmlParts({page}).front());
                return result(declareUtf8(out).toUtf8(), fileName, row);
            }

            TranslatedDocument plain(const QByteArray& file, const QString& fileName,
                                     const FormatRow& row)
            {
                const DecodedText decoded = decodeText(file, HtmlPage::Kind::Text);
                if (work.text) {
                    *work.text = decoded.text.left(work.maxChars);
                    return {};
                }
                const QString out =
                    DocumentStreams::translateText(engine, *work.mode, decoded.text, job.run());
                return result(encodeText(decoded, out), fileName, row);
            }

            TranslatedDocument subtitles(const QByteArray& file, const QString& fileName,
                                         const FormatRow& row)
            {
                const DecodedText decoded = decodeText(file, HtmlPage::Kind::Text);
                // Blocks: a number, a time line with "-->", text lines, a
                // blank line. Only the text lines change; a block without
                // a time line is kept as it is.
                const QString& in = decoded.text;
                struct Line
                {
                    qsizetype start, end; // without the line end
                };
                QList<Line> lines;
                for (qsizetype pos = 0; pos <= in.size();) {
                    qsizetype nl = in.indexOf(QLatin1Char('\n'), pos);
                    if (nl < 0)
                        nl = in.size();
                    qsizetype end = nl;
                    if (end > pos && in[end - 1] == QLatin1Char('\r'))
                        --end;
                    lines << Line{pos, end};
                    pos = nl + 1;
                }
                // Runs of text lines: [first, last] line indexes.
                QList<std::pair<qsizetype, qsizetype>> runs;
                for (qsizetype i = 0; i < lines.size(); ++i) {
                    const QStringView line =
                        QStringView(in).mid(lines[i].start, lines[i].end - lines[i].start);
                    if (!line.contains(QLatin1String("-->")))
                        continue;
                    qsizetype j = i + 1;
                    while (j < lines.size() && lines[j].end > lines[j].start &&
                           !QStringView(in)
                                .mid(lines[j].start, lines[j].end - lines[j].start)
                                .trimmed()
                                .isEmpty())
                        ++j;
                    if (j > i + 1)
                        runs.append({i + 1, j - 1});
                    i = j - 1;
                }
                QStringList texts;
                for (const auto& [first, last] : runs) {
                    QStringList parts;
                    for (qsizetype k = first; k <= last; ++k)
                        parts << in.mid(lines[k].start, lines[k].end - lines[k].start);
                    texts << parts.join(QLatin1Char('\n'));
                }
                if (work.text) {
                    *work.text = texts.join(QLatin1Char('\n')).left(work.maxChars);
                    return {};
                }
                const QStringList translated =
                    DocumentStreams::translateTexts(engine, *work.mode, texts, true, job.run());
                QString out;
                qsizetype copied = 0;
                for (qsizetype r = 0; r < runs.size(); ++r) {
                    const Line& first = lines[runs[r].first];
                    const Line& last = lines[runs[r].second];
                    out += QStringView(in).mid(copied, first.start - copied);
                    // The lines as translated, with the file's own line ends.
                    const QString eol = in.mid(first.end, 1) == QLatin1String("\r")
                                            ? QStringLiteral("\r\n")
                                            : QStringLiteral("\n");
                    QString t = translated[r];
                    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
                    t.replace(QLatin1Char('\n'), eol);
                    out += t;
                    copied = last.end;
                }
                out += QStringView(in).mid(copied);
                return result(encodeText(decoded, out), fileName, row);
            }

            TranslatedDocument office(const QByteArray& file, const QString& fileName,
                                      const FormatRow& row)
            {
                if (!work.options.useOffice)
                    throw DocumentError(DocumentError::Kind::Unsupported,
                                        QStringLiteral("Files of the type .%1 cannot be "
                                                       "translated here")
                                            .arg(QLatin1String(row.extension)));
                const QString dir = job.dir();
                const QString input =
                    dir + QStringLiteral("/document.") + QLatin1String(row.extension);
                {
                    QFile f(input);
                    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
                        f.write(file) != file.size() || !f.flush())
                        throw DocumentError(DocumentError::Kind::Failed,
                                            QStringLiteral("A temporary file could not be "
                                                           "written"));
                }
                QDir(dir).mkdir(QStringLiteral("docx"));
                const QString docxPath = OfficeConverter::convert(
                    input, QLatin1String(row.extension), QStringLiteral("docx:MS Word 2007 XML"),
                    dir + QStringLiteral("/docx"), work.options.officeProfile, job.run(),
                    officeCap(job.limits()));
                QFile docxFile(docxPath);
                if (!docxFile.open(QIODevice::ReadOnly))
                    throw DocumentError(DocumentError::Kind::Failed,
                                        QStringLiteral("LibreOffice's conversion could not be "
                                                       "read"));
                const QByteArray docx = docxFile.readAll();
                const TranslatedDocument translated = package(docx, fileName, rowFor("docx"));
                if (work.text || !row.writeBack)
                    return translated;
                QDir(dir).mkdir(QStringLiteral("translated"));
                QDir(dir).mkdir(QStringLiteral("back"));
                const QString translatedPath = dir + QStringLiteral("/translated/document.docx");
                {
                    QFile f(translatedPath);
                    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
                        f.write(translated.file) != translated.file.size() || !f.flush())
                        throw DocumentError(DocumentError::Kind::Failed,
                                            QStringLiteral("A temporary file could not be "
                                                           "written"));
                }
                const QString backPath = OfficeConverter::convert(
                    translatedPath, QStringLiteral("docx"), QString::fromLatin1(row.writeBack),
                    dir + QStringLiteral("/back"), work.options.officeProfile, job.run(),
                    officeCap(job.limits()));
                QFile back(backPath);
                if (!back.open(QIODevice::ReadOnly))
                    throw DocumentError(DocumentError::Kind::Failed,
                                        QStringLiteral("LibreOffice's conversion could not be "
                                                       "read"));
                return result(back.readAll(), fileName, row);
            }
        } routes{job, work, m_engine};

        if (!row)
            return routes.package(file, fileName, nullptr);
        switch (row->route) {
        case Route::Word:
        case Route::Slides:
        case Route::Sheet:
        case Route::OpenDocument:
        case Route::Epub:
            if (!isZip(file))
                throw DocumentError(DocumentError::Kind::Refused,
                                    QStringLiteral("The file is not a valid %1: it is not a zip "
                                                   "archive")
                                        .arg(QString::fromLatin1(row->label)));
            return routes.package(file, fileName, row);
        case Route::Html:
            return routes.html(file, fileName, *row);
        case Route::Text:
            return routes.plain(file, fileName, *row);
        case Route::Subtitles:
            return routes.subtitles(file, fileName, *row);
        case Route::Office:
            return routes.office(file, fileName, *row);
        case Route::Pdf:
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

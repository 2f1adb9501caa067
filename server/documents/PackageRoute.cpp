#include "server/documents/PackageRoute.h"

#include "common/DocumentTypes.h"
#include "server/documents/DocumentError.h"
#include "server/documents/PackageParts.h"
#include "server/documents/XmlGuard.h"
#include "server/documents/ZipPackage.h"
#include "server/engine/HtmlPage.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>
#include <utility>

namespace {
using Kind = DocumentTypes::Family;
using FormatRow = DocumentTypes::Type;

// A book's chapters and table of contents; the parts of the other packages
// are PackageParts' table.
const QRegularExpression& epubPart()
{
    static const QRegularExpression epub(QStringLiteral("\\.(xhtml|html|htm|ncx)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    return epub;
}

// What the package is, by the parts it holds, and the type it is written
// back as: the name's where that agrees.
struct Identity
{
    Kind kind;
    const FormatRow* given;
};

Identity identify(ZipPackage& zip, const FormatRow* row)
{
    QByteArray mimetype;
    if (zip.indexOf("mimetype") >= 0) {
        mimetype = zip.read("mimetype").trimmed();
    }
    Kind kind;
    if (zip.indexOf("word/document.xml") >= 0) {
        kind = Kind::Word;
    } else if (zip.indexOf("ppt/presentation.xml") >= 0) {
        kind = Kind::Slides;
    } else if (zip.indexOf("xl/workbook.xml") >= 0) {
        kind = Kind::Sheet;
    } else if (mimetype == "application/epub+zip") {
        kind = Kind::Epub;
    } else if (mimetype.startsWith("application/vnd.oasis.opendocument.") &&
               zip.indexOf("content.xml") >= 0) {
        kind = Kind::OpenDocument;
    } else {
        throw DocumentError(DocumentError::Kind::Unsupported,
                            QStringLiteral("The file is a zip archive, but not a document that "
                                           "can be translated"));
    }
    const FormatRow* given = row;
    if (!given || given->family != kind) {
        given = nullptr;
        for (const FormatRow& r : DocumentTypes::all()) {
            if (r.family != kind)
                continue;
            if (kind != Kind::OpenDocument || mimetype == r.mimeType) {
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
    return {kind, given};
}

// The parts with text, each read and checked here and dropped again: a
// document's parts are never all in memory at once. Their indexes in the
// package, their rules (none for a book's chapters), and their size together.
struct Parts
{
    QList<qsizetype> indexes;
    QList<const PackageParts::Rule*> rules;
    qint64 bytes = 0;
};

Parts textParts(const DocumentJob& job, ZipPackage& zip, Kind kind, const QString& what)
{
    const auto refuse = [&](const QString& why) {
        throw DocumentError(DocumentError::Kind::Refused,
                            QStringLiteral("The file is not a valid %1: %2").arg(what, why));
    };
    if (kind == Kind::OpenDocument || kind == Kind::Epub) {
        if (zip.indexOf("META-INF/manifest.xml") >= 0 &&
            zip.read("META-INF/manifest.xml").contains("encryption-data"))
            throw DocumentError(DocumentError::Kind::Refused,
                                QStringLiteral("The %1 is encrypted "
                                               "(password-protected); remove the "
                                               "password and try again")
                                    .arg(what));
    }

    Parts found;
    for (qsizetype i = 0; i < zip.entries().size(); ++i) {
        const QString name = QString::fromUtf8(zip.entries()[i].name);
        const PackageParts::Rule* rule = nullptr;
        if (kind == Kind::Epub ? !epubPart().match(name).hasMatch()
                               : !(rule = PackageParts::ruleFor(kind, name)))
            continue;
        job.run.check();
        const QByteArray part = zip.read(i);
        // A sheet only when it holds text of its own.
        if (rule && !rule->onlyWith.isEmpty() && !part.contains(rule->onlyWith))
            continue;
        const QString problem = XmlGuard::problem(part, job.limits.xmlDepth, kind == Kind::Epub);
        if (!problem.isEmpty())
            refuse(QStringLiteral("its part \"%1\": %2").arg(name, problem));
        found.indexes << i;
        found.rules << rule;
        found.bytes += part.size();
    }
    if (kind == Kind::Epub) {
        // A book whose chapters are locked by DRM cannot be read.
        if (zip.indexOf("META-INF/encryption.xml") >= 0) {
            const QByteArray enc = zip.read("META-INF/encryption.xml");
            for (qsizetype i : std::as_const(found.indexes)) {
                if (enc.contains("URI=\"" + zip.entries()[i].name + '"'))
                    throw DocumentError(DocumentError::Kind::Refused,
                                        QStringLiteral("The EPUB book is protected by DRM, so its "
                                                       "chapters cannot be read"));
            }
        }
    }
    if (found.indexes.isEmpty() && kind == Kind::Word)
        refuse(QStringLiteral("it has no text part"));
    return found;
}

// A text part as the filters take it.
QByteArray load(ZipPackage& zip, qsizetype index, Kind kind)
{
    QByteArray part = zip.read(index);
    if (kind == Kind::Epub)
        part = HtmlPage::spellOutLetters(QString::fromUtf8(part)).toUtf8();
    return part;
}

// One batch of parts through the filters, under the document's clock and
// cancel, its progress reported as a share of the whole document's.
QList<QByteArray> translateBatch(const DocumentJob& job, Kind kind, const QList<QByteArray>& parts,
                                 const QList<const PackageParts::Rule*>& rules, qint64 before,
                                 qint64 bytes, qint64 total)
{
    const DocumentRun& run = job.run;
    DocumentControl share;
    share.deadline = run.deadline();
    share.cancelled = [&run] { return run.cancelled(); };
    share.progress = [&](qint64 done, qint64 of) {
        run.progress(before + (of > 0 ? done * bytes / of : bytes),
                     std::max(total, before + bytes));
    };
    const DocumentRun batchRun(share, run.left(job.limits.maxTime), nullptr);
    const DocumentJob batch{job.engine,   job.limits,   batchRun, job.mode,
                            job.text,     job.maxChars, job.dir,  {},
                            job.original, job.fileName, job.row};
    return kind == Kind::Epub ? batch.translateHtmlParts(parts)
                              : PackageParts::translate(parts, rules, batch.scratchContext());
}
} // namespace

TranslatedDocument PackageRoute::translate(DocumentJob& job, const QByteArray& file,
                                           const QString& fileName, const FormatRow* row)
{
    const QString label = row ? QString::fromLatin1(row->label) : QStringLiteral("document");
    ZipPackage zip(file, job.limits, label);
    const Identity identity = identify(zip, row);
    const Kind kind = identity.kind;
    const QString what = QString::fromLatin1(identity.given->label);
    const Parts found = textParts(job, zip, kind, what);

    if (job.text || job.detect) {
        QString text;
        for (qsizetype k = 0; k < found.indexes.size(); ++k) {
            if (text.size() >= job.maxChars)
                break;
            // The text that is translated: no formulas, no placeholders'
            // prompts.
            const QByteArray part = load(zip, found.indexes[k], kind);
            const PackageParts::Rule* rule = found.rules[k];
            text += XmlGuard::text(rule ? PackageParts::hold(part, *rule).part : part,
                                   job.maxChars - text.size());
            text += QLatin1Char(' ');
        }
        text = text.left(job.maxChars);
        if (job.text) {
            *job.text = text;
            return {};
        }
        if (std::optional<TranslatedDocument> whole = job.detectSource(text))
            return std::move(*whole);
    }

    // Batch by batch: parts up to batchBytes together share one run of the
    // filters (a presentation's slides, a document's headers); each batch
    // is inflated, translated, put back (held deflated) and dropped before
    // the next is read.
    qint64 done = 0;
    for (qsizetype k = 0; k < found.indexes.size();) {
        QList<qsizetype> batch;
        QList<QByteArray> parts;
        QList<const PackageParts::Rule*> rules;
        qint64 bytes = 0;
        do {
            job.run.check();
            batch << found.indexes[k];
            rules << found.rules[k];
            parts << load(zip, found.indexes[k], kind);
            bytes += parts.last().size();
            ++k;
        } while (k < found.indexes.size() &&
                 bytes + static_cast<qint64>(zip.entries()[found.indexes[k]].size) <=
                     job.limits.batchBytes);
        const QList<QByteArray> translated =
            translateBatch(job, kind, parts, rules, done, bytes, found.bytes);
        parts.clear();
        for (qsizetype j = 0; j < batch.size(); ++j) {
            const QString name = QString::fromUtf8(zip.entries()[batch[j]].name);
            const QString problem =
                XmlGuard::problem(translated[j], job.limits.xmlDepth, kind == Kind::Epub);
            if (!problem.isEmpty())
                throw DocumentError(DocumentError::Kind::Failed,
                                    QStringLiteral("The translation could not be put "
                                                   "back into the part \"%1\" of the "
                                                   "%2: %3")
                                        .arg(name, what, problem));
            zip.replace(batch[j], translated[j]);
        }
        done += bytes;
    }
    job.run.check();
    return DocumentJob::result(zip.save(), fileName, *identity.given);
}

#include "server/documents/PackageRoute.h"

#include "common/DocumentTypes.h"
#include "server/documents/ApertiumFilters.h"
#include "server/documents/DocumentError.h"
#include "server/documents/XmlGuard.h"
#include "server/documents/ZipPackage.h"
#include "server/engine/HtmlPage.h"

#include <QRegularExpression>
#include <optional>
#include <utility>

namespace {
using Kind = DocumentTypes::Family;
using FormatRow = DocumentTypes::Type;
using Filter = ApertiumFilters::Filter;

const QRegularExpression& partsOf(Kind kind)
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
    switch (kind) {
    case Kind::Word:
        return word;
    case Kind::Slides:
        return slides;
    case Kind::Sheet:
        return sheet;
    case Kind::OpenDocument:
        return odf;
    default:
        return epub;
    }
}

Filter filterOf(Kind kind)
{
    switch (kind) {
    case Kind::Word:
        return Filter::Wxml;
    case Kind::Slides:
        return Filter::Pptx;
    case Kind::Sheet:
        return Filter::Xlsx;
    case Kind::OpenDocument:
        return Filter::Odt;
    default:
        return Filter::Html;
    }
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

// The parts with text, checked, and their indexes in the package.
struct Parts
{
    QList<qsizetype> indexes;
    QList<QByteArray> parts;
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
    const QRegularExpression& pattern = partsOf(kind);
    for (qsizetype i = 0; i < zip.entries().size(); ++i) {
        const QString name = QString::fromUtf8(zip.entries()[i].name);
        if (!pattern.match(name).hasMatch())
            continue;
        job.run.check();
        QByteArray part = zip.read(i);
        // A sheet only when it holds text of its own.
        if (kind == Kind::Sheet && name.startsWith(QLatin1String("xl/worksheets/")) &&
            !part.contains("inlineStr"))
            continue;
        const QString problem = XmlGuard::problem(part, job.limits.xmlDepth, kind == Kind::Epub);
        if (!problem.isEmpty())
            refuse(QStringLiteral("its part \"%1\": %2").arg(name, problem));
        if (kind == Kind::Epub)
            part = HtmlPage::spellOutLetters(QString::fromUtf8(part)).toUtf8();
        found.indexes << i;
        found.parts << part;
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
    if (found.parts.isEmpty() && kind == Kind::Word)
        refuse(QStringLiteral("it has no text part"));
    return found;
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
        for (const QByteArray& part : std::as_const(found.parts)) {
            if (text.size() >= job.maxChars)
                break;
            text += XmlGuard::text(part, job.maxChars - text.size());
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

    const QList<QByteArray> translated =
        kind == Kind::Epub
            ? job.translateHtmlParts(found.parts)
            : ApertiumFilters::translate(filterOf(kind), found.parts, job.scratchContext());
    for (qsizetype k = 0; k < found.indexes.size(); ++k) {
        const QString name = QString::fromUtf8(zip.entries()[found.indexes[k]].name);
        const QString problem =
            XmlGuard::problem(translated[k], job.limits.xmlDepth, kind == Kind::Epub);
        if (!problem.isEmpty())
            throw DocumentError(DocumentError::Kind::Failed,
                                QStringLiteral("The translation could not be put "
                                               "back into the part \"%1\" of the "
                                               "%2: %3")
                                    .arg(name, what, problem));
        zip.replace(found.indexes[k], translated[k]);
    }
    job.run.check();
    return DocumentJob::result(zip.save(), fileName, *identity.given);
}

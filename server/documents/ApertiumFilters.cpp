#include "server/documents/ApertiumFilters.h"

#include "server/documents/DocumentError.h"
#include "server/engine/FilterProcess.h"
#include "server/engine/HtmlStream.h"

#include <QDir>
#include <QFile>

namespace ApertiumFilters {
namespace {
struct Programs
{
    const char* deformatter;
    const char* reformatter;
};

Programs programs(Filter filter)
{
    switch (filter) {
    case Filter::Wxml:
        return {"apertium-deswxml", "apertium-rewxml"};
    case Filter::Pptx:
        return {"apertium-despptx", "apertium-repptx"};
    case Filter::Xlsx:
        return {"apertium-desxlsx", "apertium-rexlsx"};
    case Filter::Odt:
        return {"apertium-desodt", "apertium-reodt"};
    case Filter::Html: // deformatted here, in one pass (HtmlStream)
        return {"", ""};
    case Filter::Rtf:
        return {"apertium-desrtf", "apertium-rertf"};
    }
    return {"", ""};
}

QByteArray run(const char* program, const QByteArray& input, const Context& context,
               const QStringList& arguments = {})
{
    try {
        return runFilter(QString::fromLatin1(program), arguments, input,
                         context.run->left(context.filterTimeout));
    } catch (const DocumentError&) {
        throw;
    } catch (const TarquellError& e) {
        context.run->check(); // a filter killed for want of time is a time-out
        throw DocumentError(DocumentError::Kind::Failed, e.message());
    }
}

// The deformatter's input, and the marker before each part in it and in the
// reformatter's output.
struct Marked
{
    QByteArray input;
    QList<QByteArray> markers;
};

Marked mark(Filter filter, const QList<QByteArray>& parts, const Context& context)
{
    Marked marked;
    if (filter == Filter::Rtf) {
        // RTF has no tags to hide a marker in: one part at a time.
        if (parts.size() != 1)
            throw DocumentError(DocumentError::Kind::Failed,
                                QStringLiteral("RTF is translated one file at a time"));
        marked.input = parts.front();
        return marked;
    }
    const QByteArray id = DocumentStreams::nonce();
    if (filter == Filter::Wxml) {
        // apertium-adapt-docx moves run boundaries out of words, which
        // apertium-deswxml needs; it reads the parts from files named on
        // its input and writes each behind <file name="..."/>.
        QByteArray names;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            const QString path =
                QDir(context.scratch)
                    .filePath(QStringLiteral("tq%1-%2.xml").arg(QString::fromLatin1(id)).arg(i));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
                file.write(parts[i]) != parts[i].size() || !file.flush())
                throw DocumentError(DocumentError::Kind::Failed,
                                    QStringLiteral("A temporary file could not be written"));
            names += QFile::encodeName(path) + '\n';
            marked.markers << "<file name=\"" + QFile::encodeName(path) + "\"/>";
        }
        marked.input = run("apertium-adapt-docx", names, context, {QStringLiteral("-n")});
        // It reads names up to a line end and takes the parts as they are.
        if (!marked.input.startsWith(marked.markers.front()))
            throw DocumentError(DocumentError::Kind::Failed,
                                QStringLiteral("apertium-adapt-docx gave no document back"));
        return marked;
    }
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray marker = "<file name=\"tq" + id + '-' + QByteArray::number(i) + "\"/>";
        marked.input += marker;
        marked.input += parts[i];
        marked.markers << marker;
    }
    return marked;
}

QList<QByteArray> split(const QByteArray& output, const QList<QByteArray>& markers)
{
    if (markers.isEmpty())
        return {output};
    QList<QByteArray> parts;
    qsizetype from = -1;
    for (const QByteArray& marker : markers) {
        const qsizetype at = output.indexOf(marker, from < 0 ? 0 : from);
        if (at < 0)
            throw DocumentError(DocumentError::Kind::Failed,
                                QStringLiteral("The translation could not be put back into the "
                                               "document: a part went missing"));
        if (from >= 0)
            parts << output.mid(from, at - from);
        from = at + marker.size();
    }
    parts << output.mid(from);
    // Nothing may stand before an XML declaration; the filters leave
    // blanks there.
    for (QByteArray& part : parts) {
        qsizetype i = 0;
        while (i < part.size() && (part[i] == ' ' || part[i] == '\n' || part[i] == '\r'))
            ++i;
        part.remove(0, i);
    }
    return parts;
}

// HTML is deformatted here in one pass, never by apertium-deshtml, which
// takes quadratic time on tags that never close; the parts' markers are
// tags, so they ride in superblanks and come back with the page.
QByteArray deformatMarked(Filter filter, const Marked& marked, const Context& context)
{
    if (filter == Filter::Html)
        return HtmlStream::deformat(QString::fromUtf8(marked.input));
    return run(programs(filter).deformatter, marked.input, context);
}

QByteArray reformat(Filter filter, const QByteArray& translated, const Context& context)
{
    if (filter == Filter::Html)
        return HtmlStream::reformat(translated).toUtf8();
    return run(programs(filter).reformatter, translated, context);
}
} // namespace

QByteArray deformat(Filter filter, const QList<QByteArray>& parts, const Context& context)
{
    return deformatMarked(filter, mark(filter, parts, context), context);
}

QList<QByteArray> translate(Filter filter, const QList<QByteArray>& parts, const Context& context)
{
    if (parts.isEmpty())
        return {};
    return translateDeformatted(filter, deformatParts(filter, parts, context), context);
}

Deformatted deformatParts(Filter filter, const QList<QByteArray>& parts, const Context& context)
{
    const Marked marked = mark(filter, parts, context);
    return {deformatMarked(filter, marked, context), marked.markers};
}

QList<QByteArray> translateDeformatted(Filter filter, const Deformatted& deformatted,
                                       const Context& context)
{
    const QByteArray translated =
        DocumentStreams::translate(*context.engine, context.mode, deformatted.stream, *context.run);
    return split(reformat(filter, translated, context), deformatted.markers);
}
} // namespace ApertiumFilters

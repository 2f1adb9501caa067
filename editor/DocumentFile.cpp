#include "editor/DocumentFile.h"

#include "editor/RtfReader.h"
#include "editor/RtfWriter.h"
#include "editor/TextDecoding.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextDocument>

namespace DocumentFile {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TarquellError(
            QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)));
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw TarquellError(QStringLiteral("Failed to Load Stream"));
    return data;
}

void load(const QByteArray& data, QTextDocument& document)
{
    if (Rtf::read(data, document))
        return;
    const bool utf16 = data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF");
    if (!utf16 && data.contains('\0'))
        throw TarquellError(QStringLiteral("Failed to Load Stream"));
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.setPlainText(TextDecoding::decode(data));
    document.setUndoRedoEnabled(undo);
}

QString plainText(const QTextDocument& document)
{
    QString text = document.toRawText();
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == u'\n') {
            out += QLatin1StringView("\r\n");
        } else if (c == u'\r') {
            out += QLatin1StringView("\r\n");
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (c == QChar::ObjectReplacementCharacter || c.unicode() == 0xFDD0 ||
                   c.unicode() == 0xFDD1) {
            // Images have no text; neither have the marks of table frames.
        } else {
            out += c;
        }
    }
    return out;
}

void save(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    const QString message =
        QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(path));
    if (!file.open(QIODevice::WriteOnly))
        throw TarquellError(message);
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw TarquellError(message);
}

bool isRtfName(const QString& path)
{
    return path.endsWith(QLatin1StringView(".rtf"), Qt::CaseInsensitive);
}

QByteArray saveBytes(const QString& path, const QTextDocument& document)
{
    if (isRtfName(path))
        return Rtf::write(document);
    return plainText(document).toUtf8();
}

} // namespace DocumentFile

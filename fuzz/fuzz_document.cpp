// Documents as they arrive: the archive reader (entry checks, bounded
// inflation, rewriting), the XML guard, and the text and subtitle routes
// with a deterministic engine. The first byte picks the way in.
#include "server/documents/DocumentError.h"
#include "server/documents/DocumentStreams.h"
#include "server/documents/DocumentTranslator.h"
#include "server/documents/XmlGuard.h"
#include "server/documents/ZipPackage.h"
#include "server/engine/TranslationEngine.h"

#include <QDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
DocumentLimits smallLimits()
{
    DocumentLimits limits;
    limits.uploadBytes = 1024 * 1024;
    limits.uncompressedBytes = 8 * 1024 * 1024;
    limits.archiveEntries = 2000;
    return limits;
}

DocumentTranslator& translator()
{
    static EchoEngine engine;
    static DocumentTranslator documents(engine, [] {
        DocumentTranslator::Options o;
        o.limits = smallLimits();
        o.scratchParent = QDir::tempPath();
        o.useOffice = false; // LibreOffice is not ours to fuzz, and slow
        return o;
    }());
    return documents;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data) + 1,
                           static_cast<qsizetype>(size - 1));
    try {
        switch (data[0] % 6) {
        case 0: { // an archive, read whole and written back
            ZipPackage zip(input, smallLimits(), QStringLiteral("document"));
            QByteArray replaced;
            for (qsizetype i = 0; i < zip.entries().size(); ++i) {
                const QByteArray part = zip.read(i);
                (void)XmlGuard::problem(part, 256);
                if (i == 0) {
                    replaced = part + "x";
                    zip.replace(i, replaced);
                }
            }
            const QByteArray saved = zip.save();
            ZipPackage again(saved, smallLimits(), QStringLiteral("document"));
            // A replaced part, held deflated meanwhile, comes back as given.
            if (!again.entries().isEmpty() && again.read(0) != replaced)
                std::abort();
            break;
        }
        case 1: // the text of a Word, OpenDocument or EPUB archive
            for (const char* name : {"a.docx", "a.odt", "a.epub"})
                (void)translator().detectText(input, QString::fromLatin1(name), 4000);
            break;
        case 2:
            (void)XmlGuard::problem(input, 64, data[0] & 0x80);
            (void)XmlGuard::text(input, 4000);
            break;
        case 3:
            (void)translator().translate(input, QStringLiteral("a.srt"),
                                         {QStringLiteral("en"), QStringLiteral("es")});
            break;
        case 4:
            (void)translator().translate(input, QStringLiteral("a.txt"),
                                         {QStringLiteral("en"), QStringLiteral("es")});
            break;
        case 5: {
            const QList<QByteArray> pieces = DocumentStreams::pieces(input);
            (void)DocumentStreams::streamText(input, 4000);
            (void)DocumentStreams::textToStream(QString::fromUtf8(input), data[0] & 0x80);
            (void)pieces;
            break;
        }
        }
    } catch (const DocumentError&) {
    }
    return 0;
}

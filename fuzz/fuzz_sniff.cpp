// What a document is by its bytes, on any bytes. Besides crashes it checks
// that markup is judged by its start alone, and that a kind always fits
// the extension it is sent as.
#include "platform/DocumentSniff.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

using Kind = DocumentSniff::Kind;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Kind kind = DocumentSniff::sniff(bytes);
    const QString extension = DocumentSniff::extensionOf(kind);
    if (!extension.isEmpty() && !DocumentSniff::fits(kind, extension))
        std::abort();
    (void)DocumentSniff::describe(kind);
    // Markup is judged by its first 4 KiB (8 KiB of UTF-16): what follows
    // changes nothing.
    if (size > 8200 && (kind == Kind::Html || kind == Kind::FlatOdf || kind == Kind::Xml)) {
        if (DocumentSniff::sniff(bytes + QByteArray(5000, 'x')) != kind)
            std::abort();
    }
    return 0;
}

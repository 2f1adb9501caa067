// The service's own HTML deformatter on any bytes: besides crashes it
// checks that the page comes back from the stream unchanged (NULs aside,
// which end a stream), that the stream is one a pipeline takes as it is,
// and that it stays within a bounded size of the page.
#include "server/engine/ApertiumStream.h"
#include "server/engine/HtmlStream.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1024 * 1024)
        return 0;
    QString page =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray stream = HtmlStream::deformat(page);
    page.remove(QChar(0));
    check(HtmlStream::reformat(stream) == page);
    check(ApertiumStream::unguard(ApertiumStream::guard(stream)) == stream);
    // Every character escaped or a superblank's two brackets, in UTF-8,
    // and ".[]" per block.
    check(stream.size() <= 8 * static_cast<qsizetype>(size) + 16);
    return 0;
}

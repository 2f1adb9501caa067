// Keeping a source's blanks in a translation, on any two streams (the
// translation may be a remote server's answer): besides crashes it checks
// that the superblanks are never touched and that a translation that is
// its own source comes back unchanged, as a stream and as a text.
#include "server/engine/ApertiumStream.h"

#include <QByteArray>
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
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = bytes.indexOf('\0');
    const QByteArray source = cut < 0 ? bytes : bytes.left(cut);
    const QByteArray translated = cut < 0 ? bytes : bytes.mid(cut + 1);
    const QByteArray kept = ApertiumStream::keepBlanks(source, translated);
    check(ApertiumStream::superblanks(kept) == ApertiumStream::superblanks(translated));
    check(ApertiumStream::keepBlanks(translated, translated) == translated);
    const QString text = QString::fromUtf8(translated);
    check(ApertiumStream::keepBlanks(text, text) == text);
    ApertiumStream::keepBlanks(QString::fromUtf8(source), text);
    return 0;
}

// The dictzip reader on any bytes: the first eight bytes choose what to
// read (offset and length), the rest is the file. It may refuse with a
// DictError, never crash, and what it reads is exactly as long as asked.
#include "tools/Vantudict/DictData.h"
#include "tools/Vantudict/DictError.h"
#include "tools/Vantudict/DictIndex.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    uint32_t offset = 0, length = 0;
    std::memcpy(&offset, data, 4);
    std::memcpy(&length, data + 4, 4);
    // Near the start of the text, where a small file has its bytes.
    offset %= 1u << 18;
    length %= 1u << 17;
    const QByteArrayView file(reinterpret_cast<const char*>(data + 8), qsizetype(size - 8));
    try {
        DictData dz(file, true, QStringLiteral("fuzz.dict.dz"));
        const QByteArray text = dz.read(offset, length);
        if (quint64(text.size()) != length)
            std::abort();
        // A second read of the same place gives the same (the chunk cache).
        if (dz.read(offset, length) != text)
            std::abort();
    } catch (const DictError&) {
    }
    try {
        DictData plain(file, false, QStringLiteral("fuzz.dict"));
        const QByteArray text = plain.read(offset, length);
        if (quint64(text.size()) != length)
            std::abort();
    } catch (const DictError&) {
    }
    return 0;
}

// What a DICT server sends, read as it comes: the first byte gives the
// size of the pieces the bytes arrive in. The reader may refuse with a
// DictError, never crash or grow past its bounds; every text block it
// reads also goes through the definition reader.
#include "tools/Vantudict/DictEntry.h"
#include "tools/Vantudict/DictError.h"
#include "tools/Vantudict/DictReply.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype piece = data[0] + 1;
    QByteArrayView rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    DictReplyReader reader;
    try {
        while (!rest.isEmpty()) {
            const qsizetype n = std::min(piece, rest.size());
            reader.feed(rest.first(n));
            rest = rest.sliced(n);
        }
    } catch (const DictError&) {
    }
    if (reader.responses().size() > DictReplyReader::MaxResponses)
        std::abort();
    for (const DictStatus& s : reader.responses()) {
        if (s.body.size() > DictReplyReader::MaxBody + DictReplyReader::MaxLine)
            std::abort();
        const DictEntry e = parseDictEntry(s.body);
        formatEntry(e);
        translationsOf(e, 3);
    }
    return 0;
}

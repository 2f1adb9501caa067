// The dictd index reader on any bytes: the first line is a word to look up,
// the rest the index. It may refuse the index with a DictError, never crash,
// hang or hand out a definition longer than its bound. Every hit it gives
// belongs to a line whose headword folds to the word.
#include "tools/Vantudict/DictError.h"
#include "tools/Vantudict/DictIndex.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView all(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype nl = all.indexOf('\n');
    const QString word = QString::fromUtf8(nl < 0 ? all : all.first(nl));
    const QByteArrayView index = nl < 0 ? QByteArrayView() : all.sliced(nl + 1);
    try {
        DictIndex reader(index, QStringLiteral("fuzz.index"));
        for (const QString& w : {word, word.toUpper(), QString(), QStringLiteral("a")}) {
            const QList<IndexHit> hits = reader.find(w);
            if (hits.size() > DictIndex::MaxHits)
                std::abort();
            for (const IndexHit& h : hits)
                if (h.length > DictIndex::MaxEntryLength)
                    std::abort();
        }
    } catch (const DictError&) {
    }
    return 0;
}

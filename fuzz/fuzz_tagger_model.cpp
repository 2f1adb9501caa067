// The reader of apertium-tagger's model files on any bytes: a model that
// is not one it knows through and through is refused, never read past its
// end; and what it reads answers every class it is asked about.
#include "server/apertium/TaggerModel.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto model = TaggerModel::parse(bytes);
    if (model) {
        model->changesTagger("{ADV,ADJ}");
        model->changesTagger("{}");
        model->changesTagger(bytes.first(std::min<qsizetype>(bytes.size(), 64)));
    }
    TaggerModel::learnedFrom(QByteArray(bytes.data(), bytes.size()), model);
    return 0;
}

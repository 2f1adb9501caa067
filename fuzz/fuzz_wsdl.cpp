// The WSDL lookup on any bytes. The input is split at the byte 0x1E into
// documents: the first is the WSDL, each further read (through wsdl:import)
// gets the next one in turn. The lookup may refuse a document with a
// TarquellError; it must never crash, loop or read more than its limit.
#include "service/SoapErrors.h"
#include "service/WsdlLookup.h"

#include <QByteArray>
#include <QList>
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
    const QList<QByteArray> documents = bytes.split('\x1e');
    int reads = 0;
    const WsdlLookup::Fetch fetch = [&](const QString& location) {
        check(!location.isEmpty());
        return documents.at(reads++ % documents.size());
    };
    for (const QString& root :
         {QStringLiteral("http://h/a/root.wsdl"), QStringLiteral("/srv/wsdl/root.wsdl")}) {
        reads = 0;
        try {
            const auto r =
                WsdlLookup::find(root, fetch, QStringLiteral("BabelFish"),
                                 QStringLiteral("BabelFishPort"), QStringLiteral("BabelFish"));
            check(r.portFound || r.endpoint.isEmpty());
        } catch (const TarquellError&) {
        }
        check(reads <= WsdlLookup::MaxDocuments);
    }
    return 0;
}

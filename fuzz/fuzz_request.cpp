// tarquell-service's request reader on any bytes. Besides crashes it checks
// that a call it accepts is answered with a reply that reads back to the
// same text, and that the text survives the Apertium stream format.
#include "server/engine/ApertiumStream.h"
#include "server/engine/ServiceFault.h"
#include "server/soap/SoapReply.h"
#include "server/soap/SoapRequest.h"
#include "service/SoapXml.h"

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
    SoapCall call;
    try {
        call = parseSoapCall(bytes);
    } catch (const ServiceFault& fault) {
        // Every refusal is a fault that reads back as one.
        SoapXml::Document doc;
        check(doc.setContent(SoapReply::fault(fault)));
        return 0;
    }

    SoapXml::Document doc;
    check(doc.setContent(SoapReply::response(call, call.text)));
    const QDomElement response =
        SoapXml::firstElementChild(SoapXml::firstElementChild(doc.root(), u"Body"));
    check(SoapXml::localName(response) == (call.operation == SoapCall::Operation::BabelFish
                                               ? QLatin1String("BabelFishResponse")
                                               : QLatin1String("getTranslationResponse")));
    QDomElement value = SoapXml::firstElementChild(response);
    if (call.operation == SoapCall::Operation::GetTranslation)
        value = SoapXml::firstElementChild(value, u"text");
    // The DOM drops text that is only white space.
    if (!call.text.trimmed().isEmpty())
        check(SoapXml::text(value) == call.text);

    QString withoutNul = call.text;
    withoutNul.remove(QChar(0));
    check(ApertiumStream::fromStream(ApertiumStream::toStream(call.text)) == withoutNul);
    return 0;
}

// The SOAP reply reader on any bytes, in both call shapes: it may refuse a
// reply with a TarquellError, never crash or throw anything else, and its
// one-pass reading agrees with the DOM. Besides, any text written by the
// envelope writer's escaping must read back unchanged (apart from
// characters XML cannot carry).
#include "service/BFish2.h"
#include "service/EnvelopeWriter.h"
#include "service/ReplyReader.h"
#include "service/SoapErrors.h"
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

QString carried(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') {
            out += QLatin1Char(' ');
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else if (c.isSurrogate() || u == 0xFFFE || u == 0xFFFF) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    static const QStringList returnNames{QStringLiteral("Result"), QStringLiteral("Return")};

    // The one-pass reading must come to the DOM's outcome, whichever.
    QString fast, dom;
    try {
        fast = ReplyReader::readResult(bytes, returnNames);
    } catch (const TarquellError& e) {
        fast = QStringLiteral("error: ") + e.message();
    }
    try {
        dom = ReplyReader::readResultThroughDom(bytes, returnNames);
    } catch (const TarquellError& e) {
        dom = QStringLiteral("error: ") + e.message();
    }
    check(fast == dom);
    try {
        ReplyReader::readOutParams(bytes, IBabelFish2Info().operation.params);
    } catch (const TarquellError&) {
    }

    // The same bytes as a text that travels inside a reply.
    const QString text = QString::fromUtf8(bytes);
    const QByteArray reply =
        "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body><r><return>" +
        SoapXml::escapeText(text).toUtf8() + "</return></r></e:Body></e:Envelope>";
    check(ReplyReader::readResult(reply, returnNames) == carried(text));

    // And inside a request: the envelope is always well-formed.
    SoapXml::Document request;
    check(request.setContent(writeRequestEnvelope(QStringLiteral("urn:fuzz"), QStringLiteral("op"),
                                                  {{QStringLiteral("sourcedata"), text}})));
    return 0;
}

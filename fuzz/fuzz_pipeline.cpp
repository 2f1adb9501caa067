// Real Apertium pipelines on hostile streams: HTML through
// apertium-deshtml, text through the service's own stream writer, and raw
// bytes as a stream, cut into small parts so that the part markers and
// their context are exercised too. A finding is a stall (no answer within
// the short deadline), a stage that dies or reports a fault, a part whose
// markers do not come back, or a superblank lost, added or garbled on the
// way: Apertium moves superblanks with the words, but never changes one.
#include "server/apertium/ApertiumEngine.h"
#include "server/engine/ApertiumStream.h"
#include "server/engine/FilterProcess.h"
#include "server/engine/ServiceFault.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
ApertiumEngine* engine = nullptr;
QList<TranslationMode> modes;
QtMessageHandler previousHandler = nullptr;

[[noreturn]] void finding(const char* what, const QByteArray& detail)
{
    std::fprintf(stderr, "FINDING: %s\n%s\n", what, detail.constData());
    std::abort();
}

void onMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("markers did not come back")))
        finding("a part's markers were lost", message.toUtf8());
    if (previousHandler)
        previousHandler(type, context, message);
}

// The superblanks of a stream, sorted: their order may change with the
// words', their content never.
QList<QByteArray> superblanks(const QByteArray& s)
{
    QList<QByteArray> found = ApertiumStream::superblanks(s);
    std::sort(found.begin(), found.end());
    return found;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Three kinds of pipeline: with lrx-proc (eng-spa), without (es-pt),
    // with a constraint grammar stage (ita-spa); and one through Spanish.
    const ApertiumModes::Scan scan =
        ApertiumModes::scan(QStringLiteral("/usr/share/apertium/modes"));
    ApertiumEngine::Options options;
    options.instances = 2;
    options.deadlineFloor = std::chrono::milliseconds(3000);
    options.parallelBytes = 256;
    options.minPartBytes = 64;
    options.partBytes = 512;
    options.contextBytes = 64;
    options.startBytes = 256;
    engine = new ApertiumEngine(scan.modes, options);
    for (const char* mode : {"en_es", "es_pt", "it_es", "en_fr"}) {
        const TranslationMode m = TranslationMode::parse(QString::fromLatin1(mode));
        if (engine->canTranslate(m))
            modes << m;
    }
    if (modes.isEmpty()) {
        std::fprintf(stderr, "no Apertium pairs installed (scripts/deps.sh)\n");
        std::exit(1);
    }
    previousHandler = qInstallMessageHandler(onMessage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 8192)
        return 0;
    const int kind = data[0] % 3;
    const TranslationMode& mode = modes[data[1] % modes.size()];
    const QByteArray payload(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    QByteArray stream;
    if (kind == 0) {
        stream = ApertiumStream::toStream(QString::fromUtf8(payload));
    } else if (kind == 1) {
        try {
            stream = runFilter(QStringLiteral("apertium-deshtml"), {}, payload,
                               std::chrono::milliseconds(5000));
        } catch (const TarquellError&) {
            return 0; // not HTML it can read: not ours to judge
        }
    } else {
        stream = payload;
    }

    QByteArray out;
    try {
        out = engine->translateStream(mode, stream);
    } catch (const ServiceFault& fault) {
        finding("the translation failed", fault.message().toUtf8() + "\nstream: " + stream);
    }
    // What went in, as the guard wrote it and as it comes back.
    const QByteArray sent = ApertiumStream::unguard(ApertiumStream::guard(stream));
    if (superblanks(out) != superblanks(sent))
        finding("superblanks changed", "in:  " + sent + "\nout: " + out);
    return 0;
}

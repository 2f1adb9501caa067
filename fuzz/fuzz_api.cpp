// The LibreTranslate API's request readers on any bytes: JSON, forms and
// multipart bodies through ApiRequest, then the whole answer of /translate,
// /detect and /translate_file (on a stand-in engine), language detection
// and the download names. The first byte picks the route, the second the
// Content-Type; the rest is the body.
#include "common/LanguageDetector.h"
#include "server/api/ApiError.h"
#include "server/api/ApiRequest.h"
#include "server/api/LibreTranslateApi.h"
#include "server/engine/TranslationEngine.h"

#include <QDir>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {
LibreTranslateApi& api()
{
    static EchoEngine engine;
    static LibreTranslateApi instance(engine, [] {
        LibreTranslateApi::Options options;
        options.filesParent = QDir::tempPath() + QStringLiteral("/fuzz-api-files");
        options.fileStoreBytes = 1024 * 1024;
        options.fileLifetime = std::chrono::seconds(1);
        // Documents are fuzz_document's; LibreOffice is far too slow here.
        options.documents.useOffice = false;
        return options;
    }());
    return instance;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const std::string body(reinterpret_cast<const char*>(data) + 2, size - 2);
    // HTML goes through Apertium's filter processes: too slow here, and
    // not a reader of ours.
    if (body.find("html") != std::string::npos)
        return 0;
    static const char* const types[] = {"application/json", "application/x-www-form-urlencoded",
                                        "multipart/form-data; boundary=XyZ", "",
                                        "text/plain; charset=utf-8"};
    static const char* const routes[] = {"/translate", "/detect", "/translate_file"};
    const QByteArray type = types[data[1] % 5];
    const QByteArray bytes = QByteArray::fromStdString(body);

    try {
        const ApiRequest::Params params = ApiRequest::read(type, bytes, bytes.left(64));
        for (auto it = params.fields.begin(); it != params.fields.end(); ++it)
            (void)LibreTranslateApi::downloadName(it.key(), QStringLiteral("es"),
                                                  fileExtension(it.value().toString()));
    } catch (const ApiError&) {
    }
    (void)LanguageDetector::detect(QString::fromUtf8(bytes), data[0] & 0x80);

    LibreTranslateApi::Request request{
        "POST", routes[data[0] % 3], "", type, body, QStringLiteral("http://127.0.0.1:1")};
    const LibreTranslateApi::Reply reply = api().answer(request);
    if (reply.status == 0 || (reply.body.empty() && reply.fd < 0))
        __builtin_trap();
    return 0;
}

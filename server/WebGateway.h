#pragma once

#include "PageFetcher.h"
#include "TranslationEngine.h"

#include <QString>
#include <chrono>
#include <string>

// tarquell-service as a web page gateway: answers the seven gateways'
// request formats by fetching the page, translating its text with the
// service's engine (HTML through apertium-deshtml and apertium-rehtml, so
// that the markup survives) and sending its links back through the same
// gateway and pair. Whatever goes wrong is answered with a small page that
// says so. Blocks for as long as the fetch and the translation take: call
// it from the work queue.
class WebGateway
{
public:
    struct Answer
    {
        unsigned status = 200;
        std::string body;
        bool html = true; // else plain text; UTF-8 either way
    };

    WebGateway(TranslationEngine& engine, const FetchLimits& limits,
               std::chrono::milliseconds filterTimeout);

    // origin: "http://" and the host the browser reached this service at.
    Answer answer(const QString& path, const QString& rawQuery, const QString& origin) const;

private:
    QString translateHtml(const TranslationMode& mode, const QString& html) const;

    TranslationEngine& m_engine;
    const FetchLimits m_limits;
    const std::chrono::milliseconds m_filterTimeout;
};

#pragma once

#include "server/engine/TranslationEngine.h"
#include "server/gateway/PageFetcher.h"

#include <QString>
#include <chrono>
#include <string>

// tarquell-service as a web page gateway: answers the seven gateways'
// request formats by fetching the page, translating its text with the
// service's engine (HTML through the engine's HTML route, so that the
// markup survives) and sending its links back through the same
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
        // A page from elsewhere, translated: served with translatedPolicy,
        // else with ownPagePolicy.
        bool translated = false;
    };

    // Translated pages keep their site's scripts, but each gets an opaque
    // origin of its own: it cannot read this service's other pages, nor
    // share cookies and storage with them.
    static constexpr const char* translatedPolicy =
        "sandbox allow-scripts allow-forms allow-popups allow-popups-to-escape-sandbox";
    // The gateway's own pages run nothing at all.
    static constexpr const char* ownPagePolicy =
        "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'; "
        "sandbox";

    WebGateway(TranslationEngine& engine, const FetchLimits& limits);

    // Which addresses pages may be fetched from. Set before the first
    // answer.
    void setTargets(FetchTargets targets) { m_targets = std::move(targets); }

    // origin: "http://" and the host the browser reached this service at.
    Answer answer(const QString& path, const QString& rawQuery, const QString& origin) const;

private:
    QString translateHtml(const TranslationMode& mode, const QString& html) const;

    TranslationEngine& m_engine;
    const FetchLimits m_limits;
    FetchTargets m_targets;
};

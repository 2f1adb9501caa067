#pragma once

#include "platform/Errors.h"
#include "server/net/PageTargets.h"

#include <QUrl>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

// How much a page fetch may take.
struct FetchLimits
{
    size_t maxBytes = 8 * 1024 * 1024;
    std::chrono::milliseconds timeout{20000}; // for the whole fetch, redirects included
    int maxRedirects = 5;
};

// A page that could not be fetched; the message says why in a sentence for
// the person who asked for it.
class FetchFailure : public TarquellError
{
public:
    enum class Kind {
        NoSuchHost,
        Unreachable,
        Status,
        TooLarge,
        TooSlow,
        Redirects,
        Scheme,
        Tls,
        Refused // an address the rules do not let the fetcher reach
    };
    FetchFailure(Kind kind, const QString& message) : TarquellError(message), m_kind(kind) {}
    Kind kind() const noexcept { return m_kind; }

private:
    Kind m_kind;
};

struct FetchedPage
{
    QUrl url; // after redirects
    std::string contentType;
    std::string body;
};

// Which addresses a fetch may reach, and how names are looked up.
struct FetchTargets
{
    PageTargets::Rules rules;
    std::shared_ptr<const HostResolver> resolver; // the system's when null
};

// Fetches http and https pages (certificates verified against the system's
// authorities, for the host name), following redirects itself so that each
// one is checked. Every hop's host is looked up once, each of its addresses
// checked against the targets' rules, and the connection made to a checked
// address. Blocks the calling thread for at most the limits' time-out
// (besides the look-up). Throws FetchFailure.
FetchedPage fetchPage(const QUrl& url, const FetchLimits& limits, const FetchTargets& targets = {});

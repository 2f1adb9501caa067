#pragma once

#include "platform/Errors.h"

#include <QUrl>
#include <chrono>
#include <cstddef>
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
    enum class Kind { NoSuchHost, Unreachable, Status, TooLarge, TooSlow, Redirects, Scheme, Tls };
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

// Fetches http and https pages (certificates verified against the system's
// authorities), following redirects itself so that each one is checked.
// Blocks the calling thread for at most the limits' time-out. Throws
// FetchFailure.
FetchedPage fetchPage(const QUrl& url, const FetchLimits& limits);

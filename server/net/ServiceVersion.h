#pragma once

// The name and version the service gives itself: the Server header of its
// replies (--probe looks for it) and the User-Agent of what it fetches.
namespace ServiceVersion {
inline constexpr const char* serverHeader = "tarquell-service/4.0";
} // namespace ServiceVersion

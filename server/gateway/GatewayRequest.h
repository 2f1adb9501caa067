#pragma once

#include "server/engine/LanguageModes.h"

#include <QString>
#include <optional>

// A request in one of the seven web page gateway formats. The page address
// is taken as the browser sent it, never percent-decoded: it runs from its
// key to the end of the query (for Server 2, up to the fixed tail), so that
// the page's own query, ampersands included, arrives whole.
struct GatewayRequest
{
    int server = 0; // 1..7
    TranslationMode mode;
    // The page, with "http://" put in front when it names no scheme.
    QString address;
    // A link through the same gateway and pair is linkPrefix, the address
    // and linkSuffix (the path and query of this request around its
    // address).
    QString linkPrefix;
    QString linkSuffix;
    // Set when the request cannot be served: the sentence that says why.
    QString problem;

    // True when the path (and, for "/", the start of the query) is one of
    // the gateways'.
    static bool isGatewayPath(const QString& path, const QString& rawQuery);
    // Reads a request whose path isGatewayPath. A request that names no
    // languages, unknown languages, no address or an address that is not
    // http or https comes back with its problem set.
    static GatewayRequest read(const QString& path, const QString& rawQuery);
};

#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class ProfileFile;

// Browser mode's web translation gateways: which one is selected, whether
// web translation is on, and their base addresses. Put in place when the
// window is created, never stored.
struct GatewayState
{
    int ServerIndex = 5;
    int TranslateEnabled = 1;
    QString GatewayBase[7]; // GatewayBase1 .. GatewayBase7
    QString Server2Tail;
    // The product's home page: Home in browser mode and Help > Homepage.
    QString HomePageAddress;
    // The address of the most recent navigation the browser announced.
    QString LastNavigatedUrl;
    // The address box's Ctrl hint was shown in this run.
    int CtrlHintShown = 0;
};

// The gateway hosts ("host" or "host:port", what stands between "http://"
// and each gateway's path), read at start from the [Services] section and
// never written. The defaults point at the local service, which answers
// every gateway's request format. The home page is the same "Home Page" key
// that Help > Homepage opens; the window reads it once with the other
// service locations and puts it into HomePageAddress.
struct GatewayConfig
{
    QString host[7]; // Gateway 1 .. Gateway 7
    static const QString DefaultHosts[7];
    static GatewayConfig defaults();
    static GatewayConfig read(const ProfileFile& file);
};

GatewayState initialGatewayState(const GatewayConfig& config = GatewayConfig::defaults());

// The gateway a destination language selects (7 for Russian, 2 for
// Japanese), or 0 when it leaves the selection alone.
int gatewayForDestination(const QString& code);

// --- the gateway selector's items ---

// "Server  5", two blanks between the word and the number.
QString gatewayItemText(int server);
// The items of the gateway box, in the order they are listed.
QStringList gatewayItems();
// The server an item names, or 0 for a text that names none.
int gatewayFromItemText(const QString& text);

// --- language pairs ---

// Source code + "_" + destination code.
QString PairCode(const QString& src, const QString& dst);
// The language-pair name Server 4 expects ("English/French"); empty for a
// pair it does not name.
QString PairTitle(const QString& src, const QString& dst);
// Server 7's language query: "from=eng&&to=fre". Chinese and Korean have
// no three-letter code and give an empty value.
QString FromToCodes(const QString& src, const QString& dst);
// The pair list of a server (1 to 6) as a text of pair codes separated by
// blanks; empty for Server 7, which takes every pair.
QString SupportedPairs(int server);
// Whether a server takes a pair: a case-sensitive substring search of the
// pair code in the server's list, so the pair code "_" of two empty codes
// is found in every list. Server 7 takes every pair.
bool pairSupported(int server, const QString& pairCode);

// --- requests ---

// The request for a page through a server, built piece by piece; the page
// address and the codes go in verbatim.
QString gatewayRequest(const GatewayState& state, int server, const QString& src,
                       const QString& dst, const QString& pageAddress);

// What sending the address box's text does.
struct PagePlan
{
    enum Kind { Navigate, Unsupported } kind = Navigate;
    QString address; // what the browser is sent to
    QString boxText; // the address box's text afterwards
};
PagePlan planTranslatePage(const GatewayState& state, const QString& src, const QString& dst,
                           const QString& boxText);

// The message for a pair the selected server does not take: one carriage
// return, no line feed, between its two lines.
QString unsupportedPairMessage(const QString& srcName, const QString& dstName, int server);

// For an address the browser announces: the gateway request that replaces
// it (Servers 1, 3 and 4 with web translation on, for an address that is
// not already the gateway's), or nothing.
std::optional<QString> LinkThroughGateway(const GatewayState& state, const QString& src,
                                          const QString& dst, const QString& address);

// --- browser mode's small rules ---

// The status text for a progress report of the browser.
QString progressText(int progress, int maximum);
// Whether an address is an item of the address list already, regardless
// of letter case.
bool addressListed(const QStringList& items, const QString& address);

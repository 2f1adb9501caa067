#include "web/Gateways.h"

#include "platform/ProfileFile.h"

#include <cfenv>
#include <cmath>

namespace {
// What follows each gateway's host: its path and fixed query. "&&" is sent
// as two ampersands. Server 7's port is part of its format.
const char* const Paths[7] = {
    "/systran/cgi?partner=demo-SystranSoft&&f=32&&",
    "/tr?",
    "/url_b.html?lp=",
    "/?sequence=core&&language=",
    "/translate_c?",
    "/?partner=Lycos2-en&&submit=Translate&&",
    ":2000/Translate/index.shtml?type=url&&",
};

// The three pair lists exactly as the gateways were configured, the second
// "de_en" of the third list included.
const char* const PairList1 = "de_fr en_de en_es en_fr en_it en_pt es_en es_fr fr_de fr_en fr_es "
                              "fr_it fr_pt it_en it_fr pt_en de_en";
const char* const PairList2 = "en_zh en_fr en_de en_it en_ja en_ko en_pt en_es zh_en fr_en fr_de "
                              "de_en de_fr it_en ja_en ko_en pt_en ru_en es_en";
const char* const PairList3 = "es_en fr_en de_en it_en pt_en en_es en_fr en_de en_it en_pt de_en";

const struct
{
    const char* src;
    const char* dst;
    const char* title;
} PairTitles[] = {
    {"es", "en", "Spanish/English"},    {"fr", "en", "French/English"},
    {"de", "en", "German/English"},     {"it", "en", "Italian/English"},
    {"pt", "en", "Portuguese/English"}, {"en", "es", "English/Spanish"},
    {"en", "fr", "English/French"},     {"en", "de", "English/German"},
    {"en", "it", "English/Italian"},    {"en", "pt", "English/Portuguese"},
};

// Server 7's language codes; Chinese and Korean have none.
const struct
{
    const char* code;
    const char* three;
} ThreeLetterCodes[] = {
    {"en", "eng"}, {"pt", "poe"}, {"es", "spa"}, {"fr", "fre"},
    {"de", "ger"}, {"it", "ita"}, {"ja", "jpn"}, {"ru", "rus"},
};

QString threeLetterCode(const QString& code)
{
    for (const auto& c : ThreeLetterCodes)
        if (code == QLatin1String(c.code))
            return QString::fromLatin1(c.three);
    return QString();
}

const QString Services = QStringLiteral("Services");
} // namespace

const QString GatewayConfig::DefaultHosts[7] = {
    QStringLiteral("127.0.0.1:8731"), QStringLiteral("127.0.0.1:8731"),
    QStringLiteral("127.0.0.1:8731"), QStringLiteral("127.0.0.1:8731"),
    QStringLiteral("127.0.0.1:8731"), QStringLiteral("127.0.0.1:8731"),
    QStringLiteral("127.0.0.1"), // Server 7's ":2000" follows the host
};

GatewayConfig GatewayConfig::defaults()
{
    GatewayConfig c;
    for (int i = 0; i < 7; ++i)
        c.host[i] = DefaultHosts[i];
    return c;
}

GatewayConfig GatewayConfig::read(const ProfileFile& file)
{
    GatewayConfig c = defaults();
    // An empty value would make an address without a host: keep the default.
    for (int i = 0; i < 7; ++i) {
        const QString host =
            file.readString(Services, QStringLiteral("Gateway %1").arg(i + 1), c.host[i]).trimmed();
        if (!host.isEmpty())
            c.host[i] = host;
    }
    return c;
}

GatewayState initialGatewayState(const GatewayConfig& config)
{
    GatewayState s;
    for (int i = 0; i < 7; ++i)
        s.GatewayBase[i] =
            QStringLiteral("http://") + config.host[i] + QString::fromLatin1(Paths[i]);
    s.Server2Tail = QStringLiteral("&&doit=done&&tt=url&&urltext=");
    s.TranslateEnabled = 1;
    s.ServerIndex = 5;
    return s;
}

int gatewayForDestination(const QString& code)
{
    if (code == QLatin1String("ru"))
        return 7;
    if (code == QLatin1String("ja"))
        return 2;
    return 0;
}

QString gatewayItemText(int server)
{
    return QStringLiteral("Server  %1").arg(server);
}

QStringList gatewayItems()
{
    QStringList items;
    for (int n : {5, 4, 6, 7, 3, 1, 2})
        items << gatewayItemText(n);
    return items;
}

int gatewayFromItemText(const QString& text)
{
    for (int n = 1; n <= 7; ++n)
        if (text == gatewayItemText(n))
            return n;
    return 0;
}

QString PairCode(const QString& src, const QString& dst)
{
    return src + QLatin1Char('_') + dst;
}

QString PairTitle(const QString& src, const QString& dst)
{
    for (const auto& t : PairTitles)
        if (src == QLatin1String(t.src) && dst == QLatin1String(t.dst))
            return QString::fromLatin1(t.title);
    return QString();
}

QString FromToCodes(const QString& src, const QString& dst)
{
    return QStringLiteral("from=") + threeLetterCode(src) + QStringLiteral("&&to=") +
           threeLetterCode(dst);
}

QString SupportedPairs(int server)
{
    switch (server) {
    case 1:
    case 5:
    case 6:
        return QString::fromLatin1(PairList1);
    case 2:
    case 3:
        return QString::fromLatin1(PairList2);
    case 4:
        return QString::fromLatin1(PairList3);
    default:
        return QString();
    }
}

bool pairSupported(int server, const QString& pairCode)
{
    if (server == 7)
        return true;
    return SupportedPairs(server).contains(pairCode, Qt::CaseSensitive);
}

QString gatewayRequest(const GatewayState& state, int server, const QString& src,
                       const QString& dst, const QString& page)
{
    const QString pair = PairCode(src, dst);
    switch (server) {
    case 1:
        return state.GatewayBase[0] + QStringLiteral("lp=") + pair + QStringLiteral("&&urltext=") +
               page;
    case 2:
        return state.GatewayBase[1] + QStringLiteral("lp=") + pair + QStringLiteral("&&url=") +
               page + state.Server2Tail;
    case 3:
        return state.GatewayBase[2] + pair + QStringLiteral("&&url=") + page;
    case 4:
        return state.GatewayBase[3] + PairTitle(src, dst) + QStringLiteral("&&url=") + page;
    case 5:
        return state.GatewayBase[4] + QStringLiteral("sl=") + src + QStringLiteral("&&hl=") + dst +
               QStringLiteral("&&u=") + page;
    case 6:
        return state.GatewayBase[5] + QStringLiteral("lp=") + pair + QStringLiteral("&&urltext=") +
               page;
    case 7:
        return state.GatewayBase[6] + FromToCodes(src, dst) + QStringLiteral("&&url=") + page;
    default:
        return QString();
    }
}

PagePlan planTranslatePage(const GatewayState& state, const QString& src, const QString& dst,
                           const QString& boxText)
{
    PagePlan plan;
    plan.boxText = boxText;
    if (state.TranslateEnabled == 0) {
        plan.address = boxText; // straight to the address, as typed
        return plan;
    }
    const int server = state.ServerIndex;
    if (server < 1 || server > 7 || !pairSupported(server, PairCode(src, dst))) {
        plan.kind = PagePlan::Unsupported;
        return plan;
    }
    // Server 1 takes the address as typed; the others want a scheme, and
    // the user sees the address that was sent.
    if (server != 1 && !boxText.contains(QLatin1String("http://"), Qt::CaseSensitive))
        plan.boxText = QStringLiteral("http://") + boxText;
    plan.address = gatewayRequest(state, server, src, dst, plan.boxText);
    return plan;
}

QString unsupportedPairMessage(const QString& srcName, const QString& dstName, int server)
{
    return srcName + QStringLiteral("->") + dstName +
           QStringLiteral(" Translation are not supported by Server ") + QString::number(server) +
           QLatin1Char('\r') + QStringLiteral("Try another server please.");
}

std::optional<QString> LinkThroughGateway(const GatewayState& state, const QString& src,
                                          const QString& dst, const QString& address)
{
    const int server = state.ServerIndex;
    if (state.TranslateEnabled != 1 || (server != 1 && server != 3 && server != 4))
        return std::nullopt;
    // The gateway's own requests pass.
    if (address.contains(state.GatewayBase[server - 1], Qt::CaseSensitive))
        return std::nullopt;
    return gatewayRequest(state, server, src, dst, address);
}

QString progressText(int progress, int maximum)
{
    if (maximum == 0)
        return QStringLiteral("Done.");
    // Rounded to the nearest whole number, halves to the even neighbour.
    const double percent = double(progress) / double(maximum) * 100.0;
    const int oldMode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(percent);
    std::fesetround(oldMode);
    return QStringLiteral("Translating ... ") + QString::number(qint64(rounded)) +
           QStringLiteral("% Complete.");
}

bool addressListed(const QStringList& items, const QString& address)
{
    return items.contains(address, Qt::CaseInsensitive);
}

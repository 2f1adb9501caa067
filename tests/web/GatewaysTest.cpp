#include "web/Gateways.h"
#include "QtPrinters.h"

#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// Hosts of our own choosing, so that every piece of a request is visible.
GatewayState stateWithHosts()
{
    GatewayConfig config = GatewayConfig::defaults();
    for (int i = 0; i < 7; ++i)
        config.host[i] = QStringLiteral("h%1").arg(i + 1);
    return initialGatewayState(config);
}

GatewayState onServer(int server, int enabled = 1)
{
    GatewayState state = stateWithHosts();
    state.ServerIndex = server;
    state.TranslateEnabled = enabled;
    return state;
}
} // namespace

TEST(Gateways, EnglishToFrenchRequestOfEachServer)
{
    const QString page = s("http://example.org/a?b=1&c=%20");
    const char* expected[7] = {
        "http://h1/systran/cgi?partner=demo-SystranSoft&&f=32&&lp=en_fr&&urltext=",
        "http://h2/tr?lp=en_fr&&url=",
        "http://h3/url_b.html?lp=en_fr&&url=",
        "http://h4/?sequence=core&&language=English/French&&url=",
        "http://h5/translate_c?sl=en&&hl=fr&&u=",
        "http://h6/?partner=Lycos2-en&&submit=Translate&&lp=en_fr&&urltext=",
        "http://h7:2000/Translate/index.shtml?type=url&&from=eng&&to=fre&&url=",
    };
    for (int server = 1; server <= 7; ++server) {
        QString want = s(expected[server - 1]) + page;
        if (server == 2)
            want += s("&&doit=done&&tt=url&&urltext=");
        const PagePlan plan = planTranslatePage(onServer(server), s("en"), s("fr"), page);
        EXPECT_EQ(plan.kind, PagePlan::Navigate) << server;
        EXPECT_EQ(plan.address, want) << server;
        EXPECT_EQ(plan.boxText, page) << server;
    }
}

TEST(Gateways, DefaultsPointAtTheLocalServiceAndConfigurationReplacesThem)
{
    const GatewayState defaults = initialGatewayState();
    EXPECT_EQ(defaults.GatewayBase[4], s("http://127.0.0.1:8731/translate_c?"));
    EXPECT_EQ(defaults.GatewayBase[6], s("http://127.0.0.1:2000/Translate/index.shtml?type=url&&"));
    EXPECT_EQ(defaults.ServerIndex, 5);
    EXPECT_EQ(defaults.TranslateEnabled, 1);

    ProfileFile file;
    file.loadFromBytes("[services]\ngateway 1=example.net:81\nGateway 2=\nGateway 7=tr.example\n");
    const GatewayState state = initialGatewayState(GatewayConfig::read(file));
    EXPECT_EQ(state.GatewayBase[0],
              s("http://example.net:81/systran/cgi?partner=demo-SystranSoft&&f=32&&"));
    // An empty value keeps the default host.
    EXPECT_EQ(state.GatewayBase[1], s("http://127.0.0.1:8731/tr?"));
    EXPECT_EQ(state.GatewayBase[6], s("http://tr.example:2000/Translate/index.shtml?type=url&&"));
}

TEST(Gateways, SendingTheAddressBox)
{
    const struct
    {
        int server;
        int enabled;
        const char* src;
        const char* dst;
        const char* box;
        bool sent;
        const char* address; // the request, when sent
        const char* boxAfter;
    } rows[] = {
        // Server 1 takes the address as typed; the others add the scheme.
        {1, 1, "en", "fr", "example.org", true,
         "http://h1/systran/cgi?partner=demo-SystranSoft&&f=32&&lp=en_fr&&urltext=example.org",
         "example.org"},
        {3, 1, "en", "fr", "example.org", true,
         "http://h3/url_b.html?lp=en_fr&&url=http://example.org", "http://example.org"},
        {4, 1, "fr", "en", "example.org", true,
         "http://h4/?sequence=core&&language=French/English&&url=http://example.org",
         "http://example.org"},
        // "http://" anywhere counts; the test is case-sensitive.
        {5, 1, "en", "es", "see http://x.org", true,
         "http://h5/translate_c?sl=en&&hl=es&&u=see http://x.org", "see http://x.org"},
        {6, 1, "en", "es", "HTTP://X.ORG", true,
         "http://h6/?partner=Lycos2-en&&submit=Translate&&lp=en_es&&urltext=http://HTTP://X.ORG",
         "http://HTTP://X.ORG"},
        {2, 1, "ru", "en", "https://x.org/", true,
         "http://h2/tr?lp=ru_en&&url=http://https://x.org/&&doit=done&&tt=url&&urltext=",
         "http://https://x.org/"},
        // Unsupported pairs send nothing and leave the box untouched.
        {1, 1, "en", "ko", "example.org", false, "", "example.org"},
        {2, 1, "en", "ru", "example.org", false, "", "example.org"},
        {3, 1, "fr", "it", "example.org", false, "", "example.org"},
        {4, 1, "en", "zh", "example.org", false, "", "example.org"},
        {5, 1, "ru", "en", "example.org", false, "", "example.org"},
        {6, 1, "de", "it", "example.org", false, "", "example.org"},
        // The same language on both sides is in no list...
        {1, 1, "en", "en", "x", false, "", "x"},
        {2, 1, "en", "en", "x", false, "", "x"},
        {3, 1, "en", "en", "x", false, "", "x"},
        {4, 1, "en", "en", "x", false, "", "x"},
        {5, 1, "en", "en", "x", false, "", "x"},
        {6, 1, "en", "en", "x", false, "", "x"},
        // ...but Server 7 takes every pair, also without three-letter codes.
        {7, 1, "en", "en", "x", true,
         "http://h7:2000/Translate/index.shtml?type=url&&from=eng&&to=eng&&url=http://x",
         "http://x"},
        {7, 1, "en", "zh", "x", true,
         "http://h7:2000/Translate/index.shtml?type=url&&from=eng&&to=&&url=http://x", "http://x"},
        {7, 1, "ko", "pt", "x", true,
         "http://h7:2000/Translate/index.shtml?type=url&&from=&&to=poe&&url=http://x", "http://x"},
        {7, 1, "ja", "ru", "x", true,
         "http://h7:2000/Translate/index.shtml?type=url&&from=jpn&&to=rus&&url=http://x",
         "http://x"},
        // Empty codes: the pair code "_" is found inside every list.
        {1, 1, "", "", "x", true,
         "http://h1/systran/cgi?partner=demo-SystranSoft&&f=32&&lp=_&&urltext=x", "x"},
        {2, 1, "", "", "x", true,
         "http://h2/tr?lp=_&&url=http://x&&doit=done&&tt=url&&urltext=", "http://x"},
        {3, 1, "", "", "x", true, "http://h3/url_b.html?lp=_&&url=http://x", "http://x"},
        {4, 1, "", "", "x", true, "http://h4/?sequence=core&&language=&&url=http://x", "http://x"},
        {5, 1, "", "", "x", true, "http://h5/translate_c?sl=&&hl=&&u=http://x", "http://x"},
        {6, 1, "", "", "x", true,
         "http://h6/?partner=Lycos2-en&&submit=Translate&&lp=_&&urltext=http://x", "http://x"},
        // A single empty code is found inside the list when an entry holds
        // the rest.
        {1, 1, "en", "", "x", true,
         "http://h1/systran/cgi?partner=demo-SystranSoft&&f=32&&lp=en_&&urltext=x", "x"},
        // Disabled: the text goes to the browser as typed.
        {2, 0, "en", "ko", "example.org", true, "example.org", "example.org"},
        {7, 0, "en", "fr", "  odd text ", true, "  odd text ", "  odd text "},
    };
    for (const auto& r : rows) {
        const PagePlan plan =
            planTranslatePage(onServer(r.server, r.enabled), s(r.src), s(r.dst), s(r.box));
        const std::string where =
            std::to_string(r.server) + " " + r.src + "_" + r.dst + " " + r.box;
        EXPECT_EQ(plan.kind, r.sent ? PagePlan::Navigate : PagePlan::Unsupported) << where;
        if (r.sent) {
            EXPECT_EQ(plan.address, s(r.address)) << where;
        }
        EXPECT_EQ(plan.boxText, s(r.boxAfter)) << where;
    }
}

TEST(Gateways, PairListsAsHeld)
{
    EXPECT_EQ(SupportedPairs(1), SupportedPairs(5));
    EXPECT_EQ(SupportedPairs(1), SupportedPairs(6));
    EXPECT_EQ(SupportedPairs(2), SupportedPairs(3));
    EXPECT_EQ(SupportedPairs(4),
              s("es_en fr_en de_en it_en pt_en en_es en_fr en_de en_it en_pt de_en"));
    EXPECT_EQ(SupportedPairs(1).split(QLatin1Char(' ')).size(), 17);
    EXPECT_EQ(SupportedPairs(2).split(QLatin1Char(' ')).size(), 19);
    EXPECT_TRUE(SupportedPairs(7).isEmpty());
    EXPECT_TRUE(pairSupported(7, s("ko_ko")));
    EXPECT_TRUE(pairSupported(2, s("ru_en")));
    EXPECT_FALSE(pairSupported(1, s("ru_en")));
    EXPECT_FALSE(pairSupported(4, s("fr_de")));
    // Case-sensitive.
    EXPECT_FALSE(pairSupported(1, s("EN_FR")));
}

TEST(Gateways, PairTitleAndThreeLetterCodes)
{
    const char* titled[][3] = {
        {"es", "en", "Spanish/English"},
        {"fr", "en", "French/English"},
        {"de", "en", "German/English"},
        {"it", "en", "Italian/English"},
        {"pt", "en", "Portuguese/English"},
        {"en", "es", "English/Spanish"},
        {"en", "fr", "English/French"},
        {"en", "de", "English/German"},
        {"en", "it", "English/Italian"},
        {"en", "pt", "English/Portuguese"},
        {"fr", "de", ""},
        {"en", "en", ""},
        {"ru", "en", ""},
        {"", "", ""},
    };
    for (const auto& t : titled)
        EXPECT_EQ(PairTitle(s(t[0]), s(t[1])), s(t[2])) << t[0] << "_" << t[1];

    const char* codes[][2] = {{"en", "eng"}, {"pt", "poe"}, {"es", "spa"}, {"fr", "fre"},
                              {"de", "ger"}, {"it", "ita"}, {"ja", "jpn"}, {"ru", "rus"},
                              {"zh", ""},    {"ko", ""},    {"", ""}};
    for (const auto& c : codes)
        EXPECT_EQ(FromToCodes(s(c[0]), s("en")), s("from=") + s(c[1]) + s("&&to=eng")) << c[0];
}

TEST(Gateways, UnsupportedPairMessageHasOneCarriageReturn)
{
    EXPECT_EQ(unsupportedPairMessage(s("English"), s("Korean"), 1),
              s("English->Korean Translation are not supported by Server 1\r"
                "Try another server please."));
    EXPECT_FALSE(unsupportedPairMessage(s("a"), s("b"), 6).contains(QLatin1Char('\n')));
}

TEST(Gateways, LinksFollowedThroughTheGateway)
{
    const struct
    {
        int server;
        int enabled;
        const char* src;
        const char* dst;
        const char* address;
        const char* request; // null: the navigation goes ahead
    } rows[] = {
        {1, 1, "en", "fr", "http://other.example/page.html",
         "http://h1/systran/cgi?partner=demo-SystranSoft&&f=32&&lp=en_fr&&urltext="
         "http://other.example/page.html"},
        {3, 1, "en", "fr", "http://other.example/page.html",
         "http://h3/url_b.html?lp=en_fr&&url=http://other.example/page.html"},
        {4, 1, "en", "fr", "http://other.example/page.html",
         "http://h4/?sequence=core&&language=English/French&&url=http://other.example/page.html"},
        // No list is consulted: an unnamed pair gives an empty language.
        {4, 1, "fr", "de", "other.example",
         "http://h4/?sequence=core&&language=&&url=other.example"},
        {1, 1, "en", "ko", "x",
         "http://h1/systran/cgi?partner=demo-SystranSoft&&f=32&&lp=en_ko&&urltext=x"},
        // The other servers' pages are followed as they are.
        {2, 1, "en", "fr", "http://other.example/page.html", nullptr},
        {5, 1, "en", "fr", "http://other.example/page.html", nullptr},
        {6, 1, "en", "fr", "http://other.example/page.html", nullptr},
        {7, 1, "en", "fr", "http://other.example/page.html", nullptr},
        {1, 0, "en", "fr", "http://other.example/page.html", nullptr},
        // The gateway's own requests pass, also for another pair.
        {1, 1, "en", "fr",
         "http://h1/systran/cgi?partner=demo-SystranSoft&&f=32&&lp=de_en&&urltext=y", nullptr},
        {3, 1, "en", "fr", "http://h3/url_b.html?lp=fr_en&&url=z", nullptr},
        {4, 1, "en", "fr", "http://h4/?sequence=core&&language=", nullptr},
        // Only the selected server's base lets an address pass.
        {3, 1, "en", "fr", "http://h4/?sequence=core&&language=&&url=z",
         "http://h3/url_b.html?lp=en_fr&&url=http://h4/?sequence=core&&language=&&url=z"},
        // Case-sensitive.
        {3, 1, "en", "fr",
         "HTTP://H3/url_b.html?lp=", "http://h3/url_b.html?lp=en_fr&&url=HTTP://H3/url_b.html?lp="},
    };
    for (const auto& r : rows) {
        const auto got =
            LinkThroughGateway(onServer(r.server, r.enabled), s(r.src), s(r.dst), s(r.address));
        const std::string where = std::to_string(r.server) + " " + r.address;
        if (r.request) {
            ASSERT_TRUE(got.has_value()) << where;
            EXPECT_EQ(*got, s(r.request)) << where;
        } else {
            EXPECT_FALSE(got.has_value()) << where;
        }
    }
}

TEST(Gateways, ProgressTextRoundsHalvesToEven)
{
    const struct
    {
        int progress, maximum;
        const char* text;
    } rows[] = {
        {0, 0, "Done."},
        {50, 0, "Done."},
        {1, 8, "Translating ... 12% Complete."},  // 12.5
        {3, 8, "Translating ... 38% Complete."},  // 37.5
        {1, 200, "Translating ... 0% Complete."}, // 0.5
        {3, 200, "Translating ... 2% Complete."}, // 1.5
        {100, 100, "Translating ... 100% Complete."},
        {-1, 100, "Translating ... -1% Complete."},
        {-1, 1000, "Translating ... 0% Complete."},
        {5, -10, "Translating ... -50% Complete."},
        {2147483647, 1, "Translating ... 214748364700% Complete."},
    };
    for (const auto& r : rows)
        EXPECT_EQ(progressText(r.progress, r.maximum), s(r.text)) << r.progress << "/" << r.maximum;
}

TEST(Gateways, SelectorItemsAndAddressList)
{
    EXPECT_EQ(gatewayItems(),
              QStringList({s("Server  5"), s("Server  4"), s("Server  6"), s("Server  7"),
                           s("Server  3"), s("Server  1"), s("Server  2")}));
    for (int n = 1; n <= 7; ++n)
        EXPECT_EQ(gatewayFromItemText(gatewayItemText(n)), n);
    for (const char* other : {"Server 5", "server  5", "Server  8", "", "Server  5 "})
        EXPECT_EQ(gatewayFromItemText(s(other)), 0) << other;

    const QStringList items{s("http://Example.org/"), s("b")};
    EXPECT_TRUE(addressListed(items, s("HTTP://EXAMPLE.ORG/")));
    EXPECT_FALSE(addressListed(items, s("http://example.org")));
}

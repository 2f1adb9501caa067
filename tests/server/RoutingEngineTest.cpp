// The routing engine's choices, with engines of our own in place of the
// local pairs and the servers: which engine takes each mode, the pivot
// across engines, what happens when a server fails or changes its mind.
#include "server/remote/RoutingEngine.h"
#include "server/engine/ServiceFault.h"

#include <QTest>
#include <gtest/gtest.h>
#include <mutex>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

QSet<QString> modes(std::initializer_list<const char*> list)
{
    QSet<QString> set;
    for (const char* m : list)
        set << s(m);
    return set;
}

// The local engine: the given modes, each translation tagged "L".
class LocalFake : public EchoEngine
{
public:
    explicit LocalFake(QSet<QString> modes) : m_modes(std::move(modes)) {}
    QString translate(const TranslationMode& mode, const QString& text) override
    {
        return mode.source == mode.target ? text : QStringLiteral("L%1(%2)").arg(mode.text(), text);
    }
    bool canTranslate(const TranslationMode& mode) const override
    {
        return mode.source == mode.target || m_modes.contains(mode.text());
    }

private:
    QSet<QString> m_modes;
};

// A server: what it offers, how it answers, settable while it runs.
class RemoteFake : public RemoteEngine
{
public:
    RemoteFake(const char* tag, QSet<QString> offer)
        : RemoteEngine(config(tag)), m_tag(QString::fromLatin1(tag)), m_offer(std::move(offer))
    {
    }
    static RemoteEngineConfig config(const char* tag)
    {
        RemoteEngineConfig c;
        c.url = QUrl(QStringLiteral("http://%1.test/").arg(QLatin1String(tag)));
        return c;
    }
    QSet<QString> discover() override
    {
        std::lock_guard lock(m_mutex);
        ++m_discoveries;
        if (m_down)
            throw RemoteFailure(RemoteFailure::Kind::Unreachable,
                                QStringLiteral("The translation server at http://%1.test/ does "
                                               "not answer.")
                                    .arg(m_tag));
        return m_offer;
    }
    bool takesStreams() const override { return true; }
    QString translate(const TranslationMode& mode, const QString& text) override
    {
        std::lock_guard lock(m_mutex);
        if (m_failure)
            throw *m_failure;
        return QStringLiteral("%1%2(%3)").arg(m_tag, mode.text(), text);
    }
    QByteArray translateStream(const TranslationMode& mode, const QByteArray& stream) override
    {
        return translate(mode, QString::fromUtf8(stream)).toUtf8();
    }

    void setOffer(QSet<QString> offer)
    {
        std::lock_guard lock(m_mutex);
        m_offer = std::move(offer);
    }
    void setDown(bool down)
    {
        std::lock_guard lock(m_mutex);
        m_down = down;
    }
    void failWith(std::optional<RemoteFailure> failure)
    {
        std::lock_guard lock(m_mutex);
        m_failure = std::move(failure);
    }
    int discoveries() const
    {
        std::lock_guard lock(m_mutex);
        return m_discoveries;
    }

private:
    const QString m_tag;
    mutable std::mutex m_mutex;
    QSet<QString> m_offer;
    bool m_down = false;
    int m_discoveries = 0;
    std::optional<RemoteFailure> m_failure;
};

struct Engines
{
    RemoteFake* a = nullptr;
    RemoteFake* b = nullptr;
    std::unique_ptr<RoutingEngine> engine;
};

// Local: en<->es. A: de<->en, de->es. B: es<->ja, de->ja, en->de.
Engines make(const RoutingEngine::Options& options = {})
{
    Engines setup;
    auto a = std::make_unique<RemoteFake>("a", modes({"de_en", "en_de", "de_es"}));
    auto b = std::make_unique<RemoteFake>("b", modes({"es_ja", "ja_es", "de_ja", "en_de"}));
    setup.a = a.get();
    setup.b = b.get();
    std::vector<std::unique_ptr<RemoteEngine>> remotes;
    remotes.push_back(std::move(a));
    remotes.push_back(std::move(b));
    setup.engine =
        std::make_unique<RoutingEngine>(std::make_unique<LocalFake>(modes({"en_es", "es_en"})),
                                        s("local"), std::move(remotes), options);
    EXPECT_TRUE(setup.engine->waitForDiscovery(std::chrono::seconds(10)));
    return setup;
}

QString faultOf(RoutingEngine& engine, const char* mode)
{
    try {
        engine.translate(TranslationMode::parse(s(mode)), s("x"));
    } catch (const ServiceFault& fault) {
        return fault.message();
    }
    return {};
}
} // namespace

TEST(RoutingEngine, EachModeGoesToTheFirstEngineThatTranslatesIt)
{
    Engines setup = make();
    struct Row
    {
        const char* mode;
        const char* translation;
        const char* engine;
    };
    const Row rows[] = {
        // Local pairs stay local.
        {"en_es", "Len_es(x)", "local"},
        // The first remote with the mode directly, in order.
        {"de_en", "ade_en(x)", "LibreTranslate at http://a.test/"},
        {"en_de", "aen_de(x)", "LibreTranslate at http://a.test/"},
        {"de_ja", "bde_ja(x)", "LibreTranslate at http://b.test/"},
        // Through Spanish, each leg on the first engine that has it.
        {"en_ja", "bes_ja(Len_es(x))", "local (to Spanish), then LibreTranslate at http://b.test/"},
        {"ja_en", "Les_en(bja_es(x))", "LibreTranslate at http://b.test/ (to Spanish), then local"},
        // The same language twice needs no engine.
        {"fr_fr", "x", "local"},
    };
    for (const Row& row : rows) {
        const NamedTranslation named =
            setup.engine->translateNamed(TranslationMode::parse(s(row.mode)), s("x"));
        EXPECT_EQ(named.text, s(row.translation)) << row.mode;
        EXPECT_EQ(named.engine, s(row.engine)) << row.mode;
        EXPECT_TRUE(setup.engine->canTranslate(TranslationMode::parse(s(row.mode)))) << row.mode;
    }
    for (const char* none : {"ko_ru", "ja_de", "fr_en"}) {
        EXPECT_FALSE(setup.engine->canTranslate(TranslationMode::parse(s(none)))) << none;
        EXPECT_TRUE(faultOf(*setup.engine, none).startsWith(s("No translation from ")))
            << faultOf(*setup.engine, none).toStdString();
    }
    EXPECT_EQ(faultOf(*setup.engine, "ko_ru"),
              s("No translation from Korean to Russian is installed on this server or offered by "
                "the translation servers it uses"));
}

TEST(RoutingEngine, AnExplicitRouteWinsWhileItsEngineHasTheMode)
{
    RoutingEngine::Options options;
    options.routes[s("en_de")] = 1; // b rather than a
    options.routes[s("en_es")] = 0; // a lacks it: stays local
    Engines setup = make(options);
    EXPECT_EQ(setup.engine->translate(TranslationMode::parse(s("en_de")), s("x")), s("ben_de(x)"));
    EXPECT_EQ(setup.engine->translate(TranslationMode::parse(s("en_es")), s("x")), s("Len_es(x)"));
    setup.b->setDown(true);
    setup.b->failWith(
        RemoteFailure(RemoteFailure::Kind::Unreachable,
                      s("The translation server at http://b.test/ does not answer.")));
    // b fails: the request goes on with a, and b is skipped from now on.
    EXPECT_EQ(setup.engine->translate(TranslationMode::parse(s("en_de")), s("x")), s("aen_de(x)"));
    EXPECT_EQ(setup.engine->routeName(TranslationMode::parse(s("en_de"))),
              s("LibreTranslate at http://a.test/"));
}

TEST(RoutingEngine, AFailingServerIsSkippedUntilItAnswersAgain)
{
    RoutingEngine::Options options;
    options.refresh = std::chrono::milliseconds(100);
    Engines setup = make(options);
    const TranslationMode deEn = TranslationMode::parse(s("de_en"));

    // A failure of this request only: the fault names the server, which
    // stays in use.
    setup.a->failWith(RemoteFailure(
        RemoteFailure::Kind::Failed,
        s("The translation server at http://a.test/ could not translate the text: too long.")));
    EXPECT_EQ(faultOf(*setup.engine, "de_en"),
              s("The translation server at http://a.test/ could not translate the text: too "
                "long."));
    EXPECT_TRUE(setup.engine->canTranslate(deEn));

    // Refused: skipped, and the mode now says why until a answers again.
    setup.a->setDown(true);
    setup.a->failWith(RemoteFailure(RemoteFailure::Kind::Refused,
                                    s("The translation server at http://a.test/ refused the API "
                                      "key.")));
    EXPECT_EQ(faultOf(*setup.engine, "de_en"),
              s("The translation server at http://a.test/ refused the API key."));
    QTRY_VERIFY_WITH_TIMEOUT(!setup.engine->canTranslate(deEn), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(faultOf(*setup.engine, "de_en"),
                              s("The translation server at http://a.test/ does not answer."), 5000);
    // A mode it could not have made either is not blamed on it.
    EXPECT_EQ(faultOf(*setup.engine, "de_ko"),
              s("No translation from German to Korean is installed on this server or offered by "
                "the translation servers it uses"));
    EXPECT_EQ(faultOf(*setup.engine, "de_es"),
              s("The translation server at http://a.test/ does not answer."));
    // en_de goes on with b meanwhile.
    EXPECT_EQ(setup.engine->translate(TranslationMode::parse(s("en_de")), s("x")), s("ben_de(x)"));

    setup.a->failWith(std::nullopt);
    setup.a->setDown(false);
    QTRY_VERIFY_WITH_TIMEOUT(setup.engine->canTranslate(deEn), 5000);
    EXPECT_EQ(setup.engine->translate(deEn, s("x")), s("ade_en(x)"));
}

TEST(RoutingEngine, RoutesFollowWhatEachServerOffersNow)
{
    RoutingEngine::Options options;
    options.refresh = std::chrono::milliseconds(100);
    Engines setup = make(options);
    const TranslationMode koEs = TranslationMode::parse(s("ko_es"));
    EXPECT_FALSE(setup.engine->canTranslate(koEs));
    setup.b->setOffer(modes({"ko_es", "es_ja"}));
    QTRY_VERIFY_WITH_TIMEOUT(setup.engine->canTranslate(koEs), 5000);
    EXPECT_EQ(setup.engine->translate(koEs, s("x")), s("bko_es(x)"));
    // ja_es went with the new offer.
    EXPECT_FALSE(setup.engine->canTranslate(TranslationMode::parse(s("ja_es"))));
    EXPECT_GE(setup.b->discoveries(), 2);
    const QString report = setup.engine->routeReport();
    EXPECT_TRUE(report.contains(s("route ko_es LibreTranslate at http://b.test/\n")))
        << report.toStdString();
    EXPECT_TRUE(report.contains(s("route ja_es none\n"))) << report.toStdString();
}

TEST(RoutingEngine, WithoutRemotesEverythingStaysLocal)
{
    RoutingEngine engine(std::make_unique<LocalFake>(modes({"en_es"})), s("Apertium"), {}, {});
    EXPECT_TRUE(engine.waitForDiscovery(std::chrono::milliseconds(1)));
    const NamedTranslation named =
        engine.translateNamed(TranslationMode::parse(s("en_es")), s("x"));
    EXPECT_EQ(named.text, s("Len_es(x)"));
    EXPECT_EQ(named.engine, s("Apertium"));
    EXPECT_EQ(faultOf(engine, "en_de"),
              s("No translation from English to German is installed on this server"));
}

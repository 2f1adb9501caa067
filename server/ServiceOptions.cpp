#include "server/ServiceOptions.h"

#include "platform/Errors.h"
#include "server/http/HostCheck.h"

#include <thread>

namespace {
ListenAddress address(const QString& option, const QString& value)
{
    const auto parsed = ListenAddress::parse(value);
    if (!parsed)
        throw TarquellError(QStringLiteral("%1 needs ADDR:PORT, such as 127.0.0.1:8731, not \"%2\"")
                                .arg(option, value));
    return *parsed;
}

int positive(const QString& option, const QString& value, const char* unit)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n <= 0)
        throw TarquellError(
            QStringLiteral("%1 needs %2, not \"%3\"").arg(option, QLatin1String(unit), value));
    return n;
}
} // namespace

ServiceOptions ServiceOptions::parse(const QStringList& arguments)
{
    ServiceOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> inlineValue;
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && equals > 0) {
            inlineValue = name.mid(equals + 1);
            name.truncate(equals);
        }
        const auto value = [&]() -> QString {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= arguments.size())
                throw TarquellError(QStringLiteral("%1 needs a value").arg(name));
            return arguments[++i];
        };
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.help = true;
        } else if (name == QLatin1String("--allow-private-pages")) {
            if (inlineValue)
                throw TarquellError(QStringLiteral("%1 takes no value").arg(name));
            options.allowPrivatePages = true;
        } else if (name == QLatin1String("--keyless-from-anywhere")) {
            if (inlineValue)
                throw TarquellError(QStringLiteral("%1 takes no value").arg(name));
            options.keylessFromAnywhere = true;
        } else if (name == QLatin1String("--allow-host")) {
            const QString host = value();
            if (!HostCheck::isName(host))
                throw TarquellError(
                    QStringLiteral("--allow-host needs a host name, such as translate.example.org "
                                   "or translate.example.org:443, not \"%1\"")
                        .arg(host.left(80)));
            options.allowHosts << host;
        } else if (name == QLatin1String("--listen")) {
            if (options.defaultListen)
                options.listen.clear();
            options.defaultListen = false;
            options.listen << address(name, value());
        } else if (name == QLatin1String("--probe")) {
            options.probe = address(name, value());
        } else if (name == QLatin1String("--engine")) {
            const QString engine = value();
            if (engine == QLatin1String("apertium"))
                options.engine = Engine::Apertium;
            else if (engine == QLatin1String("echo"))
                options.engine = Engine::Echo;
            else
                throw TarquellError(
                    QStringLiteral("--engine is apertium or echo, not \"%1\"").arg(engine));
        } else if (name == QLatin1String("--modes-dir")) {
            options.modesDir = value();
        } else if (name == QLatin1String("--pipeline-timeout")) {
            options.pipelineTimeout =
                std::chrono::milliseconds(positive(name, value(), "milliseconds"));
        } else if (name == QLatin1String("--pipelines")) {
            options.pipelines = positive(name, value(), "a number");
        } else if (name == QLatin1String("--pipeline-idle")) {
            options.pipelineIdle = std::chrono::seconds(positive(name, value(), "seconds"));
        } else if (name == QLatin1String("--mark-unknown")) {
            options.markUnknown = true;
        } else if (name == QLatin1String("--max-connections")) {
            options.limits.maxConnections = positive(name, value(), "a number");
        } else if (name == QLatin1String("--max-per-address")) {
            options.limits.maxPerAddress = positive(name, value(), "a number");
        } else if (name == QLatin1String("--page-max-bytes")) {
            options.limits.pageBytes = static_cast<size_t>(positive(name, value(), "a number"));
        } else if (name == QLatin1String("--page-timeout")) {
            options.limits.pageTimeout =
                std::chrono::milliseconds(positive(name, value(), "milliseconds"));
        } else if (name == QLatin1String("--header-timeout")) {
            options.limits.headerSeconds =
                static_cast<unsigned>(positive(name, value(), "seconds"));
        } else if (name == QLatin1String("--api-keys")) {
            options.apiKeysFile = value();
        } else if (name == QLatin1String("--char-limit")) {
            const QString limit = value();
            options.charLimit =
                limit == QLatin1String("-1") ? -1 : positive(name, limit, "a number");
        } else if (name == QLatin1String("--file-store-bytes")) {
            options.fileStoreBytes = positive(name, value(), "a number");
        } else if (name == QLatin1String("--file-lifetime")) {
            options.fileLifetime = std::chrono::seconds(positive(name, value(), "seconds"));
        } else if (name == QLatin1String("--idle-timeout")) {
            options.limits.idleSeconds = static_cast<unsigned>(positive(name, value(), "seconds"));
        } else if (name == QLatin1String("--remote")) {
            options.engines.remotes << EngineSettings::parseRemote(name, value());
        } else if (name == QLatin1String("--remote-key")) {
            // The key itself is never repeated in a message.
            const QString given = value();
            const qsizetype equals = given.indexOf(QLatin1Char('='));
            if (equals <= 0 || !RemoteEngineConfig::kindFromName(given.left(equals)))
                throw TarquellError(QStringLiteral("--remote-key needs KIND=KEY, where KIND is "
                                                   "libretranslate or apertium-apy"));
            options.engines.keys.append({given.left(equals), given.mid(equals + 1)});
        } else if (name == QLatin1String("--remote-timeout")) {
            options.engines.timeout = std::chrono::seconds(positive(name, value(), "seconds"));
        } else if (name == QLatin1String("--remote-refresh")) {
            options.engines.refresh = std::chrono::seconds(positive(name, value(), "seconds"));
        } else if (name == QLatin1String("--route")) {
            const QString given = value();
            const qsizetype equals = given.indexOf(QLatin1Char('='));
            if (equals <= 0)
                throw TarquellError(
                    QStringLiteral("--route needs MODE=ENGINE, such as en_es=libretranslate, not "
                                   "\"%1\"")
                        .arg(given.left(80)));
            options.engines.routes[given.left(equals)] = given.mid(equals + 1);
        } else {
            throw TarquellError(QStringLiteral("unknown option \"%1\"").arg(arguments[i]));
        }
        if (inlineValue && (name == QLatin1String("--help") || name == QLatin1String("-h") ||
                            name == QLatin1String("--mark-unknown")))
            throw TarquellError(QStringLiteral("%1 takes no value").arg(name));
    }
    if (options.pipelines == 0)
        options.pipelines = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return options;
}

QString ServiceOptions::usage()
{
    return QStringLiteral(
        "Usage: tarquell-service [OPTIONS]\n"
        "The local SOAP 1.1 translation service of Tarquell Translator, its web page\n"
        "gateway, and LibreTranslate's HTTP API (/translate, /languages, /detect,\n"
        "/translate_file) on the same addresses.\n"
        "\n"
        "  --listen ADDR:PORT        where to listen; may be given more than once (default\n"
        "                            127.0.0.1:8731, and 127.0.0.1:2000 for the gateway whose\n"
        "                            requests name that port, if it is free). Port 0 picks a\n"
        "                            free port. Standard output gets \"listening on\n"
        "                            ADDR:PORT\" for each address once requests are taken.\n"
        "  --engine apertium|echo    translate with Apertium (default), or answer\n"
        "                            \"[en_fr] text\" for tests\n"
        "  --probe ADDR:PORT         exit with 0 when a tarquell-service answers there, 1 if not\n"
        "  --modes-dir DIR           Apertium modes (default /usr/share/apertium/modes)\n"
        "  --pipelines N             Apertium pipelines per language pair at most (default:\n"
        "                            the number of cores); each starts when the others are\n"
        "                            busy\n"
        "  --pipeline-idle S         a pipeline unused for S seconds is stopped (default 300)\n"
        "  --pipeline-timeout MS     the least time a pipeline has to answer (default 5000),\n"
        "                            plus 50 ms per KiB of text; past it the pipeline is\n"
        "                            killed and restarted, and only that request fails\n"
        "  --mark-unknown            mark the words Apertium does not know with \"*\"\n"
        "  --max-connections N       open connections at most (default 2048); more are\n"
        "                            closed at once\n"
        "  --max-per-address N       open connections from one address other than this\n"
        "                            machine's own (default 256); near the total, the\n"
        "                            connection idle longest is closed for a new one\n"
        "  --page-max-bytes N        the largest page the web gateway fetches (default\n"
        "                            8388608, 8 MiB)\n"
        "  --page-timeout MS         the time a page fetch may take, redirects included\n"
        "                            (default 20000)\n"
        "  --header-timeout S        a request's headers must be in within S seconds of the\n"
        "                            connection or the previous reply (default 10); a body\n"
        "                            must then come at 32 KiB/s on average\n"
        "  --idle-timeout S          a connection silent for S seconds is closed (default 5)\n"
        "  --allow-private-pages     let the web page gateway fetch pages on this machine\n"
        "                            and on private networks (loopback, link-local, 10/8,\n"
        "                            172.16/12, 192.168/16, 100.64/10, fc00::/7), which it\n"
        "                            refuses by default; it never fetches its own addresses\n"
        "  --allow-host NAME         also answer requests whose Host is NAME (with any\n"
        "                            port) or NAME:PORT, as a reverse proxy or TLS front\n"
        "                            sends them; may be given more than once, and in the\n"
        "                            settings file's [Service] section as AllowHost=\n"
        "  --api-keys FILE           every LibreTranslate API request that translates or\n"
        "                            detects (and a document's progress and cancel) must\n"
        "                            carry one of the keys in FILE (one a line) as api_key:\n"
        "                            none gets 400, a wrong one 403. SOAP and the web page\n"
        "                            gateways, which cannot send a key, then answer callers\n"
        "                            on this machine only\n"
        "  --keyless-from-anywhere   with --api-keys, let SOAP and the gateways answer\n"
        "                            callers on other machines too\n"
        "  --char-limit N            the most characters one text of /translate may hold,\n"
        "                            each text of a batch on its own (default: as many as\n"
        "                            the largest request holds, 16777216)\n"
        "  --file-store-bytes N      what translated files waiting for their download may\n"
        "                            take together (default 536870912, 512 MiB)\n"
        "  --file-lifetime S         a translated file not downloaded is removed after S\n"
        "                            seconds (default 1800)\n"
        "  --remote KIND=URL         a translation server for the modes Apertium lacks:\n"
        "                            KIND is libretranslate or apertium-apy; may be given\n"
        "                            more than once, in order of preference. Replaces the\n"
        "                            remotes of tarquell-service.ini's [Engines] section.\n"
        "                            A mode routed to a remote sends the text there.\n"
        "  --remote-key KIND=KEY     the API key for the remotes of that kind (visible to\n"
        "                            other users of this machine: prefer the settings file)\n"
        "  --remote-timeout S        the longest one exchange with a remote may take\n"
        "                            (default 30)\n"
        "  --remote-refresh S        how often each remote is asked for its languages\n"
        "                            (default 300)\n"
        "  --route MODE=ENGINE       send MODE (such as en_es) to a remote although the local\n"
        "                            pairs translate it; ENGINE is a remote's number in the\n"
        "                            order given, or its kind\n"
        "  --help                    this text\n"
        "\n"
        "Remote engines may also be listed in the [Engines] section of\n"
        "$XDG_CONFIG_HOME/tarquell-service.ini (~/.config/tarquell-service.ini); see the\n"
        "README.\n"
        "\n"
        "With TARQUELL_SERVICE_DEBUG=1 in the environment and a loopback address,\n"
        "GET /debug/pipelines lists the running Apertium pipelines and their process ids,\n"
        "and GET /debug/engines each engine's state and where each mode goes.\n"
        "Log messages go to standard error; QT_LOGGING_RULES=\"tarquell.server.debug=true\"\n"
        "shows every request.\n");
}

#pragma once

#include "server/http/ServiceLimits.h"
#include "server/net/ListenAddress.h"
#include "server/remote/EngineSettings.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

// The command line of tarquell-service.
struct ServiceOptions
{
    enum class Engine { Apertium, Echo };

    // The first address takes SOAP calls and every gateway's requests; the
    // second, by default, those of the gateway whose format fixes port 2000.
    // Each --listen replaces the defaults.
    QList<ListenAddress> listen{{QStringLiteral("127.0.0.1"), 8731},
                                {QStringLiteral("127.0.0.1"), 2000}};
    // True while listen holds the defaults: then a taken port 2000 is only
    // warned about.
    bool defaultListen = true;
    Engine engine = Engine::Apertium;
    std::optional<ListenAddress> probe;
    QString modesDir = QStringLiteral("/usr/share/apertium/modes");
    // Apertium pipelines per language pair; 0 until parse() sets the number
    // of cores.
    int pipelines = 0;
    // The least time an exchange with a pipeline may take; longer texts get
    // more (see ApertiumEngine::Options).
    std::chrono::milliseconds pipelineTimeout{5000};
    std::chrono::milliseconds pipelineIdle{std::chrono::minutes(5)};
    bool markUnknown = false;
    ServiceLimits limits;
    // The web page gateway fetches pages on this machine and on private
    // networks too (never the service itself).
    bool allowPrivatePages = false;
    // LibreTranslate's API: the file of keys a request must carry (none
    // asked for when empty), the characters one /translate may hold (-1:
    // any), what translated files may take together and how long one waits
    // for its download.
    QString apiKeysFile;
    int charLimit = -1;
    // With apiKeysFile: let callers on other machines use SOAP and the
    // gateways, which cannot send a key.
    bool keylessFromAnywhere = false;
    // More names a request's Host may give: those a reverse proxy or a
    // TLS front in front of the service uses. Added to the settings
    // file's.
    QStringList allowHosts;
    qint64 fileStoreBytes = 512LL * 1024 * 1024;
    std::chrono::seconds fileLifetime{30 * 60};

    // Remote engines and routes; they replace the settings file's.
    EngineOverrides engines;
    bool help = false;

    // Reads the arguments (without the program name). Throws TarquellError
    // with the message for the user.
    static ServiceOptions parse(const QStringList& arguments);
    static QString usage();
};

#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <map>
#include <optional>

class ProfileFile;

// One translation server the service may hand modes to.
struct RemoteEngineConfig
{
    enum class Kind { LibreTranslate, ApertiumApy };

    Kind kind = Kind::LibreTranslate;
    QUrl url; // the base address, ending in "/"
    // Sent with every translation; never written to the log or a message.
    QString apiKey;
    // The longest one exchange with the server may take.
    std::chrono::milliseconds timeout{30000};
    // A PEM file of authorities for a server whose certificate the
    // system's authorities do not vouch for; empty: the system's.
    QString caFile;

    // "libretranslate", "apertium-apy"
    static QString kindName(Kind kind);
    static std::optional<Kind> kindFromName(const QString& name);
    // "LibreTranslate at https://libretranslate.com/": how logs, faults and
    // replies name it.
    QString label() const;
    // The address as shown: without user name, password, query or
    // fragment.
    QString shownUrl() const;
};

// What the command line says about remote engines; each given part
// replaces the settings file's.
struct EngineOverrides
{
    QList<RemoteEngineConfig> remotes;       // --remote, in order
    QList<std::pair<QString, QString>> keys; // --remote-key KIND=KEY
    std::optional<std::chrono::milliseconds> timeout;
    std::map<QString, QString> routes; // --route MODE=ENGINE
    std::optional<std::chrono::seconds> refresh;
};

// The [Engines] section of the service's settings file:
//
//   [Engines]
//   Remote1Kind=libretranslate
//   Remote1URL=https://libretranslate.com/
//   Remote1Key=...
//   Remote1Timeout=30        (seconds)
//   Remote1CAFile=/etc/ssl/our-ca.pem
//   Remote2Kind=apertium-apy
//   Remote2URL=http://127.0.0.1:2737/
//   Route en_es=1            (a remote's number or kind)
//   Refresh=300              (seconds between asking for languages)
//
// Remotes are tried in the order of their numbers, after the local
// Apertium pairs.
struct EngineSettings
{
    QList<RemoteEngineConfig> remotes;
    // Modes sent to a remote engine although another could translate
    // them: "en_es" -> index into remotes.
    std::map<QString, int> routes;
    std::chrono::seconds refresh{300};

    // Highest remote number read from the file.
    static constexpr int maxRemotes = 32;

    // Reads the [Engines] section; what cannot be used is left out and
    // said in problems, one sentence each.
    static EngineSettings read(const ProfileFile& file, QStringList* problems);
    // The settings with the command line's parts in place of the file's.
    // Throws TarquellError for a route or key that names no remote.
    EngineSettings overriddenBy(const EngineOverrides& overrides) const;

    // "KIND=URL" of --remote. Throws TarquellError.
    static RemoteEngineConfig parseRemote(const QString& option, const QString& value);
    // A base address for a remote engine: http or https, a host, no user
    // name; the path made to end in "/". Throws TarquellError naming what.
    static QUrl parseUrl(const QString& what, const QString& text);
};

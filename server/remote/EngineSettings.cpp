#include "server/remote/EngineSettings.h"

#include "platform/Errors.h"
#include "platform/ProfileFile.h"
#include "server/engine/LanguageModes.h"
#include "server/engine/ServiceFault.h"

namespace {
const QString section = QStringLiteral("Engines");

QString remoteKey(int number, const char* what)
{
    return QStringLiteral("Remote%1%2").arg(number).arg(QLatin1String(what));
}

// "en_es" for a mode given in any case; empty when it is not one.
QString modeName(const QString& text)
{
    try {
        return TranslationMode::parse(text).text();
    } catch (const ServiceFault&) {
        return {};
    }
}

// The remote a route names: its number among numbers (1-based) or its
// kind (the first of that kind); -1 when none.
int routeTarget(const QString& name, const QList<RemoteEngineConfig>& remotes,
                const QList<int>& numbers)
{
    bool isNumber = false;
    const int number = name.trimmed().toInt(&isNumber);
    if (isNumber)
        return static_cast<int>(numbers.indexOf(number));
    const auto kind = RemoteEngineConfig::kindFromName(name.trimmed());
    if (!kind)
        return -1;
    for (qsizetype i = 0; i < remotes.size(); ++i) {
        if (remotes[i].kind == *kind)
            return static_cast<int>(i);
    }
    return -1;
}
} // namespace

QString RemoteEngineConfig::kindName(Kind kind)
{
    return kind == Kind::LibreTranslate ? QStringLiteral("libretranslate")
                                        : QStringLiteral("apertium-apy");
}

std::optional<RemoteEngineConfig::Kind> RemoteEngineConfig::kindFromName(const QString& name)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("libretranslate"))
        return Kind::LibreTranslate;
    if (lower == QLatin1String("apertium-apy") || lower == QLatin1String("apy"))
        return Kind::ApertiumApy;
    return std::nullopt;
}

QString RemoteEngineConfig::shownUrl() const
{
    return url.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment)
        .toString(QUrl::FullyEncoded);
}

QString RemoteEngineConfig::label() const
{
    return (kind == Kind::LibreTranslate ? QStringLiteral("LibreTranslate at ")
                                         : QStringLiteral("Apertium APy at ")) +
           shownUrl();
}

QUrl EngineSettings::parseUrl(const QString& what, const QString& text)
{
    QUrl url = QUrl::fromUserInput(text.trimmed());
    if (!text.trimmed().contains(QLatin1String("://")))
        url = QUrl(); // "host:port" alone is too easily a typing slip
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty())
        throw TarquellError(QStringLiteral("%1 needs an http or https address, such as "
                                           "https://libretranslate.com/, not \"%2\"")
                                .arg(what, text.left(200)));
    if (!url.userInfo().isEmpty())
        throw TarquellError(
            QStringLiteral("%1: a user name or password in the address is not supported; use an "
                           "API key")
                .arg(what));
    url.setQuery(QString());
    url.setFragment(QString());
    if (!url.path().endsWith(QLatin1Char('/')))
        url.setPath(url.path() + QLatin1Char('/'));
    return url;
}

RemoteEngineConfig EngineSettings::parseRemote(const QString& option, const QString& value)
{
    const qsizetype equals = value.indexOf(QLatin1Char('='));
    const auto kind = RemoteEngineConfig::kindFromName(value.left(equals).trimmed());
    if (equals <= 0 || !kind)
        throw TarquellError(QStringLiteral("%1 needs KIND=URL, where KIND is libretranslate or "
                                           "apertium-apy, not \"%2\"")
                                .arg(option, value.left(200)));
    RemoteEngineConfig config;
    config.kind = *kind;
    config.url = parseUrl(option, value.mid(equals + 1));
    return config;
}

EngineSettings EngineSettings::read(const ProfileFile& file, QStringList* problems)
{
    const auto problem = [problems](const QString& text) {
        if (problems)
            *problems << text;
    };
    EngineSettings settings;
    QList<int> numbers;
    for (int n = 1; n <= maxRemotes; ++n) {
        const QString kindText = file.readString(section, remoteKey(n, "Kind"), QString());
        const QString urlText = file.readString(section, remoteKey(n, "URL"), QString());
        if (kindText.isEmpty() && urlText.isEmpty())
            continue;
        const auto kind = RemoteEngineConfig::kindFromName(kindText.trimmed());
        if (!kind) {
            problem(QStringLiteral("[Engines] %1 is libretranslate or apertium-apy, not \"%2\"; "
                                   "remote %3 is left out")
                        .arg(remoteKey(n, "Kind"), kindText.left(100))
                        .arg(n));
            continue;
        }
        RemoteEngineConfig config;
        config.kind = *kind;
        try {
            config.url = parseUrl(QStringLiteral("[Engines] ") + remoteKey(n, "URL"), urlText);
        } catch (const TarquellError& e) {
            problem(e.message() + QStringLiteral("; remote %1 is left out").arg(n));
            continue;
        }
        config.apiKey = file.readString(section, remoteKey(n, "Key"), QString());
        const int seconds = file.readInteger(section, remoteKey(n, "Timeout"), 30);
        if (seconds > 0 && seconds <= 3600)
            config.timeout = std::chrono::seconds(seconds);
        else
            problem(QStringLiteral("[Engines] %1 is a number of seconds from 1 to 3600; 30 is used")
                        .arg(remoteKey(n, "Timeout")));
        config.caFile = file.readString(section, remoteKey(n, "CAFile"), QString());
        settings.remotes << config;
        numbers << n;
    }
    for (const QString& code : ServiceLanguages::codes()) {
        for (const QString& target : ServiceLanguages::codes()) {
            const QString mode = code + QLatin1Char('_') + target;
            const QString key = QStringLiteral("Route ") + mode;
            if (code == target || !file.contains(section, key))
                continue;
            const QString name = file.readString(section, key, QString());
            const int index = routeTarget(name, settings.remotes, numbers);
            if (index < 0)
                problem(QStringLiteral("[Engines] %1 names no remote engine (\"%2\"); the mode "
                                       "is routed as usual")
                            .arg(key, name.left(100)));
            else
                settings.routes[mode] = index;
        }
    }
    const int refresh = file.readInteger(section, QStringLiteral("Refresh"), 300);
    if (refresh >= 10 && refresh <= 86400)
        settings.refresh = std::chrono::seconds(refresh);
    else
        problem(QStringLiteral("[Engines] Refresh is a number of seconds from 10 to 86400; 300 "
                               "is used"));
    return settings;
}

EngineSettings EngineSettings::overriddenBy(const EngineOverrides& overrides) const
{
    EngineSettings result = *this;
    if (!overrides.remotes.isEmpty()) {
        // The file's routes named the file's remotes.
        result.remotes = overrides.remotes;
        result.routes.clear();
    }
    for (const auto& [kindText, key] : overrides.keys) {
        const auto kind = RemoteEngineConfig::kindFromName(kindText);
        bool found = false;
        for (RemoteEngineConfig& remote : result.remotes) {
            if (kind && remote.kind == *kind) {
                remote.apiKey = key;
                found = true;
            }
        }
        if (!found)
            throw TarquellError(QStringLiteral("--remote-key %1=...: no remote engine of that "
                                               "kind is given")
                                    .arg(kindText.left(40)));
    }
    if (overrides.timeout) {
        for (RemoteEngineConfig& remote : result.remotes)
            remote.timeout = *overrides.timeout;
    }
    QList<int> positions;
    for (qsizetype i = 0; i < result.remotes.size(); ++i)
        positions << static_cast<int>(i + 1);
    for (const auto& [modeText, name] : overrides.routes) {
        const QString mode = modeName(modeText);
        if (mode.isEmpty())
            throw TarquellError(
                QStringLiteral("--route needs MODE=ENGINE with a mode such as en_fr, not \"%1\"")
                    .arg(modeText.left(40)));
        const int index = routeTarget(name, result.remotes, positions);
        if (index < 0)
            throw TarquellError(
                QStringLiteral("--route %1=%2: no such remote engine; give its number in the "
                               "order of --remote, or its kind")
                    .arg(mode, name.left(40)));
        result.routes[mode] = index;
    }
    if (overrides.refresh)
        result.refresh = *overrides.refresh;
    return result;
}

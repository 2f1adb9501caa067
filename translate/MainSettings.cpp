#include "translate/MainSettings.h"

#include "platform/ProfileFile.h"
#include "translate/Languages.h"

namespace {
const QString Options = QStringLiteral("Options");
const QString Settings = QStringLiteral("Settings");
const QString Interface = QStringLiteral("Interface");
const QString Services = QStringLiteral("Services");

// A size that no font can have falls back to the design size.
int usableFontSize(int points)
{
    return points > 0 && points <= 1638 ? points : 10;
}
} // namespace

const QString ServiceLocations::Defaults[3] = {
    QStringLiteral("http://127.0.0.1:8731/sd/BabelFishService.wsdl"),
    QStringLiteral("http://127.0.0.1:8731/sd/2001/BabelFishService.wsdl"),
    QStringLiteral("http://127.0.0.1:8731/vx_engine/wsdl.vep?translate.wsdl"),
};

const QString ServiceLocations::DefaultDocumentService = QStringLiteral("http://127.0.0.1:8731/");

void MainSettings::loadOptions(const ProfileFile& file)
{
    MultiThreading = file.readBool(Options, QStringLiteral("MultiThreading"), false);
    DragAndDrop = file.readBool(Options, QStringLiteral("Drag and Drop"), true);
    LoadSettings = file.readBool(Options, QStringLiteral("Load Settings"), true);
    MTQuote = file.readInteger(Options, QStringLiteral("MT Quote"), 5000);
    TimeOut = file.readInteger(Options, QStringLiteral("TimeOut"), 50000);
    AutoUpdate = file.readBool(Options, QStringLiteral("Auto Update"), true);
    ProxySpecified = file.readBool(Options, QStringLiteral("Proxy Speficied"), false);
    ProxyAddr = file.readString(Options, QStringLiteral("Proxy Addr"), QString());
    ProxyPort = file.readInteger(Options, QStringLiteral("Proxy Port"), 8080);
}

void MainSettings::loadInterface(const ProfileFile& file, const QString& detectedLanguage)
{
    InterfaceLanguage = file.readString(Interface, QStringLiteral("Language"), detectedLanguage);
}

void MainSettings::loadSettings(const ProfileFile& file)
{
    if (LoadSettings) {
        SrcLangCode =
            file.readString(Settings, QStringLiteral("SrcLang"), QStringLiteral("French"));
        DstLangCode =
            file.readString(Settings, QStringLiteral("DstLang"), QStringLiteral("English"));
        SrcFont = file.readString(Settings, QStringLiteral("SrcFont"), QStringLiteral("Arial"));
        DstFont = file.readString(Settings, QStringLiteral("DstFont"), QStringLiteral("Arial"));
        SrcFntSRead = file.readInteger(Settings, QStringLiteral("SrcFntS"), 10);
        DstFntSRead = file.readInteger(Settings, QStringLiteral("DstFntS"), 10);
        SrcFntS = usableFontSize(SrcFntSRead);
        DstFntS = usableFontSize(DstFntSRead);
    }
}

void MainSettings::store(ProfileFile& file) const
{
    file.writeString(Settings, QStringLiteral("SrcLang"), LanguageCodeToName(SrcLangCode));
    file.writeString(Settings, QStringLiteral("DstLang"), LanguageCodeToName(DstLangCode));
    file.writeString(Settings, QStringLiteral("SrcFont"), SrcFont);
    file.writeString(Settings, QStringLiteral("DstFont"), DstFont);
    // The font command changes character formats, never these base sizes.
    file.writeInteger(Settings, QStringLiteral("SrcFntS"), SrcFntSRead);
    file.writeInteger(Settings, QStringLiteral("DstFntS"), DstFntSRead);

    file.writeString(Interface, QStringLiteral("Language"), InterfaceLanguage);

    file.writeBool(Options, QStringLiteral("MultiThreading"), MultiThreading);
    file.writeBool(Options, QStringLiteral("Drag and Drop"), DragAndDrop);
    file.writeBool(Options, QStringLiteral("Load Settings"), LoadSettings);
    file.writeInteger(Options, QStringLiteral("MT Quote"), MTQuote);
    file.writeInteger(Options, QStringLiteral("TimeOut"), TimeOut);
    file.writeBool(Options, QStringLiteral("Auto Update"), AutoUpdate);
    file.writeBool(Options, QStringLiteral("Proxy Speficied"), ProxySpecified);
    file.writeString(Options, QStringLiteral("Proxy Addr"), ProxyAddr);
    file.writeInteger(Options, QStringLiteral("Proxy Port"), ProxyPort);
}

QString MainSettings::proxyText() const
{
    if (!ProxySpecified)
        return QString();
    return ProxyAddr + QLatin1Char(':') + QString::number(ProxyPort);
}

// --- the shell ---

ServiceLocations ServiceLocations::read(const ProfileFile& file)
{
    ServiceLocations s;
    for (int i = 0; i < 3; ++i) {
        // An empty location would be read as a file with no name: keep the default.
        s.server[i] =
            file.readString(Services, QStringLiteral("Server %1").arg(i + 1), Defaults[i]);
        if (s.server[i].trimmed().isEmpty())
            s.server[i] = Defaults[i];
    }
    // the shell: no web site or support address unless one is configured
    s.homePage = file.readString(Services, QStringLiteral("Home Page"), QString()).trimmed();
    s.supportMail = file.readString(Services, QStringLiteral("Support Mail"), QString()).trimmed();
    s.documentService =
        file.readString(Services, QStringLiteral("Document Service"), DefaultDocumentService)
            .trimmed();
    if (s.documentService.isEmpty())
        s.documentService = DefaultDocumentService;
    return s;
}

#pragma once

#include <QString>

class ProfileFile;

// The in-memory copy of the settings file, held by the main window. Read
// once at start, written once at close; commands in between change only
// these fields.
struct MainSettings
{
    // Language fields: names right after loading, codes once the window has
    // put them into the boxes.
    QString SrcLangCode;
    QString DstLangCode;
    bool MultiThreading = false;
    int MTQuote = 5000;
    bool DragAndDrop = true;
    bool LoadSettings = true;
    int TimeOut = 50000;
    bool AutoUpdate = true;
    bool ProxySpecified = false;
    QString ProxyAddr;
    int ProxyPort = 8080;
    QString InterfaceLanguage;

    // The pane base fonts as read from [Settings] (the design font when
    // they are not read). SrcFntS and DstFntS are the sizes the panes use: a
    // stored size no font can have shows as 10. The sizes as read are kept
    // apart and written back unchanged.
    QString SrcFont = QStringLiteral("Arial");
    QString DstFont = QStringLiteral("Arial");
    int SrcFntS = 10;
    int DstFntS = 10;
    int SrcFntSRead = 10;
    int DstFntSRead = 10;

    // Read at start in this order: [Options]; [Interface] with the detected
    // language as default; [Settings], only when "Load Settings" is on.
    void loadOptions(const ProfileFile& file);
    void loadInterface(const ProfileFile& file, const QString& detectedLanguage);
    void loadSettings(const ProfileFile& file);
    // Every key, in the order [Settings], [Interface], [Options]. The
    // language fields must hold codes here; they are stored as names.
    void store(ProfileFile& file) const;

    // "addr:port" when the proxy option is on, else empty.
    QString proxyText() const;
};

// The three WSDL locations of the [Services] section: read at start, never
// written. Index 0 is "Server 1".
struct ServiceLocations
{
    QString server[3];
    static ServiceLocations read(const ProfileFile& file);
    static const QString Defaults[3];

    // --- the shell: the maker's web site ("Home Page") and support mail
    // address ("Support Mail"), same section; empty while not configured ---
    QString homePage;
    QString supportMail;

    // --- documents: the service that translates whole documents
    // ("Document Service", LibreTranslate's API), same section; an empty
    // value keeps the default, the local service ---
    QString documentService = DefaultDocumentService;
    static const QString DefaultDocumentService;
};

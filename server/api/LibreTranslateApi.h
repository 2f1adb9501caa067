#pragma once

#include "server/api/DocumentFormats.h"
#include "server/api/DocumentJobs.h"
#include "server/api/FileStore.h"
#include "server/documents/DocumentTranslator.h"
#include "server/engine/TranslationEngine.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// LibreTranslate's HTTP API on the service's engine, so that the programs
// that speak it (browser extensions, editors' plug-ins, its clients in many
// languages) translate offline here: POST /translate, GET /languages,
// POST /detect, POST /translate_file with GET /download_file/<id>/<name>,
// and GET /frontend/settings. Field names, JSON shapes, status codes and
// error texts are LibreTranslate's own. The HTTP front hands each request
// over whole; answer() blocks while the engine works, so it runs on the
// work queue.
class LibreTranslateApi
{
public:
    struct Options
    {
        // Longest text of /translate in characters, each text of a batch
        // on its own; -1: as many as the largest body holds.
        int charLimit = -1;
        // SHA-256 digests of the keys a request must carry; empty: none
        // is asked for (a key sent is ignored).
        QSet<QByteArray> keyDigests;
        // Translated files: where their private folder goes, how much they
        // may take together, how long one waits for its download.
        QString filesParent = FileStore::defaultParent();
        qint64 fileStoreBytes = 512LL * 1024 * 1024;
        std::chrono::seconds fileLifetime{30 * 60};
        // Whole documents: where their working files go, LibreOffice's
        // profile, the limits. At most documentJobs are translated at once
        // and as many wait for their turn; one more is answered 503, so
        // that documents never take every thread text requests need.
        DocumentTranslator::Options documents;
        int documentJobs = 2;
    };

    struct Request
    {
        std::string method;
        std::string path; // decoded
        std::string rawQuery;
        QByteArray contentType;
        std::string_view body; // not copied: it may be 64 MiB
        // "http://host:port" as the client reached the service, for the
        // addresses of translated files.
        QString origin;
    };

    struct Reply
    {
        unsigned status = 200;
        std::string body;
        std::string contentType = "application/json";
        std::vector<std::pair<std::string, std::string>> headers;
        // A file to send instead of body (the reply then owns it).
        int fd = -1;
        qint64 fdSize = 0;
    };

    // Largest /translate or /detect body, and largest uploaded file (its
    // multipart body may be a little larger).
    static constexpr size_t textBodyBytes = 16 * 1024 * 1024;
    static constexpr size_t uploadBytes = 64 * 1024 * 1024;

    LibreTranslateApi(TranslationEngine& engine, Options options);
    ~LibreTranslateApi();

    // Ends the document translations under way (as cancelled) and refuses
    // new ones: the service is stopping.
    void stop();

    // True for the paths this API answers.
    static bool isApiPath(const std::string& path);
    // The largest body kept for this request; 0 when its body is not read.
    static size_t bodyCap(const std::string& method, const std::string& path);
    // True when the answer needs no engine, file or body (a CORS preflight,
    // a wrong method): it may be given on the serving thread.
    static bool answersAtOnce(const std::string& method, const std::string& path);

    Reply answer(const Request& request);
    // {"error": message} with the API's headers, for refusals made by the
    // HTTP front (413, 503).
    static Reply error(unsigned status, const QString& message);

    // "report.es.txt" for "C:\\docs\\report.txt" translated into "es" as
    // ".txt": the name without folders, control characters or quotes, not
    // longer than 100 characters before the language.
    static QString downloadName(const QString& uploaded, const QString& target,
                                const QString& extension);

private:
    struct Detected
    {
        QString code;
        double confidence = 0;
    };

    Reply translate(const Request& request);
    Reply detect(const Request& request);
    Reply translateFile(const Request& request);
    Reply downloadFile(const std::string& path);
    Reply documentProgress(const std::string& path);
    Reply cancelDocument(const std::string& path);
    Reply languages() const;
    Reply settings() const;

    Reply spec() const;
    void checkKey(const QJsonObject& fields) const;
    // For the routes whose fields are not read otherwise: the key from the
    // query string or a form body.
    void checkKey(const Request& request) const;
    // The limit in force, always positive.
    int charLimit() const;

    TranslationEngine& m_engine;
    const Options m_options;
    FileStore m_files;
    // Declared last: it cancels and waits for the translations first.
    DocumentJobs m_jobs;
};

#pragma once

#include <httplib.h>

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A stand-in for a LibreTranslate server (which cannot be installed here),
// answering its documented API on 127.0.0.1: GET /languages, GET
// /frontend/settings, POST /translate (form or JSON, one text or a batch,
// format text or html), POST /translate_file and GET /download_file/...,
// with the API-key check and the {"error": ...} bodies and status codes of
// LibreTranslate's own routes. Its "translation" replaces the words of a
// small dictionary per target language and keeps every other character,
// so that results are exact and pieces can be checked for their order.
class FakeLibreTranslate
{
public:
    struct Language
    {
        QString code;
        QString name;
        QStringList targets;
    };
    // What one /translate request carried.
    struct Received
    {
        QString source;
        QString target;
        QString format;
        QStringList texts;
        QString apiKey;
        qsizetype characters = 0; // as the server counts them
    };

    FakeLibreTranslate();
    ~FakeLibreTranslate();

    // Call before start(); -1: no limit.
    void setCharLimit(int limit) { m_charLimit = limit; }
    // Keys the server takes; none set: no key is needed.
    void setApiKeys(const QStringList& keys);
    // Without a key, 400 "Please contact the server operator to get an API
    // key" (only with keys set).
    void setKeyRequired(bool required) { m_keyRequired = required; }
    // Each translation waits this long before it is answered.
    void setDelay(std::chrono::milliseconds delay) { m_delayMs = static_cast<int>(delay.count()); }
    void setLanguages(const std::vector<Language>& languages);

    // On a free port of 127.0.0.1, or on the given one (to come back where
    // a client expects the server after stop()).
    void start(int port = 0);
    void stop();
    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path
    QString url(const QString& path = QString()) const;

    std::vector<Received> received() const;
    int languageRequests() const { return m_languageRequests; }

    // en, de, es, fr, ja: each to all the others.
    static std::vector<Language> defaultLanguages();
    // The fake's translation of one text.
    static QString translateText(const QString& text, const QString& target);
    static QString translateHtml(const QString& html, const QString& target);

private:
    void route(httplib::Server& server);

    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<Language> m_languages;
    QStringList m_keys;
    bool m_keyRequired = false;
    int m_charLimit = -1;
    std::atomic<int> m_delayMs{0};
    std::vector<Received> m_received;
    std::map<std::string, std::pair<std::string, std::string>> m_files; // id -> name, bytes
    std::atomic<int> m_languageRequests{0};
};

#pragma once

#include "server/engine/TranslationEngine.h"
#include "server/remote/EngineSettings.h"
#include "server/remote/RemoteHttp.h"
#include "server/remote/RemoteReplies.h"

#include <QSet>
#include <mutex>

// A translation server the service hands modes to. It knows what the
// server translates from its last discovery. Its calls throw RemoteFailure,
// which names the server; the routing engine turns them into faults.
class RemoteEngine : public TranslationEngine
{
public:
    explicit RemoteEngine(const RemoteEngineConfig& config);

    const RemoteEngineConfig& config() const { return m_config; }
    // "LibreTranslate at https://...": for logs, faults and replies.
    QString name() const { return m_config.label(); }

    // Asks the server what it translates now; the modes ("de_en", ...).
    // Throws RemoteFailure.
    virtual QSet<QString> discover() = 0;
    // Whether translateStream hands the stream itself to the server (else
    // its runs of text go as plain texts).
    virtual bool takesStreams() const = 0;

    // By the last discovery.
    bool canTranslate(const TranslationMode& mode) const override;
    // Ends the exchanges under way at once and takes no more.
    void stop() override { m_http.abortAll(); }

protected:
    // The server's spelling of the mode's languages. Throws RemoteFailure
    // when the last discovery did not list the mode.
    std::pair<QString, QString> spelling(const TranslationMode& mode) const;
    void setOffer(const RemoteReplies::Offer& offer);
    // A reply the readers could not read, as a failure of this request.
    RemoteFailure badReply(const QString& what, const RemoteReplies::BadReply& e) const;

    const RemoteEngineConfig m_config;
    RemoteHttp m_http;

private:
    mutable std::mutex m_mutex;
    RemoteReplies::Offer m_offer;
};

// LibreTranslate's API: /languages and /frontend/settings to discover,
// /translate for text (format=text) and HTML (format=html), /translate_file
// for the files the server takes. Texts longer than the server's character
// limit go in pieces, joined in order.
class LibreTranslateEngine : public RemoteEngine
{
public:
    explicit LibreTranslateEngine(const RemoteEngineConfig& config);

    QSet<QString> discover() override;
    bool takesStreams() const override { return false; }

    QString translate(const TranslationMode& mode, const QString& text) override;
    // The stream's runs of text, sent as batches of plain texts; the
    // superblanks stay as they were.
    QByteArray translateStream(const TranslationMode& mode, const QByteArray& stream) override;
    // format=html when the page fits in one request; else through the
    // stream.
    QString translateHtml(const TranslationMode& mode, const QString& html) override;
    std::optional<QByteArray> translateFile(const TranslationMode& mode, const QString& fileName,
                                            const QByteArray& content) override;

    // The most characters one request carries: the server's limit, or
    // ours when it has none.
    qsizetype pieceLimit() const;
    // Without a limit from the server, requests carry at most this much.
    static constexpr qsizetype defaultPiece = 5000;
    // An HTML page longer than this goes through the stream even to a
    // server without a limit.
    static constexpr qsizetype wholeHtmlLimit = 50000;
    // A translation needs at most this many requests.
    static constexpr qsizetype maxRequests = 2000;

private:
    // The texts translated in one request (a batch when more than one).
    QStringList translateTexts(const TranslationMode& mode, const QStringList& texts,
                               const char* format, size_t maxAnswer);
    // The texts, each cut to the limit where needed, in as few requests as
    // the limit allows.
    QStringList translateMany(const TranslationMode& mode, const QStringList& texts);
    RemoteFailure failureFor(const RemoteHttp::Answer& answer) const;

    mutable std::mutex m_settingsMutex;
    RemoteReplies::LibreSettings m_settings;
};

// Apertium's APy: /listPairs to discover, /translate (format=txt) for
// text, /translateRaw for Apertium streams, so that HTML goes through the
// same deformatter as the local pairs. APy translates at most ten slices
// of a request and silently drops the rest, so requests stay small enough
// that it never needs more.
class ApertiumApyEngine : public RemoteEngine
{
public:
    explicit ApertiumApyEngine(const RemoteEngineConfig& config);

    QSet<QString> discover() override;
    bool takesStreams() const override { return true; }

    QString translate(const TranslationMode& mode, const QString& text) override;
    QByteArray translateStream(const TranslationMode& mode, const QByteArray& stream) override;

    // Text pieces: ten of APy's smallest slices hold more.
    static constexpr qsizetype textPiece = 4000;
    // Stream pieces: short enough that APy never slices them, which could
    // cut a superblank.
    static constexpr qsizetype streamPiece = 1000;

private:
    QByteArray post(const QString& path, const QString& form, size_t maxAnswer);
};

std::unique_ptr<RemoteEngine> makeRemoteEngine(const RemoteEngineConfig& config);

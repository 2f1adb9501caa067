#pragma once

#include "server/engine/LanguageModes.h"

#include <QByteArray>
#include <QString>
#include <cctype>
#include <optional>

// A translation and how replies name the engine that made it ("Apertium on
// this machine"); engine is empty where the engine does not say.
struct NamedTranslation
{
    QString text;
    QString engine;
};

// What turns text into its translation. Called from several server threads
// at once; failures are ServiceFaults that say what went wrong.
class TranslationEngine
{
public:
    virtual ~TranslationEngine() = default;
    virtual QString translate(const TranslationMode& mode, const QString& text) = 0;
    // The same, with the engine that took it, for the replies that tell
    // their user (the translation may have left this machine). By default
    // unnamed.
    virtual NamedTranslation translateNamed(const TranslationMode& mode, const QString& text)
    {
        return {translate(mode, text), {}};
    }
    // The same for text in Apertium's stream format, as HtmlStream and
    // apertium-deshtml write it: the markup rides in superblanks ("[<p>]"), which come back
    // unchanged. Hand over the whole stream at once: the engine cuts a long
    // one and translates its parts in parallel itself.
    virtual QByteArray translateStream(const TranslationMode& mode, const QByteArray& stream) = 0;
    // The same for an HTML page or fragment: the markup kept, its text
    // translated. By default the shared HTML route: HtmlStream's
    // deformatter, then translateStream, then its reformatter. An engine
    // that takes HTML itself does better by doing so.
    virtual QString translateHtml(const TranslationMode& mode, const QString& html);
    // True where translateHtml does better for the mode than the HTML route
    // (a server that takes HTML itself): callers that deformat documents on
    // their own hand their HTML parts to translateHtml then.
    virtual bool takesHtml(const TranslationMode&) const { return false; }
    // A whole file translated by the engine itself, when it can take files
    // of that kind (a server's own document translation); nullopt tells
    // the caller to deformat the file around translateStream or
    // translateHtml itself. Failures are ServiceFaults.
    virtual std::optional<QByteArray> translateFile(const TranslationMode&, const QString& fileName,
                                                    const QByteArray& content)
    {
        (void)fileName;
        (void)content;
        return std::nullopt;
    }
    // False when translate() would fail for want of the language pair.
    virtual bool canTranslate(const TranslationMode&) const { return true; }
    // Stops whatever the engine runs in the background.
    virtual void stop() {}
    // Lines for the debugging path; empty when the engine has nothing to show.
    virtual QString debugReport() const { return {}; }
    // Lines for the debugging path of engines and routes: each engine's
    // state and where each mode goes. Empty for an engine that does not
    // route.
    virtual QString routeReport() const { return {}; }
};

// Deterministic stand-in for tests: "[en_fr] Hello" for en_fr and "Hello".
class EchoEngine : public TranslationEngine
{
public:
    QString translate(const TranslationMode& mode, const QString& text) override
    {
        return QLatin1Char('[') + mode.text() + QStringLiteral("] ") + text;
    }
    // "\[en_fr\] " before every run of text with a letter in it.
    QByteArray translateStream(const TranslationMode& mode, const QByteArray& stream) override
    {
        const QByteArray tag = "\\[" + mode.text().toUtf8() + "\\] ";
        QByteArray out;
        qsizetype runStart = 0;
        const auto flushRun = [&](qsizetype end) {
            const QByteArray run = stream.mid(runStart, end - runStart);
            bool letters = false;
            for (const char c : run)
                letters = letters || std::isalpha(static_cast<unsigned char>(c)) || (c & 0x80);
            if (letters)
                out += tag;
            out += run;
        };
        for (qsizetype i = 0; i < stream.size(); ++i) {
            if (stream[i] == '\\') {
                ++i;
            } else if (stream[i] == '[') {
                flushRun(i);
                qsizetype j = i + 1;
                while (j < stream.size() && stream[j] != ']')
                    j += stream[j] == '\\' ? 2 : 1;
                out += stream.mid(i, j + 1 - i);
                i = j;
                runStart = j + 1;
            }
        }
        flushRun(stream.size());
        return out;
    }
};

#pragma once

#include "LanguageModes.h"

#include <QString>

// What turns text into its translation. Called from several server threads
// at once; failures are ServiceFaults that say what went wrong.
class TranslationEngine
{
public:
    virtual ~TranslationEngine() = default;
    virtual QString translate(const TranslationMode& mode, const QString& text) = 0;
    // Stops whatever the engine runs in the background.
    virtual void stop() {}
    // Lines for the debugging path; empty when the engine has nothing to show.
    virtual QString debugReport() const { return {}; }
};

// Deterministic stand-in for tests: "[en_fr] Hello" for en_fr and "Hello".
class EchoEngine : public TranslationEngine
{
public:
    QString translate(const TranslationMode& mode, const QString& text) override
    {
        return QLatin1Char('[') + mode.text() + QStringLiteral("] ") + text;
    }
};

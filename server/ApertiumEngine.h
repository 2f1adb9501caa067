#pragma once

#include "ApertiumModes.h"
#include "ApertiumPipeline.h"
#include "TranslationEngine.h"

#include <chrono>
#include <map>
#include <memory>

// Translation with the installed Apertium modes. A mode without a direct
// Apertium pair goes through Spanish, the language every installed pair
// shares (English to French is eng-spa, then es-fr). Each mode's pipeline
// starts on first use and is kept running.
class ApertiumEngine : public TranslationEngine
{
public:
    ApertiumEngine(const QList<ApertiumMode>& modes, std::chrono::milliseconds timeout);

    QString translate(const TranslationMode& mode, const QString& text) override;
    QByteArray translateStream(const TranslationMode& mode, const QByteArray& stream) override;
    bool canTranslate(const TranslationMode& mode) const override;
    void stop() override;
    // One line per running pipeline: its name and the stage process ids.
    QString debugReport() const override;

    // The Apertium modes a translation runs through, in order; empty when
    // the installed pairs cannot serve it.
    QStringList route(const TranslationMode& mode) const;
    // "en_es", "es_en", ... for every direct pair, for the start-up report.
    QStringList directModes() const;

private:
    ApertiumPipeline* pipeline(const QString& source, const QString& target) const;
    QList<ApertiumPipeline*> legs(const TranslationMode& mode) const;
    // The legs of a mode that is not the same language twice; a fault when
    // there are none.
    QList<ApertiumPipeline*> chain(const TranslationMode& mode) const;
    static QByteArray run(const QList<ApertiumPipeline*>& chain, QByteArray stream);

    std::map<std::pair<QString, QString>, std::unique_ptr<ApertiumPipeline>> m_pipelines;
};

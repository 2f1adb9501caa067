#pragma once

#include "server/apertium/ApertiumModes.h"
#include "server/apertium/PipelinePool.h"
#include "server/engine/TranslationEngine.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <thread>

// Translation with the installed Apertium modes. A mode without a direct
// Apertium pair goes through Spanish, the language every installed pair
// shares (English to French is eng-spa, then es-fr). Each mode has a pool
// of pipelines, started on demand and stopped when idle; concurrent
// requests for one pair run on different instances, and a long text is cut
// at sentence ends and its parts translated on as many instances as are
// free, then joined in order.
class ApertiumEngine : public TranslationEngine
{
public:
    struct Options
    {
        // Pipelines per mode at most.
        int instances = 1;
        // Each exchange with a pipeline must be answered within the floor
        // plus this much per kilobyte it writes, and a whole request within
        // the floor plus this much per kilobyte and leg, from its start;
        // past that the pipeline is killed and only that request fails.
        // Apertium takes about 6 ms per KiB here: eight times that leaves
        // room for a machine busy with other work.
        std::chrono::milliseconds deadlineFloor{5000};
        std::chrono::milliseconds perKilobyte{50};
        // An instance unused this long is stopped.
        std::chrono::milliseconds idleTime{std::chrono::minutes(5)};
        // Streams from this size on are cut into parts of about partBytes,
        // and at least minPartBytes (the context costs less than the part
        // saves), by their size alone, and translated with contextBytes of
        // the text around them (see ApertiumStream::planParts). Extra
        // instances are started for one stream from startBytes on: below,
        // starting one costs more than it saves.
        qsizetype parallelBytes = 16 * 1024;
        qsizetype minPartBytes = 8 * 1024;
        qsizetype partBytes = 16 * 1024;
        qsizetype contextBytes = 512;
        qsizetype startBytes = 64 * 1024;
    };

    ApertiumEngine(const QList<ApertiumMode>& modes, const Options& options);
    // One pipeline per mode, each exchange given at least deadlineFloor.
    ApertiumEngine(const QList<ApertiumMode>& modes, std::chrono::milliseconds deadlineFloor)
        : ApertiumEngine(modes, Options{1, deadlineFloor})
    {
    }
    ~ApertiumEngine() override;

    QString translate(const TranslationMode& mode, const QString& text) override;
    // The whole stream: it is cut and its parts translated in parallel
    // here, so callers hand over everything at once.
    QByteArray translateStream(const TranslationMode& mode, const QByteArray& stream) override;
    // Through the HTML route, the stream whole.
    QString translateHtml(const TranslationMode& mode, const QString& html) override;
    bool canTranslate(const TranslationMode& mode) const override;
    void stop() override;
    // One line per running pipeline instance: its mode's name and the
    // stage process ids.
    QString debugReport() const override;

    // The Apertium modes a translation runs through, in order; empty when
    // the installed pairs cannot serve it.
    QStringList route(const TranslationMode& mode) const;
    // "en_es", "es_en", ... for every direct pair, for the start-up report.
    QStringList directModes() const;

private:
    using Clock = PipelinePool::Clock;
    PipelinePool* pool(const QString& source, const QString& target) const;
    QList<PipelinePool*> legs(const TranslationMode& mode) const;
    // The legs of a mode that is not the same language twice; a fault when
    // there are none.
    QList<PipelinePool*> chain(const TranslationMode& mode) const;
    // A guarded stream through the legs, cut into parts when it is long;
    // the result is still guarded.
    QByteArray run(const QList<PipelinePool*>& legs, const QByteArray& guarded);
    QByteArray runOne(const QList<PipelinePool*>& legs, QByteArray stream,
                      Clock::time_point requestEnd);
    Clock::time_point deadline(qsizetype bytes) const;
    void reapIdle();

    const Options m_options;
    std::map<std::pair<QString, QString>, std::unique_ptr<PipelinePool>> m_pools;
    std::mutex m_reaperMutex;
    std::condition_variable m_reaperWake;
    bool m_stopping = false;
    std::thread m_reaper;
};

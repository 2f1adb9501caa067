#pragma once

#include "platform/Errors.h"
#include "server/apertium/ApertiumModes.h"
#include "server/apertium/TaggerModel.h"

#include <QByteArray>
#include <QList>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <sys/types.h>

// A pipeline that failed or stalled while translating. The pipeline has been
// stopped; the next call starts a fresh one.
class PipelineFailure : public TarquellError
{
public:
    using TarquellError::TarquellError;
};

// One Apertium mode kept running as a chain of long-lived processes, each
// flushing on the null character. A call writes the stream, a NUL, a
// superblank marker of its own and a NUL, and reads up to that marker.
// Calls are serialised; the chain starts on the first call and again after
// any stage has died.
class ApertiumPipeline
{
public:
    using Clock = std::chrono::steady_clock;

    explicit ApertiumPipeline(const ApertiumMode& mode);
    ~ApertiumPipeline();
    ApertiumPipeline(const ApertiumPipeline&) = delete;
    ApertiumPipeline& operator=(const ApertiumPipeline&) = delete;

    // Translates one stream (see ApertiumStream), guarded on the way in
    // (ApertiumStream::Guard::Continuation): the answer still holds the
    // guard's characters. A call not answered by the deadline (ten
    // seconds later for a call that starts the stages) fails, and the
    // stages are killed. Throws PipelineFailure.
    QByteArray translate(const QByteArray& stream, Clock::time_point deadline);
    // Ends the processes; a later call starts them again.
    void stop();

    const QString& name() const { return m_mode.name; }
    // How often the tagger was restarted because an exchange changed it.
    quint64 taggerRestarts() const { return m_taggerRestarts; }
    // The spare tagger's process id, -1 when there is none.
    pid_t sparePid() const;
    // The process ids of the stages started last, in pipeline order (the
    // spare tagger is not one); empty when stopped. Never waits for an
    // exchange.
    QList<pid_t> pids() const;

private:
    bool runningLocked();
    void startLocked();
    void stopLocked();
    QByteArray exchangeLocked(const QByteArray& input, const QByteArray& terminator,
                              Clock::time_point deadline);

    // A tagger of this pipeline: its process and the ends we hold of its
    // own input, output and notes; for a spare, what it is still to be
    // fed of its warm-up and how many answers of that warm-up are still
    // to be dropped.
    struct Tagger
    {
        pid_t pid = -1;
        int in = -1;
        int out = -1;
        int notes = -1;
        QByteArray unsent;
        int warmups = 0;
    };
    void readTaggerNotesLocked();
    void restartTaggerLocked();
    Tagger spawnTaggerLocked(int* error);
    void startSpareLocked();
    void endTaggerLocked(Tagger& tagger);
    void reapEndedLocked();
    void relayOutputLocked(const char* data, qsizetype size);

    const ApertiumMode m_mode;
    void publishPidsLocked();

    // apertium-tagger learns: an ambiguity class its model lacks may change
    // the class it gives unknown words from then on, so the same sentence
    // would come out differently after other text. It says so on its
    // errors (-d), and its model tells which classes change it (without
    // the model, every one does); the exchange that made it learn is
    // answered, and the tagger is replaced by a spare started beforehand, which has loaded
    // its model while nobody waited. Each tagger has pipes of its own (two
    // readers of one pipe would take each other's text, and a spare's
    // answers must reach nobody), relayed by the exchange's loop from the
    // stage before and to the stage after.
    qsizetype m_tagger = -1;
    Tagger m_active;
    Tagger m_spare;
    int m_relayFrom = -1;
    int m_relayTo = -1;
    QByteArray m_toTagger;
    QByteArray m_fromTagger;
    // A fresh tagger is slow on the first words of each kind it meets, so
    // a spare is fed, before it serves, text that taught no tagger: what
    // the tagger was given in earlier exchanges that left it unchanged,
    // bounded. Its answers are dropped.
    QByteArray m_warmup;
    QByteArray m_given;
    bool m_givenWhole = true;
    // Taggers killed and not yet reaped.
    QList<pid_t> m_ended;
    std::optional<TaggerModel> m_model;
    bool m_modelRead = false;
    QByteArray m_notesLine;
    bool m_taggerLearned = false;
    std::atomic<quint64> m_taggerRestarts{0};

    mutable std::mutex m_mutex;
    QList<pid_t> m_pids;
    mutable std::mutex m_publishedMutex;
    QList<pid_t> m_published;
    pid_t m_publishedSpare = -1;
    int m_toPipeline = -1;
    int m_fromPipeline = -1;
    quint64 m_calls = 0;
};

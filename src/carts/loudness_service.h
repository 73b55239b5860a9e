#pragma once
// Measures the loudness of cart files in the background and keeps what it found.
//
// Threads and what they own:
//  - the user-interface thread calls measure() and known() and receives `measured`; it alone
//    reads and writes results_;
//  - one worker thread, at the lowest priority (nice 19), takes paths from the queue (guarded
//    by mutex_, shared with the user-interface thread), answers from the cache file or measures
//    the file, and posts each result to the user-interface thread as a queued call. It owns
//    the cache and writes it whenever the queue runs empty, and once more at the end. The same
//    decode reduces the file to waveform peaks, which the worker appends to the peaks cache
//    beside the loudness cache (bandorapeaks.cache), which it owns as well.
// Destroying the service cancels a measurement under way and waits for the worker: at most
// one decoding step.
#include "audio/loudness.h"
#include "carts/markers.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace audio {
class DecodeObserver;
}

namespace carts {

class LoudnessService : public QObject {
    Q_OBJECT
public:
    // How a file is measured (tests count and steer it); empty: the real meter. nullopt: the
    // file cannot be decoded. Called on the worker thread only.
    using Measure =
        std::function<std::optional<audio::Loudness>(const QString&, const std::atomic<bool>&)>;

    explicit LoudnessService(const QString& cacheFile, Measure measure = {},
                             QObject* parent = nullptr);
    ~LoudnessService() override;
    LoudnessService(const LoudnessService&) = delete;
    LoudnessService& operator=(const LoudnessService&) = delete;

    // Queues `path` (once, however often asked while it waits). A file that is known already
    // is looked at again, so a file changed on disk gets its new loudness.
    void measure(const QString& path);

    // The loudness of `path` found last; nullopt until its first answer. A file that cannot be
    // decoded, or is gone, is known without loudness (Loudness::hasLoudness() false).
    std::optional<audio::Loudness> known(const QString& path) const;

    // Nothing waits and nothing is being measured (answers may still be on their way).
    bool idle() const;

    // Answers the waveform peaks of `path` ahead of every file waiting, and ahead of a
    // measurement under way that is not for peaks (it starts again right after): from the
    // peaks cache, or by measuring the file (its loudness comes with it), with peaksProgress
    // on the way.
    void requestPeaks(const QString& path);
    // The peaks of `path` are no longer wanted: a measurement of it under way for them stops,
    // and the file is measured later like any other.
    void cancelPeaks(const QString& path);

signals:
    void measured(const QString& path);
    // The share of the file read so far, 0..1, for a file whose peaks were requested.
    void peaksProgress(const QString& path, double fraction);
    // nullptr when the file is gone or cannot be decoded.
    void peaksReady(const QString& path, std::shared_ptr<const carts::Peaks> peaks);

private:
    struct Job {
        QString path;
        bool wantsPeaks = false;
    };
    // The meter with something that sees the decoded audio.
    using Decode = std::function<std::optional<audio::Loudness>(
        const QString&, const std::atomic<bool>&, audio::DecodeObserver*)>;

    void run();
    std::optional<Job> nextJob(); // blocks; nullopt when stopping
    bool queueIsEmpty() const;
    bool stopping() const;
    enum class Requeue { Last, AfterFirst };
    void requeue(const QString& path, Requeue where);
    void deliver(const QString& path, const audio::Loudness& loudness);
    void deliverPeaks(const QString& path, std::optional<Peaks> peaks);
    std::function<void(double)> progressOf(const QString& path);

    const QString cacheFile_;
    const QString peaksFile_;
    const Decode measure_;
    QHash<QString, audio::Loudness> results_; // user-interface thread

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<QString> queue_;
    QSet<QString> queued_;
    QSet<QString> peaksWanted_;
    QString current_; // the file being measured
    bool currentWantsPeaks_ = false;
    bool busy_ = false;
    bool stopping_ = false;
    std::atomic<bool> cancel_{false}; // going away, current_'s peaks no longer wanted,
                                      // or current_ put aside for another file's peaks
    std::thread worker_;              // last: starts once everything above exists
};

// The line a cart's hint gains while normalisation is on: its loudness and the gain it plays
// with at `targetLufs`, e.g. "Loudness: -14.2 LUFS, ganho -8.8 dB".
QString loudnessHintLine(const std::optional<audio::Loudness>& known, int targetLufs);

} // namespace carts

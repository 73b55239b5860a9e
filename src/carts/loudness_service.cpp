#include "carts/loudness_service.h"

#include "audio/loudness_meter.h"
#include "carts/loudness_cache.h"
#include "carts/peaks.h"
#include "core/path_bytes.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include <sys/resource.h>
#include <unistd.h>

namespace carts {

namespace {

constexpr int kWorkerNice = 19;
// A gain this much below target - measured was lowered by the true-peak limit.
constexpr double kLimitShownDb = 0.05;
// Progress of a requested file is told in steps no finer than this.
constexpr double kProgressStep = 0.01;

// The real meter, kept for the worker's lifetime so its buffers serve every file.
auto realMeter() {
    auto meter = std::make_shared<audio::LoudnessMeter>();
    return [meter](const QString& path, const std::atomic<bool>& cancel,
                   audio::DecodeObserver* observer) {
        return meter->measure(core::encodePathBytes(path).toStdString(), cancel, observer);
    };
}

// A meter given from outside shows nothing of the audio: no peaks come from it.
auto blindMeter(LoudnessService::Measure measure) {
    return [measure = std::move(measure)](const QString& path, const std::atomic<bool>& cancel,
                                          audio::DecodeObserver*) { return measure(path, cancel); };
}

} // namespace

LoudnessService::LoudnessService(const QString& cacheFile, Measure measure, QObject* parent)
    : QObject(parent), cacheFile_(cacheFile),
      peaksFile_(QFileInfo(cacheFile).dir().filePath(QString::fromLatin1(kPeaksCacheFile))),
      measure_(measure ? Decode(blindMeter(std::move(measure))) : Decode(realMeter())),
      worker_([this] { run(); }) {}

LoudnessService::~LoudnessService() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    cancel_.store(true, std::memory_order_relaxed);
    wake_.notify_all();
    worker_.join();
}

void LoudnessService::measure(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        if (queued_.contains(path)) {
            return;
        }
        queued_.insert(path);
        queue_.push_back(path);
    }
    wake_.notify_one();
}

std::optional<audio::Loudness> LoudnessService::known(const QString& path) const {
    const auto it = results_.constFind(path);
    return it == results_.cend() ? std::nullopt : std::optional<audio::Loudness>(*it);
}

bool LoudnessService::queueIsEmpty() const {
    const std::lock_guard lock(mutex_);
    return queue_.empty();
}

bool LoudnessService::idle() const {
    const std::lock_guard lock(mutex_);
    return queue_.empty() && !busy_;
}

bool LoudnessService::stopping() const {
    const std::lock_guard lock(mutex_);
    return stopping_;
}

void LoudnessService::requestPeaks(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        peaksWanted_.insert(path);
        if (queued_.contains(path)) {
            queue_.erase(std::find(queue_.begin(), queue_.end(), path));
        }
        queued_.insert(path);
        queue_.push_front(path);
        // A background measurement in hand would keep the editor waiting for its whole
        // decode: it stops, and goes next after this request.
        if (busy_ && !currentWantsPeaks_) {
            cancel_.store(true, std::memory_order_relaxed);
        }
    }
    wake_.notify_one();
}

void LoudnessService::cancelPeaks(const QString& path) {
    const std::lock_guard lock(mutex_);
    peaksWanted_.remove(path);
    if (current_ == path && currentWantsPeaks_) {
        cancel_.store(true, std::memory_order_relaxed);
    }
}

void LoudnessService::requeue(const QString& path, Requeue where) {
    const std::lock_guard lock(mutex_);
    if (queued_.contains(path)) {
        return; // asked again meanwhile
    }
    queued_.insert(path);
    if (where == Requeue::AfterFirst && !queue_.empty()) {
        queue_.insert(queue_.begin() + 1, path);
    } else {
        queue_.push_back(path);
    }
}

std::optional<LoudnessService::Job> LoudnessService::nextJob() {
    std::unique_lock lock(mutex_);
    busy_ = false;
    current_.clear();
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) {
        return std::nullopt;
    }
    Job job{queue_.front(), false};
    queue_.pop_front();
    queued_.remove(job.path); // asked again from now on, it is looked at again
    job.wantsPeaks = peaksWanted_.remove(job.path);
    current_ = job.path;
    currentWantsPeaks_ = job.wantsPeaks;
    cancel_.store(false, std::memory_order_relaxed);
    busy_ = true;
    return job;
}

std::function<void(double)> LoudnessService::progressOf(const QString& path) {
    return [this, path, told = 0.0](double fraction) mutable {
        if (fraction - told < kProgressStep && fraction < 1.0) {
            return;
        }
        told = fraction;
        QMetaObject::invokeMethod(
            this, [this, path, fraction] { emit peaksProgress(path, fraction); },
            Qt::QueuedConnection);
    };
}

void LoudnessService::run() {
    // Measuring is never urgent: playing carts, their decoders and the user interface go first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
    LoudnessCache cache = LoudnessCache::read(cacheFile_);
    PeaksCache peaksCache = PeaksCache::open(peaksFile_);
    bool unsaved = false;
    while (const std::optional<Job> job = nextJob()) {
        const QString& path = job->path;
        const std::optional<FileStamp> stamp = stampOf(path);
        std::optional<audio::Loudness> loudness = stamp ? cache.find(path, *stamp) : std::nullopt;
        std::optional<Peaks> peaks =
            stamp && job->wantsPeaks ? peaksCache.find(path, *stamp) : std::nullopt;
        if (stamp && (!loudness || (job->wantsPeaks && !peaks))) {
            PeaksBuilder builder(job->wantsPeaks ? progressOf(path) : nullptr);
            const std::optional<audio::Loudness> found = measure_(path, cancel_, &builder);
            if (stopping()) {
                break;
            }
            if (cancel_.load(std::memory_order_relaxed)) {
                // Peaks no longer wanted: measured later like any other file. Put aside for
                // another file's peaks: measured right after them.
                requeue(path, job->wantsPeaks ? Requeue::Last : Requeue::AfterFirst);
                continue;
            }
            loudness = found.value_or(audio::Loudness{});
            cache.store(path, *stamp, *loudness);
            unsaved = true;
            if (Peaks built = builder.take(); found && built.sampleRate > 0) {
                peaksCache.store(path, *stamp, built);
                peaks = std::move(built);
            }
        }
        deliver(path, loudness.value_or(audio::Loudness{}));
        if (job->wantsPeaks) {
            deliverPeaks(path, std::move(peaks));
        }
        if (unsaved && queueIsEmpty()) {
            cache.write(cacheFile_);
            unsaved = false;
        }
    }
    if (unsaved) {
        cache.write(cacheFile_);
    }
}

void LoudnessService::deliver(const QString& path, const audio::Loudness& loudness) {
    QMetaObject::invokeMethod(
        this,
        [this, path, loudness] {
            results_.insert(path, loudness);
            emit measured(path);
        },
        Qt::QueuedConnection);
}

void LoudnessService::deliverPeaks(const QString& path, std::optional<Peaks> peaks) {
    std::shared_ptr<const Peaks> shared =
        peaks ? std::make_shared<const Peaks>(std::move(*peaks)) : nullptr;
    QMetaObject::invokeMethod(
        this, [this, path, shared] { emit peaksReady(path, shared); }, Qt::QueuedConnection);
}

QString loudnessHintLine(const std::optional<audio::Loudness>& known, int targetLufs) {
    if (!known) {
        return QStringLiteral("Loudness: medindo...");
    }
    const double gain = audio::normalisationGainDb(*known, targetLufs);
    if (!known->hasLoudness()) {
        return QStringLiteral("Loudness: sem medida, ganho 0.0 dB");
    }
    const double wanted =
        std::min(targetLufs - known->integratedLufs, audio::kMaxNormalisationGainDb);
    const bool limited = gain < wanted - kLimitShownDb;
    return QStringLiteral("Loudness: %1 LUFS, ganho %2 dB%3")
        .arg(QString::number(known->integratedLufs, 'f', 1), QString::asprintf("%+.1f", gain),
             limited ? QStringLiteral(" (limitado pelo pico)") : QString());
}

} // namespace carts

#include "carts/loudness_service.h"

#include "audio/loudness_meter.h"
#include "carts/loudness_cache.h"
#include "core/path_bytes.h"

#include <algorithm>

#include <sys/resource.h>
#include <unistd.h>

namespace carts {

namespace {

constexpr int kWorkerNice = 19;
// A gain this much below target - measured was lowered by the true-peak limit.
constexpr double kLimitShownDb = 0.05;

// The real meter, kept for the worker's lifetime so its buffers serve every file.
LoudnessService::Measure realMeter() {
    auto meter = std::make_shared<audio::LoudnessMeter>();
    return [meter](const QString& path, const std::atomic<bool>& cancel) {
        return meter->measure(core::encodePathBytes(path).toStdString(), cancel);
    };
}

} // namespace

LoudnessService::LoudnessService(const QString& cacheFile, Measure measure, QObject* parent)
    : QObject(parent), cacheFile_(cacheFile), measure_(measure ? std::move(measure) : realMeter()),
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

std::optional<QString> LoudnessService::nextPath() {
    std::unique_lock lock(mutex_);
    busy_ = false;
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) {
        return std::nullopt;
    }
    QString path = queue_.front();
    queue_.pop_front();
    queued_.remove(path); // asked again from now on, it is looked at again
    busy_ = true;
    return path;
}

void LoudnessService::run() {
    // Measuring is never urgent: playing carts, their decoders and the user interface go first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
    LoudnessCache cache = LoudnessCache::read(cacheFile_);
    bool unsaved = false;
    while (const std::optional<QString> path = nextPath()) {
        const std::optional<FileStamp> stamp = stampOf(*path);
        std::optional<audio::Loudness> loudness = stamp ? cache.find(*path, *stamp) : std::nullopt;
        if (stamp && !loudness) {
            const std::optional<audio::Loudness> found = measure_(*path, cancel_);
            if (cancel_.load(std::memory_order_relaxed)) {
                break;
            }
            loudness = found.value_or(audio::Loudness{});
            cache.store(*path, *stamp, *loudness);
            unsaved = true;
        }
        deliver(*path, loudness.value_or(audio::Loudness{}));
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

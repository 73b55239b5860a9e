#include "search/file_scanner.h"

#include "search/tree_walk.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLocale>

#include <atomic>
#include <chrono>
#include <mutex>

namespace search {

namespace {

// Found paths go to the owner's thread in batches (256 paths, or fewer once 50 ms have passed
// since the last hand-over): one posted event per batch instead of one per path.
constexpr qsizetype kBatchSize = 256;
constexpr std::chrono::milliseconds kBatchDelay{50};

} // namespace

// Shared by the owner's thread and the worker of one search.
struct FileScanner::Job {
    ScanRequest request; // written before the worker starts, then only read
    std::atomic<bool> cancelled{false};
    std::mutex mutex;            // guards the two members below
    QStringList pending;         // found by the worker, not yet emitted
    bool deliveryQueued = false; // a hand-over of found paths for this job is posted
};

// Carries a job's news from the worker to the owner's thread: found paths waiting in the job,
// or the end of the walk with its result. Posted events are handed over under Qt's queue lock
// and dropped with the scanner if it goes first.
class FileScanner::HandOverEvent : public QEvent {
public:
    static QEvent::Type kind() {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }
    HandOverEvent(std::shared_ptr<Job> job, bool finished, QStringList result = {})
        : QEvent(kind()), job(std::move(job)), finished(finished), result(std::move(result)) {}

    std::shared_ptr<Job> job;
    bool finished;
    QStringList result;
};

FileScanner::FileScanner(QObject* parent) : QObject(parent) {}

FileScanner::~FileScanner() {
    cancel();
}

bool FileScanner::start() {
    if (isRunning())
        return false;
    auto job = std::make_shared<Job>();
    job->request = {filePath_, searchFilter_, subDirectories_, QLocale()};
    job_ = job;
    worker_ = std::thread([this, job] { runWorker(job); });
    return true;
}

void FileScanner::cancel() {
    if (!job_)
        return;
    job_->cancelled.store(true, std::memory_order_relaxed);
    stopWorker();
    job_.reset(); // hand-overs still posted for the job find it gone and emit nothing
}

bool FileScanner::search() {
    if (isRunning())
        return false;
    searchingHere_ = true;
    const ScanRequest request{filePath_, searchFilter_, subDirectories_, QLocale()};
    QStringList result = scanTree(request, [this](const QString& path) { emit fileFound(path); });
    searchingHere_ = false;
    searchResult_ = std::move(result);
    emit ready(searchResult_);
    return true;
}

// Worker thread: walks, hands found paths over in batches, and queues the end of the search.
void FileScanner::runWorker(std::shared_ptr<Job> job) {
    using Clock = std::chrono::steady_clock;
    QStringList batch;
    auto lastHandOver = Clock::now();
    const auto handOver = [&] {
        bool queueDelivery = false;
        {
            const std::lock_guard lock(job->mutex);
            job->pending.append(std::move(batch));
            queueDelivery = !job->deliveryQueued;
            job->deliveryQueued = true;
        }
        batch.clear();
        lastHandOver = Clock::now();
        if (queueDelivery)
            QCoreApplication::postEvent(this, new HandOverEvent(job, false));
    };
    const auto collect = [&](const QString& path) {
        batch.append(path);
        if (batch.size() >= kBatchSize || Clock::now() - lastHandOver >= kBatchDelay)
            handOver();
    };
    QStringList result = scanTree(job->request, collect, &job->cancelled);
    if (job->cancelled.load(std::memory_order_relaxed))
        return;
    if (!batch.isEmpty())
        handOver();
    QCoreApplication::postEvent(this, new HandOverEvent(job, true, std::move(result)));
}

bool FileScanner::event(QEvent* event) {
    if (event->type() != HandOverEvent::kind())
        return QObject::event(event);
    auto* handOver = static_cast<HandOverEvent*>(event);
    if (handOver->finished)
        finish(handOver->job, std::move(handOver->result));
    else
        deliverFound(handOver->job);
    return true;
}

void FileScanner::deliverFound(const std::shared_ptr<Job>& job) {
    if (job != job_)
        return;
    QStringList paths;
    {
        const std::lock_guard lock(job->mutex);
        paths.swap(job->pending);
        job->deliveryQueued = false;
    }
    for (const QString& path : paths) {
        if (job != job_)
            return; // a handler cancelled the search
        emit fileFound(path);
    }
}

void FileScanner::finish(const std::shared_ptr<Job>& job, QStringList result) {
    if (job != job_)
        return;
    deliverFound(job); // every fileFound comes before ready
    if (job != job_)
        return;
    stopWorker();
    job_.reset();
    searchResult_ = std::move(result);
    emit ready(searchResult_);
}

void FileScanner::stopWorker() {
    if (worker_.joinable())
        worker_.join();
}

} // namespace search

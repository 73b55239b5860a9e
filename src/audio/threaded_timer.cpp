#include "audio/threaded_timer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <array>
#include <chrono>

namespace audio {

namespace {

// The worker only posts; it needs little stack, and 100 of them may run at once.
constexpr uint kWorkerStackBytes = 256 * 1024;

const QEvent::Type kTickEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class TickEvent : public QEvent {
public:
    explicit TickEvent(std::uint64_t generation)
        : QEvent(kTickEventType), generation_(generation) {}
    std::uint64_t generation() const { return generation_; }

private:
    std::uint64_t generation_;
};

// In the order of ThreadPriority.
constexpr std::array<QThread::Priority, 7> kPriorities{
    QThread::IdlePriority,         QThread::LowestPriority, QThread::LowPriority,
    QThread::NormalPriority,       QThread::HighPriority,   QThread::HighestPriority,
    QThread::TimeCriticalPriority,
};

} // namespace

TimerThread::TimerThread(ThreadedTimer& timer) : timer_(timer) {
    setStackSize(kWorkerStackBytes);
    start(QThread::NormalPriority);
}

TimerThread::~TimerThread() {
    terminateAndWait();
}

std::uint32_t TimerThread::interval() const {
    std::lock_guard lock(mutex_);
    return interval_;
}

TimerThread::State TimerThread::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::uint64_t TimerThread::generation() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

void TimerThread::setInterval(std::uint32_t ms) {
    std::lock_guard lock(mutex_);
    interval_ = ms;
}

void TimerThread::startTiming() {
    {
        std::lock_guard lock(mutex_);
        timing_ = interval_ > 0;
        stopEvent_ = true;
        ++generation_;
    }
    wake_.notify_all();
}

void TimerThread::park() {
    {
        std::lock_guard lock(mutex_);
        timing_ = false;
        ++generation_;
    }
    wake_.notify_all();
}

void TimerThread::terminateAndWait() {
    {
        std::lock_guard lock(mutex_);
        terminate_ = true;
        stopEvent_ = true;
    }
    wake_.notify_all();
    wait();
}

void TimerThread::finishHandOver() {
    {
        std::lock_guard lock(mutex_);
        handOverPending_ = false;
    }
    wake_.notify_all();
}

void TimerThread::run() {
    std::unique_lock lock(mutex_);
    while (!terminate_) {
        if (!timing_) {
            state_ = State::Parked;
            wake_.wait(lock, [this] { return timing_ || terminate_; });
            continue;
        }
        if (waitForTimeout(lock)) {
            handOver(lock);
        }
    }
    state_ = State::Ended;
}

// True when a full interval passed without a stop request, a park or a terminate request.
bool TimerThread::waitForTimeout(std::unique_lock<std::mutex>& lock) {
    state_ = State::Timing;
    stopEvent_ = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(interval_);
    const bool interrupted =
        wake_.wait_until(lock, deadline, [this] { return stopEvent_ || terminate_ || !timing_; });
    return !interrupted;
}

// Posts the tick, then waits until the owner thread has run or dropped it, or until the timer
// is being destroyed (which removes the posted tick with the timer).
void TimerThread::handOver(std::unique_lock<std::mutex>& lock) {
    state_ = State::HandingOver;
    handOverPending_ = true;
    const std::uint64_t generation = generation_;
    lock.unlock();
    timer_.postTick(generation);
    lock.lock();
    wake_.wait(lock, [this] { return !handOverPending_ || terminate_; });
}

ThreadedTimer::ThreadedTimer(QObject* owner)
    : QObject(owner), worker_(std::make_unique<TimerThread>(*this)) {}

ThreadedTimer::~ThreadedTimer() {
    // Joining releases a worker blocked in a hand-over; the tick it posted dies with this object.
    worker_->terminateAndWait();
}

void ThreadedTimer::setEnabled(bool value) {
    if (value == enabled_) {
        return;
    }
    enabled_ = value;
    if (value) {
        worker_->startTiming();
    } else {
        worker_->park();
    }
}

void ThreadedTimer::setInterval(std::uint32_t ms) {
    if (ms == worker_->interval()) {
        return;
    }
    const bool wasEnabled = enabled_;
    setEnabled(false);
    worker_->setInterval(ms);
    setEnabled(wasEnabled);
}

ThreadPriority ThreadedTimer::threadPriority() const {
    const QThread::Priority current = worker_->priority();
    for (std::size_t i = 0; i < kPriorities.size(); ++i) {
        if (kPriorities[i] == current) {
            return static_cast<ThreadPriority>(i);
        }
    }
    return ThreadPriority::Normal;
}

void ThreadedTimer::setThreadPriority(ThreadPriority priority) {
    worker_->setPriority(kPriorities[static_cast<std::size_t>(priority)]);
}

void ThreadedTimer::postTick(std::uint64_t generation) {
    QCoreApplication::postEvent(this, new TickEvent(generation));
}

bool ThreadedTimer::event(QEvent* event) {
    if (event->type() != kTickEventType) {
        return QObject::event(event);
    }
    QPointer<ThreadedTimer> alive(this);
    deliverTick(static_cast<TickEvent*>(event)->generation());
    if (alive) { // the handler may have destroyed this timer
        worker_->finishHandOver();
    }
    return true;
}

// A tick posted before the timer was last disabled, re-enabled or given a new interval is stale.
void ThreadedTimer::deliverTick(std::uint64_t generation) {
    if (enabled_ && onTimer_ && generation == worker_->generation()) {
        onTimer_(this);
    }
}

} // namespace audio

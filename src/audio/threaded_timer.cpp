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

// In the order of TThreadPriority.
constexpr std::array<QThread::Priority, 7> kPriorities{
    QThread::IdlePriority,         QThread::LowestPriority, QThread::LowPriority,
    QThread::NormalPriority,       QThread::HighPriority,   QThread::HighestPriority,
    QThread::TimeCriticalPriority,
};

} // namespace

TTimerThread::TTimerThread(TThreadedTimer& timer) : timer_(timer) {
    setStackSize(kWorkerStackBytes);
    start(QThread::NormalPriority);
}

TTimerThread::~TTimerThread() {
    terminateAndWait();
}

std::uint32_t TTimerThread::Interval() const {
    std::lock_guard lock(mutex_);
    return interval_;
}

TTimerThread::State TTimerThread::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::uint64_t TTimerThread::generation() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

void TTimerThread::setInterval(std::uint32_t ms) {
    std::lock_guard lock(mutex_);
    interval_ = ms;
}

void TTimerThread::startTiming() {
    {
        std::lock_guard lock(mutex_);
        timing_ = interval_ > 0;
        stopEvent_ = true;
        ++generation_;
    }
    wake_.notify_all();
}

void TTimerThread::park() {
    {
        std::lock_guard lock(mutex_);
        timing_ = false;
        ++generation_;
    }
    wake_.notify_all();
}

void TTimerThread::terminateAndWait() {
    {
        std::lock_guard lock(mutex_);
        terminate_ = true;
        stopEvent_ = true;
    }
    wake_.notify_all();
    wait();
}

void TTimerThread::finishHandOver() {
    {
        std::lock_guard lock(mutex_);
        handOverPending_ = false;
    }
    wake_.notify_all();
}

void TTimerThread::run() {
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
bool TTimerThread::waitForTimeout(std::unique_lock<std::mutex>& lock) {
    state_ = State::Timing;
    stopEvent_ = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(interval_);
    const bool interrupted =
        wake_.wait_until(lock, deadline, [this] { return stopEvent_ || terminate_ || !timing_; });
    return !interrupted;
}

// Posts the tick, then waits until the owner thread has run or dropped it, or until the timer
// is being destroyed (which removes the posted tick with the timer).
void TTimerThread::handOver(std::unique_lock<std::mutex>& lock) {
    state_ = State::HandingOver;
    handOverPending_ = true;
    const std::uint64_t generation = generation_;
    lock.unlock();
    timer_.postTick(generation);
    lock.lock();
    wake_.wait(lock, [this] { return !handOverPending_ || terminate_; });
}

TThreadedTimer::TThreadedTimer(QObject* owner)
    : QObject(owner), worker_(std::make_unique<TTimerThread>(*this)) {}

TThreadedTimer::~TThreadedTimer() {
    // Joining releases a worker blocked in a hand-over; the tick it posted dies with this object.
    worker_->terminateAndWait();
}

void TThreadedTimer::SetEnabled(bool value) {
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

void TThreadedTimer::SetInterval(std::uint32_t ms) {
    if (ms == worker_->Interval()) {
        return;
    }
    const bool wasEnabled = enabled_;
    SetEnabled(false);
    worker_->setInterval(ms);
    SetEnabled(wasEnabled);
}

TThreadPriority TThreadedTimer::ThreadPriority() const {
    const QThread::Priority current = worker_->priority();
    for (std::size_t i = 0; i < kPriorities.size(); ++i) {
        if (kPriorities[i] == current) {
            return static_cast<TThreadPriority>(i);
        }
    }
    return TThreadPriority::tpNormal;
}

void TThreadedTimer::SetThreadPriority(TThreadPriority priority) {
    worker_->setPriority(kPriorities[static_cast<std::size_t>(priority)]);
}

void TThreadedTimer::postTick(std::uint64_t generation) {
    QCoreApplication::postEvent(this, new TickEvent(generation));
}

bool TThreadedTimer::event(QEvent* event) {
    if (event->type() != kTickEventType) {
        return QObject::event(event);
    }
    QPointer<TThreadedTimer> alive(this);
    DeliverTick(static_cast<TickEvent*>(event)->generation());
    if (alive) { // the handler may have destroyed this timer
        worker_->finishHandOver();
    }
    return true;
}

// A tick posted before the timer was last disabled, re-enabled or given a new interval is stale.
void TThreadedTimer::DeliverTick(std::uint64_t generation) {
    if (enabled_ && onTimer_ && generation == worker_->generation()) {
        onTimer_(this);
    }
}

} // namespace audio

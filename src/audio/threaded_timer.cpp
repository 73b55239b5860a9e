#include "audio/threaded_timer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace audio {

namespace {

using Clock = std::chrono::steady_clock;

const QEvent::Type kTickEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class TickEvent : public QEvent {
public:
    explicit TickEvent(std::uint64_t generation)
        : QEvent(kTickEventType), generation_(generation) {}
    std::uint64_t generation() const { return generation_; }

private:
    std::uint64_t generation_;
};

} // namespace

// The one thread that paces every timer. It posts ticks under its lock, and a timer leaves the
// queue under the same lock before it is destroyed, so it never posts to a dead timer; a tick
// already posted dies with its timer. Nothing here waits for an owner thread.
class TimerPacer {
public:
    static TimerPacer& instance();
    ~TimerPacer();

    void start(ThreadedTimer& timer, std::uint32_t intervalMs);
    void stop(ThreadedTimer& timer);
    void finishTick(ThreadedTimer& timer);
    std::uint64_t generation(const ThreadedTimer& timer) const;
    ThreadedTimer::PacingState state(const ThreadedTimer& timer) const;

private:
    using Slot = std::pair<Clock::time_point, ThreadedTimer*>;

    TimerPacer() = default;
    void startThread();
    void run();
    void fireDue(Clock::time_point now);
    void unschedule(ThreadedTimer& timer);
    static void postTick(ThreadedTimer& timer);
    static Clock::time_point nextDeadline(const ThreadedTimer::Pace& pace, Clock::time_point now);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::set<Slot> queue_; // earliest deadline first
    std::thread thread_;
    bool stopping_ = false;
};

// Built by the first timer's constructor, so it outlives every timer with static storage too;
// its destructor ends and joins the thread at exit.
TimerPacer& TimerPacer::instance() {
    static TimerPacer pacer;
    return pacer;
}

TimerPacer::~TimerPacer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

// A full new period starts now; a zero interval leaves the timer parked.
void TimerPacer::start(ThreadedTimer& timer, std::uint32_t intervalMs) {
    bool earliest = false;
    {
        std::lock_guard lock(mutex_);
        ThreadedTimer::Pace& pace = timer.pace_;
        unschedule(timer);
        ++pace.generation;
        if (intervalMs == 0) {
            return;
        }
        pace.interval = std::chrono::milliseconds(intervalMs);
        pace.deadline = Clock::now() + pace.interval;
        pace.scheduled = true;
        const auto slot = queue_.emplace(pace.deadline, &timer).first;
        earliest = slot == queue_.begin(); // the thread may sleep until a later deadline
        startThread();
    }
    if (earliest) {
        wake_.notify_one();
    }
}

// The pacing thread may still wake for this timer's old deadline; it then finds nothing due.
void TimerPacer::stop(ThreadedTimer& timer) {
    std::lock_guard lock(mutex_);
    unschedule(timer);
    ++timer.pace_.generation;
}

// The next period that ends may post again; a period that ended meanwhile stays skipped.
void TimerPacer::finishTick(ThreadedTimer& timer) {
    std::lock_guard lock(mutex_);
    timer.pace_.tickPending = false;
}

std::uint64_t TimerPacer::generation(const ThreadedTimer& timer) const {
    std::lock_guard lock(mutex_);
    return timer.pace_.generation;
}

ThreadedTimer::PacingState TimerPacer::state(const ThreadedTimer& timer) const {
    std::lock_guard lock(mutex_);
    if (timer.pace_.tickPending) {
        return ThreadedTimer::PacingState::TickPending;
    }
    return timer.pace_.scheduled ? ThreadedTimer::PacingState::Timing
                                 : ThreadedTimer::PacingState::Parked;
}

// Caller holds the lock. Started on first use so that a program without timers has no thread.
void TimerPacer::startThread() {
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { run(); });
    }
}

void TimerPacer::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (queue_.empty()) {
            wake_.wait(lock);
            continue;
        }
        const Clock::time_point next = queue_.begin()->first;
        const Clock::time_point now = Clock::now();
        if (now < next) {
            wake_.wait_until(lock, next);
            continue;
        }
        fireDue(now);
    }
}

// Caller holds the lock. Every timer whose period ended gets a tick unless one is pending.
void TimerPacer::fireDue(Clock::time_point now) {
    while (!queue_.empty() && queue_.begin()->first <= now) {
        auto node = queue_.extract(queue_.begin());
        ThreadedTimer& timer = *node.value().second;
        ThreadedTimer::Pace& pace = timer.pace_;
        if (!pace.tickPending) {
            pace.tickPending = true;
            postTick(timer);
        }
        pace.deadline = nextDeadline(pace, now);
        node.value().first = pace.deadline;
        queue_.insert(std::move(node));
    }
}

// Caller holds the lock.
void TimerPacer::unschedule(ThreadedTimer& timer) {
    ThreadedTimer::Pace& pace = timer.pace_;
    if (pace.scheduled) {
        queue_.erase(Slot(pace.deadline, &timer));
        pace.scheduled = false;
    }
}

// Caller holds the lock, which keeps the timer alive while the event is posted.
void TimerPacer::postTick(ThreadedTimer& timer) {
    QCoreApplication::postEvent(&timer, new TickEvent(timer.pace_.generation));
}

// The next end of a period on the grid that started at enabling; periods this thread slept
// through (a suspended machine, a starved process) are skipped rather than fired in a burst.
Clock::time_point TimerPacer::nextDeadline(const ThreadedTimer::Pace& pace, Clock::time_point now) {
    const auto periodsPassed = (now - pace.deadline) / pace.interval;
    return pace.deadline + (periodsPassed + 1) * pace.interval;
}

ThreadedTimer::ThreadedTimer(QObject* owner) : QObject(owner), pacer_(TimerPacer::instance()) {}

ThreadedTimer::~ThreadedTimer() {
    // After this the pacing thread cannot post to this timer; a posted tick dies with it.
    pacer_.stop(*this);
}

void ThreadedTimer::setEnabled(bool value) {
    if (value == enabled_) {
        return;
    }
    enabled_ = value;
    if (value) {
        pacer_.start(*this, interval_);
    } else {
        pacer_.stop(*this);
    }
}

void ThreadedTimer::setInterval(std::uint32_t ms) {
    if (ms == interval_) {
        return;
    }
    const bool wasEnabled = enabled_;
    setEnabled(false);
    interval_ = ms;
    setEnabled(wasEnabled);
}

ThreadedTimer::PacingState ThreadedTimer::pacingState() const {
    return pacer_.state(*this);
}

bool ThreadedTimer::event(QEvent* event) {
    if (event->type() != kTickEventType) {
        return QObject::event(event);
    }
    QPointer<ThreadedTimer> alive(this);
    deliverTick(static_cast<TickEvent*>(event)->generation());
    if (alive) { // the handler may have destroyed this timer
        pacer_.finishTick(*this);
    }
    return true;
}

// A tick posted before the timer was last disabled, re-enabled or given a new interval is stale.
void ThreadedTimer::deliverTick(std::uint64_t generation) {
    if (enabled_ && onTimer_ && generation == pacer_.generation(*this)) {
        onTimer_(this);
    }
}

} // namespace audio

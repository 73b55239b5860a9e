#pragma once
// A timer whose periods are measured on one pacing thread shared by every timer, while every
// tick runs on the thread that owns the timer (the user-interface thread).
//
// Threads: the pacing thread only waits and posts, and never waits for an owner thread. A timer
// has at most one tick posted and not yet run; when the next period ends while it is still
// pending, that period is skipped. So a slow handler delays only its own timer, and the handlers
// of one timer never run nested. The owner thread runs onTimer and every setter. Periods follow
// a fixed grid from the moment of enabling (deadline += interval), so a handler's run time does
// not push later ticks back.
#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>

namespace audio {

// A handler with its object, called with the component that fires it as sender.
using NotifyEvent = std::function<void(QObject* sender)>;

enum class ThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

class TimerPacer;

class ThreadedTimer : public QObject {
    Q_OBJECT
public:
    // What the pacing thread holds for this timer.
    enum class PacingState {
        Parked,      // not timing, no tick pending
        Timing,      // a period is running
        TickPending, // a tick was posted and the owner thread has not run or dropped it yet
    };

    explicit ThreadedTimer(QObject* owner = nullptr);
    ~ThreadedTimer() override;

    bool enabled() const { return enabled_; }
    void setEnabled(bool value);
    std::uint32_t interval() const { return interval_; }
    void setInterval(std::uint32_t ms);
    const NotifyEvent& onTimer() const { return onTimer_; }
    void setOnTimer(NotifyEvent handler) { onTimer_ = std::move(handler); }
    // Kept for callers that rank their timers; all timers share one thread, so it ranks nothing.
    ThreadPriority threadPriority() const { return threadPriority_; }
    void setThreadPriority(ThreadPriority priority) { threadPriority_ = priority; }

    // Lets callers and tests wait for a tick in flight.
    PacingState pacingState() const;

protected:
    bool event(QEvent* event) override;

private:
    friend class TimerPacer;

    // Guarded by the pacer's lock; the owner thread alone changes generation and interval.
    struct Pace {
        std::chrono::steady_clock::time_point deadline;
        std::chrono::steady_clock::duration interval{};
        std::uint64_t generation = 0; // a posted tick of an older generation is stale
        bool scheduled = false;
        bool tickPending = false;
    };

    void deliverTick(std::uint64_t generation);

    TimerPacer& pacer_;
    bool enabled_ = false;
    std::uint32_t interval_ = 1000;
    ThreadPriority threadPriority_ = ThreadPriority::Normal;
    NotifyEvent onTimer_;
    Pace pace_;
};

} // namespace audio

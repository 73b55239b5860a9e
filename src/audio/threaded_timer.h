#pragma once
// A timer whose period is measured on a worker thread of its own, while every tick runs on the
// thread that owns the timer (the user-interface thread).
//
// Threads: the worker (TimerThread) only waits and posts; the owner thread runs onTimer and
// every setter. The worker blocks after posting a tick until the owner thread has run or dropped
// it, so ticks never queue up and handlers never run concurrently. The worker never holds a lock
// that the owner thread waits for except while it flips a flag, so the destructor cannot
// deadlock with a pending hand-over: it releases that hand-over and joins the worker.
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace audio {

// A handler with its object, called with the component that fires it as sender.
using NotifyEvent = std::function<void(QObject* sender)>;

enum class ThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

class ThreadedTimer;

class TimerThread : public QThread {
public:
    enum class State { Parked, Timing, HandingOver, Ended };

    explicit TimerThread(ThreadedTimer& timer);
    ~TimerThread() override;

    std::uint32_t interval() const;
    State state() const;

    // Owner thread only.
    void setInterval(std::uint32_t ms);
    void startTiming(); // a full new interval starts now
    void park();
    void terminateAndWait();
    void finishHandOver();
    // Generation of the current timing run: a posted tick of an older run is stale.
    std::uint64_t generation() const;

protected:
    void run() override;

private:
    bool waitForTimeout(std::unique_lock<std::mutex>& lock);
    void handOver(std::unique_lock<std::mutex>& lock);

    ThreadedTimer& timer_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::uint32_t interval_ = 1000;
    std::uint64_t generation_ = 0;
    bool timing_ = false;    // the worker may time (enabled, interval above 0)
    bool stopEvent_ = false; // ends the wait in progress without a tick
    bool terminate_ = false;
    bool handOverPending_ = false;
    State state_ = State::Parked;
};

class ThreadedTimer : public QObject {
    Q_OBJECT
public:
    explicit ThreadedTimer(QObject* owner = nullptr);
    ~ThreadedTimer() override;

    bool enabled() const { return enabled_; }
    void setEnabled(bool value);
    std::uint32_t interval() const { return worker_->interval(); }
    void setInterval(std::uint32_t ms);
    const NotifyEvent& onTimer() const { return onTimer_; }
    void setOnTimer(NotifyEvent handler) { onTimer_ = std::move(handler); }
    ThreadPriority threadPriority() const;
    void setThreadPriority(ThreadPriority priority);

    // What the worker is doing now; lets callers and tests wait for a hand-over in flight.
    TimerThread::State workerState() const { return worker_->state(); }

protected:
    bool event(QEvent* event) override;

private:
    friend class TimerThread;
    void postTick(std::uint64_t generation); // worker thread
    void deliverTick(std::uint64_t generation);

    bool enabled_ = false;
    NotifyEvent onTimer_;
    std::unique_ptr<TimerThread> worker_;
};

} // namespace audio

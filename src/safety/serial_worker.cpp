#include "safety/serial_worker.h"

#include <pthread.h>
#include <sched.h>

namespace safety {

SerialWorker::SerialWorker() : SerialWorker(std::chrono::milliseconds(0), Task()) {}

SerialWorker::SerialWorker(std::chrono::milliseconds tickInterval, Task tick)
    : tickInterval_(tickInterval), tick_(std::move(tick)),
      nextTick_(std::chrono::steady_clock::now() + tickInterval), thread_([this] { run(); }) {}

SerialWorker::~SerialWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void SerialWorker::post(Task task) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void SerialWorker::waitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !running_; });
}

bool SerialWorker::tickDue(std::chrono::steady_clock::time_point now) const {
    return tick_ && now >= nextTick_;
}

namespace {

// File work can wait: as a batch thread, a worker woken by post() does not preempt the thread
// that woke it, so the user-interface thread finishes its click first.
void yieldToInteractiveThreads() {
    const sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);
}

} // namespace

void SerialWorker::run() {
    yieldToInteractiveThreads();
    std::unique_lock lock(mutex_);
    for (;;) {
        const auto woken = [this] { return stopping_ || !queue_.empty(); };
        if (tick_) {
            wake_.wait_until(lock, nextTick_, woken);
        } else {
            wake_.wait(lock, woken);
        }
        while (!queue_.empty()) {
            Task task = std::move(queue_.front());
            queue_.pop_front();
            running_ = true;
            lock.unlock();
            task();
            lock.lock();
            running_ = false;
        }
        if (const auto now = std::chrono::steady_clock::now(); tickDue(now)) {
            nextTick_ = now + tickInterval_;
            lock.unlock();
            tick_();
            lock.lock();
        }
        idle_.notify_all();
        if (stopping_ && queue_.empty()) {
            return;
        }
    }
}

} // namespace safety

#pragma once
// One thread that runs posted tasks in the order they were posted, for file work the
// user-interface thread must never wait on. post() only takes a short lock around a queue.
// An optional tick runs on the same thread at a fixed interval, between tasks.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace safety {

class SerialWorker {
public:
    using Task = std::function<void()>;

    SerialWorker();
    SerialWorker(std::chrono::milliseconds tickInterval, Task tick);
    // Runs everything still queued, then ends the thread.
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void post(Task task);
    // Returns once every task posted before the call has run. For start-up, exit and tests,
    // never while the operator waits on a click.
    void waitIdle();

private:
    void run();
    bool tickDue(std::chrono::steady_clock::time_point now) const;

    const std::chrono::milliseconds tickInterval_{0};
    const Task tick_;
    std::chrono::steady_clock::time_point nextTick_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Task> queue_;
    bool running_ = false; // a task taken from the queue is still running
    bool stopping_ = false;
    std::thread thread_; // last: starts once everything above exists
};

} // namespace safety

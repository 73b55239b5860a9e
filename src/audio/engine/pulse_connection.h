#pragma once
// A connection to the sound server with its own mainloop thread, and the server's sink list.
//
// Callbacks run on the mainloop thread with the mainloop lock held; every other thread takes
// the lock (Connection::Lock) before touching the context or its streams.

#include "engine_units.h"

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace audio::engine {

class Connection {
public:
    Connection() : loop_(pa_threaded_mainloop_new()) {}
    ~Connection() { close(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Blocks until the context is ready, the server refused, or the timeout passed. Waits end
    // early once `cancel` is set.
    bool connect(const char* name, const std::atomic<bool>* cancel = nullptr);
    // Ends the mainloop thread (joined) and frees the context: no callback runs afterwards.
    void close();
    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }

    struct Lock {
        explicit Lock(pa_threaded_mainloop* l) : loop(l) { pa_threaded_mainloop_lock(loop); }
        ~Lock() { pa_threaded_mainloop_unlock(loop); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        pa_threaded_mainloop* loop;
    };

    // With the lock held: waits until `done` holds, the timeout passes or the wait is
    // cancelled, letting the mainloop run meanwhile.
    template <typename Done> bool waitFor(Done done);
    // With the lock held: runs an operation to its end; false if it did not finish in time.
    bool runOperation(pa_operation* op);

private:
    bool waitExpired(std::int64_t deadlineNs) const;

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    const std::atomic<bool>* cancel_ = nullptr;
    bool started_ = false;
};

struct SinkEntry {
    std::string name;
    std::string description;
    std::uint32_t rate = 0;
};

// Default sink first, the others by name, so numbers stay put while the set of sinks does;
// at most `limit`.
std::vector<SinkEntry> listSinks(Connection& connection, std::size_t limit);
std::optional<SinkEntry> findSink(Connection& connection, const std::string& name);

void sleepOneMillisecond();

template <typename Done> bool Connection::waitFor(Done done) {
    constexpr std::int64_t kTimeoutNs = 3'000'000'000;
    const std::int64_t deadline = monotonicNs() + kTimeoutNs;
    while (!done()) {
        if (waitExpired(deadline)) {
            return false;
        }
        pa_threaded_mainloop_unlock(loop_);
        sleepOneMillisecond();
        pa_threaded_mainloop_lock(loop_);
    }
    return true;
}

} // namespace audio::engine

#pragma once
// Streams the engine has let go of, freed on a thread of their own once their mixer has
// dropped them: closing a file and releasing a ring never costs the caller's thread, and a
// whole wall of carts freed at once is gone within a few mixer blocks, not at the next call.
//
// Threads: any engine caller hands streams over; the reaper's thread frees them. A stream
// handed over while attached to a mixer is freed only after the mixer has marked it detached.
#include "stream.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace audio::engine {

class StreamReaper {
public:
    StreamReaper();
    // Frees what is left whatever its state: destroy the reaper only once no mixer runs.
    ~StreamReaper();
    StreamReaper(const StreamReaper&) = delete;
    StreamReaper& operator=(const StreamReaper&) = delete;

    // `attached`: the stream was attached to a mixer and a detach command was sent for it.
    void release(std::unique_ptr<Stream> stream, bool attached);
    std::size_t pending() const;

private:
    struct Held {
        std::unique_ptr<Stream> stream;
        bool attached = false;
    };
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Held> held_;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace audio::engine

#include "stream_reaper.h"

#include <chrono>

#include <sys/resource.h>
#include <unistd.h>

namespace audio::engine {

namespace {
constexpr int kReaperNice = 10;
// How often streams still attached are looked at again; a mixer block is 4 ms.
constexpr auto kRecheck = std::chrono::milliseconds(20);
} // namespace

StreamReaper::StreamReaper() : worker_([this] { run(); }) {}

StreamReaper::~StreamReaper() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void StreamReaper::release(std::unique_ptr<Stream> stream, bool attached) {
    if (!stream) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        held_.push_back({std::move(stream), attached});
    }
    wake_.notify_all();
}

std::size_t StreamReaper::pending() const {
    std::lock_guard lock(mutex_);
    return held_.size();
}

void StreamReaper::run() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kReaperNice);
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        std::vector<Held> freeing;
        for (auto it = held_.begin(); it != held_.end();) {
            if (!it->attached || it->stream->pub.detached.load(std::memory_order_acquire)) {
                freeing.push_back(std::move(*it));
                it = held_.erase(it);
            } else {
                ++it;
            }
        }
        if (!freeing.empty()) {
            lock.unlock();
            freeing.clear();
            lock.lock();
            continue;
        }
        if (held_.empty()) {
            wake_.wait(lock);
        } else {
            wake_.wait_for(lock, kRecheck);
        }
    }
}

} // namespace audio::engine

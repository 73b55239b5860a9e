#include "stream_prefetch.h"

#include "stream_reaper.h"

#include <algorithm>
#include <set>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace audio::engine {

namespace {
// Below the decoders: opening ahead must not take time from the interface or from audio that is
// already playing; nobody ever waits for it.
constexpr int kPrefetchNice = 10;
} // namespace

StreamPrefetch::StreamPrefetch(StreamReaper& reaper)
    : reaper_(reaper), worker_([this] { run(); }) {}

StreamPrefetch::~StreamPrefetch() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

StreamPrefetch::FileStamp StreamPrefetch::stampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {};
    }
    return {static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

void StreamPrefetch::replace(const std::vector<std::string>& paths, std::uint32_t rate,
                             std::uint32_t bufferMs) {
    std::set<std::string> wanted;
    for (const std::string& path : paths) {
        if (!path.empty() && path.find("://") == std::string::npos) {
            wanted.insert(path);
        }
    }
    {
        std::lock_guard lock(mutex_);
        const bool sameFormat = rate == rate_ && bufferMs == bufferMs_;
        rate_ = rate;
        bufferMs_ = bufferMs;
        for (auto it = entries_.begin(); it != entries_.end();) {
            // A file being opened is left to the worker, which drops it when nobody wants it.
            if (!sameFormat || !wanted.count(it->first)) {
                reaper_.release(std::move(it->second.stream), false);
                it = entries_.erase(it);
            } else {
                ++it;
            }
        }
        // The queue follows the new order; files already open or being opened stay as they are.
        queue_.clear();
        for (const std::string& path : paths) {
            if (!wanted.count(path)) {
                continue;
            }
            const auto [it, added] = entries_.try_emplace(path);
            if ((added || it->second.state == State::Queued) &&
                std::find(queue_.begin(), queue_.end(), path) == queue_.end()) {
                queue_.push_back(path);
            }
        }
    }
    wake_.notify_all();
}

std::unique_ptr<Stream> StreamPrefetch::take(const std::string& path, std::uint32_t rate,
                                             std::uint32_t bufferMs) {
    std::unique_lock lock(mutex_);
    if (rate != rate_ || bufferMs != bufferMs_) {
        return nullptr;
    }
    const auto it = entries_.find(path);
    if (it == entries_.end()) {
        return nullptr;
    }
    // Anything but a parked stream is opened by the caller, as if never named: a file the
    // worker is opening right now included, since the worker runs below the caller's priority
    // and may be slow on a busy machine. The worker drops what it opened for nobody.
    std::unique_ptr<Stream> stream = std::move(it->second.stream);
    const FileStamp stamp = it->second.stamp;
    entries_.erase(it);
    lock.unlock();
    if (stream && !(stampOf(path) == stamp)) {
        reaper_.release(std::move(stream), false);
        return nullptr; // replaced on disk since: the caller opens what is there now
    }
    return stream;
}

std::size_t StreamPrefetch::parkedCount() const {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& [path, entry] : entries_) {
        count += entry.state == State::Ready ? 1 : 0;
    }
    return count;
}

// The next file still waiting to be opened; false when none is left.
bool StreamPrefetch::nextQueued(std::string& path) {
    while (!queue_.empty()) {
        path = std::move(queue_.front());
        queue_.pop_front();
        const auto it = entries_.find(path);
        if (it != entries_.end() && it->second.state == State::Queued) {
            it->second.state = State::Opening;
            return true;
        }
    }
    return false;
}

void StreamPrefetch::run() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kPrefetchNice);
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        std::string path;
        if (!nextQueued(path)) {
            wake_.wait(lock);
            continue;
        }
        const std::uint32_t rate = rate_;
        const std::uint32_t bufferMs = bufferMs_;
        lock.unlock();

        const FileStamp stamp = stampOf(path);
        Failure error;
        std::unique_ptr<Stream> stream;
        if (auto source = MediaSource::open(path, false, rate, error)) {
            stream = std::make_unique<Stream>(std::move(source), rate, bufferMs);
            stream->prime();
        }

        lock.lock();
        const auto it = entries_.find(path);
        if (it != entries_.end() && it->second.state == State::Opening) {
            it->second.state = stream ? State::Ready : State::Failed;
            it->second.stamp = stamp;
            it->second.stream = std::move(stream);
        } else {
            reaper_.release(std::move(stream), false);
        }
    }
}

} // namespace audio::engine

#pragma once
// Files opened ahead of their first play: a wall just loaded names the files its carts will
// play, and opening one (probing and measuring it exactly) takes longer than a cart may wait
// once it is fired. A worker thread opens and primes each file in turn and parks the stream;
// creating a stream of that path then takes the parked one at once.
//
// Threads: the user-interface thread calls replace() and take(); the worker owns the file it
// is opening. Both meet only under `mutex_`; the mixer never sees parked streams.
#include "stream.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace audio::engine {

class StreamReaper;

class StreamPrefetch {
public:
    // Streams dropped from the list go to `reaper`, to be freed away from the caller.
    explicit StreamPrefetch(StreamReaper& reaper);
    ~StreamPrefetch();
    StreamPrefetch(const StreamPrefetch&) = delete;
    StreamPrefetch& operator=(const StreamPrefetch&) = delete;

    // The files to have ready, for a device running at `rate` with streams of `bufferMs`;
    // streams parked for other files are dropped. Nothing is reported here: a file that
    // cannot be opened is simply not parked, and fails as usual when it is created.
    void replace(const std::vector<std::string>& paths, std::uint32_t rate, std::uint32_t bufferMs);

    // The parked stream of `path`; nullptr when there is none for this rate and buffer (not
    // opened yet, being opened, failed), or the file has changed since. Never waits.
    std::unique_ptr<Stream> take(const std::string& path, std::uint32_t rate,
                                 std::uint32_t bufferMs);

    std::size_t parkedCount() const;

private:
    struct FileStamp {
        std::int64_t size = -1;
        std::int64_t modifiedNs = -1;
        bool operator==(const FileStamp&) const = default;
    };
    enum class State { Queued, Opening, Ready, Failed };
    struct Entry {
        State state = State::Queued;
        FileStamp stamp;
        std::unique_ptr<Stream> stream;
    };

    static FileStamp stampOf(const std::string& path);
    void run();
    bool nextQueued(std::string& path);

    StreamReaper& reaper_;
    mutable std::mutex mutex_;
    std::condition_variable wake_; // work for the worker, or stopping
    std::map<std::string, Entry> entries_;
    std::deque<std::string> queue_;
    std::uint32_t rate_ = 0;
    std::uint32_t bufferMs_ = 0;
    std::uint64_t generation_ = 0; // bumped by replace(): an open for an older set is dropped
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace audio::engine

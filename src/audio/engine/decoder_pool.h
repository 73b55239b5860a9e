#pragma once
// Worker threads that keep every stream's ring filled. A stream is worked on by one worker at a
// time (Stream::claimed); the list of streams is guarded by a mutex that only the
// user-interface thread and the workers take, never the mixing thread.

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace audio::engine {

class Stream;

class DecoderPool {
public:
    explicit DecoderPool(unsigned threads);
    ~DecoderPool();
    DecoderPool(const DecoderPool&) = delete;
    DecoderPool& operator=(const DecoderPool&) = delete;

    void add(Stream* stream);
    // Returns once no worker is inside the stream any more.
    void remove(Stream* stream);
    // Something changed (seek, play, loop): look at the streams now rather than at the next poll.
    void wake();

private:
    void run();
    Stream* claimNext();

    std::mutex mutex_;
    std::condition_variable wakeUp_;
    std::vector<Stream*> streams_;
    std::size_t cursor_ = 0;
    bool kicked_ = false;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace audio::engine

// The JACK process callback never allocates and never takes a lock. This executable defines
// malloc, calloc, realloc, free, aligned_alloc, posix_memalign and pthread_mutex_lock itself
// (forwarding to the C library through dlsym(RTLD_NEXT)), and jack_set_process_callback, so
// every process callback of our client runs inside a wrapper that marks its thread as being in
// the callback. Calls made while marked are counted, and must stay at zero while carts play,
// stop, fade and loop, and a cue arms and fires, on two JACK devices at once.
#include "audio/engine/jack_output.h"
#include "audio/engine/sound_engine.h"
#include "jack_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <pthread.h>
#include <sstream>

using namespace audio::engine;
using namespace jacktest;

namespace {

struct Counts {
    std::atomic<std::uint64_t> allocations{0};
    std::atomic<std::uint64_t> frees{0};
    std::atomic<std::uint64_t> locks{0};
    std::atomic<std::uint64_t> callbacks{0};
    std::atomic<void*> firstCaller{nullptr}; // where the first counted call came from
};
Counts counts;

// Set by the wrapper around our client's process callback, on JACK's process thread.
__attribute__((tls_model("initial-exec"))) thread_local bool inProcessCallback = false;

void noteCall(std::atomic<std::uint64_t>& counter, void* caller) {
    if (!inProcessCallback) {
        return;
    }
    counter.fetch_add(1, std::memory_order_relaxed);
    void* none = nullptr;
    counts.firstCaller.compare_exchange_strong(none, caller);
}

// dlsym may allocate while the real functions are being looked up: those few requests are
// served from here and never freed.
alignas(64) unsigned char bootstrap[16384];
std::size_t bootstrapUsed = 0;
bool resolving = false;

bool fromBootstrap(void* p) {
    return p >= bootstrap && p < bootstrap + sizeof bootstrap;
}

void* bootstrapAlloc(std::size_t size) {
    const std::size_t at = (bootstrapUsed + 15) & ~std::size_t(15);
    if (at + size > sizeof bootstrap) {
        return nullptr;
    }
    bootstrapUsed = at + size;
    return bootstrap + at;
}

template <class Fn> Fn real(const char* name) {
    resolving = true;
    void* symbol = dlsym(RTLD_NEXT, name);
    resolving = false;
    return reinterpret_cast<Fn>(symbol);
}

using MallocFn = void* (*)(std::size_t);
using CallocFn = void* (*)(std::size_t, std::size_t);
using ReallocFn = void* (*)(void*, std::size_t);
using FreeFn = void (*)(void*);
using AlignedAllocFn = void* (*)(std::size_t, std::size_t);
using PosixMemalignFn = int (*)(void**, std::size_t, std::size_t);
using LockFn = int (*)(pthread_mutex_t*);
using SetProcessFn = int (*)(jack_client_t*, JackProcessCallback, void*);

// Our client's callbacks, each with the argument it was registered with.
struct Wrapped {
    JackProcessCallback callback = nullptr;
    void* argument = nullptr;
};
Wrapped wrapped[16];
std::atomic<int> wrappedCount{0};

int markedProcess(jack_nframes_t frames, void* user) {
    const Wrapped& w = *static_cast<Wrapped*>(user);
    counts.callbacks.fetch_add(1, std::memory_order_relaxed);
    inProcessCallback = true;
    const int result = w.callback(frames, w.argument);
    inProcessCallback = false;
    return result;
}

} // namespace

extern "C" {

void* malloc(std::size_t size) {
    static MallocFn next = nullptr;
    if (!next) {
        if (resolving) {
            return bootstrapAlloc(size);
        }
        next = real<MallocFn>("malloc");
    }
    noteCall(counts.allocations, __builtin_return_address(0));
    return next(size);
}

void* calloc(std::size_t n, std::size_t size) {
    static CallocFn next = nullptr;
    if (!next) {
        if (resolving) {
            return bootstrapAlloc(n * size); // static storage: already zero
        }
        next = real<CallocFn>("calloc");
    }
    noteCall(counts.allocations, __builtin_return_address(0));
    return next(n, size);
}

void* realloc(void* p, std::size_t size) {
    static ReallocFn next = real<ReallocFn>("realloc");
    noteCall(counts.allocations, __builtin_return_address(0));
    return next(p, size);
}

void free(void* p) {
    static FreeFn next = nullptr;
    if (!p || fromBootstrap(p)) {
        return;
    }
    if (!next) {
        next = real<FreeFn>("free");
    }
    noteCall(counts.frees, __builtin_return_address(0));
    next(p);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    static AlignedAllocFn next = real<AlignedAllocFn>("aligned_alloc");
    noteCall(counts.allocations, __builtin_return_address(0));
    return next(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    static PosixMemalignFn next = real<PosixMemalignFn>("posix_memalign");
    noteCall(counts.allocations, __builtin_return_address(0));
    return next(out, alignment, size);
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
    static LockFn next = real<LockFn>("pthread_mutex_lock");
    noteCall(counts.locks, __builtin_return_address(0));
    return next(mutex);
}

// Our client's process callback runs inside markedProcess; other clients' (the recorder's)
// are registered unchanged.
int jack_set_process_callback(jack_client_t* client, JackProcessCallback callback, void* arg) {
    static SetProcessFn next = real<SetProcessFn>("jack_set_process_callback");
    const bool ours = std::strncmp(jack_get_client_name(client), "Bandora", 7) == 0;
    const int slot = ours ? wrappedCount.fetch_add(1) : -1;
    if (slot < 0 || slot >= 16) {
        return next(client, callback, arg);
    }
    wrapped[slot] = {callback, arg};
    return next(client, markedProcess, &wrapped[slot]);
}

} // extern "C"

namespace {

constexpr std::uint32_t kRate = 48000;

std::string whereFrom(void* caller) {
    Dl_info info{};
    std::ostringstream out;
    out << caller;
    if (caller && dladdr(caller, &info)) {
        out << " in " << (info.dli_sname ? info.dli_sname : "?") << " ("
            << (info.dli_fname ? info.dli_fname : "?") << ")";
    }
    return out.str();
}

class JackRealtimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine = std::make_unique<SoundEngine>(std::make_unique<JackDeviceProvider>());
        ASSERT_EQ(engine->deviceDescription(kAir), "JACK: system playback 1/2")
            << "no test JACK server?";
        ASSERT_EQ(engine->deviceDescription(kCue), "JACK: system playback 3/4");
        ASSERT_EQ(engine->openDevice(kAir), Failure());
        ASSERT_EQ(engine->openDevice(kCue), Failure());
        for (const double hz : {220.0, 330.0, 440.0, 550.0, 660.0, 770.0}) {
            writeSineWav(dir.path(std::to_string(int(hz)) + ".wav"), hz, 0.1, 1.5, kRate);
        }
    }
    std::unique_ptr<Channel> open(int device, int hz) {
        auto opened = engine->open(device, dir.path(std::to_string(hz) + ".wav"));
        return opened ? opened.take() : nullptr;
    }
    // Runs JACK cycles until `cycles` more process callbacks of ours have run.
    bool runCycles(std::uint64_t cycles) {
        const std::uint64_t until = counts.callbacks.load() + cycles;
        return waitUntil([&] {
            engine->dispatchEvents();
            return counts.callbacks.load() >= until;
        });
    }
    static std::uint64_t counted() {
        return counts.allocations.load() + counts.frees.load() + counts.locks.load();
    }

    static constexpr int kAir = 1;
    static constexpr int kCue = 2;
    TempFolder dir;
    std::unique_ptr<SoundEngine> engine;
};

TEST_F(JackRealtimeTest, TheCountersSeeWhatAMarkedThreadDoes) {
    const std::uint64_t before = counts.allocations.load();
    inProcessCallback = true;
    void* p = malloc(32);
    inProcessCallback = false;
    free(p);
    EXPECT_EQ(counts.allocations.load(), before + 1);
    counts.allocations.store(before);
    counts.firstCaller.store(nullptr);
}

TEST_F(JackRealtimeTest, CartsCuesAndFadesOnTwoDevicesNeitherAllocateNorLockInTheCallback) {
    ASSERT_GE(wrappedCount.load(), 1) << "our process callback was not wrapped";
    ASSERT_TRUE(runCycles(8)) << "no process cycles of ours";

    auto first = open(kAir, 220);
    auto next = open(kAir, 330);
    auto looping = open(kAir, 440);
    auto preview = open(kCue, 550);
    auto cut = open(kAir, 660);
    ASSERT_TRUE(first && next && looping && preview && cut);
    bool cueReached = false;
    first->setEventHandler([&](ChannelEvent e) {
        cueReached = cueReached || e.kind == ChannelEvent::Kind::CueReached;
    });
    ASSERT_EQ(first->armCue(Frames(kRate / 2), next.get(), Frames(kRate / 10)), Failure());
    looping->setLoop(true);
    for (Channel* c : {first.get(), looping.get(), preview.get(), cut.get()}) {
        ASSERT_EQ(c->play(), Failure());
    }
    ASSERT_TRUE(runCycles(20));
    cut->setVolume(0.3f);
    cut->setPan(-0.5f);
    looping->setRate(48000.0f);
    ASSERT_TRUE(runCycles(20));
    cut.reset(); // destroyed while it plays: detached in the mixer
    preview->fadeOut(Frames(kRate / 20));
    ASSERT_TRUE(waitUntil([&] {
        engine->dispatchEvents();
        return cueReached;
    })) << "the cue did not fire";
    ASSERT_TRUE(waitUntil([&] { return next->state() == ChannelState::Playing; }));
    ASSERT_TRUE(runCycles(200)); // past the looping cart's turn
    looping->stop();
    ASSERT_EQ(next->seek(Frames(0)), Failure());
    ASSERT_TRUE(runCycles(20));

    // Since the devices opened: any call at all is one too many.
    EXPECT_EQ(counted(), 0u) << "allocations " << counts.allocations << ", frees " << counts.frees
                             << ", locks " << counts.locks << "; the first from "
                             << whereFrom(counts.firstCaller.load());
}

} // namespace

#pragma once
// The program's one JACK client, shared by every JACK output. Each output is a slot: a stereo
// pair of our output ports, the two playback ports they connect to (by name), and the mixer
// that the process callback renders into them.
//
// Threads and what they own:
//  - the user-interface thread: prepare, attach, detach, reconnect, listing and the reads;
//  - JACK's process thread: process() renders every slot whose `live` mixer is set; it takes
//    no lock, allocates nothing (scratch_ is sized once) and touches no file;
//  - JACK's other threads (xruns, sample rate, shutdown): atomics only;
//  - each slot's fallback clock: renders the slot's mixer while the server is away, so
//    commands are still applied and channels end as stopped;
//  - the supervisor: after a loss, starts the fallback clocks, closes the dead client and
//    tries every kRetryInterval until every slot plays on a new client.
// mutex_ guards everything but the atomics, and the callbacks never take it; a client is
// closed outside it. One thread at a time renders a mixer: a fallback clock is stopped
// (joined) before `live` is published; `live` is cleared and the callback waited out before
// one starts; and no new client takes a slot until the old client is closed.

#include "engine_types.h"
#include "output_sink.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <jack/jack.h>

namespace audio::engine {

class Mixer;

class JackClient {
public:
    static constexpr std::size_t kMaxOutputs = 8;

    explicit JackClient(std::string serverName);
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    // The graph's audio ports that accept sound and end in hardware (physical or terminal),
    // in the server's order; empty without a server.
    std::vector<std::string> playbackPorts();
    // The rate outputs on `ports` run at, once the client is up and both ports exist.
    Result<std::uint32_t> prepare(const std::vector<std::string>& ports);
    // A slot for `mixer` on `ports`, rendering from now on; -1 when it could not be set up.
    int attach(const std::vector<std::string>& ports, Mixer& mixer);
    // After it returns the slot's mixer is never rendered again.
    void detach(int slot);
    // One attempt at once to bring a lost slot back; empty when it plays again.
    Failure reconnect(int slot);

    std::uint64_t xruns() const { return xruns_.load(std::memory_order_relaxed); }
    double latencySeconds(int slot);
    std::uint32_t periodMs();

private:
    // One jack_client_t and the callbacks registered on it.
    struct Link {
        Link(JackClient& client, jack_client_t* jack) : owner(client), handle(jack) {}
        JackClient& owner;
        jack_client_t* const handle;
        std::atomic<bool> gone{false};    // the server went away or changed its rate
        std::atomic<bool> closing{false}; // we close it: what follows is not a loss
        // Odd while its process callback runs. Per client: closing a client cancels its
        // process thread at any instruction, so a closed client's count may stay odd.
        std::atomic<std::uint32_t> cycles{0};
    };
    struct Slot {
        bool used = false;
        std::vector<std::string> targets; // the playback ports, left and right
        Mixer* mixer = nullptr;
        std::unique_ptr<ClockSink> fallback;
        bool fallbackRunning = false;
        jack_port_t* left = nullptr; // written before `live` is published
        jack_port_t* right = nullptr;
        std::atomic<Mixer*> live{nullptr};
    };

    std::unique_ptr<Link> openLink();
    void retireLink();
    void closeRetired();
    void settle();
    Failure ensureLink();
    void release(Slot& slot);
    bool restoreSlot(Slot& slot, std::size_t index);
    bool registerPorts(Slot& slot, std::size_t index);
    void startFallback(Slot& slot);
    void stopFallback(Slot& slot);
    void waitProcessOut();
    Failure attemptReturn();
    bool everySlotLive() const;
    void supervise();
    void recover();
    bool waitRetry(std::chrono::milliseconds interval);
    void reportGone(Link& link);

    // Callbacks, on JACK's threads.
    int process(Link& link, jack_nframes_t frames);
    void render(Mixer& mixer, float* left, float* right, jack_nframes_t frames);
    static int onProcess(jack_nframes_t frames, void* user);
    static int onXrun(void* user);
    static int onSampleRate(jack_nframes_t rate, void* user);
    static void onShutdown(jack_status_t, const char*, void* user);

    const std::string serverName_;
    std::mutex mutex_;
    std::unique_ptr<Link> link_;
    std::vector<std::unique_ptr<Link>> retired_; // no longer rendering, to be closed
    std::size_t closingLinks_ = 0;               // being closed right now
    std::array<Slot, kMaxOutputs> slots_;
    std::atomic<std::uint32_t> rate_{0}; // the mixers' rate; the sample-rate callback reads it
    std::vector<float> scratch_;         // process thread: one chunk of interleaved frames
    std::atomic<std::uint64_t> xruns_{0};
    std::thread supervisor_;
    std::atomic<std::uint32_t> wakeups_{0}; // losses and the stop, for the supervisor
    std::atomic<bool> quit_{false};
    std::mutex quitMutex_;
    std::condition_variable quitCv_;
};

} // namespace audio::engine

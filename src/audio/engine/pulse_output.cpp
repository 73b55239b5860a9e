#include "pulse_output.h"

#include "buffer_policy.h"
#include "engine_units.h"
#include "mixer.h"
#include "pulse_connection.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace audio::engine {

namespace {

constexpr std::size_t kMaxDevices = 10;
constexpr pa_usec_t kPolicyTickUs = 5'000'000; // how often the buffer may step back down
// After a loss, how often the sink is looked for again: a server that comes back is heard
// from well within a second.
constexpr auto kRetryInterval = std::chrono::milliseconds(250);
constexpr std::uint32_t kBytesPerFrame = 8; // stereo float

std::int64_t nowMs() {
    return monotonicNs() / 1'000'000;
}

// The output of one device: a playback stream on a sink, known by the sink's name, so that the
// same sink is found again after the server restarts and renumbers its sinks.
//
// Threads and what they own:
//  - the user-interface thread: open, start, stop, reconnect, and the reads (latency, buffer);
//  - the current link's mainloop thread: the stream's callbacks and policy_; while the stream
//    plays it is the mixing thread;
//  - the fallback clock's thread: the mixing thread while the device is lost, so commands are
//    still applied and channels end as stopped;
//  - the supervisor thread: after a loss, starts the fallback clock and looks for the sink on a
//    fresh connection every kRetryInterval until the stream is back.
// At most one thread renders the mixer at any moment; every handover passes through a thread
// join or a mainloop lock, so each renderer sees what the previous one did. Attempts to come
// back (supervisor or reconnect()) hold attemptMutex_, so only one runs at a time. link_ is
// swapped under linkMutex_, which is taken before a mainloop lock, never while holding one.
// The mainloop thread takes no lock of ours: it reports a loss through an atomic counter.
class PulseSink final : public OutputSink {
public:
    ~PulseSink() override { stop(); }

    Failure open(const std::string& sinkName);
    std::uint32_t rate() const override { return rate_; }
    bool start(Mixer& mixer) override;
    void stop() override;
    double latencySeconds() override;
    std::uint64_t underruns() const override { return underruns_.load(std::memory_order_relaxed); }
    std::uint32_t bufferMs() override;
    Failure reconnect() override;

private:
    // One connection to the server and the playback stream on it.
    struct Link {
        explicit Link(PulseSink& sink) : owner(sink) {}
        PulseSink& owner;
        Connection connection;
        pa_stream* stream = nullptr;
        pa_time_event* policyTimer = nullptr;
        bool lost = false;    // written on the mainloop thread; read under its lock
        bool closing = false; // set under the lock: callbacks from here on are ours, not a loss
        bool raised = false;  // mainloop thread only
    };

    bool openStream(Link& link);
    void closeLink(Link& link);
    bool linkLost(Link& link);
    bool restoreIfStillUp(Link& link);
    void supervise();
    void recover();
    void settleLoss();
    Failure attemptReturn();
    void runFallback(bool on);
    bool waitRetry();
    void handleLoss(Link& link);
    pa_buffer_attr bufferAttr(std::uint32_t targetMs) const;
    void applyBufferTarget(Link& link);

    static void onStreamState(pa_stream* stream, void* user);
    static void onContextState(pa_context* context, void* user);
    static void onWrite(pa_stream* stream, std::size_t bytes, void* user);
    static void onUnderflow(pa_stream*, void* user);
    static void onBufferAttrSet(pa_stream*, int success, void* user);
    static void onPolicyTick(pa_mainloop_api*, pa_time_event* event, const timeval*, void* user);

    std::string sinkName_;
    std::uint32_t rate_ = 0;
    Mixer* mixer_ = nullptr;
    std::mutex linkMutex_;
    std::unique_ptr<Link> link_;
    std::mutex attemptMutex_;
    std::unique_ptr<ClockSink> fallback_; // attemptMutex_ holder only
    bool fallbackRunning_ = false;        // attemptMutex_ holder only
    std::thread supervisor_;
    std::atomic<std::uint32_t> wakeups_{0}; // losses and the stop, for the supervisor
    std::atomic<bool> quit_{false};
    std::mutex quitMutex_;
    std::condition_variable quitCv_;
    std::atomic<std::uint64_t> underruns_{0};
    BufferPolicy policy_{nowMs()}; // the mainloop thread of the current link only
    std::atomic<std::uint32_t> agreedMs_{0};
};

Failure PulseSink::open(const std::string& sinkName) {
    auto link = std::make_unique<Link>(*this);
    if (!link->connection.connect("Bandora")) {
        return EngineError::NoSuchDevice;
    }
    const std::optional<SinkEntry> sink = findSink(link->connection, sinkName);
    if (!sink) {
        return EngineError::NoSuchDevice;
    }
    sinkName_ = sinkName;
    rate_ = sink->rate;
    link_ = std::move(link);
    return {};
}

bool PulseSink::start(Mixer& mixer) {
    mixer_ = &mixer;
    fallback_ = std::make_unique<ClockSink>(rate_);
    if (!link_ || !openStream(*link_)) {
        return false;
    }
    supervisor_ = std::thread([this] { supervise(); });
    return true;
}

// Any thread but the link's own mainloop thread.
bool PulseSink::openStream(Link& link) {
    Connection::Lock lock(link.connection.loop());
    // At the mixer's rate, which stays fixed for its streams even if the sink comes back at
    // another: the server converts.
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, rate_, 2};
    link.stream = pa_stream_new(link.connection.context(), "Bandora output", &spec, nullptr);
    if (!link.stream) {
        return false;
    }
    const pa_buffer_attr attr = bufferAttr(policy_.targetMs());
    pa_stream_set_state_callback(link.stream, onStreamState, &link);
    pa_stream_set_write_callback(link.stream, onWrite, &link);
    pa_stream_set_underflow_callback(link.stream, onUnderflow, &link);
    pa_context_set_state_callback(link.connection.context(), onContextState, &link);
    // DONT_MOVE: when the sink goes, the stream fails instead of playing on another sink.
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
                                       PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_playback(link.stream, sinkName_.c_str(), &attr, flags, nullptr, nullptr) <
        0) {
        return false;
    }
    const bool settled = link.connection.waitFor([&link] {
        const pa_stream_state_t s = pa_stream_get_state(link.stream);
        return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
    });
    agreedMs_.store(policy_.targetMs(), std::memory_order_relaxed);
    link.policyTimer = pa_context_rttime_new(link.connection.context(),
                                             pa_rtclock_now() + kPolicyTickUs, onPolicyTick, &link);
    return settled && pa_stream_get_state(link.stream) == PA_STREAM_READY;
}

// Any thread but the link's own mainloop thread; afterwards no callback of the link runs.
void PulseSink::closeLink(Link& link) {
    if (pa_threaded_mainloop* loop = link.connection.loop()) {
        Connection::Lock lock(loop);
        link.closing = true;
        if (link.policyTimer) {
            pa_threaded_mainloop_get_api(loop)->time_free(link.policyTimer);
            link.policyTimer = nullptr;
        }
        if (link.stream) {
            pa_stream_set_write_callback(link.stream, nullptr, nullptr);
            pa_stream_set_underflow_callback(link.stream, nullptr, nullptr);
            pa_stream_set_state_callback(link.stream, nullptr, nullptr);
            pa_stream_disconnect(link.stream);
            pa_stream_unref(link.stream);
            link.stream = nullptr;
        }
    }
    link.connection.close();
}

bool PulseSink::linkLost(Link& link) {
    if (!link.connection.loop()) {
        return true;
    }
    Connection::Lock lock(link.connection.loop());
    return link.lost;
}

// The device counts as back only if the new stream has not failed meanwhile: under the lock a
// loss either came before (and is reported to the supervisor) or comes after this.
bool PulseSink::restoreIfStillUp(Link& link) {
    Connection::Lock lock(link.connection.loop());
    if (link.lost) {
        return false;
    }
    mixer_->markDeviceRestored();
    return true;
}

void PulseSink::stop() {
    {
        std::lock_guard<std::mutex> guard(quitMutex_);
        quit_.store(true, std::memory_order_release);
    }
    quitCv_.notify_all();
    wakeups_.fetch_add(1, std::memory_order_release);
    wakeups_.notify_all();
    if (supervisor_.joinable()) {
        supervisor_.join();
    }
    std::unique_ptr<Link> link;
    {
        std::lock_guard<std::mutex> guard(linkMutex_);
        link = std::move(link_);
    }
    if (link) {
        closeLink(*link);
    }
    {
        std::lock_guard<std::mutex> attempt(attemptMutex_);
        runFallback(false);
    }
    mixer_ = nullptr;
}

// User-interface thread, on a device that is lost: one attempt at once, as the supervisor
// makes them.
Failure PulseSink::reconnect() {
    if (!mixer_) {
        return EngineError::DeviceNotOpen;
    }
    std::lock_guard<std::mutex> attempt(attemptMutex_);
    settleLoss();
    if (!mixer_->deviceLost()) {
        return {};
    }
    return attemptReturn();
}

// Supervisor thread: asleep until a loss (or the stop) is reported.
void PulseSink::supervise() {
    std::uint32_t seen = 0;
    while (!quit_.load(std::memory_order_acquire)) {
        wakeups_.wait(seen, std::memory_order_acquire);
        seen = wakeups_.load(std::memory_order_acquire);
        if (quit_.load(std::memory_order_acquire)) {
            break;
        }
        recover();
    }
}

// Supervisor thread: until the device is back, here or through reconnect(), or the stop.
void PulseSink::recover() {
    for (;;) {
        {
            std::lock_guard<std::mutex> attempt(attemptMutex_);
            settleLoss();
            if (!mixer_->deviceLost() || !attemptReturn()) {
                return;
            }
        }
        if (!waitRetry()) {
            return;
        }
    }
}

// attemptMutex_ held: a link that failed is closed, and the fallback clock takes over its
// mixing.
void PulseSink::settleLoss() {
    std::unique_ptr<Link> dead;
    {
        std::lock_guard<std::mutex> guard(linkMutex_);
        if (link_ && linkLost(*link_)) {
            dead = std::move(link_);
        }
    }
    if (dead) {
        runFallback(true);
        closeLink(*dead);
    }
}

// attemptMutex_ held, the device lost: a fresh connection, the sink by its name, a new stream
// that takes over the mixing from the fallback clock. empty once the device is back.
Failure PulseSink::attemptReturn() {
    auto fresh = std::make_unique<Link>(*this);
    if (!fresh->connection.connect("Bandora", &quit_) || !findSink(fresh->connection, sinkName_)) {
        return EngineError::NoSuchDevice;
    }
    runFallback(false); // from here on only the new stream renders
    if (!openStream(*fresh) || !restoreIfStillUp(*fresh)) {
        closeLink(*fresh);
        runFallback(true);
        return EngineError::DeviceFailed;
    }
    std::lock_guard<std::mutex> guard(linkMutex_);
    link_ = std::move(fresh);
    return {};
}

// attemptMutex_ held.
void PulseSink::runFallback(bool on) {
    if (on == fallbackRunning_ || !fallback_ || !mixer_) {
        return;
    }
    if (on) {
        fallback_->start(*mixer_);
    } else {
        fallback_->stop();
    }
    fallbackRunning_ = on;
}

// False when the sink is being stopped.
bool PulseSink::waitRetry() {
    std::unique_lock<std::mutex> lock(quitMutex_);
    return !quitCv_.wait_for(lock, kRetryInterval,
                             [this] { return quit_.load(std::memory_order_acquire); });
}

pa_buffer_attr PulseSink::bufferAttr(std::uint32_t targetMs) const {
    // Whole stereo float frames, so no request ever asks for part of a frame.
    const std::uint64_t targetFrames = framesForMs(targetMs, rate_);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(targetFrames * kBytesPerFrame);
    attr.minreq = static_cast<std::uint32_t>(blockFramesFor(rate_) * kBytesPerFrame); // one block
    attr.prebuf = attr.minreq; // after an underrun, one block restarts the stream
    attr.fragsize = static_cast<std::uint32_t>(-1);
    return attr;
}

// Mainloop thread, lock held. Asynchronous: the server answers later, and bufferMs() shows
// what it granted once it has.
void PulseSink::applyBufferTarget(Link& link) {
    if (!link.stream || link.lost || pa_stream_get_state(link.stream) != PA_STREAM_READY) {
        return;
    }
    const pa_buffer_attr attr = bufferAttr(policy_.targetMs());
    if (pa_operation* op = pa_stream_set_buffer_attr(link.stream, &attr, onBufferAttrSet, &link)) {
        pa_operation_unref(op);
    }
}

// Answers come in the order of the requests, so the last one leaves the latest target.
void PulseSink::onBufferAttrSet(pa_stream*, int success, void* user) {
    PulseSink& self = static_cast<Link*>(user)->owner;
    if (success) {
        self.agreedMs_.store(self.policy_.targetMs(), std::memory_order_relaxed);
    }
}

// With PA_STREAM_ADJUST_LATENCY the target is the stream's whole latency; the server splits
// it between its own buffer and the sink's.
std::uint32_t PulseSink::bufferMs() {
    return agreedMs_.load(std::memory_order_relaxed);
}

double PulseSink::latencySeconds() {
    std::lock_guard<std::mutex> guard(linkMutex_);
    if (!link_ || !link_->connection.loop()) {
        return 0.0;
    }
    // The stream and its loss change on the mainloop thread: read under its lock.
    Connection::Lock lock(link_->connection.loop());
    if (!link_->stream || link_->lost) {
        return 0.0;
    }
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(link_->stream, &usec, &negative) < 0) {
        return 0.0;
    }
    return negative ? 0.0 : static_cast<double>(usec) / 1e6;
}

// Mainloop thread, lock held: the sink or the server went away. From here the link renders
// nothing; the supervisor hands the mixing to the fallback clock.
void PulseSink::handleLoss(Link& link) {
    if (link.lost || link.closing || !mixer_) {
        return;
    }
    link.lost = true;
    mixer_->markDeviceLost();
    wakeups_.fetch_add(1, std::memory_order_release);
    wakeups_.notify_one();
}

void PulseSink::onStreamState(pa_stream* stream, void* user) {
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        auto* link = static_cast<Link*>(user);
        link->owner.handleLoss(*link);
    }
}

void PulseSink::onContextState(pa_context* context, void* user) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
        auto* link = static_cast<Link*>(user);
        link->owner.handleLoss(*link);
    }
}

// Mainloop thread: the server wants `bytes` more. The mixer renders straight into the
// server's buffer.
void PulseSink::onWrite(pa_stream* stream, std::size_t bytes, void* user) {
    auto* link = static_cast<Link*>(user);
    Mixer* mixer = link->owner.mixer_;
    if (!link->raised) {
        raiseToRealtime(); // the mainloop thread is our mixing thread
        link->raised = true;
    }
    while (bytes >= kBytesPerFrame && mixer && !link->lost) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || !data) {
            return;
        }
        const std::size_t frames = std::min(size, bytes) / kBytesPerFrame;
        mixer->render(static_cast<float*>(data), frames);
        pa_stream_write(stream, data, frames * kBytesPerFrame, nullptr, 0, PA_SEEK_RELATIVE);
        bytes -= frames * kBytesPerFrame;
    }
}

// Mainloop thread, outside the mixer's rendering: a larger buffer is asked for here, never
// while a block is being mixed.
void PulseSink::onUnderflow(pa_stream*, void* user) {
    auto* link = static_cast<Link*>(user);
    PulseSink& self = link->owner;
    self.underruns_.fetch_add(1, std::memory_order_relaxed);
    if (self.policy_.underflow(nowMs())) {
        self.applyBufferTarget(*link);
    }
}

void PulseSink::onPolicyTick(pa_mainloop_api*, pa_time_event* event, const timeval*, void* user) {
    auto* link = static_cast<Link*>(user);
    PulseSink& self = link->owner;
    if (self.policy_.tick(nowMs())) {
        self.applyBufferTarget(*link);
    }
    pa_context_rttime_restart(link->connection.context(), event, pa_rtclock_now() + kPolicyTickUs);
}

} // namespace

std::vector<DeviceInfo> PulseDeviceProvider::list() {
    Connection connection;
    std::vector<DeviceInfo> devices;
    if (!connection.connect("Bandora device list")) {
        return devices;
    }
    for (const SinkEntry& sink : listSinks(connection, kMaxDevices)) {
        devices.push_back({sink.name, sink.description});
    }
    return devices;
}

std::unique_ptr<OutputSink> PulseDeviceProvider::open(const DeviceInfo& device, Failure& error) {
    auto sink = std::make_unique<PulseSink>();
    error = sink->open(device.name);
    if (error) {
        return nullptr;
    }
    return sink;
}

} // namespace audio::engine

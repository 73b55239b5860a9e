#include "pulse_output.h"

#include "buffer_policy.h"
#include "engine_units.h"
#include "mixer.h"
#include "sound_api.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace audio::engine {

namespace {

constexpr std::size_t kMaxDevices = 10;
constexpr pa_usec_t kPolicyTickUs = 5'000'000; // how often the buffer may step back down
constexpr auto kConnectTimeout = std::chrono::seconds(3);

// A connection with its own mainloop thread. Callbacks run on that thread with the mainloop
// lock held; everything else takes the lock (Lock) before touching the context.
class Connection {
public:
    Connection() : loop_(pa_threaded_mainloop_new()) {}
    ~Connection() { close(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool connect(const char* name);
    void close();
    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }

    struct Lock {
        explicit Lock(pa_threaded_mainloop* l) : loop(l) { pa_threaded_mainloop_lock(loop); }
        ~Lock() { pa_threaded_mainloop_unlock(loop); }
        pa_threaded_mainloop* loop;
    };

    // Waits (lock held) until `done` holds or the deadline passes.
    template <typename Done> bool waitFor(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + kConnectTimeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            pa_threaded_mainloop_unlock(loop_);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            pa_threaded_mainloop_lock(loop_);
        }
        return true;
    }
    bool runOperation(pa_operation* op) {
        if (!op) {
            return false;
        }
        const bool done =
            waitFor([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; });
        if (!done) {
            pa_operation_cancel(op);
        }
        pa_operation_unref(op);
        return done;
    }

private:
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool started_ = false;
};

bool Connection::connect(const char* name) {
    if (!loop_) {
        return false;
    }
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), name);
    if (!context_ || pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(loop_) < 0) {
        return false;
    }
    started_ = true;
    Lock lock(loop_);
    const bool settled = waitFor([this] {
        const pa_context_state_t s = pa_context_get_state(context_);
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
    });
    return settled && pa_context_get_state(context_) == PA_CONTEXT_READY;
}

void Connection::close() {
    if (context_) {
        if (started_) {
            Lock lock(loop_);
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
        } else {
            pa_context_disconnect(context_);
        }
    }
    if (loop_ && started_) {
        pa_threaded_mainloop_stop(loop_);
    }
    if (context_) {
        pa_context_unref(context_);
        context_ = nullptr;
    }
    if (loop_) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }
}

std::int64_t nowMs() {
    return monotonicNs() / 1'000'000;
}

struct SinkEntry {
    std::string name;
    std::string description;
    std::uint32_t rate = 0;
};

struct SinkQuery {
    std::string defaultName;
    std::vector<SinkEntry> sinks;
};

void onServerInfo(pa_context*, const pa_server_info* info, void* user) {
    if (info && info->default_sink_name) {
        static_cast<SinkQuery*>(user)->defaultName = info->default_sink_name;
    }
}

void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* user) {
    if (eol == 0 && info) {
        static_cast<SinkQuery*>(user)->sinks.push_back(
            {info->name, info->description ? info->description : info->name,
             info->sample_spec.rate});
    }
}

// Default sink first, the others by name, so numbers stay put while the set of sinks does.
SinkQuery querySinks(Connection& connection) {
    SinkQuery query;
    Connection::Lock lock(connection.loop());
    connection.runOperation(pa_context_get_server_info(connection.context(), onServerInfo, &query));
    connection.runOperation(
        pa_context_get_sink_info_list(connection.context(), onSinkInfo, &query));
    std::sort(query.sinks.begin(), query.sinks.end(), [&](const SinkEntry& a, const SinkEntry& b) {
        const bool aDefault = a.name == query.defaultName;
        const bool bDefault = b.name == query.defaultName;
        return aDefault != bDefault ? aDefault : a.name < b.name;
    });
    if (query.sinks.size() > kMaxDevices) {
        query.sinks.resize(kMaxDevices);
    }
    return query;
}

class PulseSink final : public OutputSink {
public:
    ~PulseSink() override { stop(); }

    int open(const std::string& sinkName);
    std::uint32_t rate() const override { return rate_; }
    bool start(Mixer& mixer) override;
    void stop() override;
    double latencySeconds() override;
    std::uint64_t underruns() const override { return underruns_.load(std::memory_order_relaxed); }
    std::uint32_t bufferMs() override;

private:
    static void onStreamState(pa_stream* stream, void* user);
    static void onContextState(pa_context* context, void* user);
    static void onWrite(pa_stream* stream, std::size_t bytes, void* user);
    static void onUnderflow(pa_stream*, void* user);
    static void onBufferAttrSet(pa_stream*, int success, void* user);
    static void onPolicyTick(pa_mainloop_api*, pa_time_event* event, const timeval*, void* user);
    pa_buffer_attr bufferAttr(std::uint32_t targetMs) const;
    void applyBufferTarget();
    void handleLoss();

    Connection connection_;
    pa_stream* stream_ = nullptr;
    std::string sinkName_;
    std::uint32_t rate_ = 0;
    Mixer* mixer_ = nullptr;
    bool stopping_ = false;
    bool lost_ = false;
    bool raised_ = false;                 // mainloop thread only
    std::unique_ptr<ClockSink> fallback_; // keeps the mixer running once the device is gone
    std::atomic<std::uint64_t> underruns_{0};
    BufferPolicy policy_{nowMs()}; // mainloop thread only
    std::atomic<std::uint32_t> agreedMs_{0};
    pa_time_event* policyTimer_ = nullptr;
};

int PulseSink::open(const std::string& sinkName) {
    if (!connection_.connect("Bandora")) {
        return kErrDevice;
    }
    const SinkQuery query = querySinks(connection_);
    const auto found = std::find_if(query.sinks.begin(), query.sinks.end(),
                                    [&](const SinkEntry& s) { return s.name == sinkName; });
    if (found == query.sinks.end()) {
        return kErrDevice;
    }
    sinkName_ = sinkName;
    rate_ = found->rate;
    return kErrOk;
}

bool PulseSink::start(Mixer& mixer) {
    mixer_ = &mixer;
    Connection::Lock lock(connection_.loop());
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, rate_, 2};
    stream_ = pa_stream_new(connection_.context(), "Bandora output", &spec, nullptr);
    if (!stream_) {
        return false;
    }
    const pa_buffer_attr attr = bufferAttr(policy_.targetMs());
    pa_stream_set_state_callback(stream_, onStreamState, this);
    pa_stream_set_write_callback(stream_, onWrite, this);
    pa_stream_set_underflow_callback(stream_, onUnderflow, this);
    pa_context_set_state_callback(connection_.context(), onContextState, this);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
                                       PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_playback(stream_, sinkName_.c_str(), &attr, flags, nullptr, nullptr) <
        0) {
        return false;
    }
    const bool settled = connection_.waitFor([this] {
        const pa_stream_state_t s = pa_stream_get_state(stream_);
        return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
    });
    agreedMs_.store(policy_.targetMs(), std::memory_order_relaxed);
    policyTimer_ = pa_context_rttime_new(connection_.context(), pa_rtclock_now() + kPolicyTickUs,
                                         onPolicyTick, this);
    return settled && pa_stream_get_state(stream_) == PA_STREAM_READY;
}

pa_buffer_attr PulseSink::bufferAttr(std::uint32_t targetMs) const {
    // Whole stereo float frames, so no request ever asks for part of a frame.
    constexpr std::uint32_t kBytesPerFrame = 8;
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
void PulseSink::applyBufferTarget() {
    if (!stream_ || lost_ || pa_stream_get_state(stream_) != PA_STREAM_READY) {
        return;
    }
    const pa_buffer_attr attr = bufferAttr(policy_.targetMs());
    if (pa_operation* op = pa_stream_set_buffer_attr(stream_, &attr, onBufferAttrSet, this)) {
        pa_operation_unref(op);
    }
}

// Answers come in the order of the requests, so the last one leaves the latest target.
void PulseSink::onBufferAttrSet(pa_stream*, int success, void* user) {
    auto* self = static_cast<PulseSink*>(user);
    if (success) {
        self->agreedMs_.store(self->policy_.targetMs(), std::memory_order_relaxed);
    }
}

// With PA_STREAM_ADJUST_LATENCY the target is the stream's whole latency; the server splits
// it between its own buffer and the sink's.
std::uint32_t PulseSink::bufferMs() {
    return agreedMs_.load(std::memory_order_relaxed);
}

void PulseSink::stop() {
    if (connection_.loop()) {
        Connection::Lock lock(connection_.loop());
        stopping_ = true;
        if (policyTimer_) {
            pa_threaded_mainloop_get_api(connection_.loop())->time_free(policyTimer_);
            policyTimer_ = nullptr;
        }
        if (stream_) {
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
            stream_ = nullptr;
        }
    }
    connection_.close();
    if (fallback_) {
        fallback_->stop();
    }
    mixer_ = nullptr;
}

double PulseSink::latencySeconds() {
    if (!connection_.loop()) {
        return 0.0;
    }
    // stream_ and lost_ change on the mainloop thread when the server goes away: read under
    // the lock.
    Connection::Lock lock(connection_.loop());
    if (!stream_ || lost_) {
        return 0.0;
    }
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream_, &usec, &negative) < 0) {
        return 0.0;
    }
    return negative ? 0.0 : static_cast<double>(usec) / 1e6;
}

// Mainloop thread, lock held: the sink or the server went away.
void PulseSink::handleLoss() {
    if (lost_ || stopping_ || !mixer_) {
        return;
    }
    lost_ = true;
    mixer_->markDeviceLost();
    fallback_ = std::make_unique<ClockSink>(rate_);
    fallback_->start(*mixer_);
}

void PulseSink::onStreamState(pa_stream* stream, void* user) {
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        static_cast<PulseSink*>(user)->handleLoss();
    }
}

void PulseSink::onContextState(pa_context* context, void* user) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
        static_cast<PulseSink*>(user)->handleLoss();
    }
}

// Mainloop thread: the server wants `bytes` more. The mixer renders straight into the
// server's buffer.
void PulseSink::onWrite(pa_stream* stream, std::size_t bytes, void* user) {
    auto* self = static_cast<PulseSink*>(user);
    if (!self->raised_) {
        raiseToRealtime(); // the mainloop thread is our mixing thread
        self->raised_ = true;
    }
    while (bytes >= 8 && self->mixer_ && !self->lost_) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || !data) {
            return;
        }
        const std::size_t frames = std::min(size, bytes) / 8;
        self->mixer_->render(static_cast<float*>(data), frames);
        pa_stream_write(stream, data, frames * 8, nullptr, 0, PA_SEEK_RELATIVE);
        bytes -= frames * 8;
    }
}

// Mainloop thread, outside the mixer's rendering: a larger buffer is asked for here, never
// while a block is being mixed.
void PulseSink::onUnderflow(pa_stream*, void* user) {
    auto* self = static_cast<PulseSink*>(user);
    self->underruns_.fetch_add(1, std::memory_order_relaxed);
    if (self->policy_.underflow(nowMs())) {
        self->applyBufferTarget();
    }
}

void PulseSink::onPolicyTick(pa_mainloop_api*, pa_time_event* event, const timeval*, void* user) {
    auto* self = static_cast<PulseSink*>(user);
    if (self->policy_.tick(nowMs())) {
        self->applyBufferTarget();
    }
    pa_context_rttime_restart(self->connection_.context(), event, pa_rtclock_now() + kPolicyTickUs);
}

} // namespace

std::vector<DeviceInfo> PulseDeviceProvider::list() {
    Connection connection;
    std::vector<DeviceInfo> devices;
    if (!connection.connect("Bandora device list")) {
        return devices;
    }
    for (const SinkEntry& sink : querySinks(connection).sinks) {
        devices.push_back({sink.name, sink.description});
    }
    return devices;
}

std::unique_ptr<OutputSink> PulseDeviceProvider::open(const DeviceInfo& device, int& error) {
    auto sink = std::make_unique<PulseSink>();
    error = sink->open(device.name);
    if (error != kErrOk) {
        return nullptr;
    }
    return sink;
}

} // namespace audio::engine

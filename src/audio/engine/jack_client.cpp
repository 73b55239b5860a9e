#include "jack_client.h"

#include "mixer.h"

#include <algorithm>

namespace audio::engine {

namespace {

constexpr char kClientName[] = "Bandora";
// JACK's largest period: any period renders in one call of the mixer.
constexpr std::size_t kScratchFrames = 8192;
// A server that comes back is found within this; a restart is heard from well within 2 s.
constexpr auto kRetryInterval = std::chrono::milliseconds(250);
// A server running at another rate than our mixers: looked at again less often, so the
// graph does not see our client come and go four times a second.
constexpr auto kWrongRateRetry = std::chrono::seconds(2);
constexpr int kOpenAttempts = 4;
constexpr auto kOpenRetryDelay = std::chrono::milliseconds(25);

void ignoreMessage(const char*) {}

// libjack prints to stderr when no server runs; a missing server is normal here.
void quietenLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(ignoreMessage);
        jack_set_info_function(ignoreMessage);
    });
}

// libjack is not to be entered by two threads opening and closing clients at once: every open
// and close of ours takes this lock. And a client must not be opened while one whose server
// went away is still open: libjack then cleans the old client up itself, and closing that one
// afterwards was seen to hang. Callers keep the second rule (retired_, closingLinks_).
std::mutex& libraryMutex() {
    static std::mutex mutex;
    return mutex;
}

jack_client_t* openJackOnce(const std::string& serverName, jack_status_t& status) {
    const std::lock_guard<std::mutex> library(libraryMutex());
    if (serverName.empty()) {
        return jack_client_open(kClientName, JackNoStartServer, &status);
    }
    const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
    return jack_client_open(kClientName, options, &status, serverName.c_str());
}

// A running server can refuse a client for a moment (JackServerError), e.g. while another
// server of the machine starts or dies: a few quick tries. A missing server fails at once.
jack_client_t* openJack(const std::string& serverName) {
    quietenLibrary();
    for (int attempt = 0;; ++attempt) {
        jack_status_t status{};
        jack_client_t* jack = openJackOnce(serverName, status);
        if (jack || (status & JackServerError) == 0 || attempt == kOpenAttempts - 1) {
            return jack;
        }
        std::this_thread::sleep_for(kOpenRetryDelay);
    }
}

void closeJack(jack_client_t* jack) {
    const std::lock_guard<std::mutex> library(libraryMutex());
    jack_client_close(jack);
}

std::vector<std::string> inputPortsOf(jack_client_t* jack) {
    std::vector<std::string> names;
    const char** ports = jack_get_ports(jack, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
    if (!ports) {
        return names;
    }
    for (const char** p = ports; *p; ++p) {
        const jack_port_t* port = jack_port_by_name(jack, *p);
        if (port && (jack_port_flags(port) & (JackPortIsPhysical | JackPortIsTerminal)) != 0) {
            names.emplace_back(*p);
        }
    }
    jack_free(ports);
    return names;
}

bool portsExist(jack_client_t* jack, const std::vector<std::string>& ports) {
    return ports.size() == 2 && std::all_of(ports.begin(), ports.end(), [jack](const auto& name) {
               return jack_port_by_name(jack, name.c_str()) != nullptr;
           });
}

} // namespace

JackClient::JackClient(std::string serverName)
    : serverName_(std::move(serverName)), scratch_(kScratchFrames * 2) {}

JackClient::~JackClient() {
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
    {
        std::lock_guard<std::mutex> lock(mutex_);
        retireLink();
        for (Slot& slot : slots_) {
            stopFallback(slot);
        }
    }
    closeRetired();
}

std::vector<std::string> JackClient::playbackPorts() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (link_ && !link_->gone.load()) {
        return inputPortsOf(link_->handle);
    }
    if (link_ || !retired_.empty() || closingLinks_ > 0) {
        return {}; // a client of a server that went away is not closed yet: see libraryMutex()
    }
    // No output in use: a short-lived client only looks at the graph.
    jack_client_t* lister = openJack(serverName_);
    if (!lister) {
        return {};
    }
    std::vector<std::string> names = inputPortsOf(lister);
    closeJack(lister);
    return names;
}

Result<std::uint32_t> JackClient::prepare(const std::vector<std::string>& ports) {
    settle();
    Failure failure;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failure = ensureLink();
        if (!failure && !portsExist(link_->handle, ports)) {
            failure = EngineError::NoSuchDevice;
        }
    }
    closeRetired(); // a client at the wrong rate
    if (failure) {
        return *failure;
    }
    return rate_.load();
}

int JackClient::attach(const std::vector<std::string>& ports, Mixer& mixer) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto free =
        std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.used; });
    if (free == slots_.end() || !link_ || mixer.rate() != rate_.load()) {
        return -1;
    }
    const auto index = static_cast<std::size_t>(free - slots_.begin());
    Slot& slot = *free;
    slot.used = true;
    slot.targets = ports;
    slot.mixer = &mixer;
    slot.fallback = std::make_unique<ClockSink>(mixer.rate());
    if (!restoreSlot(slot, index)) {
        release(slot);
        return -1;
    }
    return static_cast<int>(index);
}

void JackClient::detach(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= slots_.size()) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    release(slots_[static_cast<std::size_t>(index)]);
}

// mutex_ held.
void JackClient::release(Slot& slot) {
    slot.live.store(nullptr);
    waitProcessOut();
    if (link_) {
        for (jack_port_t* port : {slot.left, slot.right}) {
            if (port) {
                jack_port_unregister(link_->handle, port);
            }
        }
    }
    slot.left = slot.right = nullptr;
    stopFallback(slot);
    slot.fallback.reset();
    slot.mixer = nullptr;
    slot.targets.clear();
    slot.used = false;
}

Failure JackClient::reconnect(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= slots_.size()) {
        return EngineError::DeviceNotOpen;
    }
    settle();
    Failure failure;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!slots_[static_cast<std::size_t>(index)].live.load()) {
            failure = attemptReturn();
            if (slots_[static_cast<std::size_t>(index)].live.load()) {
                failure.reset();
            } else if (!failure) {
                failure = EngineError::NoSuchDevice;
            }
        }
    }
    closeRetired();
    return failure;
}

double JackClient::latencySeconds(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= slots_.size()) {
        return 0.0;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const Slot& slot = slots_[static_cast<std::size_t>(index)];
    if (!link_ || !slot.left || rate_.load() == 0) {
        return 0.0;
    }
    jack_latency_range_t range{};
    jack_port_get_latency_range(slot.left, JackPlaybackLatency, &range);
    return static_cast<double>(range.max) / rate_.load();
}

std::uint32_t JackClient::periodMs() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint32_t rate = rate_.load();
    if (!link_ || rate == 0) {
        return 0;
    }
    const std::uint64_t frames = jack_get_buffer_size(link_->handle);
    return static_cast<std::uint32_t>((frames * 1000 + rate - 1) / rate);
}

// mutex_ held. A new client with its callbacks, active; null without a server.
std::unique_ptr<JackClient::Link> JackClient::openLink() {
    jack_client_t* jack = openJack(serverName_);
    if (!jack) {
        return nullptr;
    }
    auto link = std::make_unique<Link>(*this, jack);
    const bool anyUsed =
        std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.used; });
    if (!anyUsed) {
        rate_.store(jack_get_sample_rate(jack)); // no mixer yet: ours is the server's
    }
    jack_set_process_callback(jack, onProcess, link.get());
    jack_set_xrun_callback(jack, onXrun, link.get());
    jack_set_sample_rate_callback(jack, onSampleRate, link.get());
    jack_on_info_shutdown(jack, onShutdown, link.get());
    if (jack_activate(jack) != 0) {
        link->closing.store(true);
        closeJack(jack);
        return nullptr;
    }
    if (!supervisor_.joinable()) {
        supervisor_ = std::thread([this] { supervise(); });
    }
    return link;
}

// mutex_ held. From here no callback of the client renders a mixer: the slots in use are lost
// and their fallback clocks render. The client itself is closed by closeRetired(), outside the
// lock: closing a client whose server died can take a while, and nothing need wait for it.
void JackClient::retireLink() {
    if (!link_) {
        return;
    }
    link_->closing.store(true);
    for (Slot& slot : slots_) {
        slot.live.store(nullptr);
    }
    waitProcessOut();
    for (Slot& slot : slots_) {
        slot.left = slot.right = nullptr; // they go with the old client
        if (slot.used) {
            slot.mixer->markDeviceLost();
            startFallback(slot);
        }
    }
    retired_.push_back(std::move(link_));
}

// Without mutex_. While it runs, no new client takes a slot over (attemptReturn waits), so an
// old client's callback and a new one never render the same mixer.
void JackClient::closeRetired() {
    std::vector<std::unique_ptr<Link>> closing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing.swap(retired_);
        closingLinks_ += closing.size();
    }
    for (const std::unique_ptr<Link>& link : closing) {
        closeJack(link->handle); // joins the client's threads
    }
    std::lock_guard<std::mutex> lock(mutex_);
    closingLinks_ -= closing.size();
}

// Without mutex_: a client whose server went away (or changed its rate) is retired and closed.
void JackClient::settle() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (link_ && link_->gone.load()) {
            retireLink();
        }
    }
    closeRetired();
}

// mutex_ held. A client at our mixers' rate: NoSuchDevice without a server, DeviceFailed when
// it runs at another rate (our mixers keep theirs for good: we wait for it to return to it).
Failure JackClient::ensureLink() {
    if (!retired_.empty() || closingLinks_ > 0) {
        return EngineError::NoSuchDevice; // not before the old client is closed
    }
    if (!link_) {
        link_ = openLink();
    }
    if (!link_) {
        return EngineError::NoSuchDevice;
    }
    if (jack_get_sample_rate(link_->handle) != rate_.load()) {
        retireLink();
        return EngineError::DeviceFailed;
    }
    return {};
}

// mutex_ held, the client up. Ports, the handover from the fallback clock, connections.
bool JackClient::restoreSlot(Slot& slot, std::size_t index) {
    if (!portsExist(link_->handle, slot.targets) || !registerPorts(slot, index)) {
        return false;
    }
    stopFallback(slot);
    slot.live.store(slot.mixer);
    const char* ours[] = {jack_port_name(slot.left), jack_port_name(slot.right)};
    for (std::size_t side = 0; side < 2; ++side) {
        const int result = jack_connect(link_->handle, ours[side], slot.targets[side].c_str());
        if (result != 0 && result != EEXIST) {
            slot.live.store(nullptr);
            waitProcessOut();
            startFallback(slot);
            return false;
        }
    }
    slot.mixer->markDeviceRestored();
    if (link_->gone.load()) {
        slot.mixer->markDeviceLost(); // it went again meanwhile: the supervisor takes it up
    }
    return true;
}

// mutex_ held.
bool JackClient::registerPorts(Slot& slot, std::size_t index) {
    if (slot.left) {
        return true;
    }
    const std::string base = "out" + std::to_string(index + 1) + "_";
    slot.left = jack_port_register(link_->handle, (base + "L").c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                   JackPortIsOutput, 0);
    slot.right = jack_port_register(link_->handle, (base + "R").c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                    JackPortIsOutput, 0);
    if (!slot.left || !slot.right) {
        for (jack_port_t*& port : {std::ref(slot.left), std::ref(slot.right)}) {
            if (port) {
                jack_port_unregister(link_->handle, port);
                port = nullptr;
            }
        }
        return false;
    }
    return true;
}

void JackClient::startFallback(Slot& slot) {
    if (slot.fallback && !slot.fallbackRunning) {
        slot.fallback->start(*slot.mixer);
        slot.fallbackRunning = true;
    }
}

void JackClient::stopFallback(Slot& slot) {
    if (slot.fallback && slot.fallbackRunning) {
        slot.fallback->stop();
        slot.fallbackRunning = false;
    }
}

// mutex_ held, a `live` pointer just cleared: returns once no process cycle can still be
// rendering with it. A cycle that started before the store is waited out (it never blocks, so
// this is short); one that starts after sees the cleared pointer. Only the current client
// renders: a retired one was waited out when it was retired.
void JackClient::waitProcessOut() {
    if (!link_) {
        return;
    }
    const std::uint32_t seen = link_->cycles.load();
    if (seen % 2 == 0) {
        return;
    }
    while (link_->cycles.load() == seen) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

// mutex_ held. A client (the old one if it still works) and every lost slot on it again.
// DeviceFailed: the server runs at another rate than our mixers.
Failure JackClient::attemptReturn() {
    if (const Failure failure = ensureLink()) {
        return failure;
    }
    bool all = true;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Slot& slot = slots_[i];
        if (slot.used && !slot.live.load() && !restoreSlot(slot, i)) {
            all = false;
        }
    }
    return all ? Failure() : Failure(EngineError::NoSuchDevice);
}

bool JackClient::everySlotLive() const {
    return std::all_of(slots_.begin(), slots_.end(),
                       [](const Slot& s) { return !s.used || s.live.load() != nullptr; });
}

// Supervisor thread: asleep until a loss (or the end) is reported.
void JackClient::supervise() {
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

// Supervisor thread: until every slot plays again, here or through reconnect(), or the end.
void JackClient::recover() {
    for (;;) {
        settle();
        Failure failure;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            failure = everySlotLive() ? Failure() : attemptReturn();
        }
        closeRetired(); // a client at the wrong rate
        if (!failure) {
            return;
        }
        const bool wrongRate = *failure == EngineError::DeviceFailed;
        if (!waitRetry(wrongRate ? kWrongRateRetry : kRetryInterval)) {
            return;
        }
    }
}

// False when the client is being destroyed.
bool JackClient::waitRetry(std::chrono::milliseconds interval) {
    std::unique_lock<std::mutex> lock(quitMutex_);
    return !quitCv_.wait_for(lock, interval,
                             [this] { return quit_.load(std::memory_order_acquire); });
}

// Any JACK thread: the mixers stop at their next block and refuse to play; the supervisor
// takes over.
void JackClient::reportGone(Link& link) {
    if (link.closing.load() || link.gone.exchange(true)) {
        return;
    }
    for (Slot& slot : slots_) {
        if (Mixer* mixer = slot.live.load()) {
            mixer->markDeviceLost();
        }
    }
    wakeups_.fetch_add(1, std::memory_order_release);
    wakeups_.notify_one();
}

// Process thread. Each live slot renders its mixer for the whole period.
int JackClient::process(Link& link, jack_nframes_t frames) {
    link.cycles.fetch_add(1);
    for (Slot& slot : slots_) {
        Mixer* mixer = slot.live.load();
        if (!mixer) {
            continue;
        }
        auto* left = static_cast<float*>(jack_port_get_buffer(slot.left, frames));
        auto* right = static_cast<float*>(jack_port_get_buffer(slot.right, frames));
        render(*mixer, left, right, frames);
    }
    link.cycles.fetch_add(1);
    return 0;
}

// Process thread. The mixer renders interleaved stereo; JACK wants one buffer per port.
void JackClient::render(Mixer& mixer, float* left, float* right, jack_nframes_t frames) {
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t n = std::min<std::size_t>(frames - done, kScratchFrames);
        mixer.render(scratch_.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            left[done + i] = scratch_[2 * i];
            right[done + i] = scratch_[2 * i + 1];
        }
        done += n;
    }
}

int JackClient::onProcess(jack_nframes_t frames, void* user) {
    auto* link = static_cast<Link*>(user);
    return link->owner.process(*link, frames);
}

int JackClient::onXrun(void* user) {
    static_cast<Link*>(user)->owner.xruns_.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

// Our mixers keep their rate: a server that changes it is treated as one that went away.
int JackClient::onSampleRate(jack_nframes_t rate, void* user) {
    auto* link = static_cast<Link*>(user);
    if (rate != link->owner.rate_.load()) {
        link->owner.reportGone(*link);
    }
    return 0;
}

void JackClient::onShutdown(jack_status_t, const char*, void* user) {
    auto* link = static_cast<Link*>(user);
    link->owner.reportGone(*link);
}

} // namespace audio::engine

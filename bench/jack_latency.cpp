// Trigger latency on JACK, in frames: from the play call to the first frame that is not zero at
// our output port, both read on JACK's own frame clock (jack_frame_time when play is called,
// jack_last_frame_time plus the frame's index in the probe's process callback). A private
// jackd on its dummy driver, 48 kHz, 128-frame periods, without real-time rights, as in the
// tests, but with real-time scheduling unless told otherwise; 1000 triggers at random points of
// the period. Xruns counted over the run.
//   bench_jack_latency [--no-realtime] [triggers]
#include "audio/engine/jack_output.h"
#include "audio/engine/sound_engine.h"
#include "bench_util.h"

#include <jack/jack.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::uint32_t kPeriod = 128;
constexpr int kDefaultTriggers = 1000;
constexpr int kBaselineSeconds = 10;

using audio::engine::Channel;
using audio::engine::Failure;
using audio::engine::Frames;
using audio::engine::JackDeviceProvider;
using audio::engine::SoundEngine;

void quiet(const char*) {}

jack_client_t* openClient(const std::string& server, const char* name) {
    jack_status_t status{};
    return jack_client_open(name, static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                            &status, server.c_str());
}

// jackd under a private name, its messages discarded; ended with the benchmark.
class Server {
public:
    Server(std::string name, bool realtime) : name_(std::move(name)) {
        std::vector<std::string> args{"jackd", realtime ? "-R" : "-r", "-m", "-n", name_};
        args.insert(args.end(),
                    {"-d", "dummy", "-r", std::to_string(kRate), "-p", std::to_string(kPeriod)});
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quietly;
        posix_spawn_file_actions_init(&quietly);
        posix_spawn_file_actions_addopen(&quietly, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quietly, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "jackd", &quietly, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&quietly);
    }
    ~Server() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool ready() const {
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            if (jack_client_t* probe = openClient(name_, "ready")) {
                jack_client_close(probe);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    pid_t pid_ = -1;
};

// A JACK client on our output ports: notes the frame time of the first frame that is not zero
// once armed, and how many whole periods were silent since it last heard sound.
class Probe {
public:
    explicit Probe(const std::string& server) : client_(openClient(server, "latency-probe")) {
        if (!client_) {
            return;
        }
        for (int side = 0; side < 2; ++side) {
            in_[side] = jack_port_register(client_, side == 0 ? "in_L" : "in_R",
                                           JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        }
        jack_set_process_callback(client_, onProcess, this);
        jack_set_xrun_callback(client_, onXrun, this);
        jack_activate(client_);
    }
    ~Probe() {
        if (client_) {
            jack_client_close(client_);
        }
    }
    bool listenTo(const char* left, const char* right) {
        return client_ && jack_connect(client_, left, jack_port_name(in_[0])) == 0 &&
               jack_connect(client_, right, jack_port_name(in_[1])) == 0;
    }
    jack_nframes_t now() const { return jack_frame_time(client_); }
    void arm() {
        heardAt_.store(-1);
        armed_.store(true);
    }
    std::int64_t heardAt() const { return heardAt_.load(); }
    std::uint32_t silentPeriods() const { return silentPeriods_.load(); }
    std::uint32_t xruns() const { return xruns_.load(); }
    float dspLoad() const { return jack_cpu_load(client_); }

private:
    static int onProcess(jack_nframes_t frames, void* user) {
        auto* self = static_cast<Probe*>(user);
        const auto* left = static_cast<const float*>(jack_port_get_buffer(self->in_[0], frames));
        const auto* right = static_cast<const float*>(jack_port_get_buffer(self->in_[1], frames));
        const jack_nframes_t start = jack_last_frame_time(self->client_);
        for (jack_nframes_t i = 0; i < frames; ++i) {
            if (left[i] != 0.0f || right[i] != 0.0f) {
                self->silentPeriods_.store(0);
                if (self->armed_.exchange(false)) {
                    self->heardAt_.store(std::int64_t(start) + i);
                }
                return 0;
            }
        }
        self->silentPeriods_.fetch_add(1);
        return 0;
    }

    static int onXrun(void* user) {
        static_cast<Probe*>(user)->xruns_.fetch_add(1);
        return 0;
    }

    jack_client_t* client_;
    jack_port_t* in_[2] = {nullptr, nullptr};
    std::atomic<std::uint32_t> xruns_{0};
    std::atomic<bool> armed_{false};
    std::atomic<std::int64_t> heardAt_{-1};
    std::atomic<std::uint32_t> silentPeriods_{0};
};

bool waitFor(const std::function<bool()>& done) {
    const double end = bench::now() + 5.0;
    while (!done()) {
        if (bench::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    bool realtime = true;
    int triggers = kDefaultTriggers;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-realtime") == 0) {
            realtime = false;
        } else {
            triggers = std::atoi(argv[i]);
        }
    }
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    // What the device list costs a program started where no JACK server runs.
    std::vector<double> listMs;
    JackDeviceProvider nowhere("bandora-bench-no-server");
    for (int i = 0; i < 20; ++i) {
        const double start = bench::now();
        nowhere.list();
        listMs.push_back((bench::now() - start) * 1000.0);
    }
    std::printf("device list without a JACK server: median %.1f ms, max %.1f ms (20 lists)\n",
                bench::percentile(listMs, 50), bench::percentile(listMs, 100));
    const Server server("bandora-bench-" + std::to_string(getpid()), realtime);
    if (!server.ready()) {
        std::printf("jackd did not start\n");
        return 1;
    }
    // The machine's own share of xruns: the server with the probe alone, as long as a run.
    Probe probe(server.name());
    const double baselineStart = bench::now();
    std::this_thread::sleep_for(std::chrono::seconds(kBaselineSeconds));
    const std::uint32_t baselineXruns = probe.xruns();
    const double baselineSeconds = bench::now() - baselineStart;

    SoundEngine engine(std::make_unique<JackDeviceProvider>(server.name()));
    if (const Failure failed = engine.openDevice(1)) {
        std::printf("the JACK device did not open (error %d)\n", static_cast<int>(*failed));
        return 1;
    }
    // Constant level: the very first frame of the cart is not zero.
    const auto file = bench::mediaDir() / "jack_dc.wav";
    bench::shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i \"aevalsrc=0.25|0.25:s=48000:d=1\""
                 " -c:a pcm_s16le '" +
                 file.string() + "'");
    auto opened = engine.open(1, file.string());
    if (!opened || !probe.listenTo("Bandora:out1_L", "Bandora:out1_R")) {
        std::printf("could not open the cart or connect the probe\n");
        return 1;
    }
    const std::unique_ptr<Channel> channel = opened.take();
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the graph settles
    const std::uint64_t xrunsBefore = engine.outputUnderruns(1);
    const double runStart = bench::now();
    std::vector<double> frames;
    for (int i = 0; i < triggers; ++i) {
        channel->stop();
        channel->seek(Frames(0));
        engine.dispatchEvents();
        // Silence at the port (the stop's short fade is over), then a random point of a period.
        if (!waitFor([&] { return probe.silentPeriods() >= 2; })) {
            std::printf("the output did not fall silent\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::microseconds((i * 7919) % 2700));
        probe.arm();
        const jack_nframes_t fired = probe.now();
        channel->play();
        if (!waitFor([&] { return probe.heardAt() >= 0; })) {
            std::printf("trigger %d never reached the port\n", i);
            return 1;
        }
        // Signed: a server that runs late (an xrun) fills a period whose frame time has passed.
        frames.push_back(double(std::int32_t(jack_nframes_t(probe.heardAt()) - fired)));
    }
    const std::uint64_t xruns = engine.outputUnderruns(1) - xrunsBefore;
    const double runSeconds = bench::now() - runStart;
    const float load = probe.dspLoad();
    const auto ms = [](double f) { return f * 1000.0 / kRate; };
    const double p50 = bench::percentile(frames, 50);
    const double p99 = bench::percentile(frames, 99);
    const double max = bench::percentile(frames, 100);
    std::printf("JACK dummy, %s, %u Hz, %u-frame periods, %d triggers: play -> first frame at "
                "our port: min %.0f, p50 %.0f frames (%.2f ms), p99 %.0f frames (%.2f ms), max "
                "%.0f frames (%.2f ms); target p99 <= 256 frames: %s. Xruns: %llu in the %.1f s "
                "run (DSP load at the end %.1f %%), %u in %.1f s with the probe alone before\n",
                realtime ? "real-time" : "not real-time", kRate, kPeriod, triggers,
                bench::percentile(frames, 0), p50, ms(p50), p99, ms(p99), max, ms(max),
                p99 <= 256 ? "met" : "NOT met", static_cast<unsigned long long>(xruns), runSeconds,
                double(load), baselineXruns, baselineSeconds);
    return 0;
}

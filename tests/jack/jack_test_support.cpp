#include "jack_test_support.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace jacktest {

namespace {

void quiet(const char*) {}

jack_client_t* openOnce(const std::string& server, const char* name, jack_status_t& status) {
    if (server.empty()) {
        return jack_client_open(name, JackNoStartServer, &status);
    }
    return jack_client_open(name, static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                            &status, server.c_str());
}

// A server refuses clients for a moment while another one of the machine starts or dies.
jack_client_t* openClient(const std::string& server, const char* name) {
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_client_t* client = nullptr;
    waitUntil(
        [&] {
            jack_status_t status{};
            client = openOnce(server, name, status);
            return client != nullptr || (status & JackServerError) == 0;
        },
        1000);
    return client;
}

void putLe(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.put(static_cast<char>((value >> (8 * i)) & 0xff));
    }
}

} // namespace

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool JackServer::start() {
    const std::string rate = std::to_string(rate_);
    std::vector<std::string> args{"jackd", "-r", "-m", "-n",  name_, "-d", "dummy",
                                  "-r",    rate, "-p", "128", "-P",  "4"};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid_, "jackd", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        return false;
    }
    // Asked from another process: libjack in this one may be closing a client of the old
    // server just now, and opening one meanwhile would be a second libjack user racing it.
    const std::string ready = "jack_lsp -s '" + name_ + "' >/dev/null 2>&1";
    return waitUntil([&ready] { return std::system(ready.c_str()) == 0; });
}

JackServer::~JackServer() {
    stop();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
        if (entry.path().filename().string().find("_" + name_ + "_") != std::string::npos) {
            std::filesystem::remove(entry.path(), error);
        }
    }
}

void JackServer::end(int signal) {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

Recorder::Recorder(const std::string& server, std::size_t capacityFrames) {
    samples_[0].assign(capacityFrames, 0.0f);
    samples_[1].assign(capacityFrames, 0.0f);
    client_ = openClient(server, "recorder");
    if (!client_) {
        return;
    }
    in_[0] = jack_port_register(client_, "in_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    in_[1] = jack_port_register(client_, "in_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, onProcess, this);
    if (!in_[0] || !in_[1] || jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

Recorder::~Recorder() {
    if (client_) {
        jack_client_close(client_);
    }
}

std::uint32_t Recorder::rate() const {
    return client_ ? jack_get_sample_rate(client_) : 0;
}

std::vector<std::string> Recorder::feeders(const std::string& playback) const {
    std::vector<std::string> names;
    const jack_port_t* port = jack_port_by_name(client_, playback.c_str());
    if (!port) {
        return names;
    }
    if (const char** connected = jack_port_get_all_connections(client_, port)) {
        for (const char** p = connected; *p; ++p) {
            if (std::string(*p).rfind("recorder:", 0) != 0) {
                names.emplace_back(*p);
            }
        }
        jack_free(connected);
    }
    return names;
}

bool Recorder::recordWhatFeeds(const std::vector<std::string>& playback) {
    for (std::size_t side = 0; side < 2; ++side) {
        const std::vector<std::string> sources = feeders(playback[side]);
        if (sources.empty()) {
            return false;
        }
        for (const std::string& source : sources) {
            jack_connect(client_, source.c_str(), jack_port_name(in_[side]));
        }
    }
    return true;
}

bool Recorder::recordPorts(const std::string& left, const std::string& right) {
    return jack_connect(client_, left.c_str(), jack_port_name(in_[0])) == 0 &&
           jack_connect(client_, right.c_str(), jack_port_name(in_[1])) == 0;
}

int Recorder::onProcess(jack_nframes_t frames, void* user) {
    auto* self = static_cast<Recorder*>(user);
    const std::size_t at = self->written_.load(std::memory_order_relaxed);
    const std::size_t n = std::min<std::size_t>(frames, self->samples_[0].size() - at);
    for (int side = 0; side < 2; ++side) {
        const auto* in = static_cast<const float*>(jack_port_get_buffer(self->in_[side], frames));
        std::copy(in, in + n, self->samples_[side].begin() + static_cast<std::ptrdiff_t>(at));
    }
    self->written_.store(at + n, std::memory_order_release);
    return 0;
}

std::vector<float> Recorder::copy(const std::vector<float>& side, std::size_t from) const {
    const std::size_t end = frames();
    if (from >= end) {
        return {};
    }
    return std::vector<float>(side.begin() + static_cast<std::ptrdiff_t>(from),
                              side.begin() + static_cast<std::ptrdiff_t>(end));
}

std::vector<float> Recorder::left(std::size_t from) const {
    return copy(samples_[0], from);
}

std::vector<float> Recorder::right(std::size_t from) const {
    return copy(samples_[1], from);
}

std::int64_t Recorder::firstSound(std::size_t from) const {
    const std::size_t end = frames();
    for (std::size_t i = from; i < end; ++i) {
        if (samples_[0][i] != 0.0f || samples_[1][i] != 0.0f) {
            return static_cast<std::int64_t>(i);
        }
    }
    return -1;
}

Tone measureTone(const std::vector<float>& samples, std::uint32_t rate, std::size_t edge) {
    Tone tone;
    const auto loud = [](float s) { return std::fabs(s) > 1e-4f; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    if (first >= last || static_cast<std::size_t>(last - first) <= 2 * edge) {
        return tone;
    }
    const auto begin = first + static_cast<std::ptrdiff_t>(edge);
    const auto end = last - static_cast<std::ptrdiff_t>(edge);
    double sum = 0.0;
    std::size_t crossings = 0;
    for (auto it = begin; it != end; ++it) {
        sum += double(*it) * *it;
        tone.peak = std::max(tone.peak, double(std::fabs(*it)));
        if (it != begin && (*(it - 1) < 0.0f) != (*it < 0.0f)) {
            ++crossings;
        }
    }
    tone.soundingFrames = static_cast<std::size_t>(end - begin);
    tone.rms = std::sqrt(sum / static_cast<double>(tone.soundingFrames));
    tone.hz = crossings / 2.0 * rate / static_cast<double>(tone.soundingFrames);
    return tone;
}

void writeSineWav(const std::string& path, double hz, double amplitude, double seconds,
                  std::uint32_t rate) {
    const auto frames = static_cast<std::uint32_t>(seconds * rate);
    const std::uint32_t dataBytes = frames * 4;
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    putLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLe(out, 16, 4);
    putLe(out, 1, 2); // PCM
    putLe(out, 2, 2);
    putLe(out, rate, 4);
    putLe(out, rate * 4, 4);
    putLe(out, 4, 2);
    putLe(out, 16, 2);
    out.write("data", 4);
    putLe(out, dataBytes, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2.0 * M_PI * hz * i / rate);
        const auto s = static_cast<std::int16_t>(std::lround(v * 32767.0));
        putLe(out, static_cast<std::uint16_t>(s), 2);
        putLe(out, static_cast<std::uint16_t>(s), 2);
    }
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "bandora-jack.XXXXXX").string();
    dir_ = mkdtemp(pattern.data()) ? pattern : std::string();
}

TempFolder::~TempFolder() {
    if (!dir_.empty()) {
        std::filesystem::remove_all(dir_);
    }
}

} // namespace jacktest

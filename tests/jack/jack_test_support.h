#pragma once
// What the JACK tests share: a JACK server of a test's own, a client that records what feeds
// given playback ports, and a look at a recorded tone.

#include <jack/jack.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace jacktest {

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// jackd on its dummy driver under a private name: four playback ports, 128-frame periods.
class JackServer {
public:
    explicit JackServer(std::string name, std::uint32_t rate = 48000)
        : name_(std::move(name)), rate_(rate) {}
    // Also removes what the server and its clients left in /dev/shm (a killed server leaves
    // its semaphores there).
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    const std::string& name() const { return name_; }
    void setRate(std::uint32_t rate) { rate_ = rate; }
    // Returns once a client can connect.
    bool start();
    // SIGTERM, as a studio stops its server; returns once it has exited.
    void stop() { end(SIGTERM); }
    // SIGKILL, as a crash ends it.
    void crash() { end(SIGKILL); }

private:
    void end(int signal);

    std::string name_;
    std::uint32_t rate_;
    pid_t pid_ = -1;
};

// A JACK client with two input ports that records, in its process callback, what the ports
// connected to `playback` (left, right) are fed with.
class Recorder {
public:
    // `server`: empty for the default server.
    Recorder(const std::string& server, std::size_t capacityFrames);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    bool ok() const { return client_ != nullptr; }
    std::uint32_t rate() const;
    // Connects the recorder to every output port that feeds `playback` (left, right); false
    // when one of them is fed by nothing.
    bool recordWhatFeeds(const std::vector<std::string>& playback);
    // Connects to two output ports by name.
    bool recordPorts(const std::string& left, const std::string& right);
    // The output ports that feed `playback`.
    std::vector<std::string> feeders(const std::string& playback) const;
    jack_client_t* client() const { return client_; }

    // Frames recorded so far, and the recording from `from` on (left, right separately).
    std::size_t frames() const { return written_.load(std::memory_order_acquire); }
    std::vector<float> left(std::size_t from = 0) const;
    std::vector<float> right(std::size_t from = 0) const;
    // The first frame from `from` on whose left or right sample is not zero; -1 if none.
    std::int64_t firstSound(std::size_t from) const;

private:
    static int onProcess(jack_nframes_t frames, void* user);
    std::vector<float> copy(const std::vector<float>& side, std::size_t from) const;

    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {nullptr, nullptr};
    std::vector<float> samples_[2]; // sized once; the process callback fills them in order
    std::atomic<std::size_t> written_{0};
};

struct Tone {
    double hz = 0.0;   // from the zero crossings of the sounding part
    double rms = 0.0;  // over the sounding part
    double peak = 0.0; // largest magnitude
    std::size_t soundingFrames = 0;
};

// The part of `samples` between its first and last sample above 1e-4, without `edge` frames
// at either end (fades in and out).
Tone measureTone(const std::vector<float>& samples, std::uint32_t rate, std::size_t edge);

// A 16-bit stereo WAV of a sine at `amplitude`, `seconds` long.
void writeSineWav(const std::string& path, double hz, double amplitude, double seconds,
                  std::uint32_t rate);

// A folder of the test's own, removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

} // namespace jacktest

#pragma once
// A sound server of a test's own, so it can be killed as a crash would and started again.
// While it exists, PULSE_SERVER points this process (and the pactl/parec it starts) at it.

#include "monitor_recorder.h"

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace enginetest {

inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Runs a shell command; its standard output.
inline std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) {
            out += buffer;
        }
        pclose(pipe);
    }
    return out;
}

class PrivateServer {
public:
    explicit PrivateServer(const std::filesystem::path& dir) : dir_(dir) {
        const char* before = std::getenv("PULSE_SERVER");
        saved_ = before ? std::optional<std::string>(before) : std::nullopt;
        setenv("PULSE_SERVER", ("unix:" + socket()).c_str(), 1);
    }
    ~PrivateServer() {
        stop();
        if (saved_) {
            setenv("PULSE_SERVER", saved_->c_str(), 1);
        } else {
            unsetenv("PULSE_SERVER");
        }
    }
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    // Starts with one null sink per name (description: the name with a capital), the first
    // the default; returns once clients are served. Each sink gets a silent low-latency client,
    // so it does not sleep seconds between blocks.
    bool start(const std::vector<std::string>& sinks) {
        std::filesystem::create_directories(dir_ / "runtime");
        std::vector<std::string> args{"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n",
                                      "--load=module-native-protocol-unix socket=" + socket()};
        for (const std::string& sink : sinks) {
            args.push_back("--load=module-null-sink " + sinkArguments(sink));
        }
        pid_ = spawnProcess(
            args, {"XDG_RUNTIME_DIR=" + (dir_ / "runtime").string(), "HOME=" + dir_.string()});
        if (!waitUntil([] { return !run("pactl info 2>/dev/null").empty(); })) {
            return false;
        }
        if (!sinks.empty()) {
            run("pactl set-default-sink " + sinks.front());
        }
        for (const std::string& sink : sinks) {
            keepAwake(sink);
        }
        return true;
    }
    // As a crash would leave it: no goodbye to the clients.
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        for (pid_t keeper : keepers_) {
            endProcess(keeper);
        }
        keepers_.clear();
    }
    void addSink(const std::string& sink) {
        run("pactl load-module module-null-sink " + sinkArguments(sink));
        keepAwake(sink);
    }
    std::string socket() const { return (dir_ / "native").string(); }

private:
    static std::string sinkArguments(const std::string& sink) {
        std::string description = sink;
        description[0] = static_cast<char>(std::toupper(description[0]));
        return "sink_name=" + sink + " sink_properties=device.description=" + description;
    }
    void keepAwake(const std::string& sink) {
        keepers_.push_back(
            spawnProcess({"pacat", "--playback", "--raw", "--format=s16le", "--rate=44100",
                          "--channels=2", "--latency-msec=10", "--device=" + sink, "/dev/zero"}));
    }

    std::filesystem::path dir_;
    std::optional<std::string> saved_;
    pid_t pid_ = -1;
    std::vector<pid_t> keepers_;
};

} // namespace enginetest

#pragma once
// A sound engine whose devices 1..n are clocked by the test: nothing plays until the test
// renders frames, so every timing check is exact. The device list is the test's to set, a
// device can refuse to open, and an open one can lose its output and get it back, as when the
// sound server goes away and returns.
#include "audio/engine/sound_engine.h"

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace audio::testing {

class HandSink final : public engine::OutputSink {
public:
    explicit HandSink(std::uint32_t rate) : rate_(rate) {}
    std::uint32_t rate() const override { return rate_; }
    bool start(engine::Mixer& mixer) override {
        mixer_ = &mixer;
        return true;
    }
    void stop() override { mixer_ = nullptr; }
    // Still away while the test has not brought it back.
    engine::Failure reconnect() override;

    void render(std::size_t frames);
    void lose();
    void restore();

    bool capture = false;
    std::vector<float> captured; // interleaved stereo, while capturing

private:
    const std::uint32_t rate_;
    engine::Mixer* mixer_ = nullptr;
    std::vector<float> block_;
};

class HandDevices final : public engine::DeviceProvider {
public:
    HandDevices(std::vector<std::string> descriptions, std::uint32_t rate)
        : descriptions_(std::move(descriptions)), rate_(rate) {}

    std::vector<engine::DeviceInfo> list() override {
        std::vector<engine::DeviceInfo> devices;
        for (std::size_t i = 0; i < descriptions_.size(); ++i) {
            devices.push_back({std::to_string(i + 1), descriptions_[i]});
        }
        return devices;
    }
    std::unique_ptr<engine::OutputSink> open(const engine::DeviceInfo& device,
                                             engine::Failure& error) override {
        const int number = std::stoi(device.name);
        ++opens_[number];
        if (refusals_.contains(number)) {
            error = refusals_[number];
            return nullptr;
        }
        auto sink = std::make_unique<HandSink>(rate_);
        sinks_[number] = sink.get();
        return sink;
    }

    // What the sound server lists from now on (the engine keeps its list for a second).
    void setDescriptions(std::vector<std::string> descriptions) {
        descriptions_ = std::move(descriptions);
    }
    void refuse(int device, engine::EngineError error) { refusals_[device] = error; }
    int opens(int device) const { return opens_.contains(device) ? opens_.at(device) : 0; }
    HandSink& sink(int device) { return *sinks_.at(device); }

private:
    std::vector<std::string> descriptions_;
    const std::uint32_t rate_;
    std::map<int, engine::EngineError> refusals_;
    std::map<int, int> opens_;
    std::map<int, HandSink*> sinks_;
};

struct HandEngine {
    static constexpr std::uint32_t kRate = 44100;
    static constexpr std::size_t kStep = 176;   // frames per render step, about 4 ms
    static constexpr std::size_t kMaxSpeed = 4; // file frames per output frame, at most

    explicit HandEngine(std::vector<std::string> descriptions = {"Hand clock"}) {
        auto provider = std::make_unique<HandDevices>(std::move(descriptions), kRate);
        devices = provider.get();
        engine = std::make_unique<engine::SoundEngine>(std::move(provider));
    }

    // Renders `frames` on `device` in steps, each only once every channel in `fed` has the
    // audio for it decoded (at its fastest rate), so none of them runs dry.
    void renderFed(std::initializer_list<const engine::Channel*> fed, std::size_t frames,
                   int device = 1) {
        while (frames > 0) {
            const std::size_t n = std::min(frames, kStep);
            for (const engine::Channel* channel : fed) {
                if (channel != nullptr) {
                    channel->waitBuffered(n * kMaxSpeed + 2, std::chrono::seconds(5));
                }
            }
            devices->sink(device).render(n);
            frames -= n;
        }
    }

    HandDevices* devices = nullptr; // owned by the engine
    std::unique_ptr<engine::SoundEngine> engine;
};

} // namespace audio::testing

// Files opened ahead: a channel opened from a prefetched file is the file as it is on disk
// now, a file that cannot be opened fails as usual when its channel is opened, and a new list
// lets go of the files it no longer names. Destroyed channels are let go of as soon as their
// mixer has dropped them, with no further call.
#include "hand_clock.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace audio::engine;
using namespace enginetest;

namespace {

constexpr std::uint32_t kRate = 44100;

class PrefetchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(engine().openDevice(HandClockEngine::kDevice), Failure()); }
    SoundEngine& engine() { return *clock.engine; }
    std::unique_ptr<Channel> open(const std::string& path) {
        auto opened = engine().open(HandClockEngine::kDevice, path);
        if (!opened) {
            ADD_FAILURE() << path << ": " << opened.error();
            return nullptr;
        }
        return opened.take();
    }
    std::string tone(const std::string& name, double seconds) {
        const auto path = dir.path(name);
        writeWav(path, {kRate, 2, SampleFormat::S16, static_cast<std::uint64_t>(seconds * kRate)},
                 sine(440, kRate, 0.5));
        return path.string();
    }
    bool waitParked(std::size_t count) {
        for (int i = 0; i < 500; ++i) {
            if (engine().prefetchedCount() == count) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    TempDir dir;
    HandClockEngine clock;
};

} // namespace

TEST_F(PrefetchTest, PrefetchedFileGivesItsStreamAndChangedFilesAreOpenedAgain) {
    const std::string a = tone("a.wav", 1.0);
    const std::string b = tone("b.wav", 2.0);
    engine().prefetchFiles(1, {a, b, dir.path("missing.wav").string()});
    ASSERT_TRUE(waitParked(2));

    auto first = open(a);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->length(), Frames(kRate));
    EXPECT_EQ(engine().prefetchedCount(), 1u);
    ASSERT_EQ(first->play(), Failure());
    clock.renderFed(*first, kRate / 10);
    EXPECT_EQ(first->position(), Frames(kRate / 10));

    // Rewritten after it was opened ahead: the channel plays the new file.
    const auto openedAhead = std::filesystem::last_write_time(b);
    tone("b.wav", 3.0);
    std::filesystem::last_write_time(b, openedAhead + std::chrono::seconds(1));
    auto second = open(b);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->length(), Frames(3 * kRate));

    // Never opened ahead, so it fails here, with the usual error.
    auto missing = engine().open(HandClockEngine::kDevice, dir.path("missing.wav").string());
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), EngineError::FileOpen);
}

TEST_F(PrefetchTest, NewListLetsGoOfFilesItNoLongerNames) {
    const std::string a = tone("a.wav", 0.5);
    const std::string b = tone("b.wav", 0.5);
    const std::string c = tone("c.wav", 0.5);
    engine().prefetchFiles(1, {a, b});
    ASSERT_TRUE(waitParked(2));
    engine().prefetchFiles(1, {b, c});
    ASSERT_TRUE(waitParked(2));
    engine().prefetchFiles(1, {});
    EXPECT_EQ(engine().prefetchedCount(), 0u);

    // The same files again in another order before any is open: all of them still come.
    engine().prefetchFiles(1, {a, b, c});
    engine().prefetchFiles(1, {c, b, a});
    EXPECT_TRUE(waitParked(3));
    EXPECT_TRUE(open(a)); // opened on the spot, as always
}

TEST_F(PrefetchTest, DestroyedChannelsGoOnceTheirMixerHasDroppedThem) {
    std::vector<std::unique_ptr<Channel>> channels;
    for (int i = 0; i < 8; ++i) {
        channels.push_back(open(tone("f" + std::to_string(i) + ".wav", 0.2)));
        ASSERT_TRUE(channels.back());
    }
    channels.clear();
    EXPECT_EQ(engine().pendingFreeCount(), 8u); // the hand-clocked mixer has not run yet
    clock.render(176);
    for (int i = 0; i < 200 && engine().pendingFreeCount() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(engine().pendingFreeCount(), 0u);
}

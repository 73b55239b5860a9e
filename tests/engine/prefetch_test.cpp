// Files opened ahead: a stream created from a prefetched file is the file as it is on disk
// now, a file that cannot be opened fails as usual when its stream is created, and a new list
// lets go of the streams it no longer names. Freed streams are let go of as soon as their
// mixer has dropped them, with no further call.
#include "hand_clock.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace audio;
using namespace enginetest;

namespace {

constexpr std::uint32_t kRate = 44100;

class PrefetchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(clock.engine->init(1, kRate, 0, nullptr)); }
    engine::SoundEngine& engine() { return *clock.engine; }
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
    std::uint64_t framesOf(StreamHandle h) { return engine().length(h) / 4; }

    TempDir dir;
    HandClockEngine clock;
};

} // namespace

TEST_F(PrefetchTest, PrefetchedFileGivesItsStreamAndChangedFilesAreOpenedAgain) {
    const std::string a = tone("a.wav", 1.0);
    const std::string b = tone("b.wav", 2.0);
    engine().prefetchFiles(1, {a, b, dir.path("missing.wav").string()});
    ASSERT_TRUE(waitParked(2));

    const StreamHandle first = engine().createFileStream(a, 0);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(framesOf(first), kRate);
    EXPECT_EQ(engine().prefetchedCount(), 1u);
    ASSERT_TRUE(engine().play(first, false));
    clock.renderFed(first, kRate / 10);
    EXPECT_EQ(engine().position(first) / 4, kRate / 10);

    // Rewritten after it was opened ahead: the stream is the new file.
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a later modification time
    tone("b.wav", 3.0);
    const StreamHandle second = engine().createFileStream(b, 0);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(framesOf(second), 3u * kRate);

    // Never opened ahead, so it fails here, with the usual code.
    EXPECT_EQ(engine().createFileStream(dir.path("missing.wav").string(), 0), 0u);
    EXPECT_EQ(engine().lastError(), kErrFileOpen);
}

TEST_F(PrefetchTest, NewListLetsGoOfStreamsItNoLongerNames) {
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
    EXPECT_NE(engine().createFileStream(a, 0), 0u); // opened on the spot, as always
}

TEST_F(PrefetchTest, FreedStreamsGoOnceTheirMixerHasDroppedThem) {
    std::vector<StreamHandle> handles;
    for (int i = 0; i < 8; ++i) {
        handles.push_back(
            engine().createFileStream(tone("f" + std::to_string(i) + ".wav", 0.2), 0));
        ASSERT_NE(handles.back(), 0u);
    }
    for (StreamHandle h : handles) {
        ASSERT_TRUE(engine().freeStream(h));
    }
    EXPECT_EQ(engine().pendingFreeCount(), 8u); // the hand-clocked mixer has not run yet
    clock.sink().render(176);
    for (int i = 0; i < 200 && engine().pendingFreeCount() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(engine().pendingFreeCount(), 0u);
}

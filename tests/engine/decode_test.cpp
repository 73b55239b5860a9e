// Decoding through FFmpeg: exact lengths, exact decoded frame counts, exact seeks.
#include "audio/engine/media_source.h"
#include "audio/engine/stream.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using audio::engine::MediaSource;
using namespace enginetest;

namespace {

constexpr std::uint64_t kMinuteFrames = 2'646'000; // one minute at 44.1 kHz

std::unique_ptr<MediaSource> openAt(const std::filesystem::path& file, std::uint32_t rate = 44100) {
    audio::engine::Failure error = audio::engine::EngineError::OutOfMemory;
    auto source = MediaSource::open(file.string(), false, rate, error);
    EXPECT_EQ(error, audio::engine::Failure()) << file;
    return source;
}

// Decodes everything; returns interleaved stereo.
std::vector<float> decodeAll(MediaSource& source) {
    std::vector<float> out;
    while (source.decode(out)) {
    }
    return out;
}

std::vector<float> decodeFrames(MediaSource& source, std::size_t frames) {
    std::vector<float> out;
    while (out.size() < frames * 2 && source.decode(out)) {
    }
    out.resize(std::min(out.size(), frames * 2));
    return out;
}

class DecodeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir();
        const WavSpec minute{44100, 2, SampleFormat::S16, kMinuteFrames};
        writeWav(dir->path("minute.wav"), minute, sine(440.0, 44100, 0.5));
        ASSERT_TRUE(
            encode(dir->path("minute.wav"), dir->path("lame.mp3"), "-c:a libmp3lame -b:a 128k"));
        ASSERT_TRUE(encode(dir->path("minute.wav"), dir->path("noxing.mp3"),
                           "-c:a libmp3lame -q:a 4 -write_xing 0"));
        ASSERT_TRUE(
            encode(dir->path("minute.wav"), dir->path("minute.wma"), "-c:a wmav2 -b:a 128k"));
    }
    static void TearDownTestSuite() { delete dir; }
    static TempDir* dir;
};

TempDir* DecodeTest::dir = nullptr;

TEST_F(DecodeTest, LengthsAreExactAndDecodingGivesExactlyThatMany) {
    for (const char* name : {"minute.wav", "lame.mp3"}) {
        auto source = openAt(dir->path(name));
        ASSERT_TRUE(source);
        EXPECT_EQ(source->format().lengthFrames, kMinuteFrames) << name;
        EXPECT_EQ(decodeAll(*source).size() / 2, kMinuteFrames) << name;
    }
}

TEST_F(DecodeTest, Mp3WithoutTagCountsWhatDecodingGives) {
    auto source = openAt(dir->path("noxing.mp3"));
    ASSERT_TRUE(source);
    const std::uint64_t expected = ffmpegDecodedFrames(dir->path("noxing.mp3"), 2);
    ASSERT_GT(expected, kMinuteFrames);
    EXPECT_EQ(source->format().lengthFrames, expected);
    EXPECT_EQ(decodeAll(*source).size() / 2, expected);
}

TEST_F(DecodeTest, WmaLengthWithinOneDecoderFrameAndDecodeMatchesIt) {
    auto source = openAt(dir->path("minute.wma"));
    ASSERT_TRUE(source);
    const auto length = static_cast<std::int64_t>(source->format().lengthFrames);
    EXPECT_LE(std::abs(length - static_cast<std::int64_t>(kMinuteFrames)), 2048);
    EXPECT_EQ(decodeAll(*source).size() / 2, source->format().lengthFrames);
}

TEST_F(DecodeTest, SeeksAreSampleExact) {
    for (const char* name : {"lame.mp3", "noxing.mp3", "minute.wma"}) {
        auto whole = openAt(dir->path(name));
        ASSERT_TRUE(whole);
        const std::vector<float> all = decodeAll(*whole);
        for (std::uint64_t target : {0ull, 1ull, 1151ull, 1'000'003ull, 2'600'000ull}) {
            auto seeking = openAt(dir->path(name));
            ASSERT_TRUE(seeking->seek(target));
            const std::vector<float> part = decodeFrames(*seeking, 4096);
            ASSERT_GE(part.size(), 2u);
            double worst = 0.0;
            for (std::size_t i = 0; i < part.size() && target * 2 + i < all.size(); ++i) {
                worst = std::max(worst, std::abs(double(part[i]) - all[target * 2 + i]));
            }
            EXPECT_LT(worst, 1e-4) << name << " at " << target;
        }
    }
}

TEST(DecodeFormats, PcmVariantsMonoStereoAndRates) {
    TempDir dir;
    struct Case {
        const char* name;
        WavSpec spec;
        bool eightBit;
    } cases[] = {
        {"u8.wav", {22050, 1, SampleFormat::U8, 22050 + 17}, true},
        {"s24.wav", {48000, 2, SampleFormat::S24, 48000 + 5}, false},
        {"f32.wav", {32000, 1, SampleFormat::F32, 32000 * 2 + 3}, false},
        {"s16.wav", {44100, 1, SampleFormat::S16, 44100 + 1}, false},
    };
    for (const Case& c : cases) {
        writeWav(dir.path(c.name), c.spec, sine(1000.0, c.spec.rate, 0.5));
        auto source = openAt(dir.path(c.name));
        ASSERT_TRUE(source) << c.name;
        EXPECT_EQ(source->format().rate, c.spec.rate) << c.name;
        EXPECT_EQ(source->format().channels, c.spec.channels) << c.name;
        EXPECT_EQ(source->format().eightBit, c.eightBit) << c.name;
        EXPECT_EQ(source->format().lengthFrames, c.spec.frames) << c.name;
        // Resampled to the 44.1 kHz device: the same duration, within the resampler's rounding.
        const double expected = double(c.spec.frames) * 44100.0 / c.spec.rate;
        EXPECT_NEAR(double(decodeAll(*source).size() / 2), expected, 2.0) << c.name;
    }
}

TEST(DecodeFormats, MonoPlaysAtFullLevelOnBothSides) {
    TempDir dir;
    writeWav(dir.path("mono.wav"), {44100, 1, SampleFormat::S16, 4410},
             [](std::uint64_t, int) { return 0.5; });
    auto source = openAt(dir.path("mono.wav"));
    const std::vector<float> out = decodeAll(*source);
    ASSERT_EQ(out.size(), 4410u * 2);
    EXPECT_NEAR(out[100], 0.5f, 1e-3);
    EXPECT_NEAR(out[101], 0.5f, 1e-3);
}

TEST(DecodeFormats, WavSeekLandsOnTheExactFrame) {
    TempDir dir;
    // Each frame carries its own index, so the first frame after a seek names itself.
    const auto ramp = [](std::uint64_t i, int) { return double(i % 20000) / 32767.0; };
    writeWav(dir.path("ramp.wav"), {44100, 2, SampleFormat::S16, 100000}, ramp);
    auto source = openAt(dir.path("ramp.wav"));
    for (std::uint64_t target : {77777ull, 3ull, 99999ull}) {
        ASSERT_TRUE(source->seek(target));
        const std::vector<float> part = decodeFrames(*source, 1);
        ASSERT_EQ(part.size(), 2u);
        EXPECT_NEAR(part[0] * 32768.0, double(target % 20000), 0.01) << target;
    }
}

// A looping file far shorter than the buffer fills the marker queue with one wrap per pass; the
// worker must then wait for the mixer instead of retrying at full speed.
TEST(StreamDecoding, ShortLoopWithAFullMarkerQueueLeavesTheWorkerIdle) {
    TempDir dir;
    writeWav(dir.path("blip.wav"), {44100, 1, SampleFormat::S16, 20}, sine(1000.0, 44100));
    audio::engine::Stream stream(openAt(dir.path("blip.wav")), 44100, 1000);
    stream.setLoop(true);
    stream.setPlaying(true);
    int passes = 0;
    while (stream.needsWork() && passes < 1000) {
        stream.work();
        ++passes;
    }
    EXPECT_LT(passes, 10) << "the worker kept going with nothing it could do";
    ASSERT_EQ(stream.markers().size(), 64u);
    EXPECT_EQ(stream.readyFrames(), 65u * 20u)
        << "a pass per wrap marker, and one whose end waits for room";

    // The mixer plays past one wrap: the worker has work again.
    stream.ring().consume(20);
    stream.markers().pop();
    EXPECT_TRUE(stream.needsWork());
    stream.work();
    EXPECT_EQ(stream.markers().size(), 64u);
}

} // namespace

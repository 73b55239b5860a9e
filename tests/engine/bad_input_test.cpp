// Damaged, odd and hostile input: each ends in an error or in a channel that plays what can be
// decoded and then stops.
#include "hand_clock.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <optional>

using namespace audio::engine;
using namespace enginetest;

namespace {

constexpr std::uint32_t kRate = 44100;

class BadInputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media = new TempDir();
        writeWav(media->path("tone.wav"), {kRate, 2, SampleFormat::S16, kRate * 2},
                 sine(440, kRate, 0.5));
        ASSERT_TRUE(
            encode(media->path("tone.wav"), media->path("tone.mp3"), "-c:a libmp3lame -b:a 128k"));
        ASSERT_TRUE(
            encode(media->path("tone.wav"), media->path("tone.wma"), "-c:a wmav2 -b:a 128k"));
    }
    static void TearDownTestSuite() { delete media; }

    void SetUp() override { ASSERT_EQ(engine().openDevice(HandClockEngine::kDevice), Failure()); }
    SoundEngine& engine() { return *clock.engine; }

    Result<std::unique_ptr<Channel>> open(const std::filesystem::path& file) {
        return engine().open(HandClockEngine::kDevice, file.string());
    }
    std::optional<EngineError> errorFor(const std::filesystem::path& file) {
        auto opened = open(file);
        if (opened) {
            ADD_FAILURE() << file << " opened";
            return std::nullopt;
        }
        return opened.error();
    }
    // Plays the channel to its end on the hand clock; returns the frames it played.
    std::int64_t playToEnd(Channel& ch) {
        EXPECT_EQ(ch.play(), Failure());
        const std::int64_t length = ch.length().count();
        for (std::int64_t rendered = 0; ch.state() != ChannelState::Stopped; rendered += 4410) {
            if (rendered > length + kRate) {
                ADD_FAILURE() << "still playing long after its length";
                break;
            }
            clock.renderFed(ch, 4410, 4410);
        }
        return ch.position().count();
    }
    std::filesystem::path withBytes(const std::string& name, const std::string& bytes) {
        writeBytes(dir.path(name), bytes);
        return dir.path(name);
    }

    static TempDir* media;
    TempDir dir;
    HandClockEngine clock{kRate};
};

TempDir* BadInputTest::media = nullptr;

TEST_F(BadInputTest, UnopenableOrNonAudioFilesGiveTheirErrors) {
    EXPECT_EQ(errorFor(dir.path("missing.mp3")), EngineError::FileOpen);
    EXPECT_EQ(errorFor(dir.path("")), EngineError::FileOpen) << "a folder";
    EXPECT_EQ(errorFor(withBytes("empty.mp3", "")), EngineError::UnsupportedFormat);
    EXPECT_EQ(errorFor(withBytes("text.mp3", std::string(5000, 'x'))),
              EngineError::UnsupportedFormat);
    EXPECT_EQ(errorFor(withBytes("text.wma", "not a wma at all")), EngineError::UnsupportedFormat);
    std::string png = "\x89PNG\r\n\x1a\n" + std::string(2000, '\0');
    EXPECT_EQ(errorFor(withBytes("picture.wav", png)), EngineError::UnsupportedFormat);
}

TEST_F(BadInputTest, ZeroLengthAndAbsurdHeadersAreRefused) {
    writeWav(dir.path("zero.wav"), {kRate, 2, SampleFormat::S16, 0}, sine(440, kRate));
    EXPECT_EQ(errorFor(dir.path("zero.wav")), EngineError::NotAudio);
    std::string wav = readBytes(media->path("tone.wav")).substr(0, 44 + 4000);
    std::string channels = wav;
    channels[22] = '\xff'; // 65535 channels
    channels[23] = '\xff';
    EXPECT_EQ(errorFor(withBytes("channels.wav", channels)), EngineError::UnsupportedFormat);
    std::string rate = wav;
    for (int i = 24; i < 28; ++i) {
        rate[static_cast<std::size_t>(i)] = '\xff'; // 4 GHz
    }
    EXPECT_EQ(errorFor(withBytes("rate.wav", rate)), EngineError::UnsupportedFormat);
    std::string tiny = wav;
    tiny[24] = 1; // 1 Hz
    tiny[25] = tiny[26] = tiny[27] = 0;
    EXPECT_EQ(errorFor(withBytes("tiny.wav", tiny)), EngineError::UnsupportedFormat);
}

TEST_F(BadInputTest, TruncatedFilesPlayWhatIsThereAndStop) {
    for (const char* name : {"tone.wav", "tone.mp3", "tone.wma"}) {
        const std::string whole = readBytes(media->path(name));
        const auto cut =
            withBytes(std::string("cut-") + name, whole.substr(0, whole.size() / 2 + 7));
        auto opened = open(cut);
        ASSERT_TRUE(opened) << name << ": " << opened.error();
        Channel& ch = *opened.value();
        const std::int64_t length = ch.length().count();
        EXPECT_NEAR(double(length), kRate, kRate * 0.1) << name << ": about half of two seconds";
        EXPECT_EQ(playToEnd(ch), length) << name;
    }
}

TEST_F(BadInputTest, CorruptedDataPlaysThroughAndStops) {
    for (const char* name : {"tone.wav", "tone.mp3", "tone.wma"}) {
        std::string bytes = readBytes(media->path(name));
        std::uint32_t noise = 12345;
        for (std::size_t i = bytes.size() / 3; i < bytes.size() / 3 + 3000; ++i) {
            noise = noise * 1103515245u + 12345u;
            bytes[i] = static_cast<char>(noise >> 24);
        }
        auto opened = open(withBytes(std::string("bad-") + name, bytes));
        ASSERT_TRUE(opened) << name << ": " << opened.error();
        Channel& ch = *opened.value();
        const std::int64_t length = ch.length().count();
        EXPECT_GT(length, kRate) << name;
        EXPECT_GT(playToEnd(ch), length * 9 / 10) << name;
    }
}

TEST_F(BadInputTest, NamesAndPathsAreTakenAsTheyAre) {
    const auto folder = dir.path("Canção ção 日本.wma");
    std::filesystem::create_directory(folder);
    std::filesystem::copy_file(media->path("tone.mp3"), folder / "Música Ñ.mp3");
    // The content decides, not the names: an MP3 in a folder named .wma opens as an MP3.
    auto mp3 = open(folder / "Música Ñ.mp3");
    ASSERT_TRUE(mp3) << mp3.error();
    EXPECT_EQ(mp3.value()->length(), Frames(2 * kRate));
    std::filesystem::copy_file(media->path("tone.wma"), folder / "wrong extension.mp3");
    auto wma = open(folder / "wrong extension.mp3");
    EXPECT_TRUE(wma) << wma.error();
    std::filesystem::copy_file(media->path("tone.wav"), folder / "a:colon.wav");
    auto colon = open(folder / "a:colon.wav");
    EXPECT_TRUE(colon) << colon.error();
}

TEST_F(BadInputTest, UnreachableUrlFailsCleanly) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(errorFor("http://127.0.0.1:9/none.wma"), EngineError::NoNetwork);
    EXPECT_TRUE(errorFor("mms://127.0.0.1:9/none").has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(12));
}

TEST_F(BadInputTest, FadeOfDaysIsClampedNotWrapped) {
    auto opened = open(media->path("tone.wav"));
    ASSERT_TRUE(opened) << opened.error();
    Channel& ch = *opened.value();
    // 97392901 ms at 44.1 kHz is just over 2^32 frames: unclamped it would wrap to 1.35 s.
    ch.fadeOut(Frames::fromDuration(std::chrono::milliseconds(97'392'901), kRate));
    ASSERT_EQ(ch.play(), Failure());
    clock.renderFed(ch, 13230);
    EXPECT_GT(ch.volume(), 0.999f) << "a fade of days has barely begun after 0.3 s";
    EXPECT_TRUE(ch.isFading());
}

} // namespace

// Damaged, odd and hostile input: each ends in an error code or in a stream that plays what
// can be decoded and then stops.
#include "hand_clock.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

using namespace audio;
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

    void SetUp() override { ASSERT_TRUE(api().init(1, kRate, 0, nullptr)); }
    SoundApi& api() { return *clock.engine; }

    StreamHandle open(const std::filesystem::path& file) {
        return file.extension() == ".wma" ? api().createWmaStream(file.string(), 0)
                                          : api().createFileStream(file.string(), 0);
    }
    int errorFor(const std::filesystem::path& file) {
        const StreamHandle h = open(file);
        EXPECT_EQ(h, 0u) << file;
        return api().lastError();
    }
    // Plays the stream to its end on the hand clock; returns the frames it played.
    std::uint64_t playToEnd(StreamHandle h, std::uint32_t channels) {
        EXPECT_TRUE(api().play(h, false));
        const std::uint64_t length = api().length(h) / (2 * channels);
        for (std::uint64_t rendered = 0; api().isActive(h) != kChannelStopped; rendered += 4410) {
            if (rendered > length + kRate) {
                ADD_FAILURE() << "still playing long after its length";
                break;
            }
            clock.renderFed(h, 4410, 4410);
        }
        return api().position(h) / (2 * channels);
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

TEST_F(BadInputTest, UnopenableOrNonAudioFilesGiveTheirErrorCodes) {
    EXPECT_EQ(errorFor(dir.path("missing.mp3")), kErrFileOpen);
    EXPECT_EQ(errorFor(dir.path("")), kErrFileOpen) << "a folder";
    EXPECT_EQ(errorFor(withBytes("empty.mp3", "")), kErrFileForm);
    EXPECT_EQ(errorFor(withBytes("text.mp3", std::string(5000, 'x'))), kErrFileForm);
    EXPECT_EQ(errorFor(withBytes("text.wma", "not a wma at all")), kErrFileForm);
    std::string png = "\x89PNG\r\n\x1a\n" + std::string(2000, '\0');
    EXPECT_EQ(errorFor(withBytes("picture.wav", png)), kErrFileForm);
}

TEST_F(BadInputTest, ZeroLengthAndAbsurdHeadersAreRefused) {
    writeWav(dir.path("zero.wav"), {kRate, 2, SampleFormat::S16, 0}, sine(440, kRate));
    EXPECT_EQ(errorFor(dir.path("zero.wav")), kErrNotAudio);
    std::string wav = readBytes(media->path("tone.wav")).substr(0, 44 + 4000);
    std::string channels = wav;
    channels[22] = '\xff'; // 65535 channels
    channels[23] = '\xff';
    EXPECT_EQ(errorFor(withBytes("channels.wav", channels)), kErrFileForm);
    std::string rate = wav;
    for (int i = 24; i < 28; ++i) {
        rate[static_cast<std::size_t>(i)] = '\xff'; // 4 GHz
    }
    EXPECT_EQ(errorFor(withBytes("rate.wav", rate)), kErrFileForm);
    std::string tiny = wav;
    tiny[24] = 1; // 1 Hz
    tiny[25] = tiny[26] = tiny[27] = 0;
    EXPECT_EQ(errorFor(withBytes("tiny.wav", tiny)), kErrFileForm);
}

TEST_F(BadInputTest, TruncatedFilesPlayWhatIsThereAndStop) {
    for (const char* name : {"tone.wav", "tone.mp3", "tone.wma"}) {
        const std::string whole = readBytes(media->path(name));
        const auto cut =
            withBytes(std::string("cut-") + name, whole.substr(0, whole.size() / 2 + 7));
        const StreamHandle h = open(cut);
        ASSERT_NE(h, 0u) << name << " error " << api().lastError();
        const std::uint64_t length = api().length(h) / 4;
        EXPECT_NEAR(double(length), kRate, kRate * 0.1) << name << ": about half of two seconds";
        EXPECT_EQ(playToEnd(h, 2), length) << name;
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
        const StreamHandle h = open(withBytes(std::string("bad-") + name, bytes));
        ASSERT_NE(h, 0u) << name << " error " << api().lastError();
        const std::uint64_t length = api().length(h) / 4;
        EXPECT_GT(length, kRate) << name;
        EXPECT_GT(playToEnd(h, 2), length * 9 / 10) << name;
    }
}

TEST_F(BadInputTest, NamesAndPathsAreTakenAsTheyAre) {
    const auto folder = dir.path("Canção ção 日本.wma");
    std::filesystem::create_directory(folder);
    std::filesystem::copy_file(media->path("tone.mp3"), folder / "Música Ñ.mp3");
    // An MP3 in a folder whose name has .wma goes through the WMA call and still plays.
    const StreamHandle h = api().createWmaStream((folder / "Música Ñ.mp3").string(), 0);
    ASSERT_NE(h, 0u) << api().lastError();
    EXPECT_EQ(api().length(h) / 4, 2u * kRate);
    std::filesystem::copy_file(media->path("tone.wma"), folder / "wrong extension.mp3");
    EXPECT_NE(api().createFileStream((folder / "wrong extension.mp3").string(), 0), 0u);
    std::filesystem::copy_file(media->path("tone.wav"), folder / "a:colon.wav");
    EXPECT_NE(api().createFileStream((folder / "a:colon.wav").string(), 0), 0u);
}

TEST_F(BadInputTest, UnreachableUrlFailsCleanly) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(api().createWmaStream("http://127.0.0.1:9/none.wma", 0), 0u);
    EXPECT_EQ(api().lastError(), kErrNoNet);
    EXPECT_EQ(api().createWmaStream("mms://127.0.0.1:9/none", 0), 0u);
    EXPECT_NE(api().lastError(), kErrOk);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(12));
}

TEST_F(BadInputTest, OutOfRangeTimesAreRefusedOrClamped) {
    const StreamHandle h = open(media->path("tone.wav"));
    ASSERT_NE(h, 0u);
    for (double bad : {std::numeric_limits<double>::infinity(), std::nan(""), -1.0}) {
        EXPECT_EQ(api().secondsToBytes(h, bad), ~0ull) << bad;
        EXPECT_EQ(api().lastError(), kErrIllegalParam) << bad;
    }
    const std::uint64_t huge = api().secondsToBytes(h, 1e300);
    EXPECT_NE(huge, ~0ull);
    EXPECT_GE(huge, api().length(h));
    EXPECT_EQ(huge % 4, 0u) << "whole frames";

    // 97392901 ms at 44.1 kHz is just over 2^32 frames: unclamped it would wrap to 1.35 s.
    ASSERT_TRUE(api().slideAttributes(h, kKeepRate, 0, kKeepPan, 97'392'901));
    ASSERT_TRUE(api().play(h, false));
    clock.renderFed(h, 13230);
    std::uint32_t volume = 0;
    ASSERT_TRUE(api().getAttributes(h, nullptr, &volume, nullptr));
    EXPECT_EQ(volume, 100u) << "a slide of days has barely begun after 0.3 s";
}

} // namespace

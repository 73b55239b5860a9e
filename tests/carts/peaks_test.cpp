// Waveform peaks: reduced across decode blocks of any size, kept in the peaks cache across
// runs, a damaged cache ignored and rebuilt, and the loudness worker answering a request for a
// file's peaks with progress from the same decode that measures its loudness.
#include "carts/loudness_cache.h"
#include "carts/loudness_service.h"
#include "carts/peaks.h"
#include "support/qstring_print.h"
#include "wav_bytes.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace carts;
using namespace wavbytes;

namespace {

class PeaksTest : public ::testing::Test {
protected:
    QString file(const QString& name) const { return QDir(dir.path()).filePath(name); }
    QString cacheFile() const { return file(QString::fromLatin1(kPeaksCacheFile)); }

    // Peaks of a ramp fed in uneven blocks.
    static Peaks rampPeaks(std::size_t frames) {
        std::vector<float> stereo;
        for (std::size_t i = 0; i < frames; ++i) {
            stereo.push_back(float(i) / float(frames));  // left rises
            stereo.push_back(-float(i) / float(frames)); // right falls
        }
        PeaksBuilder builder;
        builder.begin(48000, frames);
        for (std::size_t at = 0, block = 1; at < frames; at += block, block = block * 3 + 7) {
            builder.frames(stereo.data() + 2 * at, std::min(block, frames - at));
        }
        return builder.take();
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(PeaksTest, BucketsHoldTheExtremesOfBothSidesWhateverTheBlocks) {
    const std::size_t frames = 10 * kFramesPerPeak + 3;
    const Peaks peaks = rampPeaks(frames);
    EXPECT_EQ(peaks.totalFrames, std::int64_t(frames));
    ASSERT_EQ(peaks.high.size(), 11U); // the last three frames make a bucket of their own
    for (std::size_t b = 0; b < peaks.high.size(); ++b) {
        const std::size_t last = std::min(frames, (b + 1) * kFramesPerPeak) - 1;
        EXPECT_NEAR(peaks.high[b], float(last) / float(frames), 1.0 / 32767) << b;
        EXPECT_NEAR(peaks.low[b], -float(last) / float(frames), 1.0 / 32767) << b;
    }
}

TEST_F(PeaksTest, CacheAnswersAcrossRunsOnlyForTheSameFileStamp) {
    const Peaks first = rampPeaks(3000);
    const Peaks second = rampPeaks(7000);
    {
        PeaksCache cache = PeaksCache::open(cacheFile());
        ASSERT_TRUE(cache.store(QStringLiteral("/a.mp3"), {100, 1}, first));
        ASSERT_TRUE(cache.store(QStringLiteral("/b.mp3"), {200, 2}, first));
        ASSERT_TRUE(cache.store(QStringLiteral("/a.mp3"), {101, 3}, second)); // file changed
    }
    const PeaksCache cache = PeaksCache::open(cacheFile());
    EXPECT_EQ(cache.find(QStringLiteral("/a.mp3"), {101, 3}), second);
    EXPECT_EQ(cache.find(QStringLiteral("/b.mp3"), {200, 2}), first);
    EXPECT_EQ(cache.find(QStringLiteral("/a.mp3"), {100, 1}), std::nullopt);
}

TEST_F(PeaksTest, DamagedCacheLosesOnlyWhatIsDamagedAndIsRebuilt) {
    const Peaks peaks = rampPeaks(5000);
    {
        PeaksCache cache = PeaksCache::open(cacheFile());
        ASSERT_TRUE(cache.store(QStringLiteral("/a.mp3"), {1, 1}, peaks));
        ASSERT_TRUE(cache.store(QStringLiteral("/b.mp3"), {2, 2}, peaks));
    }
    const QByteArray intact = readFile(cacheFile());

    // A record cut short: the one before it still answers, and the next one goes after it.
    ASSERT_TRUE(writeFile(cacheFile(), intact.left(intact.size() - 10)));
    {
        PeaksCache cache = PeaksCache::open(cacheFile());
        EXPECT_EQ(cache.find(QStringLiteral("/a.mp3"), {1, 1}), peaks);
        EXPECT_FALSE(cache.contains(QStringLiteral("/b.mp3"), {2, 2}));
        ASSERT_TRUE(cache.store(QStringLiteral("/c.mp3"), {3, 3}, peaks));
    }
    EXPECT_EQ(PeaksCache::open(cacheFile()).find(QStringLiteral("/c.mp3"), {3, 3}), peaks);

    // A flipped byte among the values: that record no longer answers.
    QByteArray flipped = intact;
    flipped[flipped.size() - 100] = char(flipped[flipped.size() - 100] ^ 0x40);
    ASSERT_TRUE(writeFile(cacheFile(), flipped));
    EXPECT_EQ(PeaksCache::open(cacheFile()).find(QStringLiteral("/b.mp3"), {2, 2}), std::nullopt);

    // Not a cache at all: ignored, then started anew.
    ASSERT_TRUE(writeFile(cacheFile(), "BANDORA-LOUDNESS 1\r\n12\t34\n"));
    PeaksCache foreign = PeaksCache::open(cacheFile());
    EXPECT_EQ(foreign.size(), 0);
    ASSERT_TRUE(foreign.store(QStringLiteral("/a.mp3"), {1, 1}, peaks));
    EXPECT_EQ(PeaksCache::open(cacheFile()).find(QStringLiteral("/a.mp3"), {1, 1}), peaks);
}

TEST_F(PeaksTest, RequestedPeaksComeWithProgressFromTheLoudnessPassAndThenFromTheCache) {
    const QString wav = file("tone.wav");
    const int frames = 3 * 44100;
    ASSERT_TRUE(writeFile(wav, riff({fmt(), toneData(frames)})));
    const QString loudnessCache = file(QString::fromLatin1(kLoudnessCacheFile));

    std::shared_ptr<const Peaks> measured;
    {
        LoudnessService service(loudnessCache);
        QSignalSpy progress(&service, &LoudnessService::peaksProgress);
        QSignalSpy ready(&service, &LoudnessService::peaksReady);
        QSignalSpy loudness(&service, &LoudnessService::measured);
        service.requestPeaks(wav);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !ready.isEmpty(); }, 10000));
        measured = ready.first().at(1).value<std::shared_ptr<const Peaks>>();
        ASSERT_TRUE(measured);
        EXPECT_EQ(measured->totalFrames, frames);
        EXPECT_NEAR(measured->high.front(), 0.5, 0.01); // the tone's half scale
        ASSERT_FALSE(progress.isEmpty());
        EXPECT_DOUBLE_EQ(progress.last().at(1).toDouble(), 1.0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return service.known(wav).has_value(); }, 5000));
        EXPECT_TRUE(service.known(wav)->hasLoudness());
    }
    LoudnessService service(loudnessCache);
    QSignalSpy progress(&service, &LoudnessService::peaksProgress);
    QSignalSpy ready(&service, &LoudnessService::peaksReady);
    service.requestPeaks(wav);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ready.isEmpty(); }, 10000));
    EXPECT_EQ(*ready.first().at(1).value<std::shared_ptr<const Peaks>>(), *measured);
    EXPECT_TRUE(progress.isEmpty()); // from the cache: nothing decoded

    service.requestPeaks(file("gone.wav"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.size() == 2; }, 10000));
    EXPECT_FALSE(ready.last().at(1).value<std::shared_ptr<const Peaks>>());
}

// Right after a profile loads, the worker measures carts one by one; opening the marker editor
// must not wait for the file in hand to finish decoding.
TEST_F(PeaksTest, RequestedPeaksGoAheadOfABackgroundMeasurementWhichIsResumedNext) {
    const QString slow = file("long.wav");
    const QString wanted = file("wanted.wav");
    ASSERT_TRUE(writeFile(slow, riff({fmt(), toneData(4410)})));
    ASSERT_TRUE(writeFile(wanted, riff({fmt(), toneData(4410)})));
    const Peaks cached = rampPeaks(4410);
    ASSERT_TRUE(PeaksCache::open(cacheFile()).store(wanted, *stampOf(wanted), cached));

    std::atomic<int> slowStarts{0};
    LoudnessService service(file(QString::fromLatin1(kLoudnessCacheFile)),
                            [&](const QString& path,
                                const std::atomic<bool>& cancel) -> std::optional<audio::Loudness> {
                                // The first decode of the long file lasts until it is cancelled (or
                                // 20 s).
                                if (path == slow && slowStarts++ == 0) {
                                    for (int i = 0; i < 2000 && !cancel.load(); ++i) {
                                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                                    }
                                }
                                return audio::Loudness{};
                            });
    QSignalSpy ready(&service, &LoudnessService::peaksReady);
    QSignalSpy measured(&service, &LoudnessService::measured);
    service.measure(slow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return slowStarts.load() == 1; }, 5000));

    service.requestPeaks(wanted);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ready.isEmpty(); }, 3000));
    EXPECT_EQ(*ready.first().at(1).value<std::shared_ptr<const Peaks>>(), cached);
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.known(slow).has_value(); }, 5000));
    EXPECT_EQ(slowStarts.load(), 2);
}

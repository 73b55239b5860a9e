// The loudness worker and its cache file: answers on the user-interface thread, one
// measurement per file, a changed file measured again, a damaged cache rebuilt, and a
// measurement under way cancelled when the service goes.
#include "carts/loudness_cache.h"
#include "carts/loudness_service.h"
#include "config/text_file.h"
#include "core/path_bytes.h"
#include "support/qstring_print.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace carts;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class LoudnessServiceTest : public ::testing::Test {
protected:
    // QTemporaryDir cannot remove a file whose name is not UTF-8; the file system calls can.
    void TearDown() override { std::filesystem::remove_all(dir.path().toStdString()); }

    QString file(const QString& name) const { return QDir(dir.path()).filePath(name); }
    QString cacheFile() const { return file(QString::fromLatin1(kLoudnessCacheFile)); }

    // A meter that reads the loudness out of the file's first bytes ("-14.5"), counts its
    // calls and treats "broken" as a file it cannot decode.
    LoudnessService::Measure countingMeter() {
        return [this](const QString& path, const std::atomic<bool>&) {
            ++measurements;
            QFile f(path);
            const QByteArray text = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            bool ok = false;
            const double lufs = text.toDouble(&ok);
            return ok ? std::optional<audio::Loudness>({lufs, lufs + 10.0}) : std::nullopt;
        };
    }
    std::unique_ptr<LoudnessService> makeService() {
        return std::make_unique<LoudnessService>(cacheFile(), countingMeter());
    }
    // Queues the paths and waits until every one of them has its answer from this round.
    void measureAll(LoudnessService& service, const QStringList& paths) {
        QSignalSpy answers(&service, &LoudnessService::measured);
        for (const QString& p : paths) {
            service.measure(p);
        }
        const auto answered = [&](const QString& p) {
            return std::any_of(answers.cbegin(), answers.cend(),
                               [&](const QList<QVariant>& a) { return a.at(0).toString() == p; });
        };
        for (const QString& p : paths) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return answered(p); }, 5000)) << p.toStdString();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return service.idle(); }, 5000));
    }

    QTemporaryDir dir;
    std::atomic<int> measurements{0};
};

} // namespace

TEST_F(LoudnessServiceTest, AnswersOnTheInterfaceThreadOncePerFileAndAcrossRuns) {
    writeFile(file("loud.mp3"), "-9.5");
    writeFile(file("broken.mp3"), "broken");
    auto service = makeService();
    EXPECT_FALSE(service->known(file("loud.mp3")));
    QSignalSpy answers(service.get(), &LoudnessService::measured);
    service->measure(file("loud.mp3"));
    service->measure(file("loud.mp3")); // still waiting: not queued twice
    ASSERT_NO_FATAL_FAILURE(
        measureAll(*service, {file("loud.mp3"), file("broken.mp3"), file("gone.mp3")}));
    EXPECT_EQ(service->known(file("loud.mp3")), (audio::Loudness{-9.5, 0.5}));
    EXPECT_FALSE(service->known(file("broken.mp3"))->hasLoudness());
    EXPECT_FALSE(service->known(file("gone.mp3"))->hasLoudness());
    EXPECT_EQ(measurements, 2) << "the missing file is not measured";
    EXPECT_GE(answers.count(), 3);

    service = makeService(); // the next run answers from the cache file
    ASSERT_NO_FATAL_FAILURE(measureAll(*service, {file("loud.mp3"), file("broken.mp3")}));
    EXPECT_EQ(measurements, 2);
    EXPECT_EQ(service->known(file("loud.mp3")), (audio::Loudness{-9.5, 0.5}));
    EXPECT_FALSE(service->known(file("broken.mp3"))->hasLoudness());
}

TEST_F(LoudnessServiceTest, AChangedFileIsMeasuredAgain) {
    writeFile(file("spot.wav"), "-20.0");
    auto service = makeService();
    ASSERT_NO_FATAL_FAILURE(measureAll(*service, {file("spot.wav")}));
    writeFile(file("spot.wav"), "-12.25"); // another size
    ASSERT_NO_FATAL_FAILURE(measureAll(*service, {file("spot.wav")}));
    EXPECT_EQ(measurements, 2);
    EXPECT_EQ(service->known(file("spot.wav"))->integratedLufs, -12.25);

    writeFile(file("spot.wav"), "-12.50"); // same size, only the modification time differs
    QFile(file("spot.wav"))
        .setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
    service = makeService();
    ASSERT_NO_FATAL_FAILURE(measureAll(*service, {file("spot.wav")}));
    EXPECT_EQ(measurements, 3);
    EXPECT_EQ(service->known(file("spot.wav"))->integratedLufs, -12.5);
}

TEST_F(LoudnessServiceTest, ADamagedCacheIsIgnoredAndRebuilt) {
    writeFile(file("a.mp3"), "-16.0");
    const char binary[] = "\x00\xff\x13 not a cache";
    for (const QByteArray& damage :
         {QByteArray(binary, sizeof binary - 1), QByteArray("BANDORA-LOUDNESS 9\r\n"),
          QByteArray("BANDORA-LOUDNESS 1\r\n5\tx\t-16\t-6\t") + QFile::encodeName(file("a.mp3"))}) {
        writeFile(cacheFile(), damage);
        measurements = 0;
        auto service = makeService();
        ASSERT_NO_FATAL_FAILURE(measureAll(*service, {file("a.mp3")}));
        EXPECT_EQ(measurements, 1);
        EXPECT_EQ(service->known(file("a.mp3"))->integratedLufs, -16.0);
        service.reset();
        EXPECT_EQ(LoudnessCache::read(cacheFile()).size(), 1) << "rebuilt";
    }
}

// Any byte of a Linux file name survives the cache file, tabs, line ends and non-UTF-8 too;
// entries of files that are gone are left out when it is written.
TEST_F(LoudnessServiceTest, CacheKeepsEveryPathAndDropsFilesThatAreGone) {
    const QString odd = file(QStringLiteral("tab\there\r\nand \u00e9")) + QChar(0xDC80 + 0x7F);
    const int fd = ::open(core::encodePathBytes(odd).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    writeFile(file("silent.wav"), "");

    LoudnessCache cache;
    cache.store(odd, {5, 77}, {-20.0, -3.0});
    cache.store(file("gone.mp3"), {5, 78}, {-21.0, -4.0});
    cache.store(file("silent.wav"), {9, 79}, audio::Loudness{});
    ASSERT_TRUE(cache.write(cacheFile()));

    const LoudnessCache back = LoudnessCache::read(cacheFile());
    EXPECT_EQ(back.size(), 2);
    EXPECT_EQ(back.find(odd, {5, 77}), (audio::Loudness{-20.0, -3.0}));
    EXPECT_EQ(back.find(file("silent.wav"), {9, 79}), audio::Loudness{});
    EXPECT_FALSE(back.find(odd, {5, 78})) << "another stamp is another file";
    EXPECT_TRUE(config::readTextLines(cacheFile())->first() == u"BANDORA-LOUDNESS 1");
}

// The operator quits while a long file is measured: the worker stops at once, and nothing
// half-measured is stored.
TEST_F(LoudnessServiceTest, GoingAwayCancelsTheMeasurementUnderWay) {
    writeFile(file("long.mp3"), "-20");
    std::atomic<bool> started{false};
    auto service = std::make_unique<LoudnessService>(
        cacheFile(), [&](const QString&, const std::atomic<bool>& cancel) {
            started = true;
            while (!cancel.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return std::optional<audio::Loudness>({-20.0, -1.0});
        });
    service->measure(file("long.mp3"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 5000));
    const auto before = std::chrono::steady_clock::now();
    service.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    EXPECT_EQ(LoudnessCache::read(cacheFile()).size(), 0);
}

TEST(LoudnessHint, LoudnessAndGainOrWhyThereIsNone) {
    EXPECT_EQ(loudnessHintLine(audio::Loudness{-14.2, -0.3}, -23),
              QStringLiteral("Loudness: -14.2 LUFS, ganho -8.8 dB"));
    EXPECT_EQ(loudnessHintLine(audio::Loudness{-35.0, -8.0}, -23),
              QStringLiteral("Loudness: -35.0 LUFS, ganho +7.0 dB (limitado pelo pico)"));
    EXPECT_EQ(loudnessHintLine(audio::Loudness{-60.0, -50.0}, -23),
              QStringLiteral("Loudness: -60.0 LUFS, ganho +24.0 dB"));
    EXPECT_EQ(loudnessHintLine(audio::Loudness{}, -23),
              QStringLiteral("Loudness: sem medida, ganho 0.0 dB"));
    EXPECT_EQ(loudnessHintLine(std::nullopt, -23), QStringLiteral("Loudness: medindo..."));
}

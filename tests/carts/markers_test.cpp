// Markers of audio files: the cart chunk read and rewritten at its standard byte offsets with
// every other chunk kept byte for byte, hostile files, and the operator's markers file with
// its damaged lines and files that changed length.
#include "carts/cart_chunk.h"
#include "carts/marker_store.h"
#include "core/path_bytes.h"
#include "support/qstring_print.h"
#include "wav_bytes.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>

using namespace carts;
using namespace wavbytes;

namespace {

// The cart chunk's layout, counted from the start of its body.
constexpr int kTitle = 4;
constexpr int kArtist = 68;
constexpr int kTimers = 684;
constexpr int kTagText = 2048;

QByteArray cartBody(const QByteArray& title,
                    std::initializer_list<std::pair<const char*, quint32>> timers,
                    const QByteArray& tagText = {}) {
    QByteArray body(kTagText, '\0');
    body.replace(0, 4, "0101");
    body.replace(kTitle, title.size(), title);
    body.replace(kArtist, 6, "Artist");
    int slot = 0;
    for (const auto& [code, frame] : timers) {
        body.replace(kTimers + 8 * slot, 4, code);
        body.replace(kTimers + 8 * slot + 4, 4, u32(frame));
        ++slot;
    }
    return body + tagText;
}

// The body of the first chunk named `id` (found by walking the headers).
QByteArray chunkBody(const QByteArray& wav, const char* id) {
    qsizetype at = 12;
    while (at + 8 <= wav.size()) {
        const qsizetype size = qFromLittleEndian<quint32>(wav.constData() + at + 4);
        if (wav.mid(at, 4) == id) {
            return wav.mid(at + 8, size);
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

QByteArray timerAt(const QByteArray& cart, int slot) {
    return cart.mid(kTimers + 8 * slot, 8);
}

QByteArray timer(const char* code, quint32 frame) {
    return QByteArray(code, 4) + u32(frame);
}

class MarkersTest : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(dir.path().toStdString()); }
    QString file(const QString& name) const { return QDir(dir.path()).filePath(name); }
    QTemporaryDir dir;
};

const QByteArray kList = chunk("LIST", QByteArray("INFOISFT\x05\0\0\0odd!\0", 17)); // pad byte

} // namespace

TEST_F(MarkersTest, NewCartChunkAtItsOffsetsBeforeTheAudioOtherChunksUntouched) {
    const QString wav = file("plain.wav");
    const QByteArray data = toneData(100);
    ASSERT_TRUE(writeFile(wav, riff({fmt(), kList, data})));

    const Markers markers{1000, 90000, 22050, 80000};
    ASSERT_EQ(writeCartMarkers(wav, markers), std::nullopt);

    const QByteArray written = readFile(wav);
    EXPECT_EQ(qFromLittleEndian<quint32>(written.constData() + 4), written.size() - 8);
    // fmt, LIST (with its pad), the new cart chunk, then the audio exactly as before.
    EXPECT_EQ(written.mid(12, fmt().size() + kList.size()), fmt() + kList);
    EXPECT_TRUE(written.endsWith(data));
    const QByteArray cart = chunkBody(written, "cart");
    ASSERT_EQ(cart.size(), 2048);
    EXPECT_EQ(cart.left(4), "0101");
    EXPECT_EQ(timerAt(cart, 0), timer("AUDs", 1000));
    EXPECT_EQ(timerAt(cart, 1), timer("AUDe", 90000));
    EXPECT_EQ(timerAt(cart, 2), timer("INTe", 22050));
    EXPECT_EQ(timerAt(cart, 3), timer("SEGs", 80000));
    EXPECT_EQ(timerAt(cart, 4), QByteArray(8, '\0'));
    EXPECT_EQ(readCartChunk(wav)->markers, markers);
    EXPECT_TRUE(isWaveFile(wav));
}

TEST_F(MarkersTest, ExistingChunkReadByEveryCodeAndRewrittenInPlace) {
    const QString wav = file("cart.wav");
    // "INT " comes first of the intro codes and wins; the foreign OUTs timer stays.
    const QByteArray tag = "CR/LF tag text\r\n!"; // odd: the chunk has a pad byte
    const QByteArray body =
        cartBody("Title \xc3\xa9",
                 {{"OUTs", 5}, {"INT ", 300}, {"INTe", 400}, {"SEC1", 700}, {"AUDs", 10}}, tag);
    const QByteArray data = toneData(50);
    ASSERT_TRUE(writeFile(wav, riff({fmt(), chunk("cart", body), data})));

    const std::optional<CartChunk> read = readCartChunk(wav);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->title, QStringLiteral("Title é"));
    EXPECT_EQ(read->artist, QStringLiteral("Artist"));
    EXPECT_EQ(read->markers, (Markers{10, std::nullopt, 300, 700}));

    ASSERT_EQ(writeCartMarkers(wav, Markers{20, 600, std::nullopt, std::nullopt}), std::nullopt);
    const QByteArray written = readFile(wav);
    const QByteArray cart = chunkBody(written, "cart");
    ASSERT_EQ(cart.size(), body.size());
    EXPECT_EQ(cart.left(kTimers), body.left(kTimers));         // version, texts, level
    EXPECT_EQ(cart.mid(kTimers + 64), body.mid(kTimers + 64)); // reserved, URL, tag text
    EXPECT_EQ(timerAt(cart, 0), timer("AUDs", 20));
    EXPECT_EQ(timerAt(cart, 1), timer("AUDe", 600));
    EXPECT_EQ(timerAt(cart, 2), timer("OUTs", 5));
    EXPECT_EQ(timerAt(cart, 3), QByteArray(8, '\0'));
    EXPECT_EQ(written.size(), riff({fmt(), chunk("cart", body), data}).size());
    EXPECT_TRUE(written.endsWith(data));
}

TEST_F(MarkersTest, DamagedAndForeignFilesGiveNothingAndAreNeverHarmed) {
    const QByteArray good =
        riff({fmt(), chunk("cart", cartBody("T", {{"AUDs", 7}})), toneData(10)});
    // The sizes of the file lie: a chunk longer than the file, a RIFF size of 4 GB.
    QByteArray huge = good;
    huge.replace(12 + 4, 4, u32(0xfffffff0));
    QByteArray riffLie = good;
    riffLie.replace(4, 4, u32(0xffffffff));
    EXPECT_EQ(parseCartChunk(huge), std::nullopt); // the cart chunk is never reached
    EXPECT_EQ(parseCartChunk(riffLie)->markers.cueIn, 7);
    for (qsizetype cut = 0; cut < good.size(); cut += 97) {
        (void)parseCartChunk(good.left(cut)); // must merely not crash nor over-read
    }
    EXPECT_EQ(parseCartChunk(QByteArray("ID3\x04 not a wave at all")), std::nullopt);

    const QString mp3 = file("song.mp3");
    ASSERT_TRUE(writeFile(mp3, "ID3\x04 not a wave at all"));
    EXPECT_FALSE(isWaveFile(mp3));
    const std::optional<QString> refused = writeCartMarkers(mp3, Markers{1, {}, {}, {}});
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->contains(QStringLiteral("song.mp3")));
    EXPECT_EQ(readFile(mp3), "ID3\x04 not a wave at all");

    // Audio cut short: its header claims more than is there; all of it is kept.
    const QString cut = file("cut.wav");
    const QByteArray cutAudio = "data" + u32(100000) + QByteArray(64, 'a');
    ASSERT_TRUE(writeFile(cut, riff({fmt()}) + cutAudio));
    ASSERT_EQ(writeCartMarkers(cut, Markers{3, {}, {}, {}}), std::nullopt);
    EXPECT_TRUE(readFile(cut).endsWith(cutAudio));
    EXPECT_EQ(readCartChunk(cut)->markers.cueIn, 3);

    const QByteArray before = readFile(cut);
    EXPECT_TRUE(writeCartMarkers(cut, Markers{std::int64_t{1} << 33, {}, {}, {}}));
    EXPECT_EQ(readFile(cut), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no leftovers
}

TEST_F(MarkersTest, StoreKeepsAnyPathAndTheOperatorsMarkersComeBeforeTheFiles) {
    const QString wav = file("cart.wav");
    ASSERT_TRUE(
        writeFile(wav, riff({fmt(), chunk("cart", cartBody("T", {{"SEGs", 9}})), toneData(10)})));
    const QString odd =
        core::decodePathBytes(QByteArray("/m\xfasica/a|b=c\t%20 \xc3\xa7\xc3\xa3o.mp3"));

    MarkerStore store;
    EXPECT_EQ(store.load(dir.path()), QString());
    EXPECT_EQ(store.effectiveMarkers(wav).source, MarkersSource::CartChunk);
    EXPECT_EQ(store.effectiveMarkers(wav).markers.segueStart, 9);
    EXPECT_EQ(store.effectiveMarkers(file("none.mp3")).source, MarkersSource::None);

    EXPECT_EQ(store.set(odd, Markers{1, 2, {}, {}}, 100), QString());
    EXPECT_EQ(store.set(wav, Markers{{}, 5, {}, {}}), QString());
    MarkerStore again;
    EXPECT_EQ(again.load(dir.path()), QString());
    EXPECT_EQ(again.markersFor(odd), (Markers{1, 2, {}, {}}));
    EXPECT_EQ(again.effectiveMarkers(wav).source, MarkersSource::Operator);
    EXPECT_EQ(again.effectiveMarkers(wav).markers, (Markers{{}, 5, {}, {}}));
    EXPECT_EQ(again.clear(wav), QString());
    EXPECT_EQ(again.effectiveMarkers(wav).source, MarkersSource::CartChunk);
}

TEST_F(MarkersTest, DamagedLinesAreSetAsideOnceAndReadableOnesKept) {
    const QString ini = file(QString::fromLatin1(kMarkersFile));
    const QByteArray damaged = "garbage line\n"
                               "-\t10\t5\t-\t-\t/cue/after/out.wav\n"
                               "-\tx\t-\t-\t-\t/not/a/number.wav\n"
                               "-\t1\t-\t-\t-\t/bad/utf8/\xff\xfe\n";
    ASSERT_TRUE(writeFile(ini, "BANDORA-MARKS 1\n-\t1\t2\t3\t4\t/good/one.wav\r\n" + damaged +
                                   "100\t-\t-\t-\t50\t/good/two.wav\n"));
    MarkerStore store;
    const QString message = store.load(dir.path());
    EXPECT_TRUE(message.contains(QStringLiteral("4 linha(s)"))) << message.toStdString();
    EXPECT_EQ(store.markersFor(QStringLiteral("/good/one.wav")), (Markers{1, 2, 3, 4}));
    EXPECT_EQ(store.markersFor(QStringLiteral("/good/two.wav"))->segueStart, 50);

    const QStringList aside =
        QDir(dir.path()).entryList({QStringLiteral("bandoramarks.damaged-*.ini")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(message.contains(aside.first()));
    EXPECT_EQ(readFile(file(aside.first())), damaged);

    MarkerStore again;
    EXPECT_EQ(again.load(dir.path()), QString());
    EXPECT_EQ(again.markersFor(QStringLiteral("/good/one.wav")), (Markers{1, 2, 3, 4}));
}

TEST_F(MarkersTest, AFileThatChangedLengthLosesOnlyMarkersPastItsEndAndIsToldOnce) {
    MarkerStore store;
    store.load(dir.path());
    const QString path = QStringLiteral("/audio/edit.wav");
    ASSERT_EQ(store.set(path, Markers{100, 9000, 500, 8000}, 10000), QString());

    EXPECT_EQ(store.reconcile(path, 10000), QString());
    const QString shorter = store.reconcile(path, 8500);
    EXPECT_TRUE(shorter.contains(QStringLiteral("edit.wav"))) << shorter.toStdString();
    EXPECT_TRUE(shorter.contains(QStringLiteral("1 marca(s)"))) << shorter.toStdString();
    EXPECT_EQ(store.reconcile(path, 8500), QString());

    MarkerStore again;
    again.load(dir.path());
    EXPECT_EQ(again.markersFor(path), (Markers{100, std::nullopt, 500, 8000}));
    EXPECT_EQ(again.reconcile(path, 8500), QString());
    EXPECT_FALSE(again.reconcile(path, 20000).isEmpty()); // longer: kept, but said
    EXPECT_EQ(again.markersFor(path), (Markers{100, std::nullopt, 500, 8000}));
}

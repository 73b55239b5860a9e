// Profile files on disk: the bytes a saved and a new wall give, reading back every field, the
// "|" cases, damaged files, the list of the folder, and a full disk.
#include "carts/profile_folder.h"
#include "carts/profile_format.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace carts;

namespace {

class ProfileFiles : public ::testing::Test {
protected:
    QByteArray bytesOf(const QString& fileName) const {
        QFile f(dir.filePath(fileName));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void writeBytes(const QString& fileName, const QByteArray& bytes) const {
        QFile f(dir.filePath(fileName));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Lines 2..96 of a saved wall whose carts were never touched.
    static QByteArray untouchedLinesFrom(int first) {
        QByteArray out;
        for (int n = first; n <= kCartCount; ++n) {
            out += "|" + QByteArray::number(n).rightJustified(3, '0') + "||||||||\r\n";
        }
        return out;
    }

    QTemporaryDir dir;
    ProfileFolder folder{dir.path()};
};

Cart cart(QString name, QString path) {
    Cart c;
    c.reset();
    c.name = std::move(name);
    c.path = std::move(path);
    return c;
}

const FileCheck noFiles = [](const QString&) { return false; };

} // namespace

TEST_F(ProfileFiles, SavedWallIsWrittenByteForByte) {
    CartTable table;
    table[2].reset();
    table[3] = cart(QStringLiteral("CANÇÃO"), QStringLiteral("/música/canção.mp3"));
    table[3].setFaceColour({65280});
    table[3].setDurationMs(183000);
    ASSERT_TRUE(folder.write(QStringLiteral("SHOW"), profileLines(table)));

    const QByteArray expected =
        "|001||||||||\r\n"
        "|002|||9818331|0|0|0|0|\r\n"
        "|003|CAN\xC7\xC3O|/m\xFAsica/can\xE7\xE3o.mp3|65280|0|0|0|183000|\r\n" +
        untouchedLinesFrom(4);
    EXPECT_EQ(bytesOf(QStringLiteral("SHOW.PFL")), expected);
}

TEST_F(ProfileFiles, NewProfileIsNinetySixBlankLinesThatReadAsEmptyCarts) {
    ASSERT_TRUE(folder.write(QStringLiteral("NOVO"), blankProfileLines()));
    const QByteArray bytes = bytesOf(QStringLiteral("NOVO.PFL"));
    EXPECT_TRUE(bytes.startsWith("001#$$%%%\r\n002#$$%%%\r\n"));
    EXPECT_TRUE(bytes.endsWith("095#$$%%%\r\n096#$$%%%\r\n"));
    EXPECT_EQ(bytes.size(), 96 * 11);

    const std::optional<CartTable> read = folder.read(QStringLiteral("NOVO"));
    ASSERT_TRUE(read);
    for (int n = 1; n <= kCartCount; ++n) {
        EXPECT_EQ((*read)[n], Cart{}) << n;
    }
}

TEST_F(ProfileFiles, EveryFieldReadsBackAsWritten) {
    CartTable table;
    for (int n = 1; n <= kCartCount; ++n) {
        table[n] = Cart{QStringLiteral("CART %1").arg(n),
                        QStringLiteral("/a/%1.wav").arg(n),
                        QString::number(n * 1000),
                        QStringLiteral("1"),
                        QString::number(n % 2),
                        QStringLiteral("255"),
                        QString::number(n * 7)};
    }
    // Text that is not a number is kept as it is, a Windows path too.
    table[7] = Cart{QStringLiteral("VINHETA"), QStringLiteral("C:\\AUDIO\\x.mp3"),
                    QStringLiteral("abc"),     QString(),
                    QStringLiteral("x"),       QStringLiteral("-1"),
                    QStringLiteral("12 ms")};
    table[8] = Cart{};
    ASSERT_TRUE(folder.write(QStringLiteral("ALL"), profileLines(table)));
    const std::optional<CartTable> read = folder.read(QStringLiteral("ALL"));
    ASSERT_TRUE(read);
    for (int n = 1; n <= kCartCount; ++n) {
        EXPECT_EQ((*read)[n], table[n]) << n;
    }
}

TEST_F(ProfileFiles, BarInTheNameOrThePathReadsBackUnchanged) {
    CartTable table;
    table[1] = cart(QStringLiteral("AC|DC"), QStringLiteral("/music/acdc.mp3"));  // renamed
    table[2] = cart(QStringLiteral("A|B.MP3"), QStringLiteral("/music/a|b.mp3")); // from its file
    table[3] = cart(QStringLiteral("X.MP3"), QStringLiteral("/odd|/x.mp3"));
    table[4] = cart(QStringLiteral("A|B"), QString());
    table[5] = cart(QStringLiteral("ONDA"), QStringLiteral("/x|/on.wav")); // renamed
    table[6] = cart(QStringLiteral("A|/B"), QStringLiteral("/x/y.mp3"));   // renamed
    const QStringList lines = profileLines(table);
    EXPECT_EQ(lines[0], QStringLiteral("|001|AC|DC|/music/acdc.mp3|9818331|0|0|0|0|"));

    const CartTable read = readProfileLines(lines, noFiles);
    for (int n : {1, 2, 3, 4, 6}) {
        EXPECT_EQ(read[n], table[n]) << n;
    }
    // "ONDA|/x" + "/on.wav" would read as well as "ONDA" + "/x|/on.wav": the disk tells.
    const QString onDisk = QStringLiteral("/x|/on.wav");
    const CartTable checked =
        readProfileLines(lines, [&](const QString& path) { return path == onDisk; });
    EXPECT_EQ(checked[5], table[5]);
}

TEST_F(ProfileFiles, DamagedFilesLoadTheLinesTheyHold) {
    // Out of order, a line of no known form, a number beyond the wall, a short line, junk.
    const QStringList lines = {
        QStringLiteral("|040|QUARENTA|/a/40.mp3|1|1|0|0|4000|"),
        QStringLiteral("nonsense"),
        QStringLiteral("|002|DOIS|/a/2.mp3|1|1|0|0|2000|"),
        QStringLiteral("|097|FORA|/a/97.mp3|1|1|0|0|1|"),
        QStringLiteral("|000|ZERO|/a/0.mp3|1|1|0|0|1|"),
        QStringLiteral("|003|CURTA|/a/3.mp3|1|"),
        QStringLiteral("|002|OUTRO DOIS|/a/2b.mp3|1|1|0|0|1|"),
        QStringLiteral("005#$$%%%"),
        QString(),
    };
    const CartTable read = readProfileLines(lines, noFiles);
    EXPECT_EQ(read[40].name, QStringLiteral("QUARENTA"));
    EXPECT_EQ(read[2].name, QStringLiteral("DOIS")); // the first line naming a cart wins
    EXPECT_EQ(read[3], Cart{});
    EXPECT_EQ(read[1], Cart{});
    EXPECT_EQ(read[96], Cart{});

    // Binary data, UTF-8 with LF lines, far more than 96 lines: no crash, what is there loads.
    QByteArray binary;
    for (int i = 0; i < 5000; ++i) {
        binary += char((i * 37 + 11) % 256);
    }
    writeBytes(QStringLiteral("BIN.PFL"), binary + "\n|009|NOVE|/a/9.mp3|1|1|0|0|9|\n" + binary);
    const std::optional<CartTable> binaryRead = folder.read(QStringLiteral("BIN"));
    ASSERT_TRUE(binaryRead);
    EXPECT_EQ((*binaryRead)[9].name, QStringLiteral("NOVE"));

    QByteArray many = "|001|CANÇÃO|/música/a.mp3|1|1|0|0|1|\n";
    for (int i = 0; i < 300; ++i) {
        many += "|050|X|/y|1|1|0|0|1|\n";
    }
    writeBytes(QStringLiteral("MANY.PFL"), many);
    const std::optional<CartTable> manyRead = folder.read(QStringLiteral("MANY"));
    ASSERT_TRUE(manyRead);
    EXPECT_EQ((*manyRead)[1].name, QStringLiteral("CANÇÃO"));
    EXPECT_EQ((*manyRead)[1].path, QStringLiteral("/música/a.mp3"));
    EXPECT_EQ((*manyRead)[50].name, QStringLiteral("X"));
}

TEST_F(ProfileFiles, FileThatCannotBeReadGivesNothing) {
    EXPECT_FALSE(folder.read(QStringLiteral("MISSING")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("FOLDER.PFL")));
    EXPECT_FALSE(folder.read(QStringLiteral("FOLDER")));
}

TEST_F(ProfileFiles, ListIsSortedWithoutRegardToCaseAndMatchesNamesToFiles) {
    for (const char* name : {"beta.PFL", "Alpha.PFL", "show.pfl", "ZULU.PFL", "notes.txt"}) {
        writeBytes(QString::fromLatin1(name), "001#$$%%%\r\n");
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("DIR.PFL")));
    EXPECT_EQ(folder.names(), (QStringList{"Alpha", "beta", "show", "ZULU"}));

    // "show" reaches show.pfl for every command, instead of a second file beside it.
    EXPECT_TRUE(folder.exists(QStringLiteral("show")));
    ASSERT_TRUE(folder.write(QStringLiteral("show"), profileLines(CartTable{})));
    EXPECT_TRUE(bytesOf(QStringLiteral("show.pfl")).startsWith("|001|"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("show.PFL"))));
    EXPECT_TRUE(folder.remove(QStringLiteral("show")));
    EXPECT_EQ(folder.names(), (QStringList{"Alpha", "beta", "ZULU"}));
}

TEST_F(ProfileFiles, NamesThatAreNoFileNameAreRefused) {
    for (const char* bad : {"", "   ", ".", "..", " .. ", "A/B", "A\\B", "/"}) {
        EXPECT_FALSE(ProfileFolder::isValidName(QString::fromLatin1(bad))) << bad;
    }
    for (const char* good : {"SHOW", "MANHÃ 2", "A.B", "..."}) {
        EXPECT_TRUE(ProfileFolder::isValidName(QString::fromUtf8(good))) << good;
    }
}

TEST_F(ProfileFiles, FullDiskLeavesTheOldProfileIntact) {
    CartTable table;
    table[1] = cart(QStringLiteral("OLD"), QStringLiteral("/a/old.mp3"));
    ASSERT_TRUE(folder.write(QStringLiteral("SHOW"), profileLines(table)));
    const QByteArray before = bytesOf(QStringLiteral("SHOW.PFL"));

    table[1].name = QStringLiteral("NEW");
    {
        FileSizeLimit diskFull(100);
        EXPECT_FALSE(folder.write(QStringLiteral("SHOW"), profileLines(table)));
    }
    EXPECT_EQ(bytesOf(QStringLiteral("SHOW.PFL")), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"SHOW.PFL"});
}

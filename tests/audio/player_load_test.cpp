// Devices, loading files and URLs, unloading, and every failure message, on the scripted layer.
#include "audio/player_fixture.h"

#include <QFile>
#include <QTemporaryDir>

#include <vector>

namespace audio::testing {
namespace {

using Icon = core::MessageSink::Icon;

TEST_F(PlayerTest, WmaAnywhereInThePathOpensThroughTheWmaReader) {
    load(1000, "C:\\A.WMA\\B.MP3");
    EXPECT_TRUE(sound.creations().back().wma);
    EXPECT_EQ(player->shortName(), "B.MP3");
    EXPECT_EQ(player->fileName(), "C:\\A.WMA\\B.MP3");
    load(1000, "/music/song.wma");
    EXPECT_TRUE(sound.creations().back().wma);
    load(1000, "/music/song.mp3");
    EXPECT_FALSE(sound.creations().back().wma);
}

TEST_F(PlayerTest, UrlStartsPlayingAtOnce) {
    const QString url = QStringLiteral("http://radio.example/live");
    sound.addMedia(url.toStdString(), {.lengthMs = 3600000});
    player->load(url);
    EXPECT_TRUE(sound.creations().back().wma);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(channel().state, kChannelPlaying);
    EXPECT_EQ(player->shortName(), url);
    EXPECT_EQ(player->fileName(), url);
    EXPECT_TRUE(player->timer()->enabled());
    EXPECT_GE(sound.updateCalls(), 1);
}

// The message names why the stream could not be created, not the failed attribute read after it.
TEST_F(PlayerTest, UrlThatCannotBeOpenedLeavesThePlayerEmpty) {
    const QString url = QStringLiteral("mms://radio.example/live");
    sound.failCreate(url.toStdString(), kErrNoNet);
    player->load(url);
    EXPECT_TRUE(player->isEmpty());
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral("Erro ao Carregar URL - Cod:BS32 - Não foi encontrato "
                                         "conexão de Internet\rmms://radio.example/live")});
}

TEST_F(PlayerTest, FileIsOpenedAgainWithSoftwareMixingAfterAFailure) {
    sound.failCreate(kTone.toStdString(), kErrFormat, 1);
    load();
    ASSERT_EQ(sound.creations().size(), 2u);
    EXPECT_EQ(sound.creations()[0].flags, 0u);
    EXPECT_EQ(sound.creations()[1].flags, kStreamSoftwareMix);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PlayerTest, FileThatCannotBeOpenedShowsItsPathAndError) {
    player->load("/media/missing.mp3");
    EXPECT_TRUE(player->isEmpty());
    EXPECT_EQ(sound.creations().size(), 2u);
    EXPECT_EQ(player->fileName(), "/media/missing.mp3");
    EXPECT_EQ(player->shortName(), "missing.mp3");
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral(
                                  "ERRO AO CARREGAR CANAL:\r\rArquivo: /media/missing.mp3\r\r"
                                  "Erro Cod:BS2 - Erro ao Abrir Arquivo")});
    EXPECT_EQ(messages.icons[0], Icon::None);
    EXPECT_TRUE(messages.titles[0].isEmpty());
}

TEST_F(PlayerTest, EightBitFilesAreRefusedAndMonoSixteenBitLoads) {
    sound.addMedia("/media/8bit.wav", {.chans = 1, .eightBit = true});
    player->load("/media/8bit.wav");
    EXPECT_TRUE(player->isEmpty());
    EXPECT_EQ(sound.liveChannels(), 0u);
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral(
                                  "Erro ao Ler arquivo:/media/8bit.wav Dados <> 16-bits stereo")});

    sound.addMedia("/media/mono.wav", {.chans = 1});
    player->load("/media/mono.wav");
    EXPECT_TRUE(player->loaded());
    EXPECT_EQ(static_cast<std::size_t>(messages.shown.size()), 1u);
}

TEST_F(PlayerTest, NoHandleWithoutAnErrorLeavesThePlayerEmptyAndSilent) {
    sound.giveNullHandle("/media/odd.mp3");
    player->load("/media/odd.mp3");
    EXPECT_TRUE(player->isEmpty());
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PlayerTest, LoadingOverAPlayingFileStopsItFirst) {
    load(5000, "/media/first.mp3");
    const StreamHandle first = player->channel();
    player->play();
    load(5000, "/media/second.mp3");
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(sound.channel(first), nullptr);
    EXPECT_FALSE(player->playing());
    EXPECT_FALSE(player->timer()->enabled());
}

TEST_F(PlayerTest, LostHandleIsReopenedAndStartedOnce) {
    load();
    sound.failPlaysWithInvalidHandle(1);
    player->play();
    EXPECT_EQ(sound.creations().size(), 2u);
    EXPECT_EQ(sound.playCalls(), 2);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(channel().state, kChannelPlaying);

    player->stop();
    sound.failPlaysWithInvalidHandle(5);
    player->play();
    EXPECT_EQ(sound.playCalls(), 4); // one retry only
}

TEST_F(PlayerTest, LostHandleWhoseFileIsGoneEndsEmptyWithTheLoadMessage) {
    load();
    sound.failPlaysWithInvalidHandle(1);
    sound.failCreate(kTone.toStdString(), kErrFileOpen);
    player->play();
    EXPECT_TRUE(player->isEmpty());
    EXPECT_FALSE(player->playing());
    EXPECT_FALSE(player->timer()->enabled());
    ASSERT_EQ(static_cast<std::size_t>(messages.shown.size()), 1u);
    EXPECT_TRUE(messages.shown[0].startsWith("ERRO AO CARREGAR CANAL:"));
}

TEST_F(PlayerTest, UnloadFreesTheStreamWithoutAnEvent) {
    load();
    player->play();
    player->unload();
    EXPECT_TRUE(player->isEmpty());
    EXPECT_EQ(player->channel(), 0u);
    EXPECT_EQ(sound.liveChannels(), 0u);
    EXPECT_EQ(stops, 0);
    EXPECT_FALSE(player->timer()->enabled());
}

TEST_F(PlayerTest, UnloadThatNeedsASecondFreeFiresOnStop) {
    load();
    sound.failFrees(1);
    player->unload();
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(player->isEmpty());

    load();
    sound.failFrees(2);
    player->unload();
    EXPECT_EQ(stops, 2);
    EXPECT_TRUE(player->loaded()); // still open: the sound layer kept it
}

TEST_F(PlayerTest, DestroyingFreesTheStreamWithoutOnStop) {
    load();
    player->play();
    player.reset();
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(sound.liveChannels(), 0u);
}

TEST_F(PlayerTest, OneDeviceInitialisationForManyPlayers) {
    std::vector<std::unique_ptr<CartPlayer>> players;
    for (int i = 0; i < 96; ++i) {
        players.push_back(makePlayer(kDevice));
    }
    EXPECT_EQ(sound.initCalls(kDevice), 1);
    EXPECT_EQ(context.openedDevices, QList<int>{kDevice});
    EXPECT_EQ(players.back()->deviceName(), "Default output");
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PlayerTest, InitDeviceAfterALoadChangesNothing) {
    load();
    player->initDevice(3, true, nullptr);
    EXPECT_EQ(player->device(), kDevice);
    EXPECT_EQ(sound.initCalls(3), 0);
    EXPECT_EQ(player->tagReader(), nullptr);
}

// 96 cart players and the spare player on a device that cannot be opened: one message, which
// names the device's role, and no further attempt.
TEST_F(PlayerTest, DeviceThatFailsIsReportedOnceWithItsRole) {
    sound.failInit(7, kErrDevice);
    context.addDeviceRole(7, QStringLiteral("Device Transmissão"));
    std::vector<std::unique_ptr<CartPlayer>> players;
    for (int i = 0; i < 97; ++i) {
        players.push_back(makePlayer(7));
    }
    EXPECT_EQ(sound.initCalls(7), 1);
    EXPECT_FALSE(context.openedDevices.contains(7));
    EXPECT_EQ(players.back()->device(), 7);
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Inicialização da Device com Problemas\r"
                                                         "Device Transmissão: Cod:BS23 - Número "
                                                         "inválido para Device")});
}

// The stream must not land on the device selected before (here device 1, which works): the
// load fails with the failing device's own text, every time, and nothing is created.
TEST_F(PlayerTest, LoadOnADeviceThatDidNotOpenFailsWithThatDevicesText) {
    load(); // device 1 works and was selected last
    const std::size_t created = sound.creations().size();
    sound.failInit(2, kErrDevice);
    context.addDeviceRole(2, QStringLiteral("Device Escuta (Cue)"));
    auto cue = makePlayer(2);
    messages.shown.clear();
    sound.addMedia("/media/cue.mp3", {});
    for (int click = 0; click < 2; ++click) {
        cue->load("/media/cue.mp3");
        cue->play();
    }
    EXPECT_TRUE(cue->isEmpty());
    EXPECT_FALSE(cue->isPlaying());
    EXPECT_EQ(sound.creations().size(), created);
    const QString text = QStringLiteral("Inicialização da Device com Problemas\rDevice Escuta "
                                        "(Cue): Cod:BS23 - Número inválido para Device");
    EXPECT_EQ(messages.shown, (QStringList{text, text}));
}

// The sound server went away under a loaded player: play says so instead of doing nothing,
// the player stays off air, and once the device is back the same stream plays.
TEST_F(PlayerTest, PlayWhileTheDeviceIsGoneShowsItsTextAndStaysOffAir) {
    context.addDeviceRole(kDevice, QStringLiteral("Device Transmissão"));
    load();
    player->play();
    sound.loseDevice(kDevice);
    tick();
    EXPECT_FALSE(player->isPlaying()) << "the cart on air ended";
    EXPECT_EQ(stops, 1);

    player->play();
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->timer()->enabled());
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Inicialização da Device com Problemas"
                                                         "\rDevice Transmissão: Cod:BS9 - Erro "
                                                         "no Start")});
    player->load(kTone);
    EXPECT_TRUE(player->isEmpty()) << "no new stream on a device that is gone";
    EXPECT_EQ(messages.shown.size(), 2);

    sound.restoreDevice(kDevice);
    load();
    player->play();
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(channel().state, kChannelPlaying);
    EXPECT_EQ(messages.shown.size(), 2);
}

TEST_F(PlayerTest, WrongVersionAsksToTerminateAndStillOpensTheDevice) {
    sound.setVersion(0x02040000);
    auto p = makePlayer(2);
    ASSERT_EQ(static_cast<std::size_t>(messages.shown.size()), 1u);
    EXPECT_EQ(messages.shown[0], QStringLiteral("Versão incorreta ZEMBS.DLL"));
    EXPECT_EQ(messages.titles[0], QStringLiteral("Incorreta ZEMBS.DLL"));
    EXPECT_EQ(messages.icons[0], Icon::Error);
    EXPECT_EQ(terminateRequests, 1);
    EXPECT_TRUE(context.openedDevices.contains(2));
}

TEST_F(PlayerTest, DeviceListCountsAtMostTenNamedDevices) {
    for (int device = 1; device <= 11; ++device) {
        sound.setDescription(device, "Sink " + std::to_string(device));
    }
    EXPECT_EQ(player->deviceCount(), 10);
    sound.setDescription(3, "   ");
    sound.setDescription(4, std::nullopt);
    EXPECT_EQ(player->deviceCount(), 8);
    EXPECT_EQ(player->deviceNameOf(5), "Sink 5");
    EXPECT_EQ(player->deviceNameOf(4), "");
}

TEST_F(PlayerTest, TagIsReadWhenAskedAndAnUnreadableTagDoesNotStopTheLoad) {
    auto tagged = std::make_unique<CartPlayer>(context);
    tagged->initDevice(kDevice, true, nullptr);
    ASSERT_NE(tagged->tagReader(), nullptr);

    QTemporaryDir dir;
    const QString path = dir.filePath("tagged.mp3");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray block(128, '\0');
    block.replace(0, 8, "TAGTitle");
    file.write(QByteArray(1000, 'x') + block);
    file.close();
    sound.addMedia(path.toStdString(), {});
    tagged->load(path);
    EXPECT_TRUE(tagged->loaded());
    EXPECT_EQ(tagged->tagReader()->title, "Title");

    // The sound layer can open this one, but it is not a readable file here.
    sound.addMedia("/nowhere/stream.mp3", {});
    tagged->load("/nowhere/stream.mp3");
    EXPECT_TRUE(tagged->loaded());
    EXPECT_FALSE(tagged->tagReader()->exists);
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace
} // namespace audio::testing

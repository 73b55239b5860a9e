// Devices, loading files and URLs, unloading, and every failure message.
#include "audio/player_fixture.h"

#include <QFile>

#include <atomic>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace audio::testing {
namespace {

using Icon = core::MessageSink::Icon;
using engine::EngineError;

// Answers every HTTP request on a local port with the same body, on a thread of its own (the
// player opens a URL on the calling thread). With `sendOnly`, it sends that many bytes of the
// body and then nothing more, holding the connection open, as a stream that stopped.
class OneFileServer {
public:
    explicit OneFileServer(std::string body, std::size_t sendOnly = std::string::npos)
        : body_(std::move(body)), sendOnly_(sendOnly) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(listener_, 4);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~OneFileServer() {
        running_ = false;
        thread_.join();
        ::close(listener_);
    }
    QString url(const QString& name) const {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(port_).arg(name);
    }

private:
    void serve() {
        while (running_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 20) > 0) {
                answer(::accept(listener_, nullptr, nullptr));
            }
        }
    }
    void answer(int client) {
        std::string request;
        char chunk[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = ::read(client, chunk, sizeof chunk);
            if (got <= 0) {
                break;
            }
            request.append(chunk, static_cast<std::size_t>(got));
        }
        const std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: audio/wav\r\nContent-Length: " +
                                  std::to_string(body_.size()) + "\r\n\r\n" +
                                  body_.substr(0, sendOnly_);
        for (std::size_t sent = 0; sent < reply.size();) {
            const ssize_t n =
                ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
        while (sendOnly_ != std::string::npos && running_) {
            pollfd idle{client, POLLIN, 0};
            ::poll(&idle, 1, 20);
        }
        ::close(client);
    }

    std::string body_;
    std::size_t sendOnly_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> running_{true};
    std::thread thread_;
};

TEST_F(PlayerTest, UrlStartsPlayingAtOnce) {
    OneFileServer server(enginetest::readBytes(tone("live.wav", 3000).toStdString()));
    const QString url = server.url(QStringLiteral("live"));
    player->load(url);
    ASSERT_TRUE(player->loaded()) << messages.shown.join('|').toStdString();
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(player->shortName(), url);
    EXPECT_EQ(player->fileName(), url);
    render(200);
    EXPECT_EQ(player->positionMs(), 200u);
}

// The decoder gets nothing more: once the buffer has played out, the play ends as a stop ends
// it.
TEST_F(PlayerTest, StreamThatStopsDeliveringEndsThePlay) {
    const std::string wav = enginetest::readBytes(tone("live.wav", 10000).toStdString());
    OneFileServer server(wav, wav.size() / 10); // one second
    player->load(server.url(QStringLiteral("live")));
    ASSERT_TRUE(player->isPlaying()) << messages.shown.join('|').toStdString();
    clock.devices->sink(kDevice).render(kRate * 3);
    clock.engine->dispatchEvents();
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(player->isPlaying());
}

TEST_F(PlayerTest, UrlThatCannotBeReachedLeavesThePlayerEmpty) {
    const QString url = QStringLiteral("http://127.0.0.1:9/live");
    player->load(url);
    EXPECT_TRUE(player->isEmpty());
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral("Erro ao Carregar URL - Cod:BS32 - Não foi encontrato "
                                         "conexão de Internet\rhttp://127.0.0.1:9/live")});
}

TEST_F(PlayerTest, FileThatCannotBeOpenedShowsItsPathAndError) {
    const QString missing = QString::fromStdString(dir.path("missing.mp3").string());
    player->load(missing);
    EXPECT_TRUE(player->isEmpty());
    EXPECT_EQ(player->fileName(), missing);
    EXPECT_EQ(player->shortName(), "missing.mp3");
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral("ERRO AO CARREGAR CANAL:\r\rArquivo: ") + missing +
                          QStringLiteral("\r\rErro Cod:BS2 - Erro ao Abrir Arquivo")});
    EXPECT_EQ(messages.icons[0], Icon::None);
    EXPECT_TRUE(messages.titles[0].isEmpty());
}

TEST_F(PlayerTest, DamagedFileShowsTheFormatError) {
    enginetest::writeBytes(dir.path("broken.mp3"), std::string(4000, '\x17'));
    const QString broken = QString::fromStdString(dir.path("broken.mp3").string());
    player->load(broken);
    EXPECT_TRUE(player->isEmpty());
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral("ERRO AO CARREGAR CANAL:\r\rArquivo: ") + broken +
                          QStringLiteral("\r\rErro Cod:BS41 - Formato não suportado")});
}

TEST_F(PlayerTest, EightBitFilesAreRefusedAndMonoSixteenBitLoads) {
    const QString eightBit = tone("8bit.wav", 500, 440, 0.5, enginetest::SampleFormat::U8, 1);
    player->load(eightBit);
    EXPECT_TRUE(player->isEmpty());
    EXPECT_EQ(player->channel(), nullptr);
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Erro ao Ler arquivo:") + eightBit +
                                          QStringLiteral(" Dados <> 16-bits stereo")});

    player->load(tone("mono.wav", 500, 440, 0.5, enginetest::SampleFormat::S16, 1));
    EXPECT_TRUE(player->loaded());
    EXPECT_EQ(messages.shown.size(), 1);
}

TEST_F(PlayerTest, LoadingOverAPlayingFileStopsItFirst) {
    player->load(tone("first.wav", 5000));
    player->play();
    const QString second = tone("second.wav", 2000);
    player->load(second);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(player->loaded());
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->fileName(), second);
    EXPECT_EQ(player->lengthMs(), 2000u);
}

TEST_F(PlayerTest, UnloadAndDestroyFreeTheChannelWithoutOnStop) {
    loadTone(1000);
    player->play();
    player->unload();
    EXPECT_TRUE(player->isEmpty());
    EXPECT_EQ(player->channel(), nullptr);
    EXPECT_EQ(stops, 0);

    loadTone(1000);
    player->play();
    player.reset();
    clock.devices->sink(kDevice).render(kRate / 10);
    clock.engine->dispatchEvents();
    EXPECT_EQ(stops, 0);
}

TEST_F(PlayerTest, ManyPlayersOpenTheirDeviceOnce) {
    std::vector<std::unique_ptr<CartPlayer>> players;
    for (int i = 0; i < 96; ++i) {
        players.push_back(makePlayer());
    }
    EXPECT_EQ(clock.devices->opens(kDevice), 1);
    EXPECT_EQ(context.openedDevices, QList<int>{kDevice});
    EXPECT_EQ(players.back()->deviceName(), "Hand clock");
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PlayerTest, InitDeviceAfterALoadChangesNothing) {
    loadTone(1000);
    player->initDevice(2, true);
    EXPECT_EQ(player->device(), kDevice);
    EXPECT_EQ(player->tagReader(), nullptr);
    EXPECT_FALSE(context.openedDevices.contains(2));
    EXPECT_TRUE(messages.shown.isEmpty());
}

// 96 cart players and the spare player on a device that the server does not list: one
// message, which names the device's role, and no further attempt.
TEST_F(PlayerTest, DeviceThatFailsIsReportedOnceWithItsRole) {
    context.addDeviceRole(7, QStringLiteral("Device Transmissão"));
    std::vector<std::unique_ptr<CartPlayer>> players;
    for (int i = 0; i < 97; ++i) {
        players.push_back(makePlayer(7));
    }
    EXPECT_FALSE(context.openedDevices.contains(7));
    EXPECT_EQ(players.back()->device(), 7);
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Inicialização da Device com Problemas\r"
                                                         "Device Transmissão: Cod:BS23 - Número "
                                                         "inválido para Device")});
}

// The channel must not land on another device (here device 1, which works): every load fails
// with the failing device's own text, and the device is not tried again.
TEST(PlayerDevicesTest, LoadOnADeviceThatDidNotOpenFailsWithThatDevicesText) {
    enginetest::TempDir dir;
    HandEngine clock({"Out", "Cue"});
    clock.devices->refuse(2, EngineError::DeviceFailed);
    RecordingMessages messages;
    PlayerContext context{*clock.engine, messages};
    context.addDeviceRole(2, QStringLiteral("Device Escuta (Cue)"));
    CartPlayer out(context);
    out.initDevice(1);
    CartPlayer cue(context);
    cue.initDevice(2);
    messages.shown.clear();

    const std::filesystem::path file = dir.path("cue.wav");
    enginetest::writeWav(file, {}, enginetest::sine(440, 44100));
    for (int click = 0; click < 2; ++click) {
        cue.load(QString::fromStdString(file.string()));
        cue.play();
    }
    EXPECT_TRUE(cue.isEmpty());
    EXPECT_FALSE(cue.isPlaying());
    EXPECT_EQ(clock.devices->opens(2), 1);
    const QString text = QStringLiteral("Inicialização da Device com Problemas\rDevice Escuta "
                                        "(Cue): Cod:BS3 - Não encontrado Driver de Som");
    EXPECT_EQ(messages.shown, (QStringList{text, text}));
}

// The sound server went away under a playing player: the play ends once, play and load say
// why instead of doing nothing, and once the device is back the player plays again.
TEST_F(PlayerTest, DeviceGoneEndsThePlayAndIsNamedUntilItIsBack) {
    context.addDeviceRole(kDevice, QStringLiteral("Device Transmissão"));
    loadTone(3000);
    player->play();
    render(100);
    clock.devices->sink(kDevice).lose();
    render(10);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(stops, 1);

    player->play();
    EXPECT_FALSE(player->isPlaying());
    const QString gone = QStringLiteral("Inicialização da Device com Problemas\rDevice "
                                        "Transmissão: Cod:BS9 - Erro no Start");
    EXPECT_EQ(messages.shown, QStringList{gone});
    player->load(tone("other.wav", 3000));
    EXPECT_TRUE(player->isEmpty()) << "no new channel on a device that is gone";
    EXPECT_EQ(messages.shown, (QStringList{gone, gone}));

    clock.devices->sink(kDevice).restore();
    loadTone(3000);
    player->play();
    render(100);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(player->positionMs(), 100u);
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(stops, 1);
}

TEST(PlayerDevicesTest, DeviceListCountsTheNamedDevices) {
    HandEngine clock({"Sink 1", "Sink 2", "   ", "Sink 4"});
    RecordingMessages messages;
    PlayerContext context{*clock.engine, messages};
    CartPlayer player(context);
    EXPECT_EQ(player.deviceCount(), 3);
    EXPECT_EQ(player.deviceNameOf(4), "Sink 4");
    EXPECT_EQ(player.deviceNameOf(5), "");
    EXPECT_EQ(player.deviceNameOf(0), "No sound");
}

TEST_F(PlayerTest, TagIsReadWhenAskedAndAFileWithoutOneStillLoads) {
    auto tagged = makePlayer();
    tagged->initDevice(kDevice, true);
    ASSERT_NE(tagged->tagReader(), nullptr);

    const QString path = tone("tagged.wav", 500);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    QByteArray block(128, '\0');
    block.replace(0, 8, "TAGTitle");
    file.write(block);
    file.close();
    tagged->load(path);
    EXPECT_TRUE(tagged->loaded());
    EXPECT_EQ(tagged->tagReader()->title, "Title");

    tagged->load(tone("plain.wav", 500));
    EXPECT_TRUE(tagged->loaded());
    EXPECT_FALSE(tagged->tagReader()->exists);
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace
} // namespace audio::testing

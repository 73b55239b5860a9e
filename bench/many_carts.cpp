// A full wall: 96 cart players, each holding a stereo MP3, all playing at once on one device for
// 60 s. CPU time of this process against ffmpeg decoding and mixing the same files (amix) to
// null, underruns, the memory that 96 loaded and 96 playing carts add, and the process's
// threads with the carts loaded, playing and stopped again.
//   many_carts [device] [seconds]     default: device 1 if a sound server is there, else 0; 60 s
#include "audio/cart_player.h"
#include "audio/engine/sound_engine.h"
#include "bench_util.h"
#include "printed_messages.h"
#include "core/message_sink.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

constexpr int kCarts = 96;
constexpr int kPollMs = 20;

using Players = std::vector<std::unique_ptr<audio::CartPlayer>>;

std::vector<std::filesystem::path> wall(int seconds) {
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < kCarts; ++i) {
        const std::string name =
            "cart" + std::to_string(seconds) + "_" + std::to_string(i) + ".mp3";
        files.push_back(bench::tone(name, seconds + 5, 200 + 37 * i, "-c:a libmp3lame -b:a 192k"));
    }
    return files;
}

double ffmpegMixCpu(const std::vector<std::filesystem::path>& files, int seconds) {
    std::string cmd = "ffmpeg -nostdin -loglevel error -y";
    for (const auto& f : files) {
        cmd += " -t " + std::to_string(seconds) + " -i '" + f.string() + "'";
    }
    cmd += " -filter_complex amix=inputs=" + std::to_string(files.size()) + " -f null -";
    const double before = bench::cpuSeconds(RUSAGE_CHILDREN);
    bench::shell(cmd);
    return bench::cpuSeconds(RUSAGE_CHILDREN) - before;
}

// Waits as the program's event loop does, asleep between events, which delivers the engine's
// events to the players meanwhile.
void runEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

Players makePlayers(audio::PlayerContext& context, int device) {
    Players players;
    for (int i = 0; i < kCarts; ++i) {
        players.push_back(std::make_unique<audio::CartPlayer>(context));
        players.back()->initDevice(device);
        players.back()->setCartIndex(i + 1);
    }
    return players;
}

int countState(const Players& players, audio::engine::ChannelState state) {
    int count = 0;
    for (const auto& player : players) {
        const audio::engine::Channel* channel = player->channel();
        count += channel != nullptr && channel->state() == state ? 1 : 0;
    }
    return count;
}

struct PlayFigures {
    double cpuSeconds = 0.0;
    int stalledPolls = 0;
    double peakResidentMiB = 0.0;
    int peakThreads = 0;
    int playingAtEnd = 0;
    std::uint64_t underruns = 0;
};

// Starts every player and polls them as the wall's display does, for `seconds`.
PlayFigures playAll(audio::engine::SoundEngine& engine, int device, const Players& players,
                    int seconds) {
    using audio::engine::ChannelState;
    PlayFigures figures;
    const std::uint64_t underrunsBefore = engine.outputUnderruns(device);
    const double cpuStart = bench::cpuSeconds(RUSAGE_SELF);
    const double wallStart = bench::now();
    for (const auto& player : players) {
        player->play();
    }
    while (bench::now() - wallStart < seconds) {
        runEvents(kPollMs);
        figures.stalledPolls += countState(players, ChannelState::Stalled);
        figures.peakResidentMiB = std::max(figures.peakResidentMiB, bench::residentMiB());
        figures.peakThreads = std::max(figures.peakThreads, bench::threadCount());
    }
    figures.cpuSeconds = bench::cpuSeconds(RUSAGE_SELF) - cpuStart;
    figures.playingAtEnd = countState(players, ChannelState::Playing);
    figures.underruns = engine.outputUnderruns(device) - underrunsBefore;
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const std::vector<std::filesystem::path> files = wall(seconds);
    auto engine = audio::engine::makeSoundEngine();
    const int device = argc > 1 ? std::atoi(argv[1]) : (engine->deviceDescription(1) ? 1 : 0);
    PrintedMessages messages;
    auto context = std::make_unique<audio::PlayerContext>(*engine, messages);
    Players players = makePlayers(*context, device); // the first one opens the device
    if (context->failedDevices.contains(device)) {
        std::printf("device %d did not open\n", device);
        return 1;
    }
    runEvents(2500);

    const double rssStart = bench::residentMiB();
    const int threadsStart = bench::threadCount();
    for (std::size_t i = 0; i < players.size(); ++i) {
        players[i]->load(QString::fromStdString(files[i].string()));
    }
    runEvents(1000);
    const double rssLoaded = bench::residentMiB();
    const int threadsLoaded = bench::threadCount();
    const auto loaded = std::count_if(players.begin(), players.end(),
                                      [](const auto& player) { return player->loaded(); });

    const PlayFigures play = playAll(*engine, device, players, seconds);
    for (const auto& player : players) {
        player->stop();
    }
    runEvents(1000);
    const int threadsStopped = bench::threadCount();

    players.clear();
    context.reset();
    engine.reset();
    const double ffmpegCpu = ffmpegMixCpu(files, seconds);

    std::printf("device %d, %d carts (%ld loaded) for %d s: CPU %.2f s, ffmpeg amix CPU %.2f s, "
                "ratio %.2f; stalled polls %d, server underruns while playing %llu, playing at "
                "the end %d\n",
                device, kCarts, static_cast<long>(loaded), seconds, play.cpuSeconds, ffmpegCpu,
                play.cpuSeconds / ffmpegCpu, play.stalledPolls,
                static_cast<unsigned long long>(play.underruns), play.playingAtEnd);
    std::printf("memory: 96 loaded idle carts add %.1f MiB; 96 playing add %.1f MiB\n",
                rssLoaded - rssStart, play.peakResidentMiB - rssStart);
    std::printf("threads: %d before loading, %d with 96 loaded, %d at most while playing (%+d), "
                "%d after stopping; messages shown %d\n",
                threadsStart, threadsLoaded, play.peakThreads, play.peakThreads - threadsLoaded,
                threadsStopped, messages.shown);
}

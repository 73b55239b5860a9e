// OSC under load: 10,000 messages a second for 10 s from one sender at a server whose wall
// only counts, on a Qt event loop. Measures the longest turn of the event loop, messages the
// program dropped against those the kernel dropped, datagram → command latency (a probe fire
// every 10 ms) and state change → feedback datagram latency (a state change every 10 ms).
//   bench_osc_load [messages per second] [seconds]
#include "bench_util.h"
#include "remote/osc_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

std::int64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Udp RcvbufErrors of the whole machine.
long udpReceiveErrors() {
    std::ifstream snmp("/proc/net/snmp");
    std::string header, values;
    while (std::getline(snmp, header) && std::getline(snmp, values)) {
        if (header.rfind("Udp:", 0) != 0) {
            continue;
        }
        std::istringstream names(header), numbers(values);
        std::string name, number;
        while (names >> name && numbers >> number) {
            if (name == "RcvbufErrors") {
                return std::stol(number);
            }
        }
    }
    return -1;
}

int udpSocket(sockaddr_in& bound) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    bound = {};
    bound.sin_family = AF_INET;
    bound.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound);
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    return fd;
}

class CountingWall : public session::WallCommands {
public:
    std::atomic<std::int64_t> probeSentNs{0};
    std::vector<double> probeMs;
    long commands = 0;

    QString fire(int cart, session::PlayTrigger) override {
        ++commands;
        if (cart == 1 && probeSentNs.load() != 0) {
            probeMs.push_back(double(nowNs() - probeSentNs.exchange(0)) / 1e6);
        }
        return {};
    }
    QString stop(int) override { return count(); }
    QString fade(int) override { return count(); }
    QString cue(int) override { return count(); }
    QString toggleQueued(int) override { return count(); }
    QString blockNext() override { return count(); }
    QString fadeAll() override { return count(); }
    QString stopAll() override { return count(); }
    QString setMasterVolume(int) override { return count(); }
    QString activateProfile(const QString&) override { return count(); }

private:
    QString count() {
        ++commands;
        return {};
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rate = argc > 1 ? std::atoi(argv[1]) : 10'000;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;

    CountingWall wall;
    remote::OscServer server(wall);
    sockaddr_in probe{};
    const int probeFd = udpSocket(probe); // find a free port, then give it to the server
    const int port = ntohs(probe.sin_port);
    close(probeFd);
    if (const QString said = server.start(port); !said.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(said));
        return 1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(std::uint16_t(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto sendTo = [&](int fd, const QByteArray& bytes) {
        sendto(fd, bytes.constData(), std::size_t(bytes.size()), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    };

    // The listener: subscribes, then times each /cart/2/state against the change that caused it.
    sockaddr_in listenerAddress{};
    const int listenerFd = udpSocket(listenerAddress);
    std::atomic<std::int64_t> changeSentNs{0};
    std::atomic<bool> running{true};
    std::mutex feedbackMutex;
    std::vector<double> feedbackMs;
    sendTo(listenerFd, remote::encodeOscMessage({QStringLiteral("/subscribe"), {}}));
    std::thread listener([&] {
        timeval wait{0, 100'000};
        setsockopt(listenerFd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        char buffer[2048];
        while (running.load()) {
            if (recv(listenerFd, buffer, sizeof buffer, 0) <= 0) {
                continue;
            }
            const std::int64_t sent = changeSentNs.exchange(0);
            if (sent != 0) {
                const std::lock_guard lock(feedbackMutex);
                feedbackMs.push_back(double(nowNs() - sent) / 1e6);
            }
        }
    });

    // The load: rate/1000 messages each millisecond on an absolute clock; a probe every 10 ms.
    std::atomic<long> sent{0};
    const long udpErrorsBefore = udpReceiveErrors();
    std::thread load([&] {
        sockaddr_in own{};
        const int fd = udpSocket(own);
        const int size = 1 << 20;
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
        std::vector<QByteArray> messages;
        for (int cart = 2; cart <= 96; ++cart) {
            messages.push_back(
                remote::encodeOscMessage({QStringLiteral("/cart/%1/queue").arg(cart), {}}));
            messages.push_back(remote::encodeOscMessage({QStringLiteral("/master"), {cart * 1.0}}));
        }
        const QByteArray fire = remote::encodeOscMessage({QStringLiteral("/cart/1/fire"), {}});
        const int perMs = rate / 1000;
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        std::size_t index = 0;
        for (int ms = 0; ms < seconds * 1000; ++ms) {
            for (int i = 0; i < perMs; ++i) {
                if (i == 0 && ms % 10 == 0 && wall.probeSentNs.load() == 0) {
                    wall.probeSentNs.store(nowNs());
                    sendTo(fd, fire);
                } else {
                    sendTo(fd, messages[index++ % messages.size()]);
                }
                sent.fetch_add(1);
            }
            next.tv_nsec += 1'000'000;
            if (next.tv_nsec >= 1'000'000'000) {
                next.tv_nsec -= 1'000'000'000;
                ++next.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
        close(fd);
    });

    // The event loop's turns: the longest gap between 1 ms ticks.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTickNs = clock.nsecsElapsed();
    double longestGapMs = 0.0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGapMs = std::max(longestGapMs, double(now - lastTickNs) / 1e6);
        lastTickNs = now;
    });
    int state = 0;
    QTimer change;
    change.setInterval(10);
    QObject::connect(&change, &QTimer::timeout, [&] {
        if (changeSentNs.load() == 0) {
            changeSentNs.store(nowNs());
            server.stateChanged(2, state++ % 2 ? session::CartState::Playing
                                               : session::CartState::Loaded);
        }
    });
    QTimer::singleShot(200, [&] { // after the subscription arrived
        lastTickNs = clock.nsecsElapsed();
        tick.start();
        change.start();
    });
    QTimer::singleShot(seconds * 1000 + 1000, &app, &QCoreApplication::quit);
    app.exec();
    load.join();
    running.store(false);
    listener.join();
    close(listenerFd);

    const long udpErrors = udpReceiveErrors() - udpErrorsBefore;
    std::printf("sent %ld messages in %d s (%d/s); the wall got %ld commands\n", sent.load(),
                seconds, rate, wall.commands);
    std::printf("dropped by the program (queue full): %llu; by the kernel on the socket "
                "(SO_RXQ_OVFL): %llu; machine UDP RcvbufErrors during the run: %ld\n",
                static_cast<unsigned long long>(server.overflowCount()),
                static_cast<unsigned long long>(server.kernelDropCount()), udpErrors);
    std::printf("longest gap between 1 ms ticks of the event loop: %.2f ms\n", longestGapMs);
    std::printf("datagram -> command (%zu probes): p50 %.3f p99 %.3f max %.3f ms\n",
                wall.probeMs.size(), bench::percentile(wall.probeMs, 50),
                bench::percentile(wall.probeMs, 99), bench::percentile(wall.probeMs, 100));
    std::printf("state change -> feedback datagram (%zu): p50 %.3f p99 %.3f max %.3f ms\n",
                feedbackMs.size(), bench::percentile(feedbackMs, 50),
                bench::percentile(feedbackMs, 99), bench::percentile(feedbackMs, 100));
    return 0;
}

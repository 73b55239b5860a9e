#include "remote/osc_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace remote {

namespace {

// Messages handled per UI turn, so a burst never holds the window for long.
constexpr int kPerTurn = 256;
constexpr int kReceiveBuffer = 1 << 20;

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::array<std::uint8_t, 16> bytesOf(const in6_addr& address) {
    std::array<std::uint8_t, 16> bytes{};
    std::memcpy(bytes.data(), &address, bytes.size());
    return bytes;
}

// IPv4 text as the mapped IPv6 address a dual-stack socket reports.
std::optional<in6_addr> parseHost(const QString& text) {
    const QByteArray host = text.trimmed().toLatin1();
    in6_addr address{};
    if (inet_pton(AF_INET6, host.constData(), &address) == 1) {
        return address;
    }
    in_addr v4{};
    if (inet_pton(AF_INET, host.constData(), &v4) != 1) {
        return std::nullopt;
    }
    address.s6_addr[10] = 0xff;
    address.s6_addr[11] = 0xff;
    std::memcpy(&address.s6_addr[12], &v4, 4);
    return address;
}

OscPeer peerFrom(const sockaddr_storage& from) {
    OscPeer peer;
    if (from.ss_family == AF_INET6) {
        std::memcpy(&peer.address, &from, sizeof(sockaddr_in6));
        return peer;
    }
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(from);
    peer.address.sin6_family = AF_INET6;
    peer.address.sin6_port = v4.sin_port;
    peer.address.sin6_addr.s6_addr[10] = 0xff;
    peer.address.sin6_addr.s6_addr[11] = 0xff;
    std::memcpy(&peer.address.sin6_addr.s6_addr[12], &v4.sin_addr, 4);
    return peer;
}

// The IPv4 form of a mapped address, for a socket bound to 127.0.0.1.
socklen_t destination(const OscPeer& peer, sockaddr_storage& to) {
    const in6_addr& a = peer.address.sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&a)) {
        auto& v4 = reinterpret_cast<sockaddr_in&>(to);
        v4.sin_family = AF_INET;
        v4.sin_port = peer.address.sin6_port;
        std::memcpy(&v4.sin_addr, &a.s6_addr[12], 4);
        return sizeof(sockaddr_in);
    }
    std::memcpy(&to, &peer.address, sizeof(sockaddr_in6));
    return sizeof(sockaddr_in6);
}

// Loopback only, or every address (dual-stack where the machine has IPv6).
int openSocket(int port, bool everyAddress, int& error) {
    int fd = -1;
    int bound = -1;
    if (everyAddress) {
        fd = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd >= 0) {
            const int off = 0;
            setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
            sockaddr_in6 any{};
            any.sin6_family = AF_INET6;
            any.sin6_port = htons(std::uint16_t(port));
            bound = bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any);
        }
    }
    if (fd < 0) {
        fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in v4{};
        v4.sin_family = AF_INET;
        v4.sin_port = htons(std::uint16_t(port));
        v4.sin_addr.s_addr = htonl(everyAddress ? INADDR_ANY : INADDR_LOOPBACK);
        bound = fd >= 0 ? bind(fd, reinterpret_cast<sockaddr*>(&v4), sizeof v4) : -1;
    }
    if (bound != 0) {
        error = errno;
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
    return fd;
}

QString openFailureText(int port, int error) {
    if (error == EADDRINUSE) {
        return QStringLiteral("Não foi possível abrir a porta OSC %1: a porta já está em uso")
            .arg(port);
    }
    return QStringLiteral("Não foi possível abrir a porta OSC %1: %2")
        .arg(port)
        .arg(QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

bool OscPeer::operator==(const OscPeer& other) const {
    return address.sin6_port == other.address.sin6_port &&
           std::memcmp(&address.sin6_addr, &other.address.sin6_addr, sizeof(in6_addr)) == 0;
}

OscServer::OscServer(session::WallCommands& wall, Clock clock, QObject* parent)
    : QObject(parent), dispatcher_(wall), clock_(clock ? std::move(clock) : steadyMs) {
    expiryTimer_.setInterval(1000);
    connect(&expiryTimer_, &QTimer::timeout, this, &OscServer::expireListeners);
}

OscServer::~OscServer() {
    stop();
}

QString OscServer::start(int port, const QStringList& allowedHosts) {
    stop();
    if (port == 0) {
        return {}; // off
    }
    QStringList unreadable;
    for (const QString& host : allowedHosts) {
        if (const auto address = parseHost(host)) {
            allowedHosts_.push_back(bytesOf(*address));
        } else {
            unreadable << host.trimmed();
        }
    }
    // Hosts were named but none could be read: listening on every address would let anyone in.
    const bool everyAddress = !allowedHosts_.empty();
    int error = 0;
    socket_ = port > 0 && port <= 65535 ? openSocket(port, everyAddress, error) : -1;
    if (socket_ < 0) {
        allowedHosts_.clear();
        return openFailureText(port, error ? error : EINVAL);
    }
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) {
        const int failure = errno;
        stop();
        return openFailureText(port, failure);
    }
    port_ = port;
    for (auto* counter : {&refused_, &discarded_, &overflow_, &kernelDrops_}) {
        counter->store(0);
    }
    thread_ = std::thread([this] { receiveLoop(); });
    expiryTimer_.start();
    if (!unreadable.isEmpty()) {
        return QStringLiteral("OSC_HOSTS: endereço ilegível, ignorado: %1")
            .arg(unreadable.join(QStringLiteral(", ")));
    }
    return {};
}

void OscServer::stop() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(wake_, &one, sizeof one);
        thread_.join();
    }
    for (int* fd : {&socket_, &wake_}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
    expiryTimer_.stop();
    allowedHosts_.clear();
    listeners_.clear();
    pending_.clear();
    const std::lock_guard lock(inboxMutex_);
    inbox_.clear();
    port_ = 0;
}

QString OscServer::statusLine() const {
    if (!listening()) {
        return QStringLiteral("OSC desligado");
    }
    return QStringLiteral("OSC ligado na porta %1, %2 datagramas recusados")
        .arg(port_)
        .arg(refusedCount() + discardedCount() + overflowCount());
}

// Network thread.
void OscServer::receiveLoop() {
    pollfd fds[2] = {{socket_, POLLIN, 0}, {wake_, POLLIN, 0}};
    while (true) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[0].revents != 0) {
            receiveWaiting();
        }
    }
}

// Network thread: everything the socket holds now.
void OscServer::receiveWaiting() {
    char data[kMaxOscDatagram + 1];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
    while (true) {
        sockaddr_storage from{};
        iovec iov{data, sizeof data};
        msghdr header{};
        header.msg_name = &from;
        header.msg_namelen = sizeof from;
        header.msg_iov = &iov;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t size = recvmsg(socket_, &header, MSG_TRUNC);
        if (size < 0) {
            return;
        }
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
                std::uint32_t drops = 0;
                std::memcpy(&drops, CMSG_DATA(c), sizeof drops);
                kernelDrops_.store(drops);
            }
        }
        accept(peerFrom(from), data, std::size_t(size));
    }
}

// Network thread. A datagram over the limit arrives truncated, with its full size.
void OscServer::accept(const OscPeer& peer, const char* data, std::size_t size) {
    if (!allowed(peer)) {
        refused_.fetch_add(1);
        return;
    }
    auto decoded = decodeOscDatagram(data, size);
    if (auto* reason = std::get_if<QString>(&decoded)) {
        discarded_.fetch_add(1);
        sendError(peer, *reason);
        return;
    }
    {
        const std::lock_guard lock(inboxMutex_);
        if (inbox_.size() >= kMaxWaiting) {
            overflow_.fetch_add(1);
            return;
        }
        inbox_.push_back({peer, std::move(std::get<OscMessage>(decoded))});
    }
    if (!drainPosted_.exchange(true)) {
        QMetaObject::invokeMethod(
            this, [this] { drain(); }, Qt::QueuedConnection);
    }
}

bool OscServer::allowed(const OscPeer& peer) const {
    if (allowedHosts_.empty()) {
        return true; // bound to 127.0.0.1
    }
    const auto sender = bytesOf(peer.address.sin6_addr);
    return std::find(allowedHosts_.begin(), allowedHosts_.end(), sender) != allowedHosts_.end();
}

// UI thread.
void OscServer::drain() {
    drainPosted_.store(false);
    // Taking the inbox only once the last batch is done keeps both bounded: when the UI
    // thread falls behind, the inbox fills and the network thread counts what it drops.
    if (pending_.empty()) {
        const std::lock_guard lock(inboxMutex_);
        std::move(inbox_.begin(), inbox_.end(), std::back_inserter(pending_));
        inbox_.clear();
    }
    for (int i = 0; i < kPerTurn && !pending_.empty(); ++i) {
        const Inbound inbound = std::move(pending_.front());
        pending_.pop_front();
        handle(inbound);
    }
    bool more = !pending_.empty();
    if (!more) {
        const std::lock_guard lock(inboxMutex_);
        more = !inbox_.empty();
    }
    if (more && !drainPosted_.exchange(true)) {
        QMetaObject::invokeMethod(
            this, [this] { drain(); }, Qt::QueuedConnection);
    }
}

void OscServer::handle(const Inbound& inbound) {
    const QString& address = inbound.message.address;
    if (address == QLatin1String("/subscribe")) {
        subscribe(inbound.peer);
        return;
    }
    if (address == QLatin1String("/unsubscribe")) {
        std::erase_if(listeners_, [&](const Listener& l) { return l.peer == inbound.peer; });
        return;
    }
    const QString refusal = dispatcher_.dispatch(inbound.message);
    if (!refusal.isEmpty()) {
        sendError(inbound.peer, refusal);
    }
}

void OscServer::subscribe(const OscPeer& peer) {
    const std::int64_t now = clock_();
    auto known = std::find_if(listeners_.begin(), listeners_.end(),
                              [&](const Listener& l) { return l.peer == peer; });
    if (known != listeners_.end()) {
        known->renewedMs = now;
    } else {
        listeners_.push_back({peer, now});
    }
    emit listenerSubscribed();
}

void OscServer::expireListeners() {
    const std::int64_t now = clock_();
    std::erase_if(listeners_,
                  [&](const Listener& l) { return now - l.renewedMs >= kListenerLifetimeMs; });
}

// Either thread: one sendto on a datagram socket is atomic. Never waits on a full buffer.
void OscServer::send(const OscPeer& peer, const QByteArray& datagram) {
    sockaddr_storage to{};
    const socklen_t length = destination(peer, to);
    sendto(socket_, datagram.constData(), std::size_t(datagram.size()), MSG_DONTWAIT,
           reinterpret_cast<const sockaddr*>(&to), length);
}

void OscServer::sendError(const OscPeer& peer, const QString& text) {
    send(peer, encodeOscMessage({QStringLiteral("/error"), {text}}));
}

void OscServer::broadcast(const OscMessage& message) {
    if (listeners_.empty() || !listening()) {
        return;
    }
    const QByteArray datagram = encodeOscMessage(message);
    for (const Listener& listener : listeners_) {
        send(listener.peer, datagram);
    }
}

void OscServer::stateChanged(int cart, session::CartState state) {
    broadcast({QStringLiteral("/cart/%1/state").arg(cart), {session::stateName(state)}});
}

void OscServer::nameChanged(int cart, const QString& name) {
    broadcast({QStringLiteral("/cart/%1/name").arg(cart), {name}});
}

void OscServer::profileChanged(const QString& name) {
    broadcast({QStringLiteral("/profile"), {name}});
}

void OscServer::remaining(int cart, std::int64_t ms) {
    broadcast({QStringLiteral("/cart/%1/remaining").arg(cart), {ms}});
}

} // namespace remote

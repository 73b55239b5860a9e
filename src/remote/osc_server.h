#pragma once
// OSC over UDP. A network thread of this class's own owns the receiving side of the socket:
// it checks the sender against the allow-list, decodes, and posts accepted messages to the
// UI thread, where the dispatcher gives them to the wall. Everything else here (listeners,
// feedback, /error replies to commands) runs on the UI thread; both threads send on the same
// socket, so replies leave from the listening port.
#include "remote/osc_dispatcher.h"
#include "session/session_types.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <thread>
#include <vector>

namespace remote {

// A sender or listener: an IPv6 socket address (IPv4 senders as mapped addresses).
struct OscPeer {
    sockaddr_in6 address{};
    bool operator==(const OscPeer& other) const;
};

class OscServer : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<std::int64_t()>; // milliseconds, monotonic
    static constexpr std::int64_t kListenerLifetimeMs = 60'000;
    // Accepted messages waiting for the UI thread; beyond this they are dropped and counted.
    static constexpr std::size_t kMaxWaiting = 8192;

    // `clock` empty: the steady clock.
    explicit OscServer(session::WallCommands& wall, Clock clock = {}, QObject* parent = nullptr);
    ~OscServer() override;
    OscServer(const OscServer&) = delete;
    OscServer& operator=(const OscServer&) = delete;

    // Listens on `port`: on 127.0.0.1 when `allowedHosts` is empty, else on every address,
    // taking datagrams only from those hosts (IPv4 or IPv6 text). Empty when listening with
    // every host understood; else the text for the operator (listening() tells whether it
    // listens anyway). Port 0 stays off. A second start() first stops.
    QString start(int port, const QStringList& allowedHosts = {});
    void stop();
    bool listening() const { return socket_ >= 0; }
    int port() const { return port_; }

    // Datagrams from hosts outside the allow-list; unreadable or oversize ones; accepted
    // messages dropped because the UI thread fell behind; datagrams the kernel dropped
    // because the socket's buffer was full.
    std::uint64_t refusedCount() const { return refused_.load(); }
    std::uint64_t discardedCount() const { return discarded_.load(); }
    std::uint64_t overflowCount() const { return overflow_.load(); }
    std::uint64_t kernelDropCount() const { return kernelDrops_.load(); }
    // "OSC ligado na porta 9000, 0 datagramas recusados" or "OSC desligado".
    QString statusLine() const;

    int listenerCount() const { return int(listeners_.size()); }
    // Forgets listeners that have not renewed for kListenerLifetimeMs; a timer calls it every
    // second, tests call it after moving their clock.
    void expireListeners();

    // Feedback to every listener. Called on the UI thread from the session's signals.
    void stateChanged(int cart, session::CartState state);
    void nameChanged(int cart, const QString& name);
    void profileChanged(const QString& name);
    void remaining(int cart, std::int64_t ms);

signals:
    // A sender became a listener (or renewed): a chance to send it the whole wall.
    void listenerSubscribed();

private:
    struct Inbound {
        OscPeer peer;
        OscMessage message;
    };

    void receiveLoop();
    void receiveWaiting();
    void accept(const OscPeer& peer, const char* data, std::size_t size);
    bool allowed(const OscPeer& peer) const;
    void drain();
    void handle(const Inbound& inbound);
    void subscribe(const OscPeer& peer);
    void send(const OscPeer& peer, const QByteArray& datagram);
    void sendError(const OscPeer& peer, const QString& text);
    void broadcast(const OscMessage& message);

    OscDispatcher dispatcher_;
    Clock clock_;
    QTimer expiryTimer_;
    int socket_ = -1;
    int wake_ = -1; // eventfd that ends the network thread's poll
    int port_ = 0;
    std::vector<std::array<std::uint8_t, 16>> allowedHosts_; // empty: loopback binding decides
    std::thread thread_;

    // Network thread → UI thread.
    std::mutex inboxMutex_;
    std::vector<Inbound> inbox_;
    std::atomic<bool> drainPosted_{false};

    // UI thread only.
    std::deque<Inbound> pending_;
    struct Listener {
        OscPeer peer;
        std::int64_t renewedMs = 0;
    };
    std::vector<Listener> listeners_;

    std::atomic<std::uint64_t> refused_{0};
    std::atomic<std::uint64_t> discarded_{0};
    std::atomic<std::uint64_t> overflow_{0};
    std::atomic<std::uint64_t> kernelDrops_{0};
};

} // namespace remote

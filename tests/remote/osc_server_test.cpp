// OSC over loopback: a controller made with liblo sends to the server and listens to it.
#include "remote/osc_server.h"
#include "remote/recording_wall.h"
#include "support/loopback_udp.h"
#include "support/qstring_print.h"

#include <lo/lo.h>

#include <QSignalSpy>
#include <QTest>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using session::CartState;

namespace {

// Sends from its own port and writes down what comes back as "path arg arg".
class Controller {
public:
    explicit Controller(int serverPort)
        : server_(lo_server_new_with_proto(nullptr, LO_UDP, nullptr)),
          target_(lo_address_new("127.0.0.1", std::to_string(serverPort).c_str())) {
        lo_server_add_method(server_, nullptr, nullptr, &Controller::onMessage, this);
    }
    ~Controller() {
        lo_address_free(target_);
        lo_server_free(server_);
    }

    void send(const char* path) { lo_send_from(target_, server_, LO_TT_IMMEDIATE, path, ""); }
    void sendRaw(const QByteArray& bytes) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(std::uint16_t(std::stoi(lo_address_get_port(target_))));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sendto(lo_server_get_socket_fd(server_), bytes.constData(), std::size_t(bytes.size()), 0,
               reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    // Waits until a message whose text starts with `start` came back.
    bool receives(const QString& start) {
        return QTest::qWaitFor(
            [&] {
                pump();
                return std::any_of(received_.begin(), received_.end(),
                                   [&](const QString& r) { return r.startsWith(start); });
            },
            3000);
    }
    const QStringList& received() {
        pump();
        return received_;
    }

private:
    void pump() {
        while (lo_server_recv_noblock(server_, 0) > 0) {
        }
    }
    static int onMessage(const char* path, const char* types, lo_arg** argv, int argc, lo_message,
                         void* self) {
        QString text = QString::fromUtf8(path);
        for (int i = 0; i < argc; ++i) {
            text += QLatin1Char(' ') + (types[i] == LO_STRING ? QString::fromUtf8(&argv[i]->s)
                                                              : QString::number(argv[i]->i));
        }
        static_cast<Controller*>(self)->received_ << text;
        return 0;
    }

    lo_server server_;
    lo_address target_;
    QStringList received_;
};

} // namespace

TEST(OscServer, CommandsReachTheWallAndBadOnesAreAnswered) {
    RecordingWall wall;
    remote::OscServer server(wall);
    const int port = freeLoopbackUdpPort();
    ASSERT_EQ(server.start(port), QString());
    Controller controller(port);

    controller.send("/cart/5/fire");
    EXPECT_TRUE(QTest::qWaitFor([&] { return wall.calls.size() == 1; }, 3000));
    EXPECT_EQ(wall.calls, QStringList{QStringLiteral("fire 5 OSC")});

    controller.send("/cart/97/fire");
    EXPECT_TRUE(controller.receives(QStringLiteral("/error Cartucho inexistente em /cart/97")));
    controller.sendRaw(QByteArray("\x01\x02garbage"));
    EXPECT_TRUE(controller.receives(QStringLiteral("/error Datagrama OSC ilegível")));
    EXPECT_EQ(server.discardedCount(), 1u);
    EXPECT_EQ(wall.calls.size(), 1);
    EXPECT_EQ(server.statusLine(),
              QStringLiteral("OSC ligado na porta %1, 1 datagramas recusados").arg(port));
}

TEST(OscServer, ListenersGetFeedbackUntilTheyLapse) {
    RecordingWall wall;
    std::int64_t nowMs = 1000;
    remote::OscServer server(wall, [&] { return nowMs; });
    QSignalSpy subscribed(&server, &remote::OscServer::listenerSubscribed);
    const int port = freeLoopbackUdpPort();
    ASSERT_EQ(server.start(port), QString());
    Controller controller(port);

    controller.send("/subscribe");
    ASSERT_TRUE(QTest::qWaitFor([&] { return subscribed.count() == 1; }, 3000));
    server.stateChanged(3, CartState::Playing);
    server.remaining(3, 1500);
    server.nameChanged(3, QStringLiteral("VINHETA"));
    server.profileChanged(QStringLiteral("MANHA"));
    EXPECT_TRUE(controller.receives(QStringLiteral("/cart/3/state playing")));
    EXPECT_TRUE(controller.receives(QStringLiteral("/cart/3/remaining 1500")));
    EXPECT_TRUE(controller.receives(QStringLiteral("/cart/3/name VINHETA")));
    EXPECT_TRUE(controller.receives(QStringLiteral("/profile MANHA")));

    nowMs += 59'000;
    controller.send("/subscribe"); // renewal
    ASSERT_TRUE(QTest::qWaitFor([&] { return subscribed.count() == 2; }, 3000));
    nowMs += 59'000;
    server.expireListeners();
    EXPECT_EQ(server.listenerCount(), 1);
    nowMs += 1'000;
    server.expireListeners();
    EXPECT_EQ(server.listenerCount(), 0);

    controller.send("/subscribe");
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.listenerCount() == 1; }, 3000));
    controller.send("/unsubscribe");
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.listenerCount() == 0; }, 3000));
}

TEST(OscServer, SendersOutsideTheAllowListAreDroppedAndCounted) {
    RecordingWall wall;
    remote::OscServer server(wall);
    const int port = freeLoopbackUdpPort();
    const QString said = server.start(port, {QStringLiteral("192.0.2.7"), QStringLiteral("bogus")});
    EXPECT_TRUE(said.contains(QStringLiteral("bogus"))) << said.toStdString();
    ASSERT_TRUE(server.listening());
    Controller controller(port);
    controller.send("/cart/1/fire");
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.refusedCount() == 1; }, 3000));
    QTest::qWait(50);
    EXPECT_TRUE(wall.calls.isEmpty());
    EXPECT_TRUE(controller.received().isEmpty()); // strangers get no answer

    // Listed IPv4 senders arrive on the dual-stack socket as mapped addresses.
    ASSERT_EQ(server.start(port, {QStringLiteral("::1"), QStringLiteral("127.0.0.1")}), QString());
    controller.send("/all/stop");
    EXPECT_TRUE(QTest::qWaitFor([&] { return wall.calls.size() == 1; }, 3000));
}

TEST(OscServer, APortInUseIsNamedAndNothingElseFails) {
    RecordingWall wall;
    remote::OscServer first(wall);
    remote::OscServer second(wall);
    const int port = freeLoopbackUdpPort();
    ASSERT_EQ(first.start(port), QString());
    const QString said = second.start(port);
    EXPECT_TRUE(said.contains(QString::number(port))) << said.toStdString();
    EXPECT_FALSE(second.listening());
    EXPECT_EQ(second.statusLine(), QStringLiteral("OSC desligado"));
    second.stateChanged(1, CartState::Playing); // no socket: nothing happens
}

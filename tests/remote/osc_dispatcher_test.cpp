// OSC messages to wall commands: each address with good and bad arguments, and datagrams that
// do not decode.
#include "remote/osc_dispatcher.h"
#include "remote/recording_wall.h"
#include "support/qstring_print.h"

#include <gtest/gtest.h>

using remote::OscArg;
using remote::OscMessage;

namespace {

struct Given {
    OscMessage message;
    QString call; // empty: the wall is not called
};

QString dispatchOne(const OscMessage& message, RecordingWall& wall) {
    remote::OscDispatcher dispatcher(wall);
    return dispatcher.dispatch(message);
}

} // namespace

TEST(OscDispatcher, EachAddressGivesItsCommand) {
    const std::vector<Given> table{
        {{"/cart/1/fire", {}}, "fire 1 OSC"},
        {{"/cart/96/stop", {}}, "stop 96"},
        {{"/cart/7/fade", {std::int64_t{1}}}, "fade 7"},
        {{"/cart/7/cue", {1.0}}, "cue 7"},
        {{"/cart/12/queue", {}}, "queue 12"},
        {{"/block/next", {}}, "block next"},
        {{"/all/stop", {}}, "stop all"},
        {{"/all/fade", {}}, "fade all"},
        {{"/master", {std::int64_t{40}}}, "master 40"},
        {{"/master", {72.6}}, "master 73"},
        {{"/master", {0.0}}, "master 0"},
        {{"/profile/activate", {QStringLiteral("MANHA")}}, "profile MANHA"},
    };
    for (const Given& given : table) {
        RecordingWall wall;
        EXPECT_EQ(dispatchOne(given.message, wall), QString())
            << given.message.address.toStdString();
        EXPECT_EQ(wall.calls, QStringList{given.call}) << given.message.address.toStdString();
    }
}

TEST(OscDispatcher, ReleaseOfAButtonDoesNothing) {
    RecordingWall wall;
    EXPECT_EQ(dispatchOne({"/cart/3/fire", {0.0}}, wall), QString());
    EXPECT_EQ(dispatchOne({"/all/stop", {std::int64_t{0}}}, wall), QString());
    EXPECT_TRUE(wall.calls.isEmpty());
}

TEST(OscDispatcher, BadMessagesChangeNothingAndSayWhy) {
    const std::vector<OscMessage> bad{
        {"/cart/0/fire", {}},
        {"/cart/97/fire", {}},
        {"/cart/x/fire", {}},
        {"/cart/5/explode", {}},
        {"/cart/5", {}},
        {"/cart//fire", {}},
        {"/nothing", {}},
        {"", {}},
        {"/cart/5/fire", {QStringLiteral("now")}},
        {"/cart/5/fire", {std::int64_t{1}, std::int64_t{1}}},
        {"/master", {}},
        {"/master", {std::int64_t{101}}},
        {"/master", {-0.6}},
        {"/master", {QStringLiteral("50")}},
        {"/master", {'b'}},
        {"/master", {std::nan("")}},
        {"/profile/activate", {}},
        {"/profile/activate", {std::int64_t{3}}},
        {"/profile/activate", {QStringLiteral("  ")}},
    };
    for (const OscMessage& message : bad) {
        RecordingWall wall;
        EXPECT_FALSE(dispatchOne(message, wall).isEmpty()) << message.address.toStdString();
        EXPECT_TRUE(wall.calls.isEmpty()) << message.address.toStdString();
    }
}

TEST(OscDispatcher, TheWallsRefusalIsTheReply) {
    RecordingWall wall;
    wall.refusal = QStringLiteral("Perfil alterado");
    EXPECT_EQ(dispatchOne({"/profile/activate", {QStringLiteral("TARDE")}}, wall),
              QStringLiteral("Perfil alterado"));
}

TEST(OscDatagram, UndecodableDatagramsAreRefused) {
    const QByteArray good = remote::encodeOscMessage({"/master", {std::int64_t{50}}});
    QByteArray oversize = good;
    oversize.append(QByteArray(int(remote::kMaxOscDatagram), '\0'));
    const std::vector<QByteArray> bad{
        QByteArray(),
        QByteArray("garbage"),
        good.left(good.size() - 2),                  // argument cut short
        QByteArray("/master\0,i\0\0", 12),           // type says int, no bytes
        QByteArray("#bundle\0\0\0\0\0\0\0\0\1", 16), // bundles are not taken
        QByteArray("/a\0\0,s\0\0abcd", 12),          // string without its end
        oversize,
    };
    for (const QByteArray& bytes : bad) {
        const auto decoded =
            remote::decodeOscDatagram(bytes.constData(), std::size_t(bytes.size()));
        EXPECT_TRUE(std::holds_alternative<QString>(decoded)) << bytes.toHex().toStdString();
    }
}

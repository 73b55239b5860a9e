// How playback ports become JACK devices when they are not the system's numbered ports: pairs
// never span two clients, a client's odd last port is left out, the list stops at its limit.
#include "audio/engine/jack_output.h"

#include <gtest/gtest.h>

using namespace audio::engine;

namespace {

std::vector<std::string> descriptions(const std::vector<DeviceInfo>& devices) {
    std::vector<std::string> names;
    for (const DeviceInfo& d : devices) {
        names.push_back(d.description);
    }
    return names;
}

TEST(JackNaming, PairsStayWithinOneClientAndLeaveAnOddPortOut) {
    const std::vector<DeviceInfo> pairs =
        pairPlaybackPorts({"mono:in_1", "card:playback_FL", "card:playback_FR", "card:playback_RL",
                           "enc:left", "enc:right"},
                          8);
    EXPECT_EQ(descriptions(pairs), (std::vector<std::string>{"JACK: card playback FL/playback FR",
                                                             "JACK: enc left/right"}));
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[1].jackPorts, (std::vector<std::string>{"enc:left", "enc:right"}));
}

TEST(JackNaming, NumberedPortsShareTheirStem) {
    EXPECT_EQ(describePortPair("card:AUX 7", "card:AUX 8"), "JACK: card AUX 7/8");
    EXPECT_EQ(describePortPair("card:out-9", "card:out-10"), "JACK: card out 9/10");
    EXPECT_EQ(describePortPair("card:mic_1", "card:line_2"), "JACK: card mic 1/line 2");
}

TEST(JackNaming, AtMostTheGivenNumberOfPairs) {
    std::vector<std::string> ports;
    for (int i = 1; i <= 20; ++i) {
        ports.push_back("system:playback_" + std::to_string(i));
    }
    const std::vector<DeviceInfo> pairs = pairPlaybackPorts(ports, 8);
    ASSERT_EQ(pairs.size(), 8u);
    EXPECT_EQ(pairs.back().description, "JACK: system playback 15/16");
}

} // namespace

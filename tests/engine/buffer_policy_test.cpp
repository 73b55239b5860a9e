// When the sound server's buffer grows after underflows and when it steps back down.
#include "audio/engine/buffer_policy.h"

#include <gtest/gtest.h>

using audio::engine::BufferPolicy;

namespace {

constexpr std::int64_t kMinute = 60 * 1000;
const BufferPolicy::Settings kSettings{20, 80, 10 * kMinute};

TEST(BufferPolicy, EachUnderflowDoublesTheBufferUpToTheCap) {
    BufferPolicy policy(kSettings, 0);
    EXPECT_EQ(policy.targetMs(), 20u);
    EXPECT_FALSE(policy.tick(kMinute * 60)) << "an idle machine keeps the small buffer";
    EXPECT_TRUE(policy.underflow(1000));
    EXPECT_EQ(policy.targetMs(), 40u);
    EXPECT_TRUE(policy.underflow(1001)) << "a burst of underflows grows it at once";
    EXPECT_EQ(policy.targetMs(), 80u);
    EXPECT_FALSE(policy.underflow(1002));
    EXPECT_EQ(policy.targetMs(), 80u);

    BufferPolicy odd({20, 50, kMinute}, 0);
    odd.underflow(0);
    odd.underflow(0);
    EXPECT_EQ(odd.targetMs(), 50u) << "the cap holds even off the doubling steps";
}

TEST(BufferPolicy, StepsBackDownOneStepPerQuietPeriod) {
    BufferPolicy policy(kSettings, 0);
    policy.underflow(0);
    policy.underflow(0);
    EXPECT_FALSE(policy.tick(10 * kMinute - 1));
    EXPECT_TRUE(policy.tick(10 * kMinute));
    EXPECT_EQ(policy.targetMs(), 40u);
    EXPECT_FALSE(policy.tick(15 * kMinute)) << "each step waits a whole quiet period";
    EXPECT_TRUE(policy.tick(20 * kMinute));
    EXPECT_EQ(policy.targetMs(), 20u);
    EXPECT_FALSE(policy.tick(100 * kMinute));
    EXPECT_EQ(policy.targetMs(), 20u);
}

TEST(BufferPolicy, AnUnderflowRightAfterAStepDownDoublesTheNextQuietPeriod) {
    BufferPolicy policy(kSettings, 0);
    policy.underflow(0);
    ASSERT_TRUE(policy.tick(10 * kMinute));
    ASSERT_TRUE(policy.underflow(11 * kMinute)) << "the step down was too early";
    EXPECT_EQ(policy.targetMs(), 40u);
    EXPECT_FALSE(policy.tick(21 * kMinute));
    EXPECT_TRUE(policy.tick(31 * kMinute)) << "now it takes twenty quiet minutes";
    EXPECT_EQ(policy.targetMs(), 20u);

    // An underflow long after a step down says nothing about that step: the period stays.
    ASSERT_TRUE(policy.underflow(60 * kMinute));
    EXPECT_TRUE(policy.tick(80 * kMinute));
    ASSERT_TRUE(policy.underflow(200 * kMinute));
    EXPECT_TRUE(policy.tick(220 * kMinute));
}

} // namespace

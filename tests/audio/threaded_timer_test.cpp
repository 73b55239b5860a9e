#include "audio/threaded_timer.h"

#include "audio/wait_until.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <vector>

using audio::ThreadedTimer;
using audio::ThreadPriority;
using State = ThreadedTimer::PacingState;

namespace {

struct CountingTimer {
    explicit CountingTimer(std::uint32_t interval) {
        timer->setInterval(interval);
        timer->setOnTimer([this](QObject* sender) {
            ++ticks;
            lastSender = sender;
        });
    }
    std::unique_ptr<ThreadedTimer> timer = std::make_unique<ThreadedTimer>();
    int ticks = 0;
    QObject* lastSender = nullptr;
};

bool waitForState(const ThreadedTimer& timer, State state) {
    return waitUntil([&] { return timer.pacingState() == state; });
}

// Waits, without running the event loop, until a tick is posted and not yet run.
bool waitForPostedTick(const ThreadedTimer& timer) {
    QDeadlineTimer deadline(5000);
    while (timer.pacingState() != State::TickPending) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(1);
    }
    return true;
}

} // namespace

TEST(ThreadedTimer, StartsDisabledWithItsDefaults) {
    ThreadedTimer timer;
    EXPECT_FALSE(timer.enabled());
    EXPECT_EQ(timer.interval(), 1000u);
    EXPECT_EQ(timer.threadPriority(), ThreadPriority::Normal);
    EXPECT_EQ(timer.pacingState(), State::Parked);
}

TEST(ThreadedTimer, KeepsTheThreadPriorityItWasGiven) {
    ThreadedTimer timer;
    timer.setThreadPriority(ThreadPriority::Lower);
    EXPECT_EQ(timer.threadPriority(), ThreadPriority::Lower);
}

TEST(ThreadedTimer, TicksOnTheOwnerThreadWithTheTimerAsSender) {
    CountingTimer counting(20);
    Qt::HANDLE tickThread = nullptr;
    counting.timer->setOnTimer([&](QObject* sender) {
        ++counting.ticks;
        counting.lastSender = sender;
        tickThread = QThread::currentThreadId();
    });
    counting.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return counting.ticks >= 3; }));
    EXPECT_EQ(counting.lastSender, counting.timer.get());
    EXPECT_EQ(tickThread, QThread::currentThreadId());
}

TEST(ThreadedTimer, FirstTickComesOneFullIntervalAfterEnabling) {
    CountingTimer counting(150);
    QElapsedTimer clock;
    clock.start();
    counting.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return counting.ticks >= 1; }));
    EXPECT_GE(clock.elapsed(), 149);
}

// Long periods keep the two outcomes (tick at 1500 ms, or at 2700 ms or later) far apart even
// when a loaded machine delays this thread.
TEST(ThreadedTimer, EnablingTwiceDoesNotRestartTheInterval) {
    CountingTimer counting(1500);
    QElapsedTimer clock;
    clock.start();
    counting.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return clock.elapsed() >= 1200; }));
    counting.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return counting.ticks >= 1; }));
    EXPECT_LT(clock.elapsed(), 2500);
}

TEST(ThreadedTimer, NeverEnabledOrDisabledInTimeNeverTicks) {
    CountingTimer never(10);
    CountingTimer cancelled(200);
    cancelled.timer->setEnabled(true);
    cancelled.timer->setEnabled(false);
    // A third timer gives the others time to misbehave: 15 of its ticks pass.
    CountingTimer witness(20);
    witness.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return witness.ticks >= 15; }));
    EXPECT_EQ(never.ticks, 0);
    EXPECT_EQ(cancelled.ticks, 0);
    EXPECT_EQ(cancelled.timer->pacingState(), State::Parked);
}

TEST(ThreadedTimer, TickPostedBeforeDisablingIsDropped) {
    CountingTimer counting(10);
    counting.timer->setEnabled(true);
    ASSERT_TRUE(waitForPostedTick(*counting.timer));
    counting.timer->setEnabled(false);
    // The tick stays pending until the owner thread has dropped it.
    ASSERT_TRUE(waitForState(*counting.timer, State::Parked));
    EXPECT_EQ(counting.ticks, 0);
}

TEST(ThreadedTimer, TickPostedBeforeADisableEnableCycleIsDropped) {
    CountingTimer counting(80);
    counting.timer->setEnabled(true);
    ASSERT_TRUE(waitForPostedTick(*counting.timer));
    counting.timer->setEnabled(false);
    QElapsedTimer clock;
    clock.start();
    counting.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return counting.ticks >= 1; }));
    EXPECT_GE(clock.elapsed(), 79); // the stale tick did not count as the first new one
}

TEST(ThreadedTimer, DisablingInsideTheHandlerStopsFurtherTicks) {
    CountingTimer counting(10);
    counting.timer->setOnTimer([&](QObject*) {
        ++counting.ticks;
        counting.timer->setEnabled(false);
    });
    counting.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return counting.ticks >= 1; }));
    ASSERT_TRUE(waitForState(*counting.timer, State::Parked));
    CountingTimer witness(10);
    witness.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return witness.ticks >= 10; }));
    EXPECT_EQ(counting.ticks, 1);
}

TEST(ThreadedTimer, RunsWithoutHandlerAndCallsNothing) {
    ThreadedTimer timer;
    timer.setInterval(5);
    timer.setEnabled(true);
    CountingTimer witness(10);
    witness.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return witness.ticks >= 5; }));
    int ticks = 0;
    timer.setOnTimer([&](QObject*) { ++ticks; });
    ASSERT_TRUE(waitUntil([&] { return ticks >= 1; })); // it kept running all along
}

TEST(ThreadedTimer, IntervalChangeFrom1000To60RestartsWithTheNewInterval) {
    CountingTimer counting(1000);
    counting.timer->setEnabled(true);
    ASSERT_TRUE(waitForState(*counting.timer, State::Timing));
    QElapsedTimer clock;
    clock.start();
    counting.timer->setInterval(60);
    EXPECT_TRUE(counting.timer->enabled());
    ASSERT_TRUE(waitUntil([&] { return counting.ticks >= 1; }));
    EXPECT_GE(clock.elapsed(), 59);
    EXPECT_LT(clock.elapsed(), 900); // not the old interval
}

TEST(ThreadedTimer, ZeroIntervalDeliversNothingUntilANewIntervalIsSet) {
    CountingTimer counting(0);
    counting.timer->setEnabled(true);
    EXPECT_TRUE(waitForState(*counting.timer, State::Parked));
    CountingTimer witness(10);
    witness.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return witness.ticks >= 5; }));
    EXPECT_EQ(counting.ticks, 0);

    counting.timer->setInterval(30);
    ASSERT_TRUE(waitUntil([&] { return counting.ticks >= 1; }));
}

TEST(ThreadedTimer, IntervalChangeOfADisabledTimerKeepsItDisabled) {
    CountingTimer counting(1000);
    counting.timer->setInterval(10);
    EXPECT_FALSE(counting.timer->enabled());
    EXPECT_EQ(counting.timer->interval(), 10u);
    EXPECT_EQ(counting.timer->pacingState(), State::Parked);
}

TEST(ThreadedTimer, DestroyingInAnyStateReturnsAtOnce) {
    auto disabled = std::make_unique<CountingTimer>(10);
    disabled.reset();

    auto timing = std::make_unique<CountingTimer>(10000);
    timing->timer->setEnabled(true);
    ASSERT_TRUE(waitForState(*timing->timer, State::Timing));
    QElapsedTimer clock;
    clock.start();
    timing.reset();
    EXPECT_LT(clock.elapsed(), 1000); // did not wait for the interval

    // A tick is posted that the owner thread never runs.
    auto blocked = std::make_unique<CountingTimer>(5);
    blocked->timer->setEnabled(true);
    ASSERT_TRUE(waitForPostedTick(*blocked->timer));
    clock.restart();
    blocked.reset();
    EXPECT_LT(clock.elapsed(), 1000);
    // Its posted tick died with it: running the event loop now must not reach it.
    QCoreApplication::processEvents();
}

TEST(ThreadedTimer, DestroyedFromInsideItsOwnHandler) {
    auto timer = std::make_unique<ThreadedTimer>();
    int ticks = 0;
    timer->setInterval(5);
    timer->setOnTimer([&](QObject*) {
        ++ticks;
        timer.reset();
    });
    timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return timer == nullptr; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, 1);
}

TEST(ThreadedTimer, HandlersNeverOverlapAndTicksDoNotQueue) {
    CountingTimer slow(5);
    int depth = 0;
    int maxDepth = 0;
    slow.timer->setOnTimer([&](QObject*) {
        maxDepth = std::max(maxDepth, ++depth);
        ++slow.ticks;
        // A handler that runs a nested event loop for longer than the interval.
        waitUntil([] { return false; }, 30);
        --depth;
    });
    slow.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return slow.ticks >= 3; }));
    slow.timer->setEnabled(false);
    EXPECT_EQ(maxDepth, 1);
}

TEST(ThreadedTimer, HundredTimersTickAndStopTogether) {
    std::vector<std::unique_ptr<CountingTimer>> timers;
    for (int i = 0; i < 100; ++i) {
        timers.push_back(std::make_unique<CountingTimer>(20 + i % 7));
        timers.back()->timer->setEnabled(true);
    }
    const auto allTicked = [&](int n) {
        return std::all_of(timers.begin(), timers.end(),
                           [n](const auto& t) { return t->ticks >= n; });
    };
    ASSERT_TRUE(waitUntil([&] { return allTicked(3); }, 20000));
    for (auto& t : timers) {
        t->timer->setEnabled(false);
    }
    std::vector<int> counts;
    for (const auto& t : timers) {
        counts.push_back(t->ticks);
    }
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(timers.begin(), timers.end(),
                           [](const auto& t) { return t->timer->pacingState() == State::Parked; });
    }));
    QCoreApplication::processEvents();
    for (std::size_t i = 0; i < timers.size(); ++i) {
        EXPECT_EQ(timers[i]->ticks, counts[i]) << "timer " << i << " ticked after disabling";
    }
}

// A handler that runs a nested event loop holds back its own timer only: the pacing thread
// keeps posting the other timers' ticks, which the nested loop runs.
TEST(ThreadedTimer, SlowHandlerDelaysOnlyItsOwnTimer) {
    CountingTimer fast(10);
    CountingTimer slow(10);
    int fastTicksDuringSlowHandler = -1;
    slow.timer->setOnTimer([&](QObject*) {
        if (++slow.ticks > 1) {
            return;
        }
        const int before = fast.ticks;
        waitUntil([] { return false; }, 300);
        fastTicksDuringSlowHandler = fast.ticks - before;
    });
    fast.timer->setEnabled(true);
    slow.timer->setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return fastTicksDuringSlowHandler >= 0; }));
    EXPECT_GE(fastTicksDuringSlowHandler, 5); // about 30 are due
}

namespace {

int processThreadCount() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

} // namespace

TEST(ThreadedTimer, FiftyTimersShareOneThread) {
    const int threadsBefore = processThreadCount();
    std::vector<std::unique_ptr<CountingTimer>> timers;
    for (int i = 0; i < 50; ++i) {
        timers.push_back(std::make_unique<CountingTimer>(15 + i % 5));
        timers.back()->timer->setEnabled(true);
    }
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(timers.begin(), timers.end(),
                           [](const auto& t) { return t->ticks >= 2; });
    }));
    EXPECT_LE(processThreadCount(), threadsBefore + 1);
}

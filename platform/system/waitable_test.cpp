#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

#include "platform/system/waitable_event.h"
#include "platform/system/waitable_timer.h"

namespace rk::sys {
namespace {

using namespace std::chrono_literals;

DWORD wait_any(std::initializer_list<Waitable*> objects, DWORD timeout_ms) {
    return wait_for_any(std::span<Waitable* const>(objects.begin(), objects.size()), timeout_ms);
}

TEST(Waitable, WaitAnyReturnsTheLowestSignalledAndResetsOnlyAutoResetObjects) {
    WaitableEvent manual(true, false);
    WaitableEvent automatic(false, false);
    WaitableEvent initially(false, true);

    EXPECT_EQ(wait_any({&manual, &automatic, &initially}, 0), 2u);
    EXPECT_EQ(wait_any({&manual, &automatic, &initially}, 0), win::kWaitTimeout) << "auto-reset event consumed";

    manual.set();
    automatic.set();
    EXPECT_EQ(wait_any({&automatic, &manual}, 0), 0u);
    EXPECT_EQ(wait_any({&automatic, &manual}, 0), 1u) << "manual-reset event stays signalled";
    EXPECT_EQ(wait_any({&automatic, &manual}, 0), 1u);
    manual.reset();
    EXPECT_FALSE(manual.is_set());
    EXPECT_EQ(manual.wait(0), win::kWaitTimeout);

    automatic.set();
    automatic.set();
    EXPECT_EQ(automatic.wait(0), win::kWaitObject0);
    EXPECT_EQ(automatic.wait(0), win::kWaitTimeout) << "two sets release one wait";

    EXPECT_EQ(wait_for_any({}, 0), win::kWaitFailed);
}

TEST(Waitable, SetFromAnotherThreadEndsAnInfiniteWaitAndTimeoutsElapse) {
    WaitableEvent stop(true, false);
    WaitableEvent work(false, false);
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        work.set();
    });
    EXPECT_EQ(wait_any({&stop, &work}, win::kInfinite), 1u);
    setter.join();

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(wait_any({&stop, &work}, 30), win::kWaitTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
}

TEST(Waitable, OneSetWakesExactlyOneOfManyWaitersOfAnAutoResetEvent) {
    WaitableEvent event(false, false);
    std::atomic<int> woken{0};
    std::array<std::thread, 4> waiters;
    for (auto& t : waiters) {
        t = std::thread([&] {
            if (event.wait(300) == win::kWaitObject0) {
                ++woken;
            }
        });
    }
    std::this_thread::sleep_for(30ms);
    event.set();
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_EQ(woken.load(), 1);
}

TEST(Waitable, TimerSignalsAtItsDueTimeOnceAndCancelDropsIt) {
    WaitableTimer timer;
    ASSERT_TRUE(timer.valid());
    EXPECT_EQ(wait_any({&timer}, 0), win::kWaitTimeout) << "a new timer is not armed";

    ASSERT_TRUE(timer.set_due(std::chrono::steady_clock::now() - 1s));
    EXPECT_EQ(wait_any({&timer}, 100), 0u) << "a due time in the past signals at once";
    EXPECT_EQ(wait_any({&timer}, 0), win::kWaitTimeout) << "one-shot, reset by the wait";

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(timer.set_due(start + 30ms));
    EXPECT_EQ(wait_any({&timer}, 1000), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);

    ASSERT_TRUE(timer.set_due(std::chrono::steady_clock::now() - 1s));
    ASSERT_TRUE(timer.cancel());
    EXPECT_EQ(wait_any({&timer}, 20), win::kWaitTimeout);
}

}  // namespace
}  // namespace rk::sys

// The floor is only as good as the bare pair: every call must get its own
// answer, also when several host threads share the pipes.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>
#include <vector>

#include "BareParent.h"
#include "ProcessMemory.h"

namespace bench {
namespace {

JavaLaunch bare_child() { return bridge_like_launch(BENCH_TEST_JAVA, BENCH_TEST_BARE_JAR, "bare.BareChild"); }

TEST(BareParent, AnswersCallsWithAndWithoutCallbacks) {
    BareParent parent(bare_child());
    EXPECT_GT(parent.startup_time().count(), 0);
    EXPECT_GT(parent.child_pid(), 0);
    for (int32_t callbacks : {0, 1, 3, 10}) EXPECT_EQ(parent.call(callbacks), 0) << callbacks;
}

TEST(BareParent, ThreadsSharingThePipesEachGetTheirAnswer) {
    BareParent parent(bare_child());
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                if (parent.call((t + i) % 4) != 0) ++failures;
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
}

TEST(BareParent, ReapsItsChildWhenDestroyed) {
    pid_t child = 0;
    {
        BareParent parent(bare_child());
        child = parent.child_pid();
        EXPECT_EQ(find_child(getpid(), "java"), child);
    }
    EXPECT_EQ(::kill(child, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(ProcessMemory, ReadsResidentSizeAndCpuTimeOfAProcess) {
    EXPECT_GT(resident_kib(getpid()), 0);
    EXPECT_EQ(resident_kib(-1), 0);
    const double before = cpu_microseconds(getpid());
    // Busy until the kernel has counted at least one tick.
    volatile unsigned long spin = 0;
    while (cpu_microseconds(getpid()) == before) ++spin;
    EXPECT_GT(cpu_microseconds(getpid()), before);
}

}  // namespace
}  // namespace bench

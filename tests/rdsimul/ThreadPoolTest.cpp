#include "rdsimul/kernels/ThreadPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

struct Tally {
    std::atomic<int> Calls[ThreadPool::MaxThreads] = {};
    std::atomic<int> WrongCount{0};
    int Expected = 0;
};

void Count(void *context, int index, int count) {
    Tally &tally = *static_cast<Tally *>(context);
    if (count != tally.Expected) tally.WrongCount.fetch_add(1);
    tally.Calls[index].fetch_add(1);
}

}  // namespace

TEST(ThreadPool, RunsTheJobOnceOnEveryThreadAndReturnsWhenAllAreDone) {
    ThreadPool pool(3);
    ASSERT_EQ(pool.GetThreadCount(), 3);
    Tally tally;
    tally.Expected = 3;
    for (int round = 1; round <= 500; ++round) {
        pool.Run(Count, &tally);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(tally.Calls[i].load(), round) << "thread " << i;
    }
    EXPECT_EQ(tally.WrongCount.load(), 0);
}

TEST(ThreadPool, AJobRightAfterAResizeReachesTheNewThreads) {
    // A worker that starts after the job was announced must still run it, or Run never returns.
    ThreadPool pool(1);
    for (int round = 0; round < 40; ++round) {
        const int threads = 2 + round % 3;
        ASSERT_EQ(pool.SetThreadCount(threads), threads);
        Tally tally;
        tally.Expected = threads;
        pool.Run(Count, &tally);
        for (int i = 0; i < threads; ++i) ASSERT_EQ(tally.Calls[i].load(), 1);
    }
    EXPECT_EQ(pool.SetThreadCount(0), 1);
    EXPECT_EQ(pool.SetThreadCount(1000), ThreadPool::MaxThreads);
}

namespace {

struct Phases {
    ThreadPool *Pool;
    int Round = 0;
    int Slots[4] = {};
    std::atomic<int> EarlyPasses{0};
};

// Each thread writes its slot, waits at the barrier, then reads every other slot: a barrier that
// lets a thread through early shows as a stale slot.
void WriteThenRead(void *context, int index, int count) {
    Phases &p = *static_cast<Phases *>(context);
    p.Slots[index] = p.Round;
    p.Pool->Barrier();
    for (int i = 0; i < count; ++i) {
        if (p.Slots[i] != p.Round) p.EarlyPasses.fetch_add(1);
    }
    p.Pool->Barrier();  // a second barrier in the same job
}

}  // namespace

TEST(ThreadPool, BarrierHoldsEveryThreadUntilAllHaveArrived) {
    ThreadPool pool(4);
    Phases phases;
    phases.Pool = &pool;
    for (int round = 1; round <= 300; ++round) {
        phases.Round = round;
        pool.Run(WriteThenRead, &phases);
    }
    EXPECT_EQ(phases.EarlyPasses.load(), 0);
}

TEST(ThreadPool, DefaultCountComesFromVornaThreadsWhenItIsACount) {
    const char *saved = std::getenv("VORNA_THREADS");
    const std::string previous = saved != nullptr ? saved : "";
    unsigned cores = std::thread::hardware_concurrency();
    const int all = cores == 0 ? 1 : int(cores);
    for (auto row : {std::pair<const char *, int>{"3", 3},
                     {"1", 1},
                     {"0", all},
                     {"65", all},
                     {"2x", all},
                     {"", all}}) {
        setenv("VORNA_THREADS", row.first, 1);
        EXPECT_EQ(ThreadPool::DefaultThreadCount(), row.second) << "'" << row.first << "'";
    }
    if (saved != nullptr) {
        setenv("VORNA_THREADS", previous.c_str(), 1);
    } else {
        unsetenv("VORNA_THREADS");
    }
}

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "rdsimul/kernels/ThreadPool.h"

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

TEST(ThreadPool, RunsTheJobOnTheCallerAndOnEveryReadyWorkerAtMostOnce) {
    ThreadPool pool(3);
    ASSERT_EQ(pool.GetThreadCount(), 3);
    Tally tally;
    tally.Expected = 3;
    int previous[3] = {0, 0, 0};
    for (int round = 1; round <= 500; ++round) {
        pool.Run(Count, &tally);
        ASSERT_EQ(tally.Calls[0].load(), round);  // the caller always
        for (int i = 1; i < 3; ++i) {
            const int calls = tally.Calls[i].load();
            ASSERT_LE(calls - previous[i], 1) << "worker " << i << " ran one job twice";
            previous[i] = calls;
        }
    }
    EXPECT_EQ(tally.WrongCount.load(), 0);
}

TEST(ThreadPool, AJobRightAfterAResizeIsRunAndReturns) {
    ThreadPool pool(1);
    for (int round = 0; round < 40; ++round) {
        const int threads = 2 + round % 3;
        ASSERT_EQ(pool.SetThreadCount(threads), threads);
        Tally tally;
        tally.Expected = threads;
        pool.Run(Count, &tally);
        EXPECT_EQ(tally.Calls[0].load(), 1);
        for (int i = 1; i < threads; ++i) ASSERT_LE(tally.Calls[i].load(), 1);
    }
    EXPECT_EQ(pool.SetThreadCount(0), 1);
    EXPECT_EQ(pool.SetThreadCount(1000), ThreadPool::MaxThreads);
}

namespace {

struct Pieces {
    std::atomic<int> Next{0};
    std::atomic<int> Done[1000] = {};
    std::atomic<bool> Returned{false};
    std::atomic<int> LateCalls{0};
};

// Claims pieces until none is left; a worker dawdles a little first, so that the caller does
// most of the work and Run has to wait for a worker still inside.
void ClaimPieces(void *context, int index, int /*count*/) {
    Pieces &p = *static_cast<Pieces *>(context);
    if (index != 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    for (int piece; (piece = p.Next.fetch_add(1)) < 1000;) p.Done[piece].fetch_add(1);
    if (p.Returned.load()) p.LateCalls.fetch_add(1);
}

}  // namespace

TEST(ThreadPool, ClaimedPiecesAreEachDoneOnceAndRunWaitsForWorkersInside) {
    ThreadPool pool(3);
    for (int round = 0; round < 50; ++round) {
        Pieces pieces;
        pool.Run(ClaimPieces, &pieces);
        pieces.Returned.store(true);
        for (const std::atomic<int> &done : pieces.Done) ASSERT_EQ(done.load(), 1);
        EXPECT_EQ(pieces.LateCalls.load(), 0);
    }
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

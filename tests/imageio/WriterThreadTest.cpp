#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "imageio/WriterThread.h"

namespace {

// The jobs run one at a time in the order handed over, and a full queue holds the caller back
// until the thread has finished one: the copies queued never exceed the bound.
TEST(WriterThreadTest, RunsJobsInOrderAndHoldsTheCallerAtTheBound) {
    WriterThread thread(2);
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    std::vector<int> order;  // written by the thread only, read after Wait
    std::atomic<int> pushed{0};
    std::thread caller([&] {
        for (int i = 0; i < 5; ++i) {
            thread.Push([&, i, open] {
                if (i == 0) open.wait();
                order.push_back(i);
            });
            ++pushed;
        }
    });
    // The first job is held by the gate, the second waits in the queue: the third Push waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(pushed.load(), 2);
    gate.set_value();
    caller.join();
    thread.Wait();
    EXPECT_EQ(order, std::vector<int>({0, 1, 2, 3, 4}));
}

// The jobs queued when the thread is destroyed are still run: nothing handed over is dropped.
TEST(WriterThreadTest, DestructionRunsWhatWasQueued) {
    std::atomic<int> runs{0};
    {
        WriterThread thread(3);
        for (int i = 0; i < 3; ++i) {
            thread.Push([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                ++runs;
            });
        }
    }
    EXPECT_EQ(runs.load(), 3);
}

}  // namespace

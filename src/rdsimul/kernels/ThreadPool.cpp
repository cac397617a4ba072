#include "rdsimul/kernels/ThreadPool.h"

#include <cstdlib>
#include <new>
#include <system_error>

namespace {

// Rounds of spinning before a thread blocks in the kernel. A job of one iteration at 600 x 600
// lasts about 0.2 ms; spinning about that long keeps back-to-back jobs free of wake-up delays,
// while a thread left idle between slices soon stops taking a core from anybody.
constexpr int SpinRounds = 4000;

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

ThreadPool &ThreadPool::Shared() {
    static ThreadPool pool(DefaultThreadCount());
    return pool;
}

int ThreadPool::DefaultThreadCount() {
    const char *text = std::getenv("VORNA_THREADS");
    if (text != nullptr && *text != '\0') {
        char *end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && value >= 1 && value <= MaxThreads) return int(value);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores == 0) return 1;
    return cores > unsigned(MaxThreads) ? MaxThreads : int(cores);
}

ThreadPool::ThreadPool(int threads) { StartWorkers(threads); }

ThreadPool::~ThreadPool() { StopWorkers(); }

int ThreadPool::SetThreadCount(int threads) {
    std::lock_guard<std::mutex> hold(RunLock);
    if (threads < 1) threads = 1;
    if (threads > MaxThreads) threads = MaxThreads;
    if (threads != ThreadCount) {
        StopWorkers();
        StartWorkers(threads);
    }
    return ThreadCount;
}

void ThreadPool::StartWorkers(int threads) {
    if (threads < 1) threads = 1;
    if (threads > MaxThreads) threads = MaxThreads;
    ThreadCount = 1;
    Quit = false;
    if (threads == 1) return;
    Workers = new (std::nothrow) std::thread[size_t(threads - 1)];
    if (Workers == nullptr) return;
    // A worker waits for the generation after this one: a job announced before the thread gets
    // to run is still its job.
    const uint32_t start = Generation.load(std::memory_order_acquire);
    for (int i = 1; i < threads; ++i) {
        // The standard library reports a thread it cannot start by an exception; the pool then
        // keeps the threads it has.
        try {
            Workers[i - 1] = std::thread(&ThreadPool::WorkerLoop, this, i, start);
        } catch (const std::system_error &) {
            break;
        }
        ThreadCount = i + 1;
    }
}

void ThreadPool::StopWorkers() {
    if (Workers == nullptr) {
        ThreadCount = 1;
        return;
    }
    Quit = true;
    Generation.fetch_add(1, std::memory_order_seq_cst);
    Generation.notify_all();
    for (int i = 0; i + 1 < ThreadCount; ++i) {
        if (Workers[i].joinable()) Workers[i].join();
    }
    delete[] Workers;
    Workers = nullptr;
    ThreadCount = 1;
    Quit = false;
}

void ThreadPool::Run(Job job, void *context) {
    std::lock_guard<std::mutex> hold(RunLock);
    const int count = ThreadCount;
    JobThreads = count;
    if (count == 1) {
        job(context, 0, 1);
        return;
    }
    const uint32_t generation = Generation.load(std::memory_order_relaxed) + 1;
    CurrentJob = job;
    CurrentContext = context;
    JobGeneration.store(generation, std::memory_order_seq_cst);
    Closed.store(0, std::memory_order_seq_cst);
    // A worker that went to sleep is woken; one still spinning sees the new generation itself.
    Generation.store(generation, std::memory_order_seq_cst);
    if (Sleepers.load(std::memory_order_seq_cst) > 0) Generation.notify_all();

    job(context, 0, count);

    // No worker enters from now on; those inside are waited for.
    Closed.store(1, std::memory_order_seq_cst);
    for (int round = 0; Active.load(std::memory_order_seq_cst) != 0; ++round) {
        if (round < SpinRounds) {
            CpuRelax();
            continue;
        }
        CallerSleeping.store(1, std::memory_order_seq_cst);
        const int inside = Active.load(std::memory_order_seq_cst);
        if (inside != 0) Active.wait(inside, std::memory_order_seq_cst);
        CallerSleeping.store(0, std::memory_order_relaxed);
    }
}

void ThreadPool::WorkerLoop(int index, uint32_t seen) {
    for (;;) {
        // Waits for a generation after seen; seen may be ahead of Generation when the worker
        // took a job that was open before it was announced.
        uint32_t now = Generation.load(std::memory_order_acquire);
        for (int round = 0; int32_t(now - seen) <= 0; ++round) {
            if (round < SpinRounds) {
                CpuRelax();
            } else {
                Sleepers.fetch_add(1, std::memory_order_seq_cst);
                if (Generation.load(std::memory_order_seq_cst) == now) {
                    Generation.wait(now, std::memory_order_acquire);
                }
                Sleepers.fetch_sub(1, std::memory_order_relaxed);
            }
            now = Generation.load(std::memory_order_acquire);
        }
        seen = now;
        if (Quit) return;
        Active.fetch_add(1, std::memory_order_seq_cst);
        if (Closed.load(std::memory_order_seq_cst) == 0) {
            // The job behind the open gate may already be the next one; it is run once.
            seen = JobGeneration.load(std::memory_order_seq_cst);
            CurrentJob(CurrentContext, index, JobThreads);
        }
        if (Active.fetch_sub(1, std::memory_order_seq_cst) == 1 &&
            CallerSleeping.load(std::memory_order_seq_cst) != 0) {
            Active.notify_all();
        }
    }
}

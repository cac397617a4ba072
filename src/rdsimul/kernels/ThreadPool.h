// ThreadPool: a fixed set of worker threads, started once and kept for the whole process, that
// join the calling thread on one job at a time; owns the workers and their wake-up state.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

class ThreadPool {
public:
    static constexpr int MaxThreads = 64;

    // A job: called on the caller (index 0) and on every worker that is ready before the caller
    // has finished its own call (indexes 1 .. count - 1, each at most once). A job therefore
    // shares its work out by claiming pieces (an atomic counter), so that the caller alone can
    // do all of it when a worker is late, as on a machine busy with other programs.
    using Job = void (*)(void *context, int index, int count);

    // The process-wide pool, created on first use with DefaultThreadCount() threads.
    static ThreadPool &Shared();
    // VORNA_THREADS when it holds a number from 1 to MaxThreads, else every core of the machine.
    static int DefaultThreadCount();

    explicit ThreadPool(int threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool &) = delete;
    ThreadPool &operator=(const ThreadPool &) = delete;

    // Threads that run a job, the caller included: 1 .. MaxThreads.
    int GetThreadCount() const { return ThreadCount; }
    // Stops the workers and starts threads - 1 new ones (clamped to 1 .. MaxThreads). Returns
    // the count in force, which is lower when the system refused to start a thread.
    int SetThreadCount(int threads);
    // Runs job on the caller and the ready workers; returns when every call has returned, after
    // which no worker touches context. Calls from several threads are taken one at a time.
    void Run(Job job, void *context);

private:
    void StartWorkers(int threads);
    void StopWorkers();
    void WorkerLoop(int index, uint32_t seen);

    int ThreadCount = 1;
    std::thread *Workers = nullptr;  // ThreadCount - 1 of them
    std::mutex RunLock;

    // Wake-up of the workers: a new job is announced by a new generation number.
    alignas(64) std::atomic<uint32_t> Generation{0};
    std::atomic<int> Sleepers{0};   // workers blocked in a wait on Generation
    std::atomic<bool> Quit{false};  // read by the workers after a generation change
    Job CurrentJob = nullptr;
    void *CurrentContext = nullptr;
    int JobThreads = 1;                      // threads of the job being run
    std::atomic<uint32_t> JobGeneration{0};  // generation of CurrentJob

    // The gate of a job: open while the caller runs its own part; a worker enters only through
    // the open gate and is counted until it leaves, and the caller waits for the count to fall.
    alignas(64) std::atomic<int> Closed{1};
    std::atomic<int> Active{0};
    std::atomic<int> CallerSleeping{0};
};

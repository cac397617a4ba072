// ThreadPool: a fixed set of worker threads, started once and kept for the whole process, that
// run one job at a time together with the calling thread; owns the workers and their wake-up state.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

class ThreadPool {
public:
    static constexpr int MaxThreads = 64;

    // A job: called once on every thread of the pool with index 0 .. count - 1 (0 is the caller).
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
    // Runs job on every thread and returns when all of them have finished. Calls from several
    // threads are taken one after the other.
    void Run(Job job, void *context);
    // Inside a job: returns once every thread of the job has called it.
    void Barrier();

private:
    void StartWorkers(int threads);
    void StopWorkers();
    void WorkerLoop(int index, uint32_t seen);

    int ThreadCount = 1;
    std::thread *Workers = nullptr;  // ThreadCount - 1 of them
    std::mutex RunLock;

    // Wake-up of the workers: a new job is announced by a new generation number.
    alignas(64) std::atomic<uint32_t> Generation{0};
    std::atomic<int> Sleepers{0};  // workers blocked in a wait on Generation
    bool Quit = false;             // read by the workers after a generation change
    Job CurrentJob = nullptr;
    void *CurrentContext = nullptr;
    int JobThreads = 1;  // threads of the job being run

    // End of a job: the workers count down; the caller waits for zero.
    alignas(64) std::atomic<int> Pending{0};
    std::atomic<int> CallerSleeping{0};

    // Barrier inside a job: arrivals counted, a phase number released.
    alignas(64) std::atomic<int> BarrierArrived{0};
    std::atomic<uint32_t> BarrierPhase{0};
    std::atomic<int> BarrierSleepers{0};
};

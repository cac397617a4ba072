// WriterThread: one thread that runs file-writing jobs in the order they were handed over, so
// that a run does not wait for compression and disks. Owns the thread and its bounded queue.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class WriterThread {
public:
    // Jobs handed over and not finished at most (the one being run counted): Push waits beyond
    // it, so the copies the jobs hold stay bounded.
    static constexpr size_t DefaultBound = 2;

    explicit WriterThread(size_t bound = DefaultBound);
    // Runs the jobs still queued, then ends the thread.
    ~WriterThread();
    WriterThread(const WriterThread &) = delete;
    WriterThread &operator=(const WriterThread &) = delete;

    // Queues job, waiting while Bound jobs are unfinished; the thread starts with the first.
    // A job reports its outcome itself (it must not throw).
    void Push(std::function<void()> job);
    // Waits until every job pushed so far has finished.
    void Wait();
    size_t Bound() const { return Limit; }

private:
    void Loop();

    const size_t Limit;
    std::mutex Mutex;
    std::condition_variable Changed;
    std::deque<std::function<void()>> Jobs;
    size_t Unfinished = 0;  // queued plus the one running
    bool Ending = false;
    std::thread Thread;
};

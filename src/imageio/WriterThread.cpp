#include "imageio/WriterThread.h"

#include <utility>

WriterThread::WriterThread(size_t bound) : Limit(bound < 1 ? 1 : bound) {}

WriterThread::~WriterThread() {
    {
        std::lock_guard<std::mutex> lock(Mutex);
        Ending = true;
    }
    Changed.notify_all();
    if (Thread.joinable()) Thread.join();
}

void WriterThread::Push(std::function<void()> job) {
    std::unique_lock<std::mutex> lock(Mutex);
    Changed.wait(lock, [this] { return Unfinished < Limit; });
    Jobs.push_back(std::move(job));
    ++Unfinished;
    if (!Thread.joinable()) Thread = std::thread([this] { Loop(); });
    lock.unlock();
    Changed.notify_all();
}

void WriterThread::Wait() {
    std::unique_lock<std::mutex> lock(Mutex);
    Changed.wait(lock, [this] { return Unfinished == 0; });
}

void WriterThread::Loop() {
    std::unique_lock<std::mutex> lock(Mutex);
    for (;;) {
        Changed.wait(lock, [this] { return !Jobs.empty() || Ending; });
        // Ending still runs what was queued: an image handed over is an image promised.
        if (Jobs.empty()) return;
        std::function<void()> job = std::move(Jobs.front());
        Jobs.pop_front();
        lock.unlock();
        job();
        job = nullptr;  // its copies go before the slot is given back
        lock.lock();
        --Unfinished;
        Changed.notify_all();
    }
}

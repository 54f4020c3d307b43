#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace pictavo {

// The program's decoding workers: one set of threads for everything decoded off the
// thread that owns the database (the look-ahead's photos, the thumbnails), so that
// decodes never fight over more threads than there are cores.
//
// Urgent jobs (a photo about to be shown) are always started before background ones
// (thumbnails). A background job that runs long asks yieldRequested() now and then and,
// when it says so, gives up so that its worker takes the urgent job; its owner posts it
// again later. A job only ever sees what it was handed: bytes read by the thread that
// owns the database, never the database itself.
class DecodePool
{
public:
    enum class Priority
    {
        Urgent,
        Background,
    };
    using Job = std::function<void()>;

    // The pool every part of the program shares; its threads start with its first job.
    static DecodePool &shared();

    explicit DecodePool(int workers = defaultWorkers());
    ~DecodePool();
    DecodePool(const DecodePool &) = delete;
    DecodePool &operator=(const DecodePool &) = delete;

    // Two at least, so that two photos ahead decode side by side; one a core beyond.
    static int defaultWorkers();
    int workerCount() const { return m_workerCount; }

    // Queues `job` for a worker. `owner` names whose it is, for withdraw(). Jobs must not
    // throw.
    void post(const void *owner, Priority priority, Job job);
    // Drops the owner's queued jobs and waits until none of its jobs runs. Never from a
    // worker.
    void withdraw(const void *owner);

    // An urgent job waits and no worker is free for it: a background job should stop.
    bool yieldRequested() const;

private:
    struct Queued
    {
        const void *owner;
        Job job;
    };

    void work();
    // Under the lock.
    void updateYield();

    const int m_workerCount;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_jobEnded;
    std::deque<Queued> m_urgent;
    std::deque<Queued> m_background;
    std::vector<const void *> m_running; // the owner of each job running now
    int m_idle = 0;
    bool m_yield = false;
    bool m_quit = false;
    std::vector<std::thread> m_threads;
};

} // namespace pictavo

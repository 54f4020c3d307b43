#pragma once

#include <QScopeGuard>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
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
//
// Photos decoded ahead of their turn (the look-ahead's, the import's) are submitted: their
// poster waits for the result and can call each off part-way.
class DecodePool
{
public:
    enum class Priority
    {
        Urgent,
        Background,
    };
    using Job = std::function<void()>;

    // Photos one owner decodes ahead at once: as many as run side by side on two cores,
    // and what memory is held for decodes nobody may ask for.
    static constexpr int kMaxAhead = 2;

    // Thrown by Control::throwIfCancelled() to leave a decode nobody wants any more.
    struct Cancelled
    {
    };

    // Shared by a submitted job and its poster: the poster calls the job off (the job
    // stops at its next check), the job says how far it got.
    class Control
    {
    public:
        void cancel() { m_cancelled = true; }
        bool cancelled() const { return m_cancelled; }
        void throwIfCancelled() const
        {
            if (m_cancelled)
                throw Cancelled();
        }
        void setProgress(int percent) { m_percent = percent; }
        int progress() const { return m_percent; }

    private:
        std::atomic<bool> m_cancelled{false};
        std::atomic<int> m_percent{0};
    };

    // What the poster keeps of a submitted job. A job withdrawn before it ran leaves
    // `result` broken.
    template <class Result> struct Task
    {
        std::future<Result> result;
        std::shared_ptr<Control> control;
    };

    // The pool every part of the program shares; its threads start with its first job.
    static DecodePool &shared();

    explicit DecodePool(int workers = defaultWorkers());
    ~DecodePool();
    DecodePool(const DecodePool &) = delete;
    DecodePool &operator=(const DecodePool &) = delete;

    // kMaxAhead at least, so that the photos ahead decode side by side; one a core beyond.
    static int defaultWorkers();
    int workerCount() const { return m_workerCount; }

    // Queues `job` for a worker. `owner` names whose it is, for withdraw(). Jobs must not
    // throw.
    void post(const void *owner, Priority priority, Job job);
    // Queues `work`, a callable taking `Control &` and returning a Result, as post() does.
    // What `work` holds (the bytes it decodes) is let go before its result is handed over,
    // so that only the poster touches them afterwards.
    template <class Result, class Work>
    Task<Result> submit(const void *owner, Priority priority, Work work)
    {
        auto control = std::make_shared<Control>();
        // Shared, as a Job must be copyable and a packaged_task cannot be.
        auto task = std::make_shared<std::packaged_task<Result()>>(
            [work = std::optional(std::move(work)), control]() mutable {
                const auto release = qScopeGuard([&work] { work.reset(); });
                return (*work)(*control);
            });
        Task<Result> posted{task->get_future(), control};
        enqueue({owner, std::move(control), [task] { (*task)(); }}, priority);
        return posted;
    }
    // Drops the owner's queued jobs, calls off its submitted jobs that run, and waits until
    // none of its jobs runs. Never from a worker.
    void withdraw(const void *owner);

    // An urgent job waits and no worker is free for it: a background job should stop.
    bool yieldRequested() const;

private:
    struct Queued
    {
        const void *owner;
        std::shared_ptr<Control> control; // null for a posted job
        Job job;
    };

    void enqueue(Queued queued, Priority priority);
    void work();
    // Under the lock.
    void updateYield();

    const int m_workerCount;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_jobEnded;
    std::deque<Queued> m_urgent;
    std::deque<Queued> m_background;
    std::vector<const Queued *> m_running; // each job running now
    int m_idle = 0;
    bool m_yield = false;
    bool m_quit = false;
    std::vector<std::thread> m_threads;
};

} // namespace pictavo

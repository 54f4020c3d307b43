#include "picture/decode_pool.h"

#include <algorithm>
#include <cassert>

namespace pictavo {

DecodePool &DecodePool::shared()
{
    static DecodePool pool;
    return pool;
}

DecodePool::DecodePool(int workers) : m_workerCount(std::max(1, workers)) {}

DecodePool::~DecodePool()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
        m_urgent.clear();
        m_background.clear();
    }
    m_wake.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

int DecodePool::defaultWorkers()
{
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(cores, kMaxAhead, 8);
}

void DecodePool::post(const void *owner, Priority priority, Job job)
{
    enqueue({owner, nullptr, std::move(job)}, priority);
}

void DecodePool::enqueue(Queued queued, Priority priority)
{
    {
        const std::lock_guard lock(m_mutex);
        (priority == Priority::Urgent ? m_urgent : m_background).push_back(std::move(queued));
        // Started as work comes, so that a program that never decodes ahead runs none.
        if (int(m_urgent.size() + m_background.size()) > m_idle &&
            int(m_threads.size()) < m_workerCount) {
            ++m_idle;
            m_threads.emplace_back([this] { work(); });
        }
        updateYield();
    }
    m_wake.notify_one();
}

void DecodePool::withdraw(const void *owner)
{
    std::unique_lock lock(m_mutex);
    const auto mine = [owner](const Queued &queued) { return queued.owner == owner; };
    std::erase_if(m_urgent, mine);
    std::erase_if(m_background, mine);
    updateYield();
    for (const Queued *running : m_running)
        if (running->owner == owner && running->control)
            running->control->cancel();
    m_jobEnded.wait(lock, [&] {
        return std::none_of(m_running.begin(), m_running.end(),
                            [owner](const Queued *running) { return running->owner == owner; });
    });
}

bool DecodePool::yieldRequested() const
{
    const std::lock_guard lock(m_mutex);
    return m_yield;
}

void DecodePool::updateYield()
{
    m_yield = int(m_urgent.size()) > m_idle;
}

void DecodePool::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || !m_urgent.empty() || !m_background.empty(); });
        if (m_quit)
            return;
        std::deque<Queued> &queue = m_urgent.empty() ? m_background : m_urgent;
        Queued next = std::move(queue.front());
        queue.pop_front();
        --m_idle;
        m_running.push_back(&next);
        updateYield();
        lock.unlock();
        next.job();
        next.job = nullptr; // what it holds goes before its owner hears it has ended
        lock.lock();
        m_running.erase(std::find(m_running.begin(), m_running.end(), &next));
        ++m_idle;
        updateYield();
        m_jobEnded.notify_all();
    }
}

} // namespace pictavo

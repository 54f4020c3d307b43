#include "thumbnails/thumbnail_workers.h"

namespace pictavo {

ThumbnailWorkers::ThumbnailWorkers(DecodePool &pool) : m_pool(pool) {}

ThumbnailWorkers::~ThumbnailWorkers()
{
    m_pool.withdraw(this);
}

void ThumbnailWorkers::post(ThumbnailOrder order)
{
    ++m_inFlight;
    m_pool.post(this, DecodePool::Priority::Background, [this, order = std::move(order)]() mutable {
        ThumbnailResult result =
            runThumbnailOrder(order, m_decoder, [this] { return m_pool.yieldRequested(); });
        {
            const std::lock_guard lock(m_mutex);
            m_results.push_back(std::move(result));
            // The order's bytes may be shared with the posting thread, which can let go of its
            // own copy at any time: they go back to it, so that it frees them, never a worker.
            m_spent.push_back(std::move(order));
        }
        m_ready.notify_all();
    });
}

std::vector<ThumbnailResult> ThumbnailWorkers::take()
{
    std::vector<ThumbnailResult> taken;
    std::deque<ThumbnailOrder> spent;
    {
        const std::lock_guard lock(m_mutex);
        taken.assign(std::make_move_iterator(m_results.begin()),
                     std::make_move_iterator(m_results.end()));
        m_results.clear();
        spent.swap(m_spent);
    }
    m_inFlight -= int(taken.size());
    return taken;
}

std::vector<ThumbnailResult> ThumbnailWorkers::waitForResults()
{
    if (m_inFlight > 0) {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return !m_results.empty(); });
    }
    return take();
}

} // namespace pictavo
